// The result page reader over page texts made by hand and fetched from the stand-in
// server, against a real database.
#include "search/AccountReply.h"
#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/Cipher.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Error.h"
#include "store/PriceHistory.h"
#include "store/SettingsRecord.h"
#include "tests/support/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace kova;
using namespace kova::test;

namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.open();
        words.setSql(QStringLiteral("select * from word"));
        words.open();
        rows.setSql(QStringLiteral("select * from cxnr order by jg"));
        rows.open();
        pictures.setSql(QStringLiteral("select * from tpb where word='kw'"));
        pictures.open();
        settings.openOrCreate();
        state.word = QStringLiteral("kw");
        state.tempDir = db.tempDir();
        QDir(db.tempDir()).mkdir(QStringLiteral("kvpic"));
    }

    ResultPageReader::Outcome read(const QStringList& lines, bool failed = false)
    {
        PageText page(lines.join(QLatin1Char('\n')));
        page.setFailedLoad(failed);
        ResultPageReader reader({words, rows, pictures, settings}, state, &rate,
                                [this](int bar, const QString&) { bars.push_back(bar); });
        return reader.read(page);
    }

    // Ratings that show what the reader passed to the rules.
    static OfferRatings rate(qint64 count, const QString& merchant, const QString& name)
    {
        return {QStringLiteral("A%1").arg(count), merchant + QLatin1Char('/') + name};
    }

    // One result row in the page's shape.
    static QStringList
    row(const QString& bh, const QString& cph, const QString& rc, const QString& merchant,
        const QString& favorite = QStringLiteral("No"),
        const QString& link = QStringLiteral("http://s/i.htm?id=1&amp;pid=mm_1_2_3&amp;x=2"))
    {
        return {QStringLiteral("<TR>"),
                QStringLiteral("<TD>%1</TD>").arg(bh),
                QStringLiteral("<TD>%1</TD>").arg(cph),
                QStringLiteral("<TD>正品 连衣裙</TD>"),
                QStringLiteral("<TD>http://127.0.0.1:9/pic/%1.jpg</TD>").arg(cph),
                QStringLiteral("<TD>http://127.0.0.1:9/pic/%1_b.jpg</TD>").arg(cph),
                QStringLiteral("<TD>%1</TD>").arg(rc),
                QStringLiteral("<TD>58.50</TD>"),
                QStringLiteral("<TD>%1</TD>").arg(link),
                QStringLiteral("<TD>%1</TD>").arg(merchant),
                QStringLiteral("<TD>2026-12-01 10:00</TD>"),
                QStringLiteral("<TD></TD>"),
                QStringLiteral("<TD></TD>"),
                QStringLiteral("<TD>%1</TD></TR>").arg(favorite)};
    }
    // Rows 1..n of one store, products p1..pn.
    static QList<QStringList> numberedOffers(int n)
    {
        QList<QStringList> offers;
        for (int i = 1; i <= n; ++i)
            offers << row(QString::number(i), QStringLiteral("p%1").arg(i), QStringLiteral("5"),
                          QStringLiteral("当当网"));
        return offers;
    }
    static QStringList page(const QList<QStringList>& rows)
    {
        QStringList lines{QStringLiteral("<HTML><HEAD></HEAD>"), QStringLiteral("<BODY>"),
                          QStringLiteral("<TABLE><TBODY>")};
        for (const QStringList& r : rows)
            lines += r;
        lines << QStringLiteral("</TBODY></TABLE></BODY></HTML>");
        return lines;
    }

    TempDatabase db;
    Connection connection{db.path()};
    Dataset words{connection};
    Dataset rows{connection};
    Dataset pictures{connection};
    Dataset settingsQuery{connection};
    SettingsRecord settings{settingsQuery};
    HttpClient http;
    ResultPageReader::Search state;
    std::vector<int> bars;
};

