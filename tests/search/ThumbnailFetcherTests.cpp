// The thumbnail fetcher against the stand-in server: the order it takes pictures in, its
// parallel connections as the server sees them, silent hosts and missing pictures, stop.
#include "search/TGetMM.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "tests/service/StandInFixture.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

#include <sys/resource.h>

#include <functional>
#include <mutex>
#include <set>
#include <thread>

using namespace kova;
using kova::standin::Fault;

namespace {

// What the fetcher's threads report while it runs.
struct Saves {
    std::mutex mutex;
    QStringList order;
    QSet<int> nice;
    std::set<std::thread::id> threads;
};

class FetcherTest : public kova::test::StandInTest {
protected:
    void SetUp() override
    {
        StandInTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        cache().ensureFolder();
    }

    QString tempDir() const { return m_dir.path() + QLatin1Char('/'); }
    PictureCache cache() const { return PictureCache(tempDir()); }
    bool saved(const QString& cph) const { return QFile::exists(cache().thumbnailPath(cph)); }

    static QString address(const QString& cph, const QString& host = server().directoryUrl())
    {
        return host + QStringLiteral("/pic/") + cph + QStringLiteral(".jpg");
    }
    // Products `prefix`0 … `prefix`<count - 1> on the directory host.
    static std::vector<PictureItem> products(const QString& prefix, int count)
    {
        std::vector<PictureItem> items;
        for (int i = 0; i < count; ++i) {
            const QString cph = prefix + QString::number(i);
            items.push_back({cph, address(cph)});
        }
        return items;
    }

    // Notes every save of `fetcher` in `saves`, on the thread that saved it; `then` runs
    // after each note with the count so far.
    static void watch(TGetMM& fetcher, Saves& saves, std::function<void(qsizetype)> then = {})
    {
        QObject::connect(
            &fetcher, &TGetMM::pictureSaved, &fetcher,
            [&saves, then](const QString& cph) {
                qsizetype count = 0;
                {
                    std::lock_guard lock(saves.mutex);
                    saves.order.append(cph);
                    saves.nice.insert(getpriority(PRIO_PROCESS, 0));
                    saves.threads.insert(std::this_thread::get_id());
                    count = saves.order.size();
                }
                if (then)
                    then(count);
            },
            Qt::DirectConnection);
    }

    QTemporaryDir m_dir;
};

class ThumbnailFetcher : public FetcherTest {};

TEST(ThumbnailQueueOrder, LeadingThenShownThenTheRestEachOnce)
{
    std::vector<PictureItem> items;
    for (const char* cph : {"a", "b", "c", "d", "e", "f", "g", "h"})
        items.push_back({QString::fromLatin1(cph), QStringLiteral("http://127.0.0.1:9/pic/x.jpg")});
    ThumbnailQueue queue(items, 2);
    queue.showProducts({QStringLiteral("g"), QStringLiteral("x"), QStringLiteral("b"), QStringLiteral("e")});
    QStringList order;
    const auto next = [&] {
        const auto item = queue.take();
        order.append(item ? item->cph : QStringLiteral("-"));
    };
    next(); // a: leading
    next(); // b: leading, so not again among the shown
    next(); // g: shown
    // The grid scrolls: what it showed before is no longer first.
    queue.showProducts({QStringLiteral("h"), QStringLiteral("a"), QStringLiteral("f")});
    for (int i = 0; i < 6; ++i)
        next();
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("a b g h f c d e -"));
}

// The rest of a list arrives after the fetcher has begun: the rows told as shown before it
// came are looked for in it, a product listed already is not listed again.
TEST(ThumbnailQueueOrder, ItemsAppendedLaterAreShownFirstAndListedOnce)
{
    const auto items = [](std::initializer_list<const char*> cphs) {
        std::vector<PictureItem> list;
        for (const char* cph : cphs)
            list.push_back({QString::fromLatin1(cph), QStringLiteral("http://127.0.0.1:9/pic/x.jpg")});
        return list;
    };
    ThumbnailQueue queue(items({"a"}), 1);
    queue.showProducts({QStringLiteral("d"), QStringLiteral("a")});
    QStringList order;
    const auto next = [&] {
        const auto item = queue.take();
        order.append(item ? item->cph : QStringLiteral("-"));
    };
    next(); // a: leading
    next(); // nothing more yet
    queue.append(items({"b", "a", "c", "d", "c"}));
    for (int i = 0; i < 4; ++i)
        next();
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("a - d b c -"));
}

