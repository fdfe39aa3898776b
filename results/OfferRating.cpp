#include "results/OfferRating.h"

namespace kova {
namespace {

const QString Taobao = QStringLiteral("淘宝网");
const QString Genuine = QStringLiteral("正品");

QString stars(int n)
{
    return QString(n, QChar(0x2605));
}

} // namespace

QString StarRating(qint64 count, const QString& merchant, const QString& name)
{
    // A Taobao offer without "正品" needs ten times the count for the same stars.
    if (merchant == Taobao && !name.contains(Genuine)) {
        if (count > 1000)
            return stars(5);
        if (count > 100)
            return stars(4);
        if (count > 10)
            return stars(3);
        return stars(2);
    }
    if (count > 100)
        return stars(5);
    if (count > 10)
        return stars(4);
    return stars(3);
}

QString AuthenticityLabel(qint64 count, const QString& merchant, const QString& name)
{
    if (merchant != Taobao)
        return QStringLiteral("保障");
    if (!name.contains(Genuine))
        return count > 100 ? QStringLiteral("可信") : QString();
    return (count > 10 && count <= 100) ? QStringLiteral("可信") : QString();
}

} // namespace kova
