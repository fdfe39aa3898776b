// The real main window against the stand-in server with its fault switch on, and against a
// damaged local environment: the user gets the message the program names, nothing stored
// is lost, no half-written picture stays in the cache, and the window keeps answering while
// a page is on its way.
#include "tests/reliability/ReliabilityFixture.h"

#include "favorites/FavoritesListReader.h"
#include "results/ResultCellPainter.h"
#include "results/ResultGridActions.h"
#include "search/ResultPageReader.h"
#include "server/HostileTexts.h"
#include "service/HttpClient.h"
#include "store/Cipher.h"
#include "ui/DBGridEh.h"
#include "ui/GridCanvas.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using namespace kova;
using namespace kova::test;
using standin::Fault;

namespace {

class Faults : public SearchFixture {
protected:
    QStringList errors() const
    {
        QStringList out;
        for (const Message& m : messages) {
            if (m.kind == Message::Kind::Error)
                out << m.text;
        }
        return out;
    }
    // Starts the window and waits for both first-run pages (the account and the version
    // page) to be stored, so that nothing writes behind the test's back.
    void startSettled()
    {
        start();
        ASSERT_TRUE(
            waitUntil([this] { return !db.scalar(QStringLiteral("select b from xxb")).isEmpty(); }, 10000));
    }
    // A first search that stores rows, picture records and all thumbnails.
    void searchAndSettle(const QString& word)
    {
        search(word);
        ASSERT_TRUE(fetchersDone());
        messages.clear();
    }
    int pictureColumn() const
    {
        DBGridEh& grid = *window->ui.DBGridEh1;
        for (int c = 0; c < grid.columnCountEh(); ++c) {
            if (ResultCellActionFor(grid.column(c).field) == ResultCellAction::PreviewPicture)
                return c;
        }
        return -1;
    }
    // A click on the first row's picture with the pointer on it; waits for the large
    // picture's download to end.
    void clickFirstPicture()
    {
        DBGridEh& grid = *window->ui.DBGridEh1;
        const int column = pictureColumn();
        ASSERT_GE(column, 0);
        window->ADOQuery2.first();
        QCursor::setPos(grid.viewport()->mapToGlobal(grid.cellRect(0, column).center()));
        emit grid.CellClick(column);
        ASSERT_TRUE(waitUntil([this] { return !window->previewPending(); }, 10000));
    }
    QString fieldAt(int row, const QString& name) const
    {
        const Dataset& rows = window->ADOQuery2;
        return rows.fieldAt(row, static_cast<int>(rows.fieldNames().indexOf(name))).toString();
    }
    // What the picture cell of `row` shows once drawn: its text, or "[picture]".
    QString drawnPictureText(int row)
    {
        DBGridEh& grid = *window->ui.DBGridEh1;
        RecordingGridCanvas canvas;
        const QRect cell = grid.cellRect(row, pictureColumn());
        grid.drawCell(canvas, cell, row, pictureColumn());
        return canvas.visibleText(cell, QStringLiteral("[picture]"));
    }
    QString largePicture(const QString& cph) const
    {
        return db.tempDir() + QStringLiteral("kvpic/") + cph + QStringLiteral("_dtp.jpg");
    }
    // Waits for the favorites list to be read or its message to come.
    void fetchFavorites()
    {
        // The button of the view on show is disabled: back to the results first, as a user would.
        if (!window->ui.btn2->isEnabled())
            window->ui.btn1->click();
        window->ui.StatusBar1->setPanelText(0, QString());
        const size_t before = messages.size();
        window->ui.btn2->click();
        ASSERT_TRUE(waitUntil(
            [&] {
                return window->ui.StatusBar1->panelText(0).startsWith(
                           TextsOf(FavoriteList::Favorites).count) ||
                       messages.size() > before;
            },
            20000))
            << window->ui.StatusBar1->panelText(0).toStdString() << " / " << messages.size();
    }
    void addFavorites(std::initializer_list<int> rows)
    {
        HttpClient http;
        const Requests requests(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
        for (int row : rows)
            http.get(requests.addFavorite(window->state().UserId, window->state().UserPassword,
                                          QString::number(row)));
    }
};

// --- pages -----------------------------------------------------------------------------

// What a load that brought nothing says: a service that answered with an error is named
// with its status; a connection broken on the way is the missing network.
QString nothingReadMessage(Fault fault)
{
    return fault == Fault::ErrorStatus ? QStringLiteral("比价服务暂时出错（HTTP 500），请稍后再试。")
                                       : NoNetwork;
}

class PageFaults : public Faults, public ::testing::WithParamInterface<Fault> {};

TEST_P(PageFaults, PageThatBringsNothingSaysWhoFailedAndKeepsWhatIsStored)
{
    start();
    searchAndSettle(QStringLiteral("test20"));
    const QString before = storedState(db);
    ASSERT_EQ(thumbnails().size(), 20);

    server.setFault(GetParam(), QStringLiteral("/ListAll.aspx"));
    search(QStringLiteral("test13"));
    EXPECT_EQ(messagesWith(nothingReadMessage(GetParam())), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(errors().isEmpty()) << errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 0 条记录"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    // What the program keeps between searches is as it was.
    EXPECT_EQ(storedState(db), before);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test20'")),
              QStringLiteral("20"));
    EXPECT_EQ(thumbnails().size(), 20);
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));

