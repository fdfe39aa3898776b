#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace kova::test {

// A temporary folder holding a fresh kvdb.dat made from the program's schema.
class TempDatabase {
public:
    TempDatabase();
    const QString& folder() const { return m_folder; }
    QString path() const;    // folder + "/kvdb.dat"
    QString tempDir() const; // folder + "/tmp/" (exists), for TempDir and the picture cache

    // Runs a statement on a connection of its own (setting up rows, checking results).
    void exec(const QString& sql) const;
    // The first column of the first row of a query, as text ("" when no row).
    QString scalar(const QString& sql) const;
    int count(const QString& table) const;

private:
    QTemporaryDir m_dir;
    QString m_folder;
};

// Makes the working folder `dir` for the life of the object and restores it after.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& dir);
    ~WorkingFolder();

private:
    QString m_previous;
};

// Processes events until `done` returns true or `timeoutMs` passes; returns done().
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Processes events for `ms` without waiting for anything. Only for showing that something
// does NOT happen (a stale reply, a second message) in a window where it would have; every
// caller says which event it rules out and why the window is long enough. To wait for
// something that does happen, use waitUntil with that condition.
inline void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

} // namespace kova::test

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
