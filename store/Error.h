#pragma once

#include <QString>
#include <stdexcept>

namespace kova {

// The one error type of the program. Handlers let it travel to the standard error
// report (see store/Report.h), which shows what() as the message text.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// A failure of the database engine: the user reads the Chinese text, SQLite's own after it.
inline Error DatabaseError(const QString& detail)
{
    return Error(QStringLiteral("数据库操作失败：") + detail);
}

} // namespace kova
