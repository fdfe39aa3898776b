#include "favorites/PriceDrops.h"

#include "search/ResultPageReader.h"
#include "service/PageText.h"
#include "store/Money.h"
#include "store/PlainText.h"
#include "store/PriceHistory.h"

namespace kova {
namespace {

constexpr int CellCount = 12;
constexpr int ShownLines = 3;

} // namespace

std::vector<ListedFavorite> ReadListedFavorites(const PageText& page, const QString& userId)
{
    std::vector<ListedFavorite> out;
    if (page.failedLoad())
        return out;
    const int lines = page.count();
    bool listPage = false;
    for (int i = 0; i < lines && !listPage; ++i) {
        const QString line = page.line(i);
        listPage = line.contains(QStringLiteral("序列")) || (!userId.isEmpty() && line.contains(userId));
    }
    if (!listPage)
        return out;
    for (int i = 0; i + CellCount < lines; ++i) {
        if (!page.line(i).contains(QStringLiteral("<TR>")) ||
            page.line(i + 1).contains(QStringLiteral("序列")))
            continue;
        auto cell = [&](int k) { return StripBidiControls(CellValue(page.line(i + k))); };
        out.push_back({cell(4), cell(5), cell(9), cell(10)});
    }
    return out;
}

std::vector<PriceDropAlert> NewPriceDrops(const std::vector<ListedFavorite>& listed, PriceHistory& history)
{
    std::vector<PriceDropAlert> alerts;
    for (const ListedFavorite& f : listed) {
        const auto now = PriceInFen(f.currentPrice);
        if (f.cph.isEmpty() || !now || *now <= 0)
            continue;
        qint64 before = 0;
        if (const auto announced = history.announcedPrice(f.cph)) {
            before = *announced;
        } else {
            const auto saved = PriceInFen(f.savedPrice);
            if (!saved)
                continue;
            before = *saved;
        }
        if (*now < before)
            alerts.push_back({f.cph, f.name, before, *now});
    }
    return alerts;
}

void RememberAnnounced(const std::vector<PriceDropAlert>& alerts, PriceHistory& history)
{
    for (const PriceDropAlert& a : alerts)
        history.setAnnounced(a.cph, a.now);
}

QString PriceDropCountText(int count)
{
    return QStringLiteral("%1 件收藏商品降价").arg(count);
}

QString PriceDropBody(const std::vector<PriceDropAlert>& alerts)
{
    QString body = PriceDropCountText(static_cast<int>(alerts.size()));
    for (size_t i = 0; i < alerts.size() && i < ShownLines; ++i) {
        const PriceDropAlert& a = alerts[i];
        body += QLatin1Char('\n') + a.name + QStringLiteral(" ￥") + YuanText(a.before) +
                QStringLiteral(" → ￥") + YuanText(a.now);
    }
    return body;
}

} // namespace kova
