// The stage trace (KOVA_TRACE=FILE) of real searches: the driver's window, started with the
// variable set, appends every stage of a search in the order the search passes them; a
// file that cannot be written changes nothing else; in a program started without the
// variable, a search writes nothing, also when the variable is set later.
#include "tests/reliability/ReliabilityFixture.h"

#include "store/Trace.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

using namespace kova;
using namespace kova::test;

namespace {

struct TraceLine {
    double seconds = 0;
    QString pid;
    QString event;
    int search = -1;
    QString count;
};

QList<TraceLine> readTrace(const QString& path)
{
    QFile file(path);
    QList<TraceLine> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        if (raw.isEmpty())
            continue;
        const QStringList f = QString::fromLatin1(raw).split(QLatin1Char(' '));
        EXPECT_EQ(f.size(), 5) << raw.toStdString();
        if (f.size() != 5)
            continue;
        lines.append({f[0].toDouble(), f[1], f[2], f[3].toInt(), f[4]});
    }
    return lines;
}

class TracedSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
    }

    // The driver's window, started with KOVA_TRACE=`trace`, searches `word` to its end
    // (thumbnails included); returns what the driver printed.
    QStringList searchTraced(const QString& trace, const QString& word)
    {
        qputenv("KOVA_TRACE", trace.toLocal8Bit());
        DriverProcess driver(driverProgram(), db.folder(), db.tempDir());
        qunsetenv("KOVA_TRACE");
        driver.start({server.serviceUrl(), server.versionUrl(), server.directoryUrl(),
                      QStringLiteral("search"), word});
        EXPECT_TRUE(driver.finish(120000)) << driver.lines().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(driver.exitCode(), 0) << driver.lines().join(QLatin1Char('\n')).toStdString();
        return driver.lines();
    }

    // The events of the first search of the process `pid`, in the file's order.
    static QList<TraceLine> firstSearchOf(const QList<TraceLine>& all, const QString& pid)
    {
        QList<TraceLine> out;
        for (const TraceLine& l : all) {
            if (l.pid == pid && l.search == 1)
                out.append(l);
        }
        return out;
    }

    static qsizetype indexOf(const QList<TraceLine>& lines, const char* event)
    {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].event == QLatin1String(event))
                return i;
        }
        return -1;
    }

    TempDatabase db;
    QTemporaryDir serverDir;
    QTemporaryDir traceDir;
    standin::StandInServer server;
};

TEST_F(TracedSearch, EveryStageOfARealSearchIsAppendedInOrder)
{
    const QString trace = traceDir.filePath(QStringLiteral("trace.txt"));
    searchTraced(trace, QStringLiteral("test40"));
    const QList<TraceLine> first = readTrace(trace);
    ASSERT_FALSE(first.isEmpty());
    const QString pid = first.front().pid;

    // Lines are written in time order, all by the one process.
    for (qsizetype i = 1; i < first.size(); ++i) {
        EXPECT_GE(first[i].seconds, first[i - 1].seconds) << i;
        EXPECT_EQ(first[i].pid, pid);
    }
    const QList<TraceLine> search = firstSearchOf(first, pid);
    const char* const order[] = {
        "search-started",   "request-sent",    "reply-complete", "page-text-ready",    "document-complete",
        "first-row-stored", "last-row-stored", "grid-repainted", "thumbnails-fetched", "thumbnails-shown"};
    qsizetype previous = -1;
    for (const char* event : order) {
        const qsizetype at = indexOf(search, event);
        ASSERT_GE(at, 0) << event << " missing";
        EXPECT_GT(at, previous) << event << " out of order";
        previous = at;
    }
    // Each stage is written once per search; "first row shown" lies between the first row
    // stored and the grid repainted after the last.
    for (const TraceLine& l : search)
        EXPECT_EQ(std::count_if(search.begin(), search.end(),
                                [&](const TraceLine& o) { return o.event == l.event; }),
                  1)
            << l.event.toStdString();
    const qsizetype shown = indexOf(search, "first-row-shown");
    ASSERT_GE(shown, 0);
    EXPECT_GT(shown, indexOf(search, "first-row-stored"));
    EXPECT_LT(shown, indexOf(search, "grid-repainted"));

    EXPECT_EQ(search[indexOf(search, "last-row-stored")].count, QStringLiteral("40"));
    EXPECT_EQ(search[indexOf(search, "thumbnails-fetched")].count, QStringLiteral("40"))
        << "every thumbnail is new";
    EXPECT_GT(search[indexOf(search, "reply-complete")].count.toInt(), 40 * 13 * 9) << "bytes of 40 rows";
    EXPECT_GT(search[indexOf(search, "page-text-ready")].count.toInt(), 40 * 13 * 9);
    EXPECT_EQ(search.front().event, QStringLiteral("search-started"));

    // A second program appends to the same file and numbers its own searches; a page
    // without rows ends its reading too.
    searchTraced(trace, QStringLiteral("test0"));
    const QList<TraceLine> both = readTrace(trace);
    ASSERT_GT(both.size(), first.size());
    for (qsizetype i = 0; i < first.size(); ++i)
        EXPECT_EQ(both[i].event, first[i].event) << "line " << i << " was rewritten";
    const QString secondPid = both.back().pid;
    EXPECT_NE(secondPid, pid);
    const QList<TraceLine> second = firstSearchOf(both, secondPid);
    ASSERT_GE(indexOf(second, "last-row-stored"), 0);
    EXPECT_EQ(second[indexOf(second, "last-row-stored")].count, QStringLiteral("0"));
    EXPECT_LT(indexOf(second, "search-started"), indexOf(second, "last-row-stored"));
}

TEST_F(TracedSearch, TraceFileThatCannotBeWrittenChangesNothingElse)
{
    // A folder in place of the file, and a file in a folder that does not exist.
    for (const QString& trace : {traceDir.path(), traceDir.filePath(QStringLiteral("none/trace.txt"))}) {
        const QStringList lines = searchTraced(trace, QStringLiteral("test20"));
        EXPECT_TRUE(lines.contains(QStringLiteral("done search rows=20")))
            << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("message ")))
            << "no message to the user";
        EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    }
    EXPECT_FALSE(QFile::exists(traceDir.filePath(QStringLiteral("none"))));
    EXPECT_TRUE(QDir(traceDir.path()).entryList(QDir::Files).isEmpty());
}

class UntracedSearch : public SearchFixture {};

TEST_F(UntracedSearch, ProgramStartedWithoutTheVariableWritesNothing)
{
    if (std::getenv("KOVA_TRACE") != nullptr)
        GTEST_SKIP() << "the test program itself was started with KOVA_TRACE set";
    ASSERT_FALSE(trace::enabled());
    // Set after the start, the variable is not looked at again.
    QTemporaryDir traceDir;
    const QString file = traceDir.filePath(QStringLiteral("trace.txt"));
    qputenv("KOVA_TRACE", file.toLocal8Bit());
    start();
    search(QStringLiteral("test40"));
    const bool fetched = fetchersDone();
    qunsetenv("KOVA_TRACE");
    ASSERT_TRUE(fetched);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 40);
    EXPECT_FALSE(QFile::exists(file));
}

} // namespace
