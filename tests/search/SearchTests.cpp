// Searching as a user does it: the real main window against the stand-in server.
#include "tests/search/SearchFixture.h"

#include "server/HostileTexts.h"
#include "service/PageText.h"
#include "store/Cipher.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTimer>

#include <mutex>

using namespace kova;
using namespace kova::test;

namespace {

class Search : public SearchFixture {};

TEST_F(Search, FirstStartStoresTheAccountFromTheReply)
{
    Tfrmkova& w = start();
    const QString u = db.scalar(QStringLiteral("select u from xxb"));
    const QString p = db.scalar(QStringLiteral("select p from xxb"));
    ASSERT_FALSE(u.isEmpty());
    EXPECT_TRUE(Trim(Decipher(u, StoreKey)).startsWith(QLatin1Char('k')));
    EXPECT_EQ(Trim(Decipher(p, StoreKey)), QStringLiteral("mivra"));
    EXPECT_EQ(w.state().UserId, Trim(Decipher(u, StoreKey)));
    EXPECT_EQ(w.state().UserPassword, QStringLiteral("mivra"));
    // The reply is no search: no keyword statistics, no message.
    EXPECT_EQ(db.count(QStringLiteral("word")), 0);
    EXPECT_EQ(messagesWith(NoNetwork), 0);

    // A later start only deciphers the stored account.
    window.reset();
    server.clearLog();
    Tfrmkova& again = start();
    EXPECT_EQ(again.state().UserId, Trim(Decipher(u, StoreKey)));
    for (const QString& line : server.log())
        EXPECT_FALSE(line.contains(QStringLiteral("RandomUser"))) << line.toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("select u from xxb")), u);
}

TEST_F(Search, FirstStartWithoutNetworkStoresNoAccount)
{
    hosts.pointAt(ClosedHost, server.versionUrl(), server.directoryUrl());
    Tfrmkova& w = start();
    EXPECT_TRUE(w.mmo1.failedLoad());
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(u,'') || coalesce(p,'') from xxb")), QString());
    EXPECT_TRUE(w.state().UserId.isEmpty());
    EXPECT_EQ(messagesWith(NoNetwork), 0);

    window.reset();
    hosts.pointAt(server);
    Tfrmkova& next = start();
    EXPECT_FALSE(next.state().UserId.isEmpty());
}

TEST_F(Search, NewKeywordStoresRowsPicturesAndStartsTheFetcher)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test20'")),
              QStringLiteral("20"));
    EXPECT_EQ(db.scalar(QStringLiteral("select \"count\" from word where word='test20'")), QString());
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 20 条记录"));
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());
    EXPECT_EQ(w.ui.Edt_word->text(), QStringLiteral("test20"));
    EXPECT_EQ(w.state().ListMode, ListMode::Results);
    EXPECT_FALSE(w.ui.btn1->isEnabled());
    ASSERT_EQ(w.fetchers().size(), 1u);
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), 20);

    // The rows carry every column the reader sets.
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where bz1='加载中…' and bz2='精准比价' and "
                                       "cxrq > 40000 and cph <> '' and cplj like 'http%' and "
                                       "\"check\" = '点击收藏'")),
              QStringLiteral("20"));
    EXPECT_EQ(messagesWith(NoNetwork), 0);
}

TEST_F(Search, SameKeywordAgainCountsAndDownloadsNothingWhileReading)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test20"));
    ASSERT_TRUE(fetchersDone());
    const int picturesBefore = pictureRequests();
    search(QStringLiteral("test20"));
    EXPECT_TRUE(w.state().WordHasPictures);
    EXPECT_EQ(db.scalar(QStringLiteral("select \"count\" from word where word='test20'")),
              QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb")), QStringLiteral("20"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(pictureRequests(), picturesBefore);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.scalar(QStringLiteral("select \"count\" from word where word='test20'")),
              QStringLiteral("2"));
}

