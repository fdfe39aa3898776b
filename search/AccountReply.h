#pragma once

#include <QString>

#include <optional>

namespace kova {

class SettingsRecord;

// The service account: user id and password.
struct Account {
    QString userId;
    QString password;
};

// The account reply rule, applied to line `index` of a page while an account reply is
// expected: the first-run reply of the service is a page whose body text is the new user
// id. The id is the text after "<BODY>" up to the next tag, trimmed; the password is the
// fixed "mivra". Nothing is stored for a line past the first four, for a failed load (the
// loader's own error page), for an empty id, or while the stored account is complete.
// Returns the account as stored when this line stored it.
std::optional<Account> ApplyAccountReplyRule(const QString& line, int index, bool failedLoad,
                                             bool replyExpected, SettingsRecord& settings);

inline const QString AccountPassword = QStringLiteral("mivra");

} // namespace kova