TEST_F(Reader, CellValueIsTheTextBetweenTheTags)
{
    EXPECT_EQ(CellValue(QStringLiteral("<TD>58.50</TD>")), QStringLiteral("58.50"));
    EXPECT_EQ(CellValue(QStringLiteral("<TD></TD>")), QString());
    EXPECT_EQ(CellValue(QStringLiteral("<TD>a</TD></TR>")), QStringLiteral("a"));
    EXPECT_EQ(CellValue(QStringLiteral("<TD>no end tag")), QString());
    EXPECT_EQ(CellValue(QStringLiteral("</TD>")), QString());
    // A start tag with attributes is not the expected shape: the value keeps its rest.
    EXPECT_EQ(CellValue(QStringLiteral("<TD class=x>v</TD>")), QStringLiteral("class=x>v"));
}

// The reader takes cells from a line's UTF-8: the value is the one the line's characters give,
// also where the fifth character is not the fifth byte.
TEST(CellValueOfUtf8, IsTheValueOfTheCharacters)
{
    for (const QString& line :
         {QStringLiteral("<TD>a</TD>"), QStringLiteral("<TD>中文 &amp;</TD></TR>"),
          QStringLiteral("中文</TD>"), QStringLiteral("ab中d</TD>x"), QStringLiteral("中文字符很多</TD>"),
          QStringLiteral("<TD>no end"), QString(), QStringLiteral("</TD>"), QStringLiteral("<TD></TD>"),
          QStringLiteral("<TD class=x>v</TD>"), QStringLiteral("<TD>\u202E反</TD>")})
        EXPECT_EQ(CellValue(QByteArrayView(line.toUtf8())), CellValue(line)) << line.toStdString();
}

TEST_F(Reader, StoresEveryColumnOfARow)
{
    state.taobaoPid = QStringLiteral("mm_9_9_9");
    state.jdUnionId = QStringLiteral("42");
    const auto outcome = read(page({row(QStringLiteral("7"), QStringLiteral("p7"), QStringLiteral("150"),
                                        QStringLiteral("淘宝网"), QStringLiteral("Yes"))}));
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.emptyCells, 2);
    ASSERT_EQ(db.count(QStringLiteral("cxnr")), 1);
    const QString cols = db.scalar(QStringLiteral(
        "select bh || '|' || bz1 || '|' || bz2 || '|' || cph || '|' || cpmc || '|' || rc || '|' || jg || '|' "
        "|| "
        "cplj || '|' || sjlx || '|' || cxsj || '|' || zpbz || '|' || pjjb || '|' || \"check\" || '|' || "
        "coalesce(hdxx, 'null') from cxnr"));
    EXPECT_EQ(cols, QStringLiteral("7|加载中…|精准比价|p7|正品 连衣裙|150|58.50|"
                                   "http://s/i.htm?id=1&pid=mm_9_9_9&x=2|淘宝网|2026-12-01 "
                                   "10:00|A150|淘宝网/正品 连衣裙|已收藏|null"));
    EXPECT_EQ(db.scalar(QStringLiteral("select cxrq from cxnr")).toLongLong(), DayNumber());
    EXPECT_EQ(db.scalar(QStringLiteral("select tpid || '|' || bh || '|' || word from tpb")),
              QStringLiteral("p7|7|kw"));
    // The bar: 20 at the start, then 20 + 1 × 100 / 2.
    ASSERT_GE(bars.size(), 2u);
    EXPECT_EQ(bars.front(), 20);
    EXPECT_EQ(bars.back(), 70);
}

