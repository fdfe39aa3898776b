#pragma once

#include "ui/GridColumn.h"
#include "ui/ScreenCursor.h"

#include <QString>

namespace kova {

// What a click on a cell of the result grid does, by the column's field (any case).
enum class ResultCellAction { None, OpenProduct, OpenComparison, AddFavorite, PreviewPicture };
ResultCellAction ResultCellActionFor(const QString& field);

// Whether a pointer over `at` may change the cursor and the preview: only over a data
// cell outside the first column.
bool ResultGridPointerActs(GridCoord at);

// The cursor over a data cell of `field`; over the favorite column it follows the
// favorite state of the grid's current record (`currentCheck`), not the row under the
// pointer.
ScreenCursor ResultGridCursor(const QString& field, const QString& currentCheck);

// Whether pointing at a cell of `field` hides the picture preview (all but the picture).
bool ResultGridHidesPreview(const QString& field);

// Messages of the favorite cell.
inline const QString FavoriteAddedText = QStringLiteral("当前选择的商品点击收藏成功！");
inline const QString FavoriteAlreadyText = QStringLiteral("当前选择的商品已经被收藏，请检验。");
inline const QString FavoriteNoAccountText =
    QStringLiteral("还没有取得用户帐号，暂时不能收藏商品。请稍后再试，或重新启动本软件。");
inline const QString FavoritePendingText = QStringLiteral("当前选择的商品正在收藏，请稍候。");
inline const QString FavoriteFailedText = QStringLiteral("当前选择的商品收藏失败，请检查网络连接后再试。");

} // namespace kova
