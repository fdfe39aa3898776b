#include "store/PriceVerdict.h"

#include "store/Money.h"

#include <algorithm>

namespace kova {
namespace {

// Four times the q/4-th percentile (q = 1 or 3) of sorted values, by linear interpolation
// between closest ranks: exact in integers.
qint64 quarterPercentileTimes4(const std::vector<qint64>& sorted, int q)
{
    const qint64 k = static_cast<qint64>(sorted.size() - 1) * q;
    const auto index = static_cast<size_t>(k / 4);
    const qint64 rest = k % 4;
    const qint64 below = sorted[index];
    const qint64 above = rest == 0 ? below : sorted[index + 1];
    return below * (4 - rest) + above * rest;
}

} // namespace

QString VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::TooFewDays:
        return QStringLiteral("记录不足");
    case Verdict::HistoricLow:
        return QStringLiteral("历史低价");
    case Verdict::Low:
        return QStringLiteral("价格偏低");
    case Verdict::Normal:
        return QStringLiteral("价格正常");
    case Verdict::High:
        return QStringLiteral("价格偏高");
    }
    return {};
}

Verdict JudgePrice(qint64 priceFen, const std::vector<DayPrice>& history, const QDate& today)
{
    const QDate first = today.addDays(-(VerdictWindowDays - 1));
    std::vector<qint64> prices;
    prices.reserve(std::min<size_t>(history.size(), VerdictWindowDays));
    for (const DayPrice& d : history) {
        if (d.day >= first && d.day <= today)
            prices.push_back(d.last);
    }
    if (prices.size() < static_cast<size_t>(VerdictMinDays))
        return Verdict::TooFewDays;
    std::sort(prices.begin(), prices.end());
    if (priceFen <= prices.front())
        return Verdict::HistoricLow;
    if (priceFen * 4 < quarterPercentileTimes4(prices, 1))
        return Verdict::Low;
    if (priceFen * 4 <= quarterPercentileTimes4(prices, 3))
        return Verdict::Normal;
    return Verdict::High;
}

QString PriceToolTip(qint64 priceFen, const std::vector<DayPrice>& history, const QDate& today)
{
    // Only days up to today are history; a day after it was written while the clock was ahead.
    std::vector<const DayPrice*> days;
    days.reserve(history.size());
    for (const DayPrice& d : history) {
        if (d.day.isValid() && d.day <= today)
            days.push_back(&d);
    }
    const Verdict verdict = JudgePrice(priceFen, history, today);
    QString text = VerdictText(verdict);
    if (days.empty())
        return text;
    // Enough days, but too few of them recent: the tool tip says so instead of "记录不足".
    if (verdict == Verdict::TooFewDays && days.size() >= static_cast<size_t>(VerdictMinDays)) {
        const QDate first = today.addDays(-(VerdictWindowDays - 1));
        const auto recent =
            std::count_if(days.begin(), days.end(), [&](const DayPrice* d) { return d->day >= first; });
        text = QStringLiteral("近 %1 天只有 %2 天的价格，无法判断").arg(VerdictWindowDays).arg(recent);
    }
    const DayPrice* lowest = days.front();
    qint64 highest = days.front()->high;
    for (const DayPrice* d : days) {
        if (d->low < lowest->low)
            lowest = d;
        highest = std::max(highest, d->high);
    }
    return text + QLatin1Char('\n') +
           QStringLiteral("历史最低 ￥%1（%2）· 最高 ￥%3 · 共记录 %4 天")
               .arg(YuanText(lowest->low), lowest->day.toString(QStringLiteral("yyyy-MM-dd")),
                    YuanText(highest))
               .arg(days.size());
}

} // namespace kova