    // The service back: the same window searches again as usual.
    server.setFault(Fault::None);
    search(QStringLiteral("test13"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
}

TEST_P(PageFaults, FailedLoadOfAnEmptyResultSaysWhoFailed)
{
    start();
    server.setFault(GetParam(), QStringLiteral("/ListAll.aspx"));
    search(QStringLiteral("test0"));
    EXPECT_EQ(messagesWith(nothingReadMessage(GetParam())), 1);
    EXPECT_EQ(messages.size(), 1u);

    // The same keyword answered: an empty result, not a missing network.
    server.setFault(Fault::None);
    messages.clear();
    search(QStringLiteral("test0"));
    EXPECT_EQ(messagesWith(NoResults), 1);
    EXPECT_EQ(messagesWith(NoNetwork), 0);
}

INSTANTIATE_TEST_SUITE_P(Reliability, PageFaults, ::testing::Values(Fault::DropMidBody, Fault::ErrorStatus),
                         [](const auto& info) { return standin::faultName(info.param).toStdString(); });

// A service nobody answers for (the connection refused) is the missing network, in the
// search and in the favorites list alike.
TEST_F(Faults, RefusedConnectionIsTheMissingNetwork)
{
    startSettled();
    messages.clear();
    hosts.pointAt(ClosedHost, ClosedHost, ClosedHost);
    search(QStringLiteral("test13"));
    EXPECT_TRUE(window->wbwebb.lastLoadFailed());
    EXPECT_EQ(messagesWith(NoNetwork), 1);
    EXPECT_EQ(messages.size(), 1u);

    messages.clear();
    fetchFavorites();
    EXPECT_EQ(messagesWith(NoNetwork), 1);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Faults, StalledPageKeepsTheWindowAnsweringAndEndsWithTheMessage)
{
    start();
    // The server holds the page for a minute; the loader gives up after a second and a half.
    window->wbwebb.setStallTimeout(std::chrono::milliseconds(1500));
    server.setFault(Fault::Stall, QStringLiteral("/ListAll.aspx"));
    LoopProbe probe([this] { return window->wbwebb.isLoading(); });
    search(QStringLiteral("test20"));
    // The page was asked for and ended by the loader's stall time-out, not by the server.
    EXPECT_EQ(requestsWith(QStringLiteral("/ListAll.aspx?word=test20")), 1);
    EXPECT_TRUE(window->wbwebb.lastLoadFailed());
    EXPECT_TRUE(window->wbwebb.documentText().contains(QStringLiteral("服务器长时间没有响应")));
    // The event loop kept turning while the page was on its way (a window blocked in the
    // load would show no turn at all). How long a turn takes is the benchmarks' business.
    EXPECT_GE(probe.busyTicks(), 5);
    std::printf("stalled page: largest gap %lld ms over %d ticks\n", probe.largestGapMs(), probe.busyTicks());
    EXPECT_EQ(messagesWith(NoNetwork), 1);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
}

TEST_F(Faults, StalledPageIsSupersededByTheNextSearch)
{
    start();
    window->wbwebb.setStallTimeout(std::chrono::hours(1));
    server.setFault(Fault::Stall, QStringLiteral("/ListAll.aspx?word=test20"));
    window->ui.edt_key->setText(QStringLiteral("test20"));
    window->ui.suiButton4->click();
    ASSERT_TRUE(
        waitUntil([this] { return requestsWith(QStringLiteral("/ListAll.aspx?word=test20")) == 1; }, 20000));
    // The user gives up waiting and searches for something else. The server holds the first
    // page for a minute and the loader would wait an hour: only superseding the stalled
    // load lets the second search through.
    search(QStringLiteral("test13"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
    EXPECT_FALSE(window->wbwebb.lastLoadFailed());
    EXPECT_EQ(messagesWith(NoNetwork), 0);
}

TEST_F(Faults, TricklingPageEndsAsAFailedLoadWithTheMessage)
{
    start();
    // A byte a second: never a stall, so only the low-speed bound (two seconds here, half a
    // minute in the program) ends the load.
    const LowSpeedTime bound(std::chrono::seconds(2));
    window->wbwebb.setStallTimeout(std::chrono::hours(1));
    server.setFault(Fault::Trickle, QStringLiteral("/ListAll.aspx"));
    search(QStringLiteral("test20"));
    EXPECT_TRUE(window->wbwebb.lastLoadFailed());
    EXPECT_TRUE(window->wbwebb.documentText().contains(QStringLiteral("服务器发送数据太慢")));
    EXPECT_EQ(messagesWith(NoNetwork), 1);
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 0 条记录"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);

    server.setFault(Fault::None);
    messages.clear();
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Faults, EscStopsATricklingPageAtOnce)
{
    start();
    server.setFault(Fault::Trickle, QStringLiteral("/ListAll.aspx"));
    window->ui.edt_key->setText(QStringLiteral("test20"));
    window->ui.suiButton4->click();
    ASSERT_TRUE(
        waitUntil([this] { return requestsWith(QStringLiteral("/ListAll.aspx?word=test20")) == 1; }, 20000));
    settle(1500); // bytes are coming: the page is trickling, not waiting to start
    ASSERT_TRUE(window->wbwebb.isLoading());
    ASSERT_TRUE(window->ui.suiImagePanel1->isVisible());

    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window->ui.Edt_word, Qt::Key_Escape);
    EXPECT_FALSE(window->wbwebb.isLoading());
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("已停止搜索"));
    settle(500);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
}

TEST_F(Faults, TenMegabytePageGivesItsRows)
{
    start();
    server.setFault(Fault::HugePage, QStringLiteral("/ListAll.aspx"));
    LoopProbe probe([this] { return window->wbwebb.isLoading(); });
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    // For information only: how smoothly the window ran is measured by the benchmarks.
    std::printf("10 MB page: largest gap %lld ms over %d ticks\n", probe.largestGapMs(), probe.busyTicks());
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(fetchersDone());
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));
}

