#include "tests/support/TestSupport.h"

#include "store/Connection.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <gtest/gtest.h>

namespace kova::test {

TempDatabase::TempDatabase() : m_folder(m_dir.path())
{
    createDatabase(path());
    QDir(m_folder).mkpath(QStringLiteral("tmp"));
}

QString TempDatabase::path() const
{
    return m_folder + QStringLiteral("/kvdb.dat");
}

QString TempDatabase::tempDir() const
{
    return m_folder + QStringLiteral("/tmp/");
}

void TempDatabase::exec(const QString& sql) const
{
    Connection c(path());
    c.open();
    c.execute(sql);
}

QString TempDatabase::scalar(const QString& sql) const
{
    Connection c(path());
    c.open();
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(c.handle(), utf8.constData(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "bad statement: " << sqlite3_errmsg(c.handle());
        return {};
    }
    QString result;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        result = text ? QString::fromUtf8(text) : QString();
    }
    sqlite3_finalize(st);
    return result;
}

int TempDatabase::count(const QString& table) const
{
    return scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

WorkingFolder::WorkingFolder(const QString& dir) : m_previous(QDir::currentPath())
{
    QDir::setCurrent(dir);
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(m_previous);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace kova::test
