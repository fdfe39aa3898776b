#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kova {

class PageText;
class PriceHistory;

// A favorite as the price-drop list page gives it.
struct ListedFavorite {
    QString cph;
    QString name;
    QString savedPrice;
    QString currentPrice;
};

// The rows of a favorites or price-drop list page, read as the favorites reader reads
// them (a list page names "序列" or the user id; twelve cell lines after each "<TR>"),
// without storing anything. Rows cut short by the end of the page are left out.
std::vector<ListedFavorite> ReadListedFavorites(const PageText& page, const QString& userId);

// One favorite to announce: its price at the last alert (or when saved) and now, in fen.
struct PriceDropAlert {
    QString cph;
    QString name;
    qint64 before = 0;
    qint64 now = 0;
};

// The favorites whose current price is lower than at the last alert for them, or that were
// never announced and are below their saved price. Prices that are no numbers and empty
// product numbers are passed over.
std::vector<PriceDropAlert> NewPriceDrops(const std::vector<ListedFavorite>& listed, PriceHistory& history);

// Remembers the announced prices, so a restart does not announce them again.
void RememberAnnounced(const std::vector<PriceDropAlert>& alerts, PriceHistory& history);

// The notification's texts: summary "商品降价通知", body "N 件收藏商品降价" and up to three
// lines "名称 ￥旧价 → ￥新价".
inline const QString PriceDropSummary = QStringLiteral("商品降价通知");
QString PriceDropCountText(int count);
QString PriceDropBody(const std::vector<PriceDropAlert>& alerts);

} // namespace kova