TEST_F(Faults, BytesThatAreNotGbkStillGiveEveryRow)
{
    start();
    server.setFault(Fault::InvalidGbk, QStringLiteral("/ListAll.aspx"));
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_TRUE(messages.empty());
    // The broken cell keeps its row; the bytes that are no GBK are replacement characters.
    EXPECT_EQ(
        db.scalar(QStringLiteral("select count(*) from cxnr where cpmc like '%' || char(65533) || '%'")),
        QStringLiteral("1"));
}

TEST_F(Faults, PageDeclaredAsUtf8ReadsTheSameRows)
{
    start();
    search(QStringLiteral("手机"));
    const QString names =
        db.scalar(QStringLiteral("select group_concat(cpmc, '/') from (select cpmc from cxnr order by bh)"));
    const int rows = db.count(QStringLiteral("cxnr"));
    ASSERT_GT(rows, 0);
    ASSERT_TRUE(names.contains(QStringLiteral("手机")));

    server.setFault(Fault::Utf8Declared, QStringLiteral("/ListAll.aspx"));
    search(QStringLiteral("手机"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), rows);
    EXPECT_EQ(
        db.scalar(QStringLiteral("select group_concat(cpmc, '/') from (select cpmc from cxnr order by bh)")),
        names);
}

// --- pictures ----------------------------------------------------------------------------