TEST_F(Search, TheFetcherRunsWheneverARowLacksItsThumbnail)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test12"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 12);
    ASSERT_EQ(w.fetchers().size(), 1u); // the reading itself fetches nothing
    ASSERT_TRUE(fetchersDone());
    ASSERT_EQ(thumbnails().size(), 12);

    // Every thumbnail there: nothing to fetch.
    const int fetched = pictureRequests();
    search(QStringLiteral("test12"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(pictureRequests(), fetched);
    // One lost (a failed download, a cleaned cache): the next search brings it back.
    ASSERT_TRUE(QFile::remove(db.tempDir() + QStringLiteral("kvpic/") + thumbnails().constFirst()));
    search(QStringLiteral("test12"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), 12);
    EXPECT_EQ(pictureRequests(), fetched + 1);
}

// At the first start the account request is still on its way when the user searches: the
// account is stored in this run and the search goes out with it.
TEST_F(Search, SearchMadeBeforeTheFirstRunAccountReplyKeepsBoth)
{
    window = std::make_unique<Tfrmkova>();
    window->show();
    ASSERT_EQ(window->wbwebbPurpose(), NavigationPurpose::AccountRequest);
    window->ui.edt_key->setText(QStringLiteral("test5"));
    window->suiButton4Click();
    EXPECT_EQ(window->wbwebbPurpose(), NavigationPurpose::AccountRequest);
    waitForResults();
    const QString userId = window->state().UserId;
    ASSERT_FALSE(userId.isEmpty());
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select u from xxb")), StoreKey)), userId);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 5);
    EXPECT_EQ(requestsWith(QStringLiteral("/ListAll.aspx?word=test5&u=") + userId), 1);
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 5 条记录"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Search, OneOfferPageStoresItsRow)
{
    start();
    search(QStringLiteral("test1"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 1);
    EXPECT_EQ(messagesWith(NoNetwork), 0);
}

TEST_F(Search, EmptyResultShowsTheNoResultsMessageNotTheNoNetworkOne)
{
    start();
    search(QStringLiteral("test0"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
    EXPECT_EQ(messagesWith(NoNetwork), 0);
    ASSERT_EQ(messagesWith(NoResults), 1);
    const Message& m = messages.back();
    EXPECT_EQ(m.kind, Message::Kind::Info);
    EXPECT_EQ(m.caption, QStringLiteral("提示"));
}

TEST_F(Search, UnreachableServiceShowsTheNoNetworkMessage)
{
    Tfrmkova& w = start();
    hosts.pointAt(ClosedHost, server.versionUrl(), server.directoryUrl());
    search(QStringLiteral("test5"));
    EXPECT_EQ(messagesWith(NoNetwork), 1);
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 0 条记录"));
    // The error page never carries the address, so never the account.
    EXPECT_FALSE(w.mmo1.text().contains(w.state().UserId));
}

// A hostile page: rows whose name or promotion is broken over two lines, or too long for a
// line, cannot be read; they are counted in the status bar, every other row is stored whole.
TEST_F(Search, RowsThatCannotBeReadAreCountedAndTheOthersStored)
{
    start();
    const QStringList& names = standin::hostileNames();
    const QStringList& promotions = standin::hostilePromotions();
    const auto unreadable = [](const QString& text) {
        return text.contains(QLatin1Char('\n')) || text.size() > PageText::MaxLineBytes / 2;
    };
    const int rows = 30;
    int skipped = 0;
    for (int i = 0; i < rows; ++i)
        skipped += unreadable(names.at(i % names.size())) || unreadable(promotions.at(i % promotions.size()));
    ASSERT_GT(skipped, 0);
    search(QStringLiteral("hostile%1").arg(rows));
    EXPECT_EQ(
        window->ui.StatusBar1->panelText(0),
        QStringLiteral("本次搜索结果有: %1 条记录，另有 %2 条记录无法读取").arg(rows - skipped).arg(skipped));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), rows - skipped);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where coalesce(cpmc, '') = ''")),
              QStringLiteral("0"));
    EXPECT_EQ(messagesWith(NoResults) + messagesWith(NoNetwork), 0);

    // An ordinary page keeps the text it always had.
    search(QStringLiteral("test13"));
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 13 条记录"));
}

TEST_F(Search, HotKeywordSearchesItsCaption)
{
    Tfrmkova& w = start();
    server.clearLog();
    ClickLabel* label = w.ui.hotKeyword(2, 3); // lab23
    ASSERT_EQ(label->text(), QStringLiteral("BB霜"));
    w.ui.StatusBar1->setPanelText(0, QString());
    w.labClick(2 * 8 + 2);
    waitForResults();
    EXPECT_EQ(w.ui.edt_key->text(), QStringLiteral("BB霜"));
    EXPECT_EQ(w.ui.Edt_word->text(), QStringLiteral("BB霜"));
    EXPECT_TRUE(w.ui.pan01->isVisible());
    EXPECT_FALSE(w.ui.pan03->isVisible());
    // The keyword travels as GBK bytes, percent-encoded.
    bool sent = false;
    for (const QString& line : server.log())
        sent = sent || line.contains(QStringLiteral("word=BB%CB%AA"));
    EXPECT_TRUE(sent) << server.log().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from word where word='BB霜'")), QStringLiteral("1"));
}

TEST_F(Search, BlanksAroundTheKeywordAreTrimmed)
{
    Tfrmkova& w = start();
    search(QStringLiteral("  test3 "));
    EXPECT_EQ(w.ui.Edt_word->text(), QStringLiteral("test3"));
    EXPECT_EQ(w.state().SearchWord, QStringLiteral("test3"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 3);
}

TEST_F(Search, KeywordWithASingleQuoteFindsItsPictureRecords)
{
    Tfrmkova& w = start();
    search(QStringLiteral("O'Neill 卫衣"));
    const int rows = db.count(QStringLiteral("cxnr"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='O''Neill 卫衣'")),
              QString::number(rows));
    search(QStringLiteral("O'Neill 卫衣"));
    EXPECT_EQ(w.state().WordHasPictures, rows > 0);
    EXPECT_EQ(w.qry1.recordCount(), rows);
}

TEST_F(Search, EmptyKeywordSendsNothingAndTakesThePanelDown)
{
    Tfrmkova& w = start();
    server.clearLog();
    w.ui.edt_key->setText(QStringLiteral("   "));
    w.suiButton4Click();
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("当前操作: 网购比价搜索"));
    EXPECT_TRUE(server.log().isEmpty());
}

TEST_F(Search, FavoriteStateComesFromTheService)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test4"));
    // Add row 2 at the service, as the grid's favorite cell does.
    w.WebBrowser1.Navigate(
        Requests().addFavorite(w.state().UserId, w.state().UserPassword, QStringLiteral("2")));
    ASSERT_TRUE(waitUntil([&] { return !w.WebBrowser1.isLoading(); }));
    search(QStringLiteral("test4"));
    EXPECT_EQ(db.scalar(QStringLiteral("select \"check\" from cxnr where bh=2")), QStringLiteral("已收藏"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where \"check\"='点击收藏'")),
              QStringLiteral("3"));
}

TEST_F(Search, SearchTicksEveryMerchantBox)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test30"));
    w.ui.suiCheckBox3->setChecked(false);
    w.ui.suiCheckBox6->setChecked(false);
    search(QStringLiteral("test30"));
    for (QCheckBox* box : w.ui.checkBoxes())
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(w.ADOQuery2.recordCount(), 30);
}