// A right-to-left override would show "gpj.exe" as "exe.jpg": the direction controls leave
// every cell before anything is stored, rated, recorded or shown; the rest of the text stays.
TEST_F(Reader, DirectionControlsLeaveTheCellsBeforeTheyAreStored)
{
    QStringList lines =
        row(QStringLiteral("7"), QStringLiteral("p7"), QStringLiteral("150"), QStringLiteral("淘宝网"));
    lines[3] =
        QStringLiteral("<TD>正品\u202E连衣裙\u2066 gpj.exe\u2069\u202A\u202B\u202C\u202D\u2067\u2068</TD>");
    lines[11] = QStringLiteral("<TD>\u202E满100减20\u200F</TD>");
    std::vector<QString> labels;
    PageText text(page({lines}).join(QLatin1Char('\n')));
    ResultPageReader reader({words, rows, pictures, settings}, state, &rate,
                            [&](int, const QString& label) { labels.push_back(label); });
    EXPECT_EQ(reader.read(text).stored, 1);
    EXPECT_EQ(db.scalar(QStringLiteral("select cpmc || '|' || hdxx || '|' || pjjb from cxnr")),
              QStringLiteral("正品连衣裙 gpj.exe|满100减20\u200F|淘宝网/正品连衣裙 gpj.exe"));
    ASSERT_FALSE(labels.empty());
    EXPECT_TRUE(labels.back().endsWith(QStringLiteral("正品连衣裙 gpj.exe")));
}

TEST_F(Reader, EmptyPopularityIsStoredWithoutRatings)
{
    read(page({row(QStringLiteral("1"), QStringLiteral("p1"), QString(), QStringLiteral("京东商城"))}));
    EXPECT_EQ(db.scalar(QStringLiteral(
                  "select coalesce(zpbz,'null') || coalesce(pjjb,'null') || coalesce(rc,'null') "
                  "from cxnr")),
              QStringLiteral("nullnullnull"));
}

TEST_F(Reader, MalformedRowsAreSkippedAndTheReadingGoesOn)
{
    QStringList lines =
        page({row(QStringLiteral("x1"), QStringLiteral("a"), QStringLiteral("5"), QStringLiteral("当当网")),
              row(QStringLiteral("2"), QStringLiteral("b"), QStringLiteral("many"), QStringLiteral("当当网")),
              row(QStringLiteral("3"), QStringLiteral("c"), QStringLiteral("5"), QStringLiteral("当当网"))});
    // A last row cut short by the end of the page.
    lines += row(QStringLiteral("4"), QStringLiteral("d"), QStringLiteral("5"), QStringLiteral("当当网"))
                 .mid(0, 9);
    const auto outcome = read(lines);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.skipped, 3);
    EXPECT_EQ(db.scalar(QStringLiteral("select group_concat(cph) from cxnr")), QStringLiteral("c"));
    // Bars above 100 are shown as 100.
    for (int bar : bars)
        EXPECT_LE(bar, 100);
}

