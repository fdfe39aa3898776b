#pragma once

#include "store/PriceHistory.h"

#include <QString>

#include <vector>

namespace kova {

// How a price compares with its product's own history: the daily last prices of the
// VerdictWindowDays days up to today, at least VerdictMinDays of them.
enum class Verdict {
    TooFewDays,  // 记录不足
    HistoricLow, // at or below the lowest
    Low,         // below the 25th percentile
    Normal,      // up to the 75th percentile
    High,        // above it
};
QString VerdictText(Verdict verdict);

inline constexpr int VerdictWindowDays = 90;
inline constexpr int VerdictMinDays = 5;

// `history` oldest first, as PriceHistory::days gives it. Percentiles interpolate linearly
// between the sorted daily prices and are compared exactly (in quarters of a fen).
Verdict JudgePrice(qint64 priceFen, const std::vector<DayPrice>& history, const QDate& today);

// The tool tip of a price cell: the verdict, then "历史最低 ￥x（日期）· 最高 ￥y · 共记录 N 天"
// over the whole history kept up to today (days after today are not counted). Without any
// such day only the verdict. "记录不足" comes only with fewer than VerdictMinDays days in all;
// with more, but too few of them in the verdict's window, the first line says that instead.
QString PriceToolTip(qint64 priceFen, const std::vector<DayPrice>& history, const QDate& today);

} // namespace kova
