#include "favorites/FavoritesGridPainter.h"

#include "store/Dataset.h"
#include "store/JpegLoader.h"
#include "store/PictureCache.h"
#include "ui/GridCanvas.h"

#include <QFileInfo>

namespace kova {
namespace {

constexpr int TextLeft = 10;
constexpr int TextTop = 32;

bool isField(const GridColumn& column, const char* field)
{
    return kova::isField(column.field, QLatin1String(field));
}

bool hasPoint(const QString& price)
{
    return price.contains(QLatin1Char('.'));
}

} // namespace

QString ChangeAmountText(qint64 changeFen)
{
    // Dropping the sign of the text works for every qint64, the most negative one included.
    const QString signedText = YuanText(changeFen);
    return changeFen < 0 ? signedText.mid(1) : signedText;
}

QString SavedPriceText(const QString& scjg)
{
    if (!IsShownPrice(scjg))
        return PriceUnknownText;
    return QStringLiteral("￥") + scjg + (hasPoint(scjg) ? QString() : QStringLiteral(".00"));
}

std::optional<PriceChangeText> CurrentPriceText(const QString& gxjg, const QString& scjg)
{
    if (!IsShownPrice(gxjg) || !IsShownPrice(scjg))
        return std::nullopt;
    const auto current = PriceInFen(gxjg);
    const auto saved = PriceInFen(scjg);
    if (!current || !saved)
        return std::nullopt;
    const qint64 change = *current - *saved;
    if (change == 0)
        return std::nullopt;
    const QString amount = ChangeAmountText(change) + (hasPoint(gxjg) ? QString() : QStringLiteral(".00"));
    const QString price = QStringLiteral("￥") + gxjg + (hasPoint(gxjg) ? QString() : QStringLiteral(".00"));
    if (change > 0)
        return PriceChangeText{price + QStringLiteral("，涨价￥") + amount, PriceRiseColor};
    return PriceChangeText{price + QStringLiteral("，降价￥") + amount, PriceDropColor};
}

void DrawFavoriteCell(GridCanvas& canvas, const QRect& rect, const GridColumn& column, GridDrawState state,
                      const PictureCache& cache, const std::function<void()>& drawDefault)
{
    canvas.setBrushColor(FavoriteCellBackground);
    drawDefault();
    if (state.selected && !state.fixed) {
        canvas.setFontColor(FavoriteSelectedText);
        drawDefault();
    }

    const Dataset* rows = canvas.dataset();
    if (rows == nullptr || !rows->isActive() || rows->recordCount() == 0)
        return;
    if (canvas.recNo() < 1 || canvas.recNo() > rows->recordCount())
        return;
    const QString cph = canvas.fieldText(QStringLiteral("cph"));
    if (cph.isEmpty())
        return;

    const int x = rect.left() + TextLeft;
    const int y = rect.top() + TextTop;
    if (isField(column, "bz1")) {
        const QString path = cache.thumbnailPath(cph);
        if (path.isEmpty() || !QFileInfo::exists(path))
            return;
        const JpegResult picture = loadJpegFile(path, rect.size());
        if (!picture.image.isNull())
            canvas.stretchDraw(rect, picture.image);
    } else if (isField(column, "scjg")) {
        const QString scjg = canvas.fieldText(QStringLiteral("scjg"));
        if (!scjg.isEmpty())
            canvas.textRect(rect, x, y, SavedPriceText(scjg));
    } else if (isField(column, "gxjg")) {
        const QString gxjg = canvas.fieldText(QStringLiteral("gxjg"));
        if (gxjg.isEmpty())
            return;
        if (!IsShownPrice(gxjg))
            canvas.textRect(rect, x, y, PriceUnknownText);
        else if (const auto text = CurrentPriceText(gxjg, canvas.fieldText(QStringLiteral("scjg")))) {
            canvas.setFontColor(text->color);
            canvas.textRect(rect, x, y, text->text);
        }
    }
}

int FavoritePreviewTop(int windowHeight, int mouseY)
{
    if (windowHeight < mouseY + 300)
        return windowHeight - 370;
    return mouseY - 30;
}

} // namespace kova