TEST_F(Search, BrokenThumbnailInTheMiddleDoesNotStopTheOthers)
{
    start();
    search(QStringLiteral("test40-brokenpic"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 40);
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(thumbnails().size(), 39);
}

TEST_F(Search, NewSearchWhileAFetcherRunsLeavesBothComplete)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test200"));
    ASSERT_EQ(w.fetchers().size(), 1u);
    search(QStringLiteral("test60"));
    ASSERT_TRUE(fetchersDone(60000));
    EXPECT_EQ(thumbnails().size(), 260);
    // No file is torn: every one is a whole JPEG.
    for (const QString& name : thumbnails()) {
        QFile f(db.tempDir() + QStringLiteral("kvpic/") + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_TRUE(bytes.startsWith("\xFF\xD8\xFF")) << name.toStdString();
        ASSERT_TRUE(bytes.endsWith("\xFF\xD9")) << name.toStdString();
    }
    EXPECT_EQ(QDir(db.tempDir() + QStringLiteral("kvpic")).entryList(QDir::Files).size(), 260);
}

TEST_F(Search, ClosingTheWindowWhileAFetcherRunsEndsCleanly)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test1000"));
    ASSERT_FALSE(w.fetchers().empty());
    w.close();
    window.reset(); // stops and joins the fetcher
    // Whatever was saved before the stop is whole; nothing half-written is left.
    const QDir cache(db.tempDir() + QStringLiteral("kvpic"));
    for (const QString& name : cache.entryList(QDir::Files)) {
        ASSERT_TRUE(name.endsWith(QStringLiteral(".jpg"))) << name.toStdString();
        QFile f(cache.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().endsWith("\xFF\xD9")) << name.toStdString();
    }
}