class PictureFaults : public Faults, public ::testing::WithParamInterface<Fault> {};

TEST_P(PictureFaults, RowsStayAndNoBrokenPictureIsSaved)
{
    start();
    // A stall ends at the client's time-out (the server would hold each stalled picture for
    // a minute); a host that stalls, breaks off or fails is then skipped for the rest of the
    // fetcher's run, so the run ends within about one time-out.
    window->setPictureTimeouts(std::chrono::seconds(10), std::chrono::milliseconds(300));
    server.setFault(GetParam(), QStringLiteral("/pic/"));
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test20'")),
              QStringLiteral("20"));
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(fetchersDone());
    const bool hostSilent =
        GetParam() == Fault::Stall || GetParam() == Fault::DropMidBody || GetParam() == Fault::ErrorStatus;
    EXPECT_EQ(pictureRequests(), hostSilent ? 1 : 20);
    EXPECT_TRUE(thumbnails().isEmpty());
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));

    // The large picture of a row: the standard error report, no file, no preview.
    window->ADOQuery2.first();
    const QString cph = window->ADOQuery2.fieldText(QStringLiteral("cph"));
    clickFirstPicture();
    EXPECT_EQ(errors().size(), 1);
    EXPECT_FALSE(QFile::exists(largePicture(cph)));
    EXPECT_FALSE(window->ui.BigPanel->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));

    // With the picture host well again, the next search fetches what is missing. (A stall
    // holds the host's workers for a minute: no recovery to watch there.)
    if (GetParam() == Fault::Stall)
        return;
    server.setFault(Fault::None);
    window.reset();
    start();
    search(QStringLiteral("test20"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), 20);
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));
}

INSTANTIATE_TEST_SUITE_P(Reliability, PictureFaults,
                         ::testing::Values(Fault::DropMidBody, Fault::Stall, Fault::ErrorStatus,
                                           Fault::TruncatedJpeg, Fault::HtmlAsPicture),
                         [](const auto& info) { return standin::faultName(info.param).toStdString(); });

TEST_F(Faults, PictureNoDecoderCanUseSaysNoPictureAndComesAgain)
{
    start();
    search(QStringLiteral("test20-badpic"));
    ASSERT_TRUE(fetchersDone());
    const PictureCache cache(window->state().TempDir);
    int bad = -1;
    for (int row = 0; row < window->ADOQuery2.recordCount(); ++row) {
        if (fieldAt(row, QStringLiteral("xtp")).contains(QLatin1String("/pic/huge/")))
            bad = row;
    }
    ASSERT_GE(bad, 0);
    // The download was refused before it was kept: nothing in the cache, "暂无图片" drawn.
    EXPECT_FALSE(QFile::exists(cache.thumbnailPath(fieldAt(bad, QStringLiteral("cph")))));
    EXPECT_EQ(drawnPictureText(bad), NoPictureText);
    EXPECT_EQ(thumbnails().size(), 19);

    // Such a file in the cache already (an older version kept it): the grid removes it.
    const int other = bad == 0 ? 1 : 0;
    const QString cph = fieldAt(other, QStringLiteral("cph"));
    const QString path = cache.thumbnailPath(cph);
    ASSERT_TRUE(QFile::exists(path));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(standin::hugeHeaderJpeg());
    }
    EXPECT_EQ(drawnPictureText(other), NoPictureText);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(drawnPictureText(other), NoPictureText); // remembered, not decoded again

    // The next search fetches it again, and it is drawn as a picture.
    server.clearLog();
    search(QStringLiteral("test20-badpic"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(requestsWith(QStringLiteral("/pic/") + cph + QStringLiteral(".jpg")), 1);
    int again = -1;
    for (int row = 0; row < window->ADOQuery2.recordCount(); ++row)
        again = fieldAt(row, QStringLiteral("cph")) == cph ? row : again;
    ASSERT_GE(again, 0);
    EXPECT_EQ(drawnPictureText(again), QStringLiteral("[picture]"));
    EXPECT_TRUE(errors().isEmpty()) << errors().join(QLatin1Char('\n')).toStdString();
}

// --- favorites list ------------------------------------------------------------------------

class ListFaults : public Faults, public ::testing::WithParamInterface<Fault> {};

TEST_P(ListFaults, ListThatBringsNothingSaysWhoFailed)
{
    start();
    search(QStringLiteral("test13"));
    addFavorites({1, 2});
    fetchFavorites();
    ASSERT_EQ(db.count(QStringLiteral("scnr")), 2);
    messages.clear();

    server.setFault(GetParam(), QStringLiteral("/ListAllMyFav.aspx"));
    fetchFavorites();
    EXPECT_EQ(messagesWith(nothingReadMessage(GetParam())), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());

    // The favorites live at the service: the next fetch shows them again.
    server.setFault(Fault::None);
    messages.clear();
    fetchFavorites();
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 2);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Reliability, ListFaults, ::testing::Values(Fault::DropMidBody, Fault::ErrorStatus),
                         [](const auto& info) { return standin::faultName(info.param).toStdString(); });