// A name broken over two lines, a name cut at the line limit and a row missing a cell are
// counted as rows that cannot be read; the rows around them are stored whole.
TEST_F(Reader, BrokenAndCutRowsAreCountedAndTheirNeighboursStored)
{
    const auto ok = [](const char* cph) {
        return row(QStringLiteral("1"), QString::fromLatin1(cph), QStringLiteral("5"),
                   QStringLiteral("当当网"));
    };
    QStringList broken = ok("b");
    broken.replace(3, QStringLiteral("<TD>正品"));
    broken.insert(4, QStringLiteral("连衣裙</TD>"));
    QStringList cut = ok("c");
    cut.replace(3, QStringLiteral("<TD>%1</TD>").arg(QString(3000, QChar(0x957F)))); // 6000 GBK bytes
    QStringList short_ = ok("d");
    short_.removeAt(11);
    const auto outcome = read(page({ok("a"), broken, ok("e"), cut, short_, ok("f")}));
    EXPECT_EQ(outcome.stored, 3);
    EXPECT_EQ(outcome.skipped, 3);
    EXPECT_EQ(db.scalar(QStringLiteral("select group_concat(cph) from cxnr")), QStringLiteral("a,e,f"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cpmc = '正品 连衣裙'")),
              QStringLiteral("3"));
    EXPECT_EQ(SearchEndStatus(3, 3), QStringLiteral("本次搜索结果有: 3 条记录，另有 3 条记录无法读取"));
    EXPECT_EQ(SearchEndStatus(12, 0), QStringLiteral("本次搜索结果有: 12 条记录"));
}

// The page in steps of one commit: a step the file cannot take is undone everywhere (rows,
// picture records, the outcome, the price sightings), the steps before stay stored.
TEST_F(Reader, AStepTheFileCannotTakeLeavesNoTrace)
{
    PriceHistory history(connection);
    history.open();
    state.history = &history;
    const QList<QStringList> offers = numberedOffers(400);
    const PageText text(page(offers).join(QLatin1Char('\n')));
    ResultPageReader reader({words, rows, pictures, settings}, state, &rate, [](int, const QString&) {});
    int announced = 0;
    QObject::connect(&rows, &Dataset::rowsInserted,
                     [&](int first, int last) { announced += last - first + 1; });
    reader.start(text);
    // A step that has expired looks over a part of the page, then reads one row.
    for (int step = 0; reader.outcome().stored < 3; ++step) {
        ASSERT_LT(step, 10);
        ASSERT_FALSE(reader.readStep(connection, QDeadlineTimer(0)));
    }
    connection.execute(QStringLiteral("PRAGMA max_page_count = ") +
                       db.scalar(QStringLiteral("pragma page_count")));
    QString failure;
    try {
        while (!reader.readStep(connection, QDeadlineTimer(QDeadlineTimer::Forever))) {
        }
    } catch (const Error& e) {
        failure = e.message();
    }
    EXPECT_TRUE(failure.startsWith(QStringLiteral("磁盘已满"))) << failure.toStdString();
    const int stored = db.count(QStringLiteral("cxnr"));
    EXPECT_GE(stored, 3);
    EXPECT_LT(stored, 400);
    EXPECT_EQ(rows.recordCount(), stored);
    EXPECT_EQ(reader.outcome().stored, stored);
    EXPECT_EQ(pictures.recordCount(), db.scalar(QStringLiteral("select count(*) from tpb")).toInt());
    EXPECT_EQ(reader.outcome().pictureRecords, pictures.recordCount());
    EXPECT_EQ(static_cast<int>(reader.outcome().firstThumbnails.size()), std::min(stored, 12));
    EXPECT_EQ(history.pending(), stored);
    EXPECT_EQ(announced, stored);
    EXPECT_GE(rows.recNo(), 1);
    EXPECT_LE(rows.recNo(), stored);
    EXPECT_EQ(db.scalar(QStringLiteral("select count from word where word='kw'")), QString());
    EXPECT_EQ(db.count(QStringLiteral("word")), 1);

    // Room again: the next reading stores its page.
    connection.execute(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    EXPECT_EQ(read(page(offers.mid(0, 20))).stored, 20);
}

// A long page is looked over in steps too, so that the first step of 200,000 rows does not
// hold the window; what is read in the end is what one pass reads.
TEST_F(Reader, ALongPageIsLookedOverInSteps)
{
    const PageText text(page(numberedOffers(1000)).join(QLatin1Char('\n')));
    ResultPageReader reader({words, rows, pictures, settings}, state, &rate, [](int, const QString&) {});
    reader.start(text);
    int steps = 0;
    while (reader.outcome().stored == 0) {
        ASSERT_LT(steps, 100);
        ASSERT_FALSE(reader.readStep(connection, QDeadlineTimer(0)));
        ++steps;
    }
    EXPECT_GE(steps, text.count() / 4096) << "the page was looked over in one step";
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 1);
    while (!reader.readStep(connection, QDeadlineTimer(QDeadlineTimer::Forever))) {
    }
    EXPECT_TRUE(reader.outcome().resultPage);
    EXPECT_EQ(reader.outcome().emptyCells, 2000);
    EXPECT_EQ(reader.outcome().stored, 1000);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 1000);
}

TEST_F(Reader, PageWithoutRowsStoresNothing)
{
    const auto outcome =
        read({QStringLiteral("<HTML>"), QStringLiteral("<BODY>"), QStringLiteral("<TD></TD>")});
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(outcome.emptyCells, 1);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
    // The keyword still counts as searched.
    EXPECT_EQ(db.count(QStringLiteral("word")), 1);
}