// Every result row with a product number in the order of its price as "order by jg" gives
// it (null first, texts that are no number after the numbers, equal prices in the table's
// order), read on a connection of its own.
TEST(ResultPictures, AreListedInTheOrderOfTheirPrices)
{
    const kova::test::TempDatabase db;
    db.exec(QStringLiteral(
        "insert into cxnr (bh, cph, xtp, jg) values (1, 'p100', 'u100', '100'), (2, 'p9', 'u9', '9'), "
        "(3, 'p58', 'u58', '58.50'), (4, 'none', 'unone', '价格未知'), (5, '', 'uempty', '1'), "
        "(6, 'p9', 'u9b', '8'), (7, 'lead', 'ulead', '2'), (8, 'p58b', 'u58b', '58.5'), (9, 'n', 'un', "
        "null)"));
    QStringList listed;
    for (const PictureItem& item : kova::ResultPicturesInPriceOrder(db.path()))
        listed.append(item.cph + QLatin1Char('=') + item.url);
    EXPECT_EQ(listed.join(QLatin1Char(' ')),
              db.scalar(QStringLiteral(
                  "select group_concat(cph || '=' || xtp, ' ') from (select cph, xtp from cxnr "
                  "where cph <> '' order by jg, rowid)")));
    EXPECT_EQ(listed.size(), 8);
    EXPECT_THROW(kova::ResultPicturesInPriceOrder(db.folder() + QStringLiteral("/missing.dat")), kova::Error);
}

TEST_F(ThumbnailFetcher, RowsOnScreenComeRightAfterTheLeadingOnesOnLowPriorityThreads)
{
    TGetMM fetcher(products(QStringLiteral("s"), 400), tempDir());
    fetcher.setLeadingCount(12);
    QStringList bottom;
    for (int i = 380; i < 400; ++i)
        bottom.append(QStringLiteral("s%1").arg(i));
    Saves saves;
    // The user scrolls to the end of the list once the first picture is in.
    watch(fetcher, saves, [&](qsizetype count) {
        if (count == 1)
            fetcher.showProducts(bottom);
    });
    fetcher.start();
    ASSERT_TRUE(fetcher.wait(QDeadlineTimer(60000)));

    EXPECT_EQ(fetcher.downloadedCount(), 400);
    ASSERT_EQ(saves.order.size(), 400);
    // The thirteenth picture is taken only after (13 − connections) saves, so that many saved
    // first are leading ones whatever the timing.
    static_assert(TGetMM::Connections < 12);
    for (qsizetype i = 0; i < 13 - TGetMM::Connections; ++i)
        EXPECT_LT(saves.order[i].mid(1).toInt(), 12) << saves.order[i].toStdString();
    const qsizetype middle = saves.order.indexOf(QStringLiteral("s300"));
    for (const QString& cph : bottom)
        EXPECT_LT(saves.order.indexOf(cph), middle) << cph.toStdString();
    for (const auto& item : products(QStringLiteral("s"), 400))
        ASSERT_TRUE(saved(item.cph)) << item.cph.toStdString();

    for (int nice : saves.nice)
        EXPECT_GE(nice, TGetMM::ThreadNice);
    EXPECT_GT(saves.threads.size(), 1u);
}

TEST_F(ThumbnailFetcher, AHostThatFailsCostsOneRequestAndAMissingPictureOnlyItself)
{
    // Pictures of one server under two host names: "localhost" answers 500 for its pictures
    // (all named e…), 127.0.0.1 serves every other picture but the missing ones.
    server().setFault(Fault::ErrorStatus, QStringLiteral("/pic/e"));
    const QString otherHost = QStringLiteral("http://localhost:%1").arg(server().directoryPort());
    std::vector<PictureItem> items;
    for (int i = 0; i < 20; ++i) {
        const QString n = QString::number(i);
        items.push_back({QStringLiteral("e") + n, address(QStringLiteral("e") + n, otherHost)});
        items.push_back({QStringLiteral("ok") + n, address(QStringLiteral("ok") + n)});
        if (i % 4 == 0)
            items.push_back(
                {QStringLiteral("m") + n,
                 server().directoryUrl() + QStringLiteral("/pic/missing/m") + n + QStringLiteral(".jpg")});
    }
    auto failures = std::make_shared<ThumbnailFailures>();
    TGetMM fetcher(items, tempDir(), failures);
    fetcher.start();
    ASSERT_TRUE(fetcher.wait(QDeadlineTimer(60000)));

    EXPECT_EQ(requestsFor(QStringLiteral("/pic/e")).size(), 1);
    EXPECT_EQ(requestsFor(QStringLiteral("/pic/missing/")).size(), 5);
    EXPECT_EQ(fetcher.silentHostCount(), 1);
    EXPECT_EQ(fetcher.downloadedCount(), 20);
    EXPECT_EQ(fetcher.failedCount(), 25);
    for (const PictureItem& item : items) {
        const bool good = item.cph.startsWith(QStringLiteral("ok"));
        EXPECT_EQ(saved(item.cph), good) << item.cph.toStdString();
        EXPECT_EQ(failures->failed(item.cph), !good) << item.cph.toStdString();
    }
}

