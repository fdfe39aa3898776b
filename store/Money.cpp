#include "store/Money.h"

namespace kova {
namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

constexpr int MaxYuanDigits = 16; // PriceFenLimit is 10^16 yuan

} // namespace

std::optional<qint64> PriceInFen(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }

    qint64 yuan = 0;
    int yuanDigits = 0; // significant ones: leading zeros do not count
    bool anyDigit = false;
    for (; i < t.size() && isDigit(t[i]); ++i) {
        anyDigit = true;
        const int d = t[i].unicode() - '0';
        if (yuanDigits == 0 && d == 0)
            continue;
        if (++yuanDigits > MaxYuanDigits)
            return std::nullopt;
        yuan = yuan * 10 + d;
    }

    qint64 fraction = 0; // in fen
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        for (int place = 0; i < t.size() && isDigit(t[i]); ++i, ++place) {
            anyDigit = true;
            const int d = t[i].unicode() - '0';
            if (place == 0)
                fraction += d * 10;
            else if (place == 1)
                fraction += d;
            else if (d != 0)
                return std::nullopt; // a fraction of a fen
        }
    }
    if (!anyDigit || i != t.size())
        return std::nullopt;

    const qint64 fen = yuan * 100 + fraction;
    if (fen >= PriceFenLimit)
        return std::nullopt;
    return negative ? -fen : fen;
}

bool IsShownPrice(QStringView text)
{
    qsizetype i = 0;
    bool nonZero = false;
    for (; i < text.size() && isDigit(text[i]); ++i)
        nonZero = nonZero || text[i] != QLatin1Char('0');
    if (i == 0 || i > ShownPriceDigits)
        return false;
    if (i < text.size()) {
        if (text[i] != QLatin1Char('.') || ++i == text.size())
            return false;
        for (; i < text.size(); ++i) {
            if (!isDigit(text[i]))
                return false;
            nonZero = nonZero || text[i] != QLatin1Char('0');
        }
    }
    return nonZero;
}

QString YuanText(qint64 fen)
{
    // The magnitude in unsigned arithmetic, so that the most negative value has one too.
    const quint64 magnitude = fen < 0 ? quint64(0) - quint64(fen) : quint64(fen);
    QString text = QString::number(magnitude / 100);
    const unsigned cents = unsigned(magnitude % 100);
    if (cents != 0) {
        text += QLatin1Char('.');
        text += QLatin1Char(char('0' + cents / 10));
        if (cents % 10 != 0)
            text += QLatin1Char(char('0' + cents % 10));
    }
    return fen < 0 ? QLatin1Char('-') + text : text;
}

} // namespace kova