TEST_F(Faults, StalledListKeepsTheWindowAnswering)
{
    start();
    server.setFault(Fault::Stall, QStringLiteral("/ListAllMyFav.aspx"));
    bool waiting = true;
    LoopProbe probe([&] { return waiting; });
    window->ui.btn2->click();
    // The list was asked for and stalls; meanwhile the event loop keeps turning.
    ASSERT_TRUE(waitUntil([this] { return requestsWith(QStringLiteral("/ListAllMyFav.aspx")) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return probe.busyTicks() >= 5; }, 20000));
    waiting = false;
    std::printf("stalled list: largest gap %lld ms over %d ticks\n", probe.largestGapMs(), probe.busyTicks());
    EXPECT_TRUE(messages.empty());
    // A search meanwhile is not held up by the list still loading.
    search(QStringLiteral("test13"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
}

// A picture host that holds every reply: the reading does not wait for it, the fetcher loses
// one time-out on it and skips it for the rest of its run, and the event loop turns all along
// (a window blocked in a download would show no turn at all; how long a turn takes is the
// benchmarks' business).
TEST_F(Faults, PictureHostThatStallsCostsOneTimeOutAndTheWindowAnswers)
{
    start();
    window->setPictureTimeouts(std::chrono::seconds(10), std::chrono::milliseconds(1500));
    server.setFault(Fault::Stall, QStringLiteral("/pic/"));
    bool measuring = true;
    LoopProbe probe([&] { return measuring; });
    settle(100); // the probe turns before the search starts, so a blocked reading would show
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test20'")),
              QStringLiteral("20"));
    ASSERT_EQ(window->fetchers().size(), 1u);
    ASSERT_TRUE(fetchersDone(10000));
    measuring = false;
    EXPECT_EQ(pictureRequests(), 1);
    EXPECT_EQ(window->fetchers().back()->silentHostCount(), 1);
    EXPECT_GE(probe.busyTicks(), 20);
    std::printf("stalled picture host: largest gap %lld ms over %d ticks\n", probe.largestGapMs(),
                probe.busyTicks());
    EXPECT_TRUE(messages.empty());

    // The host answers again: the next search brings every thumbnail.
    server.setFault(Fault::None);
    search(QStringLiteral("test20"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), 20);
}

TEST_F(Faults, FavoritesPicturesThatStallCostOneTimeOutAndTheWindowAnswers)
{
    start();
    search(QStringLiteral("test13"));
    ASSERT_TRUE(fetchersDone());
    addFavorites({1, 2, 3});
    for (const QString& name : thumbnails())
        QFile::remove(db.tempDir() + QStringLiteral("kvpic/") + name);
    window->setPictureTimeouts(std::chrono::seconds(10), std::chrono::milliseconds(1500));
    server.setFault(Fault::Stall, QStringLiteral("/pic/"));
    const int before = pictureRequests();
    bool measuring = true;
    LoopProbe probe([&] { return measuring; });
    settle(100);
    fetchFavorites();
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 3);
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("您收藏的商品共有: 3 条记录"));
    ASSERT_NE(window->favoritesFetcher(), nullptr);
    ASSERT_TRUE(waitUntil([this] { return window->favoritesFetcher()->isFinished(); }, 10000));
    measuring = false;
    EXPECT_EQ(pictureRequests(), before + 1);
    EXPECT_GE(probe.busyTicks(), 20);
    std::printf("stalled favorites pictures: largest gap %lld ms over %d ticks\n", probe.largestGapMs(),
                probe.busyTicks());
    EXPECT_TRUE(messages.empty());
}