// The fetcher serves what the grid shows: a scroll to the end of a long list brings those
// rows' thumbnails before the middle of the list.
TEST_F(Search, ScrollingToTheEndFetchesTheRowsShownThereNext)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test1000"));
    ASSERT_EQ(w.fetchers().size(), 1u);
    std::mutex mutex;
    QStringList saved;
    QObject::connect(
        w.fetchers().back().get(), &TGetMM::pictureSaved, w.fetchers().back().get(),
        [&](const QString& cph) {
            std::lock_guard lock(mutex);
            saved.append(cph);
        },
        Qt::DirectConnection);
    DBGridEh& grid = *w.ui.DBGridEh1;
    grid.scrollToBottom();
    ASSERT_TRUE(fetchersDone(60000));

    const int rows = w.ADOQuery2.recordCount();
    ASSERT_EQ(rows, 1000);
    const int cph = static_cast<int>(w.ADOQuery2.fieldNames().indexOf(QStringLiteral("cph")));
    ASSERT_GE(cph, 0);
    const int firstShown = grid.rowAt(0);
    ASSERT_GT(firstShown, 900);
    std::lock_guard lock(mutex);
    const qsizetype middle = saved.indexOf(w.ADOQuery2.fieldAt(500, cph).toString());
    ASSERT_GE(middle, 0) << "row 500 was saved before the scroll";
    for (int row = firstShown; row < rows; ++row) {
        const QString shown = w.ADOQuery2.fieldAt(row, cph).toString();
        EXPECT_LT(saved.indexOf(shown), middle) << row;
    }
    EXPECT_EQ(thumbnails().size(), 1000);
}

TEST_F(Search, ResultsViewButtonShowsTheCount)
{
    Tfrmkova& w = start();
    w.btn1Click();
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("当前操作: 网购比价搜索"));
    search(QStringLiteral("test35"));
    w.btn1Click();
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("比价搜索结果有: 35 条记录"));
    EXPECT_TRUE(w.ui.pan01->isVisible());
    EXPECT_FALSE(w.ui.btn1->isEnabled());
    EXPECT_TRUE(w.ui.btn2->isEnabled());
}

} // namespace

