#include "Connection.h"

#include "Error.h"
#include "Statement.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <utility>

namespace kova {
namespace {

int kovaNumCollation(void*, int aLen, const void* a, int bLen, const void* b)
{
    return compareNumericText(static_cast<const char*>(a), aLen, static_cast<const char*>(b), bLen);
}

// A decimal number "[+-]digits[.digits]" (at least one digit), optionally surrounded by
// blanks. Its pieces are kept as byte ranges so comparing needs no conversion and no
// allocation.
struct Number {
    bool negative = false;
    const char* intPart = nullptr; // without leading zeros
    int intLen = 0;
    const char* fracPart = nullptr; // without trailing zeros
    int fracLen = 0;

    bool isZero() const { return intLen == 0 && fracLen == 0; }
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool parseNumber(const char* s, int len, Number& n)
{
    int i = 0;
    while (i < len && isBlank(s[i]))
        ++i;
    while (len > i && isBlank(s[len - 1]))
        --len;
    if (i < len && (s[i] == '+' || s[i] == '-')) {
        n.negative = s[i] == '-';
        ++i;
    }
    const int intStart = i;
    while (i < len && isDigit(s[i]))
        ++i;
    const int intEnd = i;
    int fracStart = i;
    int fracEnd = i;
    if (i < len && s[i] == '.') {
        fracStart = ++i;
        while (i < len && isDigit(s[i]))
            ++i;
        fracEnd = i;
    }
    if (i != len || (intEnd == intStart && fracEnd == fracStart))
        return false;
    int a = intStart;
    while (a < intEnd && s[a] == '0')
        ++a;
    n.intPart = s + a;
    n.intLen = intEnd - a;
    int b = fracEnd;
    while (b > fracStart && s[b - 1] == '0')
        --b;
    n.fracPart = s + fracStart;
    n.fracLen = b - fracStart;
    return true;
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

int compareMagnitude(const Number& a, const Number& b)
{
    if (a.intLen != b.intLen)
        return a.intLen < b.intLen ? -1 : 1;
    if (a.intLen > 0) {
        const int c = std::memcmp(a.intPart, b.intPart, static_cast<size_t>(a.intLen));
        if (c != 0)
            return sign(c);
    }
    const int common = std::min(a.fracLen, b.fracLen);
    if (common > 0) {
        const int c = std::memcmp(a.fracPart, b.fracPart, static_cast<size_t>(common));
        if (c != 0)
            return sign(c);
    }
    // Trailing zeros are stripped, so the longer fraction is the larger one.
    return sign(a.fracLen - b.fracLen);
}

int compareBytes(const char* a, int aLen, const char* b, int bLen)
{
    const int common = std::min(aLen, bLen);
    if (common > 0) {
        const int c = std::memcmp(a, b, static_cast<size_t>(common));
        if (c != 0)
            return sign(c);
    }
    return sign(aLen - bLen);
}

} // namespace

int compareNumericText(const char* a, int aLen, const char* b, int bLen)
{
    Number na;
    Number nb;
    const bool aNum = parseNumber(a, aLen, na);
    const bool bNum = parseNumber(b, bLen, nb);
    if (aNum != bNum)
        return aNum ? -1 : 1;
    if (aNum) {
        const bool aNeg = na.negative && !na.isZero();
        const bool bNeg = nb.negative && !nb.isZero();
        int c = 0;
        if (aNeg != bNeg)
            c = aNeg ? -1 : 1;
        else
            c = aNeg ? -compareMagnitude(na, nb) : compareMagnitude(na, nb);
        if (c != 0)
            return c;
    }
    return compareBytes(a, aLen, b, bLen);
}

Connection::Connection(QString path) : m_path(std::move(path)) {}

Connection::~Connection()
{
    close();
}

void Connection::open()
{
    if (m_db)
        return;
    // SQLite's memory statistics cost a global lock on every allocation, a few for each row
    // written; the program never reads them. Only possible before SQLite starts.
    static const bool quietMemory = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(quietMemory);
    const QByteArray file = QFile::encodeName(m_path);
    sqlite3* db = nullptr;
    // Read-write only: the program never creates its database.
    const int rc =
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    auto fail = [&](const QString& message) {
        sqlite3_close_v2(db);
        throw Error(QStringLiteral("无法打开数据库 %1：%2").arg(m_path, message));
    };
    if (rc != SQLITE_OK)
        fail(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
    if (sqlite3_db_readonly(db, "main") == 1)
        fail(QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY)));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    try {
        registerCollations(db);
    } catch (const Error& e) {
        fail(e.message());
    }
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
        char* err = nullptr;
        if (sqlite3_exec(db, pragma, nullptr, nullptr, &err) != SQLITE_OK) {
            const QString message = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_free(err);
            fail(message);
        }
    }
    m_db = db;
}

void Connection::close()
{
    if (!m_db)
        return;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

sqlite3* Connection::handle() const
{
    if (!m_db)
        throw Error(QStringLiteral("数据库连接没有打开"));
    return m_db;
}

void Connection::execute(const QString& sql, const QVariantList& params)
{
    sqlite3* db = handle();
    if (!params.isEmpty()) {
        Statement statement(db, sql.toUtf8());
        for (int i = 0; i < params.size(); ++i)
            statement.bind(i + 1, params.at(i));
        while (statement.step()) {
        }
        return;
    }
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString message = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_free(err);
        throw DatabaseError(sqlite3_extended_errcode(db), message);
    }
}

void Connection::registerCollations(sqlite3* db)
{
    if (sqlite3_create_collation_v2(db, "KOVANUM", SQLITE_UTF8, nullptr, kovaNumCollation, nullptr) !=
        SQLITE_OK)
        throw DatabaseError(db);
}

CommitGroup::CommitGroup(Connection& connection)
{
    sqlite3* db = connection.handle();
    if (!sqlite3_get_autocommit(db))
        return;
    connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
    m_db = db;
}

CommitGroup::~CommitGroup()
{
    rollback();
}

void CommitGroup::commit()
{
    if (!m_db)
        return;
    sqlite3* db = std::exchange(m_db, nullptr);
    // A full disk or a failed write can end the transaction inside SQLite: then there is
    // nothing left to commit, and what the group wrote is gone.
    if (sqlite3_get_autocommit(db))
        throw DatabaseError(SQLITE_FULL, QString::fromUtf8(sqlite3_errstr(SQLITE_FULL)));
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const Error failure = DatabaseError(db);
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw failure;
    }
}

void CommitGroup::rollback()
{
    sqlite3* db = std::exchange(m_db, nullptr);
    if (db && !sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace kova
