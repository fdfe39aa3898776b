#pragma once

#include <QString>
#include <QVariantList>
#include <sqlite3.h>

#include <memory>

namespace kova {

// The database connection (ADOConnection1). Opens an existing SQLite file read-write,
// never creates one: a missing file is an Error carrying SQLite's own message and
// leaves no file behind. Every connection runs in WAL mode with synchronous=NORMAL and
// a busy time-out, and has the numeric collation "KOVANUM" registered, which the
// schema puts on the price and popularity columns.
class Connection {
public:
    explicit Connection(QString path = QStringLiteral("kvdb.dat"));
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void open();  // throws Error
    void close(); // the datasets over it must be closed first
    bool isOpen() const { return m_db != nullptr; }
    const QString& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }

    sqlite3* handle() const; // throws Error when closed
    // Statement(s) without result rows; throws Error. With `params`, one statement whose
    // "?" placeholders take the values in order.
    void execute(const QString& sql, const QVariantList& params = {});

    // Registers the program's collations on a raw handle (tools open their own).
    static void registerCollations(sqlite3* db);

private:
    QString m_path;
    sqlite3* m_db = nullptr;
};

// The writes of one step of work in one commit, so a run of rows costs one write of the
// log instead of one per row. The step is stored whole or not at all: commit() says
// whether it was, and a group left without commit() (an error) rolls back. Nothing is
// grouped when a transaction is open already (its owner commits or rolls back).
class CommitGroup {
public:
    explicit CommitGroup(Connection& connection); // throws Error when the write lock is not had
    ~CommitGroup();                               // rolls back what was not committed
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // Throws Error when the commit fails (a full disk reads as such); nothing of the step
    // is stored then.
    void commit();
    void rollback();
    // Whether this group began the transaction (false inside a caller's).
    bool owns() const { return m_db != nullptr; }

private:
    sqlite3* m_db = nullptr; // null when nothing was begun
};

// Numeric ordering of texts holding decimal numbers ("9" < "58.50" < "100"). Texts that
// are not numbers come after all numbers, in byte order; equal numbers fall back to byte
// order so that the ordering is total.
int compareNumericText(const char* a, int aLen, const char* b, int bLen);

} // namespace kova
