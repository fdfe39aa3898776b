#pragma once

#include "ui/GridColumn.h"
#include "ui/ScreenCursor.h"

#include <QString>

namespace kova {

// What a click on a cell of the favorites grid does, by the column's field (any case).
enum class FavoriteCellAction { None, OpenProduct, OpenComparison, DeleteFavorite, PreviewPicture };
FavoriteCellAction FavoriteCellActionFor(const QString& field);

// The columns that react to a click with a page or a deletion (cpmc, jjcj, bz2): drawn in
// the link colour, with the hand cursor over them.
bool FavoriteColumnIsLink(const QString& field);
inline const QColor FavoriteLinkColor{0, 0, 255};

// Whether a pointer over `at` may change the cursor and the preview: only over a data
// cell outside the first column.
bool FavoriteGridPointerActs(GridCoord at);
ScreenCursor FavoriteGridCursor(const QString& field);
// Whether pointing at a cell of `field` hides the picture preview (all but the picture).
bool FavoriteGridHidesPreview(const QString& field);

inline const QString DeleteFavoriteQuestion = QStringLiteral("确定删除当前选择的收藏商品吗？ ");
inline const QString DeleteNotDeliveredText =
    QStringLiteral("删除请求未能送达服务器，请检查网络连接。该收藏商品可能会在下次获取收藏夹时再次出现。");

} // namespace kova
