#pragma once

#include <QString>

namespace kova {

class SettingsRecord;
struct ProgramState;

// The account reply rule, applied to line `index` of a page while an account reply is
// expected: the first-run reply of the service is a page whose body text is the new user
// id. The id is the text after "<BODY>" up to the next tag, trimmed; the password is the
// fixed "mivra". Nothing is stored for a line past the first four, for a failed load (the
// loader's own error page), for an empty id, or while the stored account is complete.
// Returns true when the account was stored (UserId and UserPassword are then set).
bool ApplyAccountReplyRule(const QString& line, int index, bool failedLoad, ProgramState& state,
                           SettingsRecord& settings);

inline const QString AccountPassword = QStringLiteral("mivra");

} // namespace kova
