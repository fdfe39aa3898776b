#include "links/AffiliateLinks.h"

namespace kova {
namespace {

// Replaces the text from `valueStart` up to the next "&" (kept) or the end of the link.
QString replaceValue(const QString& link, qsizetype valueStart, const QString& value)
{
    const qsizetype amp = link.indexOf(QLatin1Char('&'), valueStart);
    QString result = link.left(valueStart) + value;
    if (amp >= 0)
        result += link.mid(amp);
    return result;
}

} // namespace

QString RewriteAffiliateIds(const QString& link, const QString& taobaoPid, const QString& jdUnionId)
{
    if (taobaoPid.isEmpty() && jdUnionId.isEmpty())
        return link;
    QString result = link;
    // The pid value starts with "mm_" right after an "=", which stays.
    const qsizetype pid = result.indexOf(QStringLiteral("=mm_"));
    if (pid >= 0)
        result = replaceValue(result, pid + 1, taobaoPid);
    // The union id is replaced also when it is the link's last parameter.
    const QString unionMarker = QStringLiteral("unionId=");
    const qsizetype unionId = result.indexOf(unionMarker);
    if (unionId >= 0)
        result = replaceValue(result, unionId + unionMarker.size(), jdUnionId);
    return result;
}

} // namespace kova