namespace {

TEST_F(Search, OtherRepliesOfTheMainLoaderAreNotReadAsResults)
{
    Tfrmkova& w = start();
    search(QStringLiteral("test5"));
    messages.clear();
    // A favorite's delete reply arriving while the results view is shown.
    w.wbwebb.Navigate(
        Requests().deleteFavorite(w.state().UserId, w.state().UserPassword, QStringLiteral("77")));
    ASSERT_TRUE(waitUntil([&] { return !w.wbwebb.isLoading(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 5 条记录"));
    EXPECT_EQ(messagesWith(NoNetwork), 0);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 5);
}

} // namespace

namespace {

// A long page is read between the window's events: while it is read a timer fires, and every
// row the grid has been told of is stored already.
TEST_F(Search, ALongPageIsReadBetweenTheWindowsEvents)
{
    Tfrmkova& w = start();
    int announced = 0;
    int unstored = 0;
    QObject::connect(&w.ADOQuery2, &Dataset::rowsInserted, [&](int, int last) {
        announced = last + 1;
        if (db.count(QStringLiteral("cxnr")) < announced)
            ++unstored;
    });
    int turnsWhileReading = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (w.readingPage())
            ++turnsWhileReading;
    });
    probe.start(0);
    search(QStringLiteral("test3000"));
    probe.stop();
    EXPECT_FALSE(w.readingPage());
    EXPECT_GT(turnsWhileReading, 0);
    EXPECT_EQ(announced, 3000);
    EXPECT_EQ(unstored, 0);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 3000);
    EXPECT_EQ(w.ADOQuery2.recordCount(), 3000);
    EXPECT_EQ(w.ADOQuery2.recNo(), 1);
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 3000 条记录"));
}

// A new search while a page is still being read ends that reading at a row boundary; the
// new search removes what it stored, and only the new rows are listed.
TEST_F(Search, ANewSearchEndsTheReadingUnderWay)
{
    Tfrmkova& w = start();
    w.ui.edt_key->setText(QStringLiteral("test3000"));
    w.suiButton4Click();
    ASSERT_TRUE(waitUntil([&] { return w.readingPage() && w.ADOQuery2.recordCount() > 0; }, 20000));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), w.ADOQuery2.recordCount());
    search(QStringLiteral("test20"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_EQ(w.ADOQuery2.recordCount(), 20);
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: 20 条记录"));
    // Nothing of the old page arrives later.
    settle(200);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 20);
    EXPECT_TRUE(messages.empty());
}

// Esc while a page is read ends the reading where it is: the rows stored stay, listed and
// counted, and the panel goes.
TEST_F(Search, EscapeEndsTheReadingAndKeepsItsRows)
{
    Tfrmkova& w = start();
    w.ui.edt_key->setText(QStringLiteral("test3000"));
    w.suiButton4Click();
    ASSERT_TRUE(waitUntil([&] { return w.readingPage() && w.ADOQuery2.recordCount() > 0; }, 20000));
    w.stopSearch();
    EXPECT_FALSE(w.readingPage());
    const int rows = w.ADOQuery2.recordCount();
    EXPECT_LT(rows, 3000);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), rows);
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("本次搜索结果有: %1 条记录").arg(rows));
    settle(100);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), rows);
}

// A merchant box cleared while a long page is read holds for the rows read after it too.
TEST_F(Search, AFilterChosenDuringTheReadingHoldsForEveryRow)
{
    Tfrmkova& w = start();
    w.ui.edt_key->setText(QStringLiteral("test3000"));
    w.suiButton4Click();
    ASSERT_TRUE(waitUntil([&] { return w.readingPage() && w.ADOQuery2.recordCount() > 0; }, 20000));
    w.ui.checkBoxes().at(1)->setChecked(false); // 淘宝网
    waitForResults();
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 3000);
    const int others =
        db.scalar(QStringLiteral("select count(*) from cxnr where sjlx in "
                                 "('天猫商城','京东商城','亚马逊','当当网','苏宁易购','1号店')"))
            .toInt();
    ASSERT_GT(others, 0);
    ASSERT_LT(others, 3000);
    EXPECT_EQ(w.ADOQuery2.recordCount(), others);
    for (int row = 0; row < w.ADOQuery2.recordCount(); ++row) {
        w.ADOQuery2.setRecNo(row + 1);
        ASSERT_NE(w.ADOQuery2.fieldText(QStringLiteral("sjlx")), QStringLiteral("淘宝网")) << row;
    }
}

// The grid hears of new rows in runs, not one by one: each insertion its model reports is
// one announcement a screen reader's bridge makes (a table model change), so a long page
// must make far fewer of them than rows.
TEST_F(Search, TheGridHearsOfNewRowsInRuns)
{
    Tfrmkova& w = start();
    int insertions = 0;
    int rowsInserted = 0;
    QObject::connect(w.ui.DBGridEh1->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) {
                         ++insertions;
                         rowsInserted += last - first + 1;
                     });
    search(QStringLiteral("test3000"));
    EXPECT_EQ(w.ADOQuery2.recordCount(), 3000);
    EXPECT_EQ(rowsInserted, 3000);
    EXPECT_GE(insertions, 1);
    EXPECT_LE(insertions, 3000 / 20);
    EXPECT_EQ(w.ui.DBGridEh1->model()->rowCount(), 3000);
}

} // namespace