// The grid, kvdb.dat and the status bar agree on the rows a reading stored.
::testing::AssertionResult gridMatchesStore(Tfrmkova& window, const TempDatabase& db)
{
    const int stored = db.count(QStringLiteral("cxnr"));
    const QString status = window.ui.StatusBar1->panelText(0);
    if (window.ADOQuery2.recordCount() != stored)
        return ::testing::AssertionFailure()
               << "grid " << window.ADOQuery2.recordCount() << ", cxnr " << stored;
    if (status != SearchEndStatus(stored, 0))
        return ::testing::AssertionFailure() << "status " << status.toStdString() << ", cxnr " << stored;
    if (window.ui.suiImagePanel1->isVisible())
        return ::testing::AssertionFailure() << "the progress panel is still up";
    return ::testing::AssertionSuccess();
}

// A row that cannot be stored halfway through the page: the slice it is in leaves no row
// behind, what was stored stays listed and counted, the progress panel goes, the error is
// reported once and the stored rows get their pictures.
TEST_F(Faults, ReaderErrorLeavesTheWindowWhole)
{
    start();
    db.exec(
        QStringLiteral("create trigger full_disk before insert on cxnr when (select count(*) from cxnr) >= 4 "
                       "begin select raise(abort, 'database or disk is full'); end"));
    search(QStringLiteral("test20"));
    EXPECT_EQ(errors().size(), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_LT(db.count(QStringLiteral("cxnr")), 5);
    EXPECT_TRUE(gridMatchesStore(*window, db));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), db.count(QStringLiteral("cxnr")));
}

// kvdb.dat full in the middle of a 5,000-row page: the slices before stay, the failed one
// leaves the grid, the user reads that the disk is full, and the next search works.
TEST_F(Faults, FullDatabaseFileInTheMiddleOfALargePageKeepsGridAndStoreAlike)
{
    startSettled();
    const int pages = db.scalar(QStringLiteral("pragma page_count")).toInt();
    window->ADOConnection1.execute(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 150));
    search(QStringLiteral("test5000"));
    const QStringList said = errors();
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(std::any_of(said.begin(), said.end(), [](const QString& e) {
        return e.startsWith(QStringLiteral("磁盘已满"));
    })) << said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(errors().at(0).endsWith(QStringLiteral("database or disk is full")))
        << errors().at(0).toStdString();
    const int stored = db.count(QStringLiteral("cxnr"));
    EXPECT_GT(stored, 0);
    EXPECT_LT(stored, 5000);
    EXPECT_TRUE(gridMatchesStore(*window, db));
    EXPECT_FALSE(window->readingPage());
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));

    window->ADOConnection1.execute(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    messages.clear();
    search(QStringLiteral("test13"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
    EXPECT_TRUE(gridMatchesStore(*window, db));
}

// The same with the file system refusing the write (a file size limit in the driver's
// process): the rows the driver saw posted and counted are the rows kvdb.dat holds.
TEST_F(Faults, FileSizeLimitDuringAReadingKeepsGridAndStoreAlike)
{
    startSettled();
    window.reset(); // the driver's window alone writes kvdb.dat
    qint64 largest = 0;
    for (const QString& name : {QStringLiteral("kvdb.dat"), QStringLiteral("kvdb.dat-wal")})
        largest = std::max(largest, QFileInfo(db.folder() + QLatin1Char('/') + name).size());
    DriverProcess driver(driverProgram(), db.folder(), db.tempDir());
    driver.start({server.serviceUrl(), server.versionUrl(), server.directoryUrl(),
                  QStringLiteral("search-fsize"), QStringLiteral("test5000"),
                  QString::number(largest + 400 * 1024)});
    EXPECT_TRUE(driver.finish(120000)) << driver.lines().join(QLatin1Char('\n')).toStdString();
    const QStringList errorsSeen = driver.linesStartingWith(QStringLiteral("message error "));
    ASSERT_FALSE(errorsSeen.isEmpty()) << driver.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::any_of(errorsSeen.begin(), errorsSeen.end(), [](const QString& e) {
        return e.startsWith(QStringLiteral("磁盘已满"));
    })) << errorsSeen.join(QLatin1Char('\n')).toStdString();
    const int stored = db.count(QStringLiteral("cxnr"));
    EXPECT_LT(stored, 5000);
    EXPECT_EQ(driver.linesStartingWith(QStringLiteral("done search rows=")),
              QStringList{QString::number(stored)});
    EXPECT_EQ(driver.linesStartingWith(QStringLiteral("status ")), QStringList{SearchEndStatus(stored, 0)});
    EXPECT_EQ(driver.linesStartingWith(QStringLiteral("posted cxnr ")).size(), stored);
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
}

TEST_F(Faults, FavoritePicturesThatFailLeaveTheRowsWithoutPictures)
{
    start();
    search(QStringLiteral("test13"));
    ASSERT_TRUE(fetchersDone());
    addFavorites({1, 2, 3});
    QDir(db.tempDir() + QStringLiteral("kvpic")).removeRecursively();
    QDir(db.tempDir()).mkdir(QStringLiteral("kvpic"));
    server.setFault(Fault::TruncatedJpeg, QStringLiteral("/pic/"));
    fetchFavorites();
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 3);
    EXPECT_TRUE(thumbnails().isEmpty());
    EXPECT_TRUE(cacheHoldsOnlyWholePictures(db.tempDir()));
}

