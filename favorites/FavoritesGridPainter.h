#pragma once

#include "store/Money.h"
#include "ui/GridColumn.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

namespace kova {

class GridCanvas;
class PictureCache;

inline const QColor FavoriteCellBackground{238, 247, 255};
inline const QColor FavoriteSelectedText{255, 0, 0};
inline const QColor PriceRiseColor{255, 0, 0};
inline const QColor PriceDropColor{0, 128, 0};

// The size of a price change given in fen, in yuan in its shortest decimal form, without
// sign: 2000 -> "20", -1050 -> "10.5", 44344 -> "443.44".
QString ChangeAmountText(qint64 changeFen);

// A price text in fen, the same as PriceInFen: kept for callers that compare prices.
inline std::optional<qint64> DecimalValue(const QString& text)
{
    return PriceInFen(text);
}

// "￥" scjg, with ".00" added when the stored text has no decimal point; PriceUnknownText
// for a text that IsShownPrice refuses.
QString SavedPriceText(const QString& scjg);

// The current price cell's composed text and colour: "￥" gxjg "，涨价￥" change in red for a
// rise, "，降价￥" in green for a drop. The change is counted in fen, so it is exact
// (4927.1 to 4483.66 is a drop of 443.44). When gxjg has no decimal point, ".00" follows
// both gxjg and the change. Nothing when the prices are equal, when either is empty or no
// price as PriceInFen reads it (a fraction of a fen included): the cell keeps its stored
// text. Neither is a price unless IsShownPrice takes it: a current price that is not one is
// drawn as PriceUnknownText by DrawFavoriteCell, never with a change.
struct PriceChangeText {
    QString text;
    QColor color;
};
std::optional<PriceChangeText> CurrentPriceText(const QString& gxjg, const QString& scjg);

// Draws one data cell of the favorites grid: light-blue background, red text in the
// current cell, the small picture stretched over the picture cell, the saved price with
// "￥" and the current price with its change. `drawDefault` draws the cell the grid's
// standard way with the canvas as it stands. A picture file that cannot be decoded leaves
// the cell's field text.
void DrawFavoriteCell(GridCanvas& canvas, const QRect& rect, const GridColumn& column, GridDrawState state,
                      const PictureCache& cache, const std::function<void()>& drawDefault);

// Top of the preview panel for a pointer at grid Y `mouseY` in a main window `windowHeight`
// high: near the bottom the panel is lifted so that it stays inside the window.
int FavoritePreviewTop(int windowHeight, int mouseY);

} // namespace kova
