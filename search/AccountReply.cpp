#include "search/AccountReply.h"

#include "store/Cipher.h"
#include "store/SettingsRecord.h"

namespace kova {

std::optional<Account> ApplyAccountReplyRule(const QString& line, int index, bool failedLoad,
                                             bool replyExpected, SettingsRecord& settings)
{
    static const QString Body = QStringLiteral("<BODY>");
    if (!replyExpected || failedLoad || index >= 4)
        return std::nullopt;
    const qsizetype at = line.indexOf(Body);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + Body.size();
    const qsizetype tag = line.indexOf(QLatin1Char('<'), start);
    const QString userId = Trim(line.mid(start, tag < 0 ? -1 : tag - start));
    if (userId.isEmpty())
        return std::nullopt;
    const auto stored =
        settings.writePairIfMissing(QStringLiteral("u"), userId, QStringLiteral("p"), AccountPassword);
    if (stored.state != SettingsRecord::Pair::State::Ok)
        return std::nullopt;
    return Account{stored.first, stored.second};
}

} // namespace kova