// --- local environment ---------------------------------------------------------------------

TEST_F(Faults, DatabaseHeldBusyByAnotherProgramIsReportedAndLosesNothing)
{
    startSettled();
    searchAndSettle(QStringLiteral("test20"));
    const QString before = storedState(db);
    // The window waits for a lock a little while, not the five seconds of the program.
    sqlite3_busy_timeout(window->ADOConnection1.handle(), 200);

    DriverProcess holder(driverProgram(), db.folder(), db.tempDir());
    holder.start({QStringLiteral("hold-lock"), db.path(), QStringLiteral("2500")});
    ASSERT_TRUE(holder.readUntil([](const QString& line) { return line == u"locked"; }, 10000))
        << holder.lines().join(QLatin1Char('\n')).toStdString();

    window->ui.edt_key->setText(QStringLiteral("test13"));
    window->ui.suiButton4->click();
    ASSERT_TRUE(waitUntil([this] { return !errors().isEmpty(); }, 10000));
    // The failed command asked for no page, so nothing more can come of it.
    EXPECT_FALSE(window->wbwebb.isLoading());
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors().at(0).contains(QStringLiteral("locked"))) << errors().at(0).toStdString();
    // The window is ready for the next search: no panel, the stored rows listed, Esc harmless.
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_EQ(window->ADOQuery2.recordCount(), 20);
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("比价搜索结果有: 20 条记录"));
    EXPECT_FALSE(window->ui.btn1->isEnabled());
    EXPECT_TRUE(window->ui.btn2->isEnabled());
    window->stopSearch();
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_TRUE(holder.finish(10000));

    // Nothing was emptied by the failed command, and the next search goes through.
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(storedState(db), before);
    search(QStringLiteral("test13"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
    EXPECT_EQ(errors().size(), 1);
}

TEST_F(Faults, PageArrivingWhileTheDatabaseIsBusyIsReportedOnce)
{
    startSettled();
    sqlite3_busy_timeout(window->ADOConnection1.handle(), 200);
    window->ui.edt_key->setText(QStringLiteral("test20"));

    DriverProcess holder(driverProgram(), db.folder(), db.tempDir());
    holder.start({QStringLiteral("hold-lock"), db.path(), QStringLiteral("2000")});
    ASSERT_TRUE(holder.readUntil([](const QString& line) { return line == u"locked"; }, 10000));
    window->ui.suiButton4->click();
    ASSERT_TRUE(waitUntil([this] { return !errors().isEmpty(); }, 10000));
    EXPECT_TRUE(errors().at(0).contains(QStringLiteral("locked"))) << errors().at(0).toStdString();
    ASSERT_TRUE(waitUntil([this] { return !window->wbwebb.isLoading(); }, 10000));
    // The page is read in one go; a second report (another row, a retry) would come here.
    settle(300);
    EXPECT_EQ(errors().size(), 1);
    EXPECT_EQ(messagesWith(NoNetwork), 0);
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_FALSE(window->readingPage());
    // A panel left up by anything else goes with Esc.
    window->ui.suiImagePanel1->setVisible(true);
    window->stopSearch();
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_TRUE(holder.finish(10000));
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));

    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
}

