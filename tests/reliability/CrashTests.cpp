// The program killed (SIGKILL) in the middle of reading a large result page and a long
// favorites list: kvdb.dat opens again, passes its integrity check and holds every row that
// was posted before the kill; the program starts on it as usual.
#include "tests/reliability/ReliabilityFixture.h"

#include "service/HttpClient.h"
#include "store/Cipher.h"

#include <QSet>

#include <cstdio>

using namespace kova;
using namespace kova::test;

namespace {

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
    }

    QStringList driverArgs(const QStringList& command) const
    {
        return QStringList{server.serviceUrl(), server.versionUrl(), server.directoryUrl()} + command;
    }

    // Runs the driver with `command`, kills it once `killAfter` rows of `table` have been
    // posted, and returns the product numbers it reported as posted.
    QSet<QString> killMidway(const QStringList& command, const QString& table, int killAfter,
                             bool& killedEarly)
    {
        DriverProcess driver(driverProgram(), db.folder(), db.tempDir());
        driver.start(driverArgs(command));
        const QString posted = QStringLiteral("posted ") + table + QLatin1Char(' ');
        int rows = 0;
        const bool reached = driver.readUntil(
            [&](const QString& line) { return line.startsWith(posted) && ++rows >= killAfter; }, 120000);
        EXPECT_TRUE(reached) << driver.lines().join(QLatin1Char('\n')).toStdString();
        driver.killHard();
        killedEarly = !driver.lines().join(QLatin1Char('\n')).contains(QStringLiteral("done "));
        const QStringList cph = driver.linesStartingWith(posted);
        return QSet<QString>(cph.begin(), cph.end());
    }

    // Runs the driver to its end; returns its output.
    QStringList runToEnd(const QStringList& command)
    {
        DriverProcess driver(driverProgram(), db.folder(), db.tempDir());
        driver.start(driverArgs(command));
        EXPECT_TRUE(driver.finish(120000)) << driver.lines().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(driver.exitCode(), 0) << driver.lines().join(QLatin1Char('\n')).toStdString();
        return driver.lines();
    }

    QSet<QString> storedProducts(const QString& table) const
    {
        const QStringList all =
            db.scalar(QStringLiteral("select group_concat(cph, ',') from ") + table).split(QLatin1Char(','));
        return QSet<QString>(all.begin(), all.end());
    }

    static QStringList errorsIn(const QStringList& lines)
    {
        QStringList out;
        for (const QString& line : lines) {
            if (line.startsWith(QStringLiteral("message error ")))
                out << line;
        }
        return out;
    }

    TempDatabase db;
    QTemporaryDir serverDir;
    standin::StandInServer server;
};

TEST_F(CrashSafety, KilledWhileReadingALargeResultPageLosesNoPostedRow)
{
    bool killedEarly = false;
    const QSet<QString> posted = killMidway({QStringLiteral("search"), QStringLiteral("test5000")},
                                            QStringLiteral("cxnr"), 1500, killedEarly);
    ASSERT_TRUE(killedEarly) << "the reading ended before the kill";
    ASSERT_GE(posted.size(), 1500);

    // The file opens (the journal is recovered), is sound, and holds every posted row.
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
    const QSet<QString> stored = storedProducts(QStringLiteral("cxnr"));
    EXPECT_TRUE(stored.contains(posted)) << posted.size() << " posted, " << stored.size() << " stored";
    EXPECT_LT(stored.size(), 5000);
    std::printf("killed after %lld posted result rows; %lld rows in kvdb.dat\n",
                static_cast<long long>(posted.size()), static_cast<long long>(stored.size()));
    // A row's picture record follows the row's own post; the kill may fall between the two.
    const int pictureRecords =
        db.scalar(QStringLiteral("select count(*) from tpb where word='test5000'")).toInt();
    EXPECT_GE(pictureRecords, stored.size() - 1);
    EXPECT_LE(pictureRecords, stored.size());
    const QString account = db.scalar(QStringLiteral("select u || '/' || p from xxb"));
    EXPECT_GT(account.size(), 1);

    // The program starts on it as usual (its start empties the results by design) and
    // keeps the rest.
    const QStringList restart = runToEnd({QStringLiteral("start")});
    EXPECT_TRUE(errorsIn(restart).isEmpty()) << errorsIn(restart).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
    EXPECT_EQ(db.scalar(QStringLiteral("select u || '/' || p from xxb")), account);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test5000'")).toInt(),
              pictureRecords);
}

TEST_F(CrashSafety, KilledWhileReadingTheFavoritesListLosesNoPostedRow)
{
    // An account with many favorites, whose pictures are not in the cache yet, so that the
    // reading takes its time (one blocking download per row).
    runToEnd({QStringLiteral("search"), QStringLiteral("test150")});
    const QString u = Trim(Decipher(db.scalar(QStringLiteral("select u from xxb")), StoreKey));
    const QString p = Trim(Decipher(db.scalar(QStringLiteral("select p from xxb")), StoreKey));
    ASSERT_FALSE(u.isEmpty());
    {
        HttpClient http;
        const Requests requests(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
        for (int row = 1; row <= 150; ++row)
            http.get(requests.addFavorite(u, p, QString::number(row)));
    }
    QDir(db.tempDir() + QStringLiteral("kvpic")).removeRecursively();

    bool killedEarly = false;
    const QSet<QString> posted =
        killMidway({QStringLiteral("favorites")}, QStringLiteral("scnr"), 40, killedEarly);
    ASSERT_TRUE(killedEarly) << "the reading ended before the kill";
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
    const QSet<QString> stored = storedProducts(QStringLiteral("scnr"));
    EXPECT_TRUE(stored.contains(posted)) << posted.size() << " posted, " << stored.size() << " stored";
    EXPECT_LT(stored.size(), 150);
    std::printf("killed after %lld posted favorites; %lld rows in kvdb.dat\n",
                static_cast<long long>(posted.size()), static_cast<long long>(stored.size()));
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));

    // After a restart the favorites are still there, and a new fetch brings all of them.
    const QStringList restart = runToEnd({QStringLiteral("favorites")});
    EXPECT_TRUE(errorsIn(restart).isEmpty()) << errorsIn(restart).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(restart.contains(QStringLiteral("done favorites rows=150")));
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 150);
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));
}

} // namespace