TEST_F(Reader, OnlyALoadedPageWithTheResultTableIsAResultPage)
{
    // An empty result: the table without rows.
    EXPECT_TRUE(read(page({})).resultPage);
    EXPECT_TRUE(read(page({row(QStringLiteral("1"), QStringLiteral("c1"), QStringLiteral("5"),
                               QStringLiteral("淘宝网"))}))
                    .resultPage);
    // The same text from a load that failed, a page without a table, a table with a header.
    EXPECT_FALSE(read(page({}), /*failed=*/true).resultPage);
    EXPECT_FALSE(read({QStringLiteral("<HTML><HEAD></HEAD>"), QStringLiteral("<BODY>"),
                       QStringLiteral("<P>您访问的页面不存在。</P>"), QStringLiteral("</BODY></HTML>")})
                     .resultPage);
    EXPECT_FALSE(read({QStringLiteral("<HTML><HEAD></HEAD>"), QStringLiteral("<BODY>"),
                       QStringLiteral("<TABLE><TBODY>"), QStringLiteral("<TR><TH>图片</TH></TR>"),
                       QStringLiteral("</TBODY></TABLE></BODY></HTML>")})
                     .resultPage);
}

TEST_F(Reader, KeywordStatisticsFindTheKeywordExactly)
{
    db.exec(QStringLiteral("insert into word (word) values ('KW'), ('kw2')"));
    words.close();
    words.open();
    read({});
    read({});
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(\"count\", 'null') from word where word='kw'")),
              QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(\"count\", 'null') from word where word='KW'")),
              QStringLiteral("null"));
    state.word.clear();
    read({});
    EXPECT_EQ(db.count(QStringLiteral("word")), 3);
}

TEST_F(Reader, AKnownKeywordRecordsOnlyProductsNewToIt)
{
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('kw', 'p1', '1')"));
    pictures.close();
    pictures.open();
    state.wordHasPictures = true;
    const auto outcome = read(page(
        {row(QStringLiteral("1"), QStringLiteral("p1"), QStringLiteral("5"), QStringLiteral("亚马逊")),
         row(QStringLiteral("2"), QStringLiteral("p2"), QStringLiteral("5"), QStringLiteral("亚马逊")),
         row(QStringLiteral("3"), QStringLiteral("p2"), QStringLiteral("5"), QStringLiteral("亚马逊"))}));
    EXPECT_EQ(outcome.stored, 3);
    EXPECT_EQ(outcome.pictureRecords, 1);
    EXPECT_TRUE(outcome.firstThumbnails.empty()); // a known keyword's pictures all go to the fetcher
    EXPECT_EQ(db.scalar(QStringLiteral("select group_concat(tpid || ':' || bh) from tpb where word='kw'")),
              QStringLiteral("p1:1,p2:2"));
}

TEST_F(Reader, ANewKeywordNamesItsFirstTwelveMissingThumbnailsAndFetchesNothing)
{
    QList<QStringList> rowsOfPage;
    for (int i = 1; i <= 14; ++i)
        rowsOfPage.push_back(row(QString::number(i), QStringLiteral("p%1").arg(i), QStringLiteral("5"),
                                 QStringLiteral("亚马逊")));
    rowsOfPage.push_back(
        row(QStringLiteral("15"), QStringLiteral("../evil"), QStringLiteral("5"), QStringLiteral("亚马逊")));
    // p3's file is there already: it is not named.
    QFile present(db.tempDir() + QStringLiteral("kvpic/p3.jpg"));
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    present.close();
    const auto outcome = read(page(rowsOfPage));
    EXPECT_EQ(outcome.stored, 15);
    EXPECT_EQ(db.count(QStringLiteral("tpb")), 15);
    QStringList named;
    for (const PictureItem& item : outcome.firstThumbnails)
        named.append(item.cph);
    EXPECT_EQ(named.join(QLatin1Char(',')), QStringLiteral("p1,p2,p4,p5,p6,p7,p8,p9,p10,p11,p12"));
    EXPECT_EQ(QDir(db.tempDir() + QStringLiteral("kvpic")).entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(db.tempDir() + QStringLiteral("evil.jpg")));
}

