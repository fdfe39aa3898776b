#pragma once

// One fresh kvdb.dat per fuzzing process, in a temporary folder, with the query objects
// the page readers write through. Rows are deleted between inputs, which is much faster
// than a new file per input.

#include "store/Connection.h"
#include "store/Dataset.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kova::fuzz {

class ScratchDatabase {
public:
    ScratchDatabase();

    const QString& folder() const { return m_folder; }
    QString tempDir() const { return m_folder + QStringLiteral("/tmp/"); }

    Connection& connection() { return *m_connection; }
    // Deletes every row of the five tables.
    void clear();
    // select count(*) from table, on the program's connection.
    int count(const QString& table);

private:
    QTemporaryDir m_dir;
    QString m_folder;
    std::unique_ptr<Connection> m_connection;
};

} // namespace kova::fuzz
