#include "search/AccountReply.h"

#include "app/ProgramState.h"
#include "store/Cipher.h"
#include "store/SettingsRecord.h"

namespace kova {

bool ApplyAccountReplyRule(const QString& line, int index, bool failedLoad, ProgramState& state,
                           SettingsRecord& settings)
{
    static const QString Body = QStringLiteral("<BODY>");
    if (!state.AccountReplyExpected || failedLoad || index >= 4)
        return false;
    const qsizetype at = line.indexOf(Body);
    if (at < 0)
        return false;
    const qsizetype start = at + Body.size();
    const qsizetype tag = line.indexOf(QLatin1Char('<'), start);
    const QString userId = Trim(line.mid(start, tag < 0 ? -1 : tag - start));
    if (userId.isEmpty())
        return false;
    const auto stored = settings.writePairIfMissing(QStringLiteral("u"), userId, QStringLiteral("p"), AccountPassword);
    if (stored.state != SettingsRecord::Pair::State::Ok)
        return false;
    state.UserId = stored.first;
    state.UserPassword = stored.second;
    return true;
}

} // namespace kova
