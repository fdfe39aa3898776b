// RewriteAffiliateIds over arbitrary product links and ids.
//
// Input: link, pid and union id separated by line feeds (missing parts are empty).

#include "fuzz/FuzzSupport.h"

#include "links/AffiliateLinks.h"

#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList parts = kova::fuzz::text(data, size).split(QLatin1Char('\n'));
    const QString link = parts.value(0);
    const QString pid = parts.value(1);
    const QString unionId = parts.value(2);

    const QString rewritten = kova::RewriteAffiliateIds(link, pid, unionId);
    const bool marked = link.contains(QStringLiteral("=mm_")) || link.contains(QStringLiteral("unionId="));
    if ((!marked || (pid.isEmpty() && unionId.isEmpty())) && rewritten != link)
        kova::fuzz::fail("link without work changed", link + QStringLiteral(" -> ") + rewritten);
    // Only values are replaced: what comes before the first marker is kept.
    const qsizetype firstMarker = [&] {
        const qsizetype a = link.indexOf(QStringLiteral("=mm_"));
        const qsizetype b = link.indexOf(QStringLiteral("unionId="));
        if (a < 0)
            return b;
        return b < 0 ? a : std::min(a, b);
    }();
    if (firstMarker >= 0 && !rewritten.startsWith(link.left(firstMarker)))
        kova::fuzz::fail("text before the marker changed", link + QStringLiteral(" -> ") + rewritten);
    return 0;
}
