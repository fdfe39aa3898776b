#include "store/Schema.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kova {
namespace {

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(StoreSchema, CreatesTheFiveTablesWithTheirColumns)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    createDatabase(path);
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("kvdb.dat")});

    Connection connection(path);
    connection.open();
    Dataset ds(connection);
    const QList<QPair<QString, int>> tables = {{QStringLiteral("word"), 2},
                                               {QStringLiteral("cxnr"), 17},
                                               {QStringLiteral("tpb"), 3},
                                               {QStringLiteral("scnr"), 16},
                                               {QStringLiteral("xxb"), 5}};
    for (const auto& [table, columns] : tables) {
        ds.setSql(QStringLiteral("select * from ") + table);
        ds.open();
        EXPECT_EQ(ds.fieldNames().size(), columns) << table.toStdString();
        EXPECT_EQ(ds.recordCount(), 0);
    }
    ds.setSql(QStringLiteral("select * from cxnr"));
    ds.open();
    EXPECT_TRUE(ds.hasField(QStringLiteral("check")));
    ds.setSql(QStringLiteral("select * from scnr"));
    ds.open();
    EXPECT_TRUE(ds.hasField(QStringLiteral("user")));
    EXPECT_TRUE(schemaSql().contains(QStringLiteral("COLLATE KOVANUM")));
}

TEST(StoreSchema, RefusesAnExistingFileAndLeavesItUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    try {
        createDatabase(path);
        FAIL() << "replaced an existing file";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("文件已经存在"))) << e.what();
    }
    EXPECT_EQ(readAll(path), QByteArray("keep me"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("kvdb.dat")});
}

TEST(StoreSchema, FailureLeavesNoFileBehind)
{
    QTemporaryDir dir;
    EXPECT_THROW(createDatabase(dir.path() + QStringLiteral("/missing/kvdb.dat")), Error);
    EXPECT_TRUE(entries(dir.path()).isEmpty());

    // A folder that cannot be written to (unless running as root, which may write anyway).
    const QString locked = dir.path() + QStringLiteral("/locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    bool failed = false;
    try {
        createDatabase(locked + QStringLiteral("/kvdb.dat"));
    } catch (const Error&) {
        failed = true;
    }
    const QStringList left = entries(locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (failed)
        EXPECT_TRUE(left.isEmpty());
    else
        EXPECT_EQ(left, QStringList{QStringLiteral("kvdb.dat")});
}

class StoreInitDb : public ::testing::Test {
protected:
    struct Run {
        int exitCode = -1;
        QString errors;
    };

    static Run run(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KOVA_BINARY_DIR "/tools/kova-initdb"), arguments);
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }
};

TEST_F(StoreInitDb, CreatesADatabaseTheProgramCanOpen)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    const Run created = run({path});
    EXPECT_EQ(created.exitCode, 0) << created.errors.toStdString();
    Connection connection(path);
    connection.open();
    Dataset ds(connection);
    ds.setSql(QStringLiteral("select * from cxnr order by jg"));
    ds.open();
    EXPECT_EQ(ds.recordCount(), 0);
}

TEST_F(StoreInitDb, ReportsUsageAndErrors)
{
    EXPECT_EQ(run({}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("a"), QStringLiteral("b")}).exitCode, 2);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a database");
    file.close();
    const Run refused = run({path});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("文件已经存在"))) << refused.errors.toStdString();
    EXPECT_EQ(readAll(path), QByteArray("not a database"));

    const Run missing = run({dir.path() + QStringLiteral("/no/such/kvdb.dat")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.errors.isEmpty());
}

} // namespace
} // namespace kova
