#pragma once

#include <QString>
#include <sqlite3.h>

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

// Whether an (extended) SQLite result code says the file could not grow: a full disk, a
// page limit, or a write the file system refused (a file size limit, an I/O error).
inline bool IsWriteFailure(int extendedCode)
{
    return (extendedCode & 0xff) == SQLITE_FULL || extendedCode == SQLITE_IOERR_WRITE ||
           extendedCode == SQLITE_IOERR_SHMSIZE || extendedCode == SQLITE_IOERR_TRUNCATE;
}

// The failure `extendedCode` with SQLite's text: a write that found no room says the disk
// is full, everything else reads as DatabaseError(detail).
inline Error DatabaseError(int extendedCode, const QString& detail)
{
    if (IsWriteFailure(extendedCode))
        return Error(QStringLiteral("磁盘已满，数据无法写入数据库：") + detail);
    return DatabaseError(detail);
}

// The latest failure on `db`.
inline Error DatabaseError(sqlite3* db)
{
    return DatabaseError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace kova