TEST_F(Faults, CacheFolderThatCannotBeWrittenLeavesRowsWithoutPictures)
{
    // Root writes anywhere a mode allows nothing; a folder of the proc file system takes
    // no new file from anyone. It can only be had through a link, and a link in the
    // folder's place is not the user's own folder: it is refused, and said so once, at start.
    const QString cache = db.tempDir() + QStringLiteral("kvpic");
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fdinfo"), cache));
    } else {
        ASSERT_TRUE(QDir().mkpath(cache));
        ASSERT_TRUE(QFile::setPermissions(cache, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const int atStart = asRoot ? 1 : 0;
    start();
    EXPECT_EQ(messages.size(), static_cast<size_t>(atStart));
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(messages.size(), static_cast<size_t>(atStart));
    EXPECT_TRUE(fetchersDone());

    // A refused folder names no picture file: the click shows nothing and says nothing more.
    // A folder that is there but takes no file reports the failed write.
    clickFirstPicture();
    EXPECT_EQ(errors().size(), 1);
    EXPECT_FALSE(window->ui.BigPanel->isVisible());
    if (geteuid() != 0)
        QFile::setPermissions(cache,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(Faults, TableMissingFromTheDatabaseIsReportedAndTheWindowGoesOn)
{
    db.exec(QStringLiteral("insert into scnr (ufid, cph) values ('7', 'x1')"));
    db.exec(QStringLiteral("drop table word"));
    start();
    ASSERT_FALSE(errors().isEmpty());
    EXPECT_TRUE(errors().at(0).contains(QStringLiteral("word"))) << errors().at(0).toStdString();
    EXPECT_TRUE(window->isVisible());

    // A search runs into the same table: reported again, no crash, no rows half-stored.
    messages.clear();
    window->ui.edt_key->setText(QStringLiteral("test13"));
    window->ui.suiButton4->click();
    ASSERT_TRUE(waitUntil([this] { return !errors().isEmpty() && !window->wbwebb.isLoading(); }, 20000));
    EXPECT_EQ(db.scalar(QStringLiteral("select ufid || cph from scnr")), QStringLiteral("7x1"));
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
}

TEST_F(Faults, MissingSkinIsReportedAndTheProgramWorksOn)
{
    // The program reads its skin beside itself: run a copy of the driver from a folder
    // without one.
    QTemporaryDir programFolder;
    const QString program = programFolder.path() + QStringLiteral("/kova-reliability-driver");
    ASSERT_TRUE(QFile::copy(driverProgram(), program));
    ASSERT_FALSE(QFile::exists(programFolder.path() + QStringLiteral("/kova.sui")));

    DriverProcess driver(program, db.folder(), db.tempDir());
    driver.start({server.serviceUrl(), server.versionUrl(), server.directoryUrl(), QStringLiteral("search"),
                  QStringLiteral("test13")});
    ASSERT_TRUE(driver.finish(60000)) << driver.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(driver.exitCode(), 0);
    const QStringList errorLines = driver.linesStartingWith(QStringLiteral("message error "));
    ASSERT_EQ(errorLines.size(), 1) << driver.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(errorLines.at(0).contains(QStringLiteral("kova.sui")));
    EXPECT_TRUE(driver.lines().contains(QStringLiteral("done search rows=13")));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 13);
}

} // namespace

namespace {

TEST_F(Faults, FavoritesListCanBeFetchedAgainAndAgain)
{
    start();
    search(QStringLiteral("test13"));
    addFavorites({1, 2});
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        fetchFavorites();
        EXPECT_EQ(db.count(QStringLiteral("scnr")), 2);
    }
    EXPECT_TRUE(messages.empty());
}

} // namespace
