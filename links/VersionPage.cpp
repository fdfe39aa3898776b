#include "links/VersionPage.h"

#include "service/PageText.h"
#include "store/Cipher.h"
#include "store/SettingsRecord.h"

namespace kova {
namespace {

const QString MarkerA = QStringLiteral("AAA=");
const QString MarkerB = QStringLiteral("BBB=");
const QString MarkerC = QStringLiteral("CCC=");

} // namespace

std::optional<AffiliateIds> ParseVersionLine(const QString& line)
{
    const qsizetype a = line.indexOf(MarkerA);
    const qsizetype b = line.indexOf(MarkerB);
    const qsizetype c = line.indexOf(MarkerC);
    if (a < 0 || b < a + MarkerA.size() || c < b + MarkerB.size())
        return std::nullopt;
    AffiliateIds ids{
        Trim(line.mid(a + MarkerA.size(), b - a - MarkerA.size())),
        Trim(line.mid(b + MarkerB.size(), c - b - MarkerB.size())),
    };
    if (ids.taobaoPid.isEmpty() || ids.jdUnionId.isEmpty())
        return std::nullopt;
    return ids;
}

std::optional<AffiliateIds> ReadVersionPage(const PageText& page, SettingsRecord& settings)
{
    for (int i = 0; i < page.count(); ++i) {
        const QString line = page.line(i);
        if (!line.contains(MarkerA))
            continue;
        const auto ids = ParseVersionLine(line);
        if (!ids)
            continue;
        const auto stored = settings.writePairIfMissing(QStringLiteral("a"), ids->taobaoPid,
                                                        QStringLiteral("b"), ids->jdUnionId);
        if (stored.state != SettingsRecord::Pair::State::Ok)
            return std::nullopt; // both were set already, or what was stored cannot be read back
        return AffiliateIds{stored.first, stored.second};
    }
    return std::nullopt;
}

} // namespace kova