class AccountRule : public Reader {
protected:
    void SetUp() override
    {
        Reader::SetUp();
        state.accountReplyExpected = true;
    }
};

TEST_F(AccountRule, TakesTheBodyTextUpToTheNextTag)
{
    const auto rule = [&](const QString& line) {
        return ApplyAccountReplyRule(line, 1, false, state.accountReplyExpected, settings);
    };
    const auto stored = rule(QStringLiteral("<BODY>  k7654321 </BODY></HTML>"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->userId, QStringLiteral("k7654321"));
    EXPECT_EQ(stored->password, QStringLiteral("mivra"));
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select u from xxb")), StoreKey)),
              QStringLiteral("k7654321"));
    // A complete account is never replaced.
    EXPECT_FALSE(rule(QStringLiteral("<BODY>k1")));
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select u from xxb")), StoreKey)),
              QStringLiteral("k7654321"));
}

TEST_F(AccountRule, StoresNothingForWrongPlacesFailedLoadsAndEmptyText)
{
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<BODY>k1"), 4, false, true, settings));
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<BODY>k1"), 1, true, true, settings));
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<BODY><TABLE>"), 1, false, true, settings));
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<BODY>   "), 1, false, true, settings));
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<body>k1"), 1, false, true, settings));
    EXPECT_FALSE(ApplyAccountReplyRule(QStringLiteral("<BODY>k1"), 1, false, false, settings));
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(u,'') || coalesce(p,'') from xxb")), QString());
}

TEST_F(AccountRule, AccountReplyThroughTheReaderIsReturned)
{
    state.word.clear();
    const auto outcome =
        read({QStringLiteral("<HTML><HEAD></HEAD>"), QStringLiteral("<BODY>k2345678</BODY></HTML>")});
    ASSERT_TRUE(outcome.account);
    EXPECT_EQ(outcome.account->userId, QStringLiteral("k2345678"));
    EXPECT_EQ(db.count(QStringLiteral("word")), 0);
}

TEST_F(AccountRule, FailedLoadPageThroughTheReaderStoresNoAccount)
{
    const auto outcome =
        read({QStringLiteral("<HTML><HEAD></HEAD>"), QStringLiteral("<BODY>无法显示网页</BODY></HTML>")},
             /*failed=*/true);
    EXPECT_FALSE(outcome.account);
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(u,'') from xxb")), QString());
}

// Pages from the stand-in server, loaded as the window loads them.
class ReaderWithServer : public Reader {
protected:
    void SetUp() override
    {
        Reader::SetUp();
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
    }
    PageText load(const QString& keyword)
    {
        Requests requests(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
        return loadUrl(requests.listAll(keyword, QStringLiteral("nobody"), QStringLiteral("x")));
    }
    PageText loadUrl(const QString& url)
    {
        PageLoader loader;
        loader.Navigate(url);
        EXPECT_TRUE(waitUntil([&] { return !loader.isLoading(); }, 20000));
        PageText text;
        loader.readDocumentInto(text);
        return text;
    }
    ResultPageReader::Outcome readPage(const PageText& page)
    {
        ResultPageReader reader({words, rows, pictures, settings}, state, &rate, [](int, const QString&) {});
        return reader.read(page);
    }

    QTemporaryDir serverDir;
    standin::StandInServer server;
};

TEST_F(ReaderWithServer, EmptyResultIsAResultPageAndErrorPagesAreNot)
{
    state.word = QStringLiteral("test0");
    const auto empty = readPage(load(QStringLiteral("test0")));
    EXPECT_TRUE(empty.resultPage);
    EXPECT_EQ(empty.stored, 0);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);

