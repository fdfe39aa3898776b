#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace kova {

// Money as a whole number of fen (1 yuan = 100 fen): sums and differences of prices are
// exact, and an amount prints as the decimal text it stands for.

// Prices are below this many fen (10^16 yuan), so the sum or difference of two prices
// always fits in a qint64.
inline constexpr qint64 PriceFenLimit = 1'000'000'000'000'000'000;

// A price text in fen. Surrounding blanks and one leading sign are allowed, then ASCII
// digits with at most one decimal point: "58.50", " 7 ", ".5", "5.", "-3", "+0.1".
// Digits after the second decimal must be zeros ("58.500" is 5850 fen): a text naming a
// fraction of a fen ("1.234") is no price, so nothing is ever rounded. Everything else is
// no price either: an empty text, "1,299.00", "1e5", "￥5", full-width digits, "." alone,
// and a value of PriceFenLimit fen or more.
std::optional<qint64> PriceInFen(const QString& text);

// Whether a stored price text is shown as a price: ASCII digits, at most ShownPriceDigits of
// them before the decimal point, optionally a point followed by digits, and a value above
// zero ("58", "58.5", "9999999999.99"). No sign, blank, separator or exponent ("-5", "+3",
// " 58", "1,299.00", "1e308", "NaN"), nothing empty and no zero ("0", "0.00"): such a text is
// shown as PriceUnknownText and no change is computed from it.
inline constexpr int ShownPriceDigits = 10;
bool IsShownPrice(QStringView text);
inline const QString PriceUnknownText = QStringLiteral("价格未知");

// An amount of fen in yuan, in its shortest decimal form: 44344 -> "443.44",
// 2000 -> "20", 1050 -> "10.5", 1 -> "0.01", 0 -> "0", -150 -> "-1.5".
QString YuanText(qint64 fen);

} // namespace kova
