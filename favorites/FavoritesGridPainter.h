#pragma once

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

// A price text as a number: digits with at most one decimal point, an optional sign,
// surrounding blanks allowed. Anything else (empty text included) is no number.
std::optional<double> DecimalValue(const QString& text);

// The size of a price change in the shortest general decimal form with at most 15
// significant digits: 20, 10.5, 10.1.
QString ChangeAmountText(double change);

// "￥" scjg, with ".00" added when the stored text has no decimal point.
QString SavedPriceText(const QString& scjg);

// The current price cell's composed text and colour: "￥" gxjg "，涨价￥" change in red for a
// rise, "，降价￥" in green for a drop. Nothing when the prices are equal, when either is not
// a decimal number, or when the saved price is empty: the cell keeps its stored text.
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