    state.word = QStringLiteral("test13");
    const auto thirteen = readPage(load(QStringLiteral("test13")));
    EXPECT_TRUE(thirteen.resultPage);
    EXPECT_EQ(thirteen.stored, 13);

    // The service's missing page and its server error, the loader's page for a cut reply.
    EXPECT_FALSE(readPage(loadUrl(server.serviceUrl() + QStringLiteral("/NoSuchPage.aspx"))).resultPage);
    server.setFault(standin::Fault::ErrorStatus, QStringLiteral("/ListAll.aspx"));
    EXPECT_FALSE(readPage(load(QStringLiteral("test0"))).resultPage);
    server.setFault(standin::Fault::DropMidBody, QStringLiteral("/ListAll.aspx"));
    const PageText cut = load(QStringLiteral("test13"));
    EXPECT_TRUE(cut.failedLoad());
    EXPECT_FALSE(readPage(cut).resultPage);
}

TEST_F(ReaderWithServer, ProductLinksArePlainTextWithTheOperatorIds)
{
    state.word = QStringLiteral("test40");
    state.taobaoPid = QStringLiteral("mm_5_5_5");
    state.jdUnionId = QStringLiteral("55");
    state.wordHasPictures = true;
    ResultPageReader reader({words, rows, pictures, settings}, state, &rate, [](int, const QString&) {});
    reader.read(load(QStringLiteral("test40")));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cplj like '%&amp;%'")),
              QStringLiteral("0"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cplj like '%=mm\\_%' escape '\\' and "
                                       "cplj not like '%pid=mm\\_5\\_5\\_5%' escape '\\'")),
              QStringLiteral("0"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cplj like '%unionId=%' and "
                                       "cplj not like '%unionId=55%'")),
              QStringLiteral("0"));
}

} // namespace

// Read one row at a time (every deadline already past), a reading stops at row boundaries:
// after each step the table holds exactly the rows read, and the whole reading stores the
// same rows, in the same order, with the same outcome as a reading in one go.
TEST_F(ReaderWithServer, AReadingInStepsStoresWhatAReadingInOneGoStores)
{
    const auto storedRows = [this] {
        return db.scalar(QStringLiteral(
            "select group_concat(r, char(10)) from (select ifnull(bh,'')||'|'||ifnull(cph,'')||'|'||"
            "ifnull(cpmc,'')||'|'||ifnull(jg,'')||'|'||ifnull(cplj,'')||'|'||ifnull(zpbz,'')||'|'||"
            "ifnull(pjjb,'')||'|'||ifnull([check],'') as r from cxnr order by rowid)"));
    };
    const PageText page = load(QStringLiteral("test40"));
    const auto whole = readPage(page);
    ASSERT_EQ(whole.stored, 40);
    const QString once = storedRows();
    db.exec(QStringLiteral("delete from cxnr"));
    db.exec(QStringLiteral("delete from tpb"));
    db.exec(QStringLiteral("delete from word"));
    rows.open();
    words.open();
    pictures.open();

    ResultPageReader reader({words, rows, pictures, settings}, state, &rate, [](int, const QString&) {});
    reader.begin(page);
    int steps = 0;
    while (!reader.readSome(QDeadlineTimer(0))) {
        ++steps;
        ASSERT_EQ(db.count(QStringLiteral("cxnr")), steps);
        ASSERT_EQ(rows.recordCount(), steps);
        ASSERT_EQ(reader.outcome().stored, steps);
    }
    EXPECT_EQ(steps + 1, 40);
    const auto stepped = reader.takeOutcome();
    EXPECT_EQ(stepped.stored, whole.stored);
    EXPECT_EQ(stepped.pictureRecords, whole.pictureRecords);
    EXPECT_EQ(stepped.firstThumbnails.size(), whole.firstThumbnails.size());
    EXPECT_EQ(stepped.emptyCells, whole.emptyCells);
    EXPECT_EQ(storedRows(), once);
    EXPECT_EQ(db.count(QStringLiteral("word")), 1);
}