TEST_F(ThumbnailFetcher, RepaintsComeOncePerBatchAndAfterTheLastPicture)
{
    TGetMM fetcher(products(QStringLiteral("r"), 30), tempDir());
    int repaints = 0;
    QObject::connect(&fetcher, &TGetMM::repaintDue, [&] { ++repaints; });
    fetcher.start();
    // Every save is announced while this thread does not turn its event loop.
    ASSERT_TRUE(fetcher.wait(QDeadlineTimer(60000)));
    ASSERT_EQ(fetcher.downloadedCount(), 30);
    EXPECT_EQ(repaints, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(repaints, 1);
    // No second repaint from a timer left running: twice the interval is enough to see one.
    kova::test::settle(static_cast<int>(3 * TGetMM::RepaintInterval.count()));
    EXPECT_EQ(repaints, 1);
}

// A host that holds its replies: each stalled reply keeps a server worker for a minute, so
// these tests have a server of their own.
class StallingHost : public FetcherTest {};

TEST_F(StallingHost, EveryConnectionHasARequestUnderWayOnceTheHostHasAnswered)
{
    server().setFault(Fault::Stall, QStringLiteral("/pic/z"));
    std::vector<PictureItem> items = products(QStringLiteral("g"), 12);
    for (const PictureItem& item : products(QStringLiteral("z"), 20))
        items.push_back(item);
    auto failures = std::make_shared<ThumbnailFailures>();
    TGetMM fetcher(items, tempDir(), failures);
    fetcher.setTimeouts(std::chrono::seconds(10), std::chrono::seconds(2));
    fetcher.start();
    ASSERT_TRUE(fetcher.wait(QDeadlineTimer(60000)));

    // One request per connection was under way when the first stall was given up; the rest
    // of the host's pictures cost nothing.
    EXPECT_EQ(requestsFor(QStringLiteral("/pic/z")).size(), TGetMM::Connections);
    EXPECT_EQ(fetcher.downloadedCount(), 12);
    EXPECT_EQ(fetcher.failedCount(), 20);
    EXPECT_EQ(fetcher.silentHostCount(), 1);
    for (const PictureItem& item : items) {
        EXPECT_EQ(saved(item.cph), item.cph.startsWith(QLatin1Char('g'))) << item.cph.toStdString();
        EXPECT_EQ(failures->failed(item.cph), item.cph.startsWith(QLatin1Char('z')))
            << item.cph.toStdString();
    }
}

class StoppedFetcher : public FetcherTest {};

TEST_F(StoppedFetcher, StopCancelsEveryRequestUnderWayAndLeavesOnlyWholeFiles)
{
    server().setFault(Fault::Stall, QStringLiteral("/pic/z"));
    std::vector<PictureItem> items = products(QStringLiteral("g"), 12);
    for (const PictureItem& item : products(QStringLiteral("z"), 20))
        items.push_back(item);
    auto fetcher = std::make_unique<TGetMM>(items, tempDir());
    fetcher->setTimeouts(std::chrono::hours(1), std::chrono::hours(1));
    fetcher->start();
    ASSERT_TRUE(kova::test::waitUntil(
        [] { return requestsFor(QStringLiteral("/pic/z")).size() == TGetMM::Connections; }, 20000));

    fetcher->requestStop();
    // Only the cancel can end requests that wait an hour for their bytes.
    ASSERT_TRUE(fetcher->wait(QDeadlineTimer(20000)));
    EXPECT_EQ(fetcher->downloadedCount(), 12);
    EXPECT_EQ(fetcher->silentHostCount(), 0);
    EXPECT_EQ(requestsFor(QStringLiteral("/pic/z")).size(), TGetMM::Connections);
    const QStringList files = QDir(cache().folder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), 12) << files.join(QLatin1Char(' ')).toStdString();
    for (const QString& name : files) {
        QFile file(cache().folder() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(isCompleteJpeg(file.readAll())) << name.toStdString();
    }
    fetcher.reset(); // joins at once: the run has ended
}

} // namespace
