#pragma once

#include "Error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <sqlite3.h>

#include <unordered_map>

namespace kova {

// One prepared statement, finalized when it goes out of scope, or a statement borrowed
// from a StatementCache, reset for its next use when it goes out of scope. Internal to
// the store.
class Statement {
public:
    Statement(sqlite3* db, sqlite3_stmt* borrowed) : m_db(db), m_stmt(borrowed), m_borrowed(true) {}
    Statement(sqlite3* db, const QByteArray& sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
            SQLITE_OK)
            throw DatabaseError(db);
        if (!m_stmt) // only blanks or comments
            throw Error(QStringLiteral("数据库语句是空的"));
    }
    ~Statement()
    {
        if (m_borrowed) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        } else {
            sqlite3_finalize(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    int columnCount() const { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

    void bind(int index, const QVariant& value)
    {
        int rc = SQLITE_OK;
        switch (value.typeId()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(),
                                     static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default:
            if (value.isNull()) {
                rc = sqlite3_bind_null(m_stmt, index);
            } else {
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text64(m_stmt, index, text.constData(),
                                         static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
            }
            break;
        }
        if (rc != SQLITE_OK)
            throw DatabaseError(m_db);
    }

    // True when a row is ready; false when done. Throws on error.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw DatabaseError(m_db);
    }

    QVariant value(int i) const
    {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, i));
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
            QString value = QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i));
            // The conversion reserves a character per byte: a Chinese text would keep three
            // times the room it needs for as long as its dataset holds it.
            if (value.capacity() - value.size() > 8)
                value.squeeze();
            return QVariant(std::move(value));
        }
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
            return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, i)));
        }
        default:
            return {};
        }
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_borrowed = false;
};

// Prepared statements kept for reuse by one user (a Dataset), keyed by their text. A
// statement is used by one Statement at a time, so the cache must not be shared between
// threads.
class StatementCache {
public:
    StatementCache() = default;
    ~StatementCache() { clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    sqlite3_stmt* get(sqlite3* db, const QByteArray& sql)
    {
        // A reopened connection is a new handle; statements of the old one are dropped.
        if (db != m_db) {
            clear();
            m_db = db;
        }
        const auto found = m_statements.find(sql);
        if (found != m_statements.end())
            return found->second;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db, sql.constData(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &stmt, nullptr) != SQLITE_OK)
            throw DatabaseError(db);
        if (!stmt)
            throw Error(QStringLiteral("数据库语句是空的"));
        m_statements.emplace(sql, stmt);
        return stmt;
    }

    void clear()
    {
        for (auto& entry : m_statements)
            sqlite3_finalize(entry.second);
        m_statements.clear();
        m_db = nullptr;
    }

private:
    struct Hash {
        size_t operator()(const QByteArray& bytes) const { return qHash(bytes); }
    };
    sqlite3* m_db = nullptr;
    std::unordered_map<QByteArray, sqlite3_stmt*, Hash> m_statements;
};

} // namespace kova
