// The list reader over a page text, a real scnr table and the stand-in's pictures.
#include "favorites/FavoritesListReader.h"

#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/PageText.h"
#include "store/Cipher.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/PictureCache.h"
#include "store/SettingsRecord.h"
#include "tests/support/TestSupport.h"
#include "ui/GridColumn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kova;

namespace {

struct Fav {
    QString ufid = QStringLiteral("11");
    QString user = QStringLiteral("k1234567");
    QString scid = QStringLiteral("SC00000001");
    QString cph = QStringLiteral("1000000100001");
    QString name = QStringLiteral("品牌 手机 黑色");
    QString xtp;
    QString dtp = QStringLiteral("http://127.0.0.1:9/pic/x_b.jpg");
    QString saved = QStringLiteral("2024-05-01 10:00:00");
    QString scjg = QStringLiteral("100");
    QString gxjg = QStringLiteral("89.9");
    QString link = QStringLiteral("http://127.0.0.1:9/item.htm?id=1&amp;pid=mm_1_2_3&amp;spm=a");
    QString merchant = QStringLiteral("淘宝网");

    QStringList cells() const
    {
        return {ufid, user, scid, cph, name, xtp, dtp, saved, scjg, gxjg, link, merchant};
    }
};

// A list page as the page loader serializes it: upper-case tags, one cell a line.
QString rowLines(const QStringList& cells)
{
    QString text = QStringLiteral("<TR>\n");
    for (int i = 0; i < cells.size(); ++i)
        text += QStringLiteral("<TD>") + cells[i] + QStringLiteral("</TD>") +
                (i + 1 == cells.size() ? QStringLiteral("</TR>\n") : QStringLiteral("\n"));
    return text;
}

QString header()
{
    return rowLines({QStringLiteral("序列"), QStringLiteral("用户"), QStringLiteral("收藏编号"),
                     QStringLiteral("商品编号"), QStringLiteral("商品名称"), QStringLiteral("小图"),
                     QStringLiteral("大图"), QStringLiteral("收藏时间"), QStringLiteral("收藏价格"),
                     QStringLiteral("更新价格"), QStringLiteral("商品链接"), QStringLiteral("商家")});
}

QString page(const QString& owner, const QString& table)
{
    return QStringLiteral("<HTML><HEAD><TITLE>商品收藏夹</TITLE></HEAD>\n<BODY>\n<P>") + owner +
           QStringLiteral(" 的收藏夹</P>\n<TABLE border=\"1\"><TBODY>\n") + table +
           QStringLiteral("</TBODY></TABLE>\n</BODY></HTML>\n");
}

class ListReader : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        s_server = std::make_unique<standin::StandInServer>();
        standin::ServerOptions options;
        options.dataDir = s_dir->path();
        s_server->start(options);
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_dir.reset();
    }

    void SetUp() override
    {
        connection.open();
        scnr.setSql(QStringLiteral("select * from scnr order by scsj"));
        scnr.open();
        settings.openOrCreate();
        state.userId = QStringLiteral("k1234567");
        state.tempDir = db.tempDir();
        state.taobaoPid = QStringLiteral("mm_9_8_7");
        state.jdUnionId = QStringLiteral("555");
        PictureCache(state.tempDir).ensureFolder();
        s_server->clearLog();
    }

    FavoritesListReader::Outcome read(const QString& text, FavoriteList list = FavoriteList::Favorites)
    {
        PageText pageText(text);
        FavoritesListReader reader({scnr, settings}, state, list, [this](int bar, const QString& label) {
            bars.push_back(bar);
            labels.push_back(label);
        });
        return reader.read(pageText);
    }

    QString stored(int row, const char* column) const
    {
        return scnr.fieldAt(row, indexOfField(scnr.fieldNames(), QString::fromLatin1(column))).toString();
    }
    bool isNull(int row, const char* column) const
    {
        return scnr.fieldAt(row, indexOfField(scnr.fieldNames(), QString::fromLatin1(column))).isNull();
    }
    static QString picture(const QString& cph)
    {
        return s_server->directoryUrl() + QStringLiteral("/pic/") + cph + QStringLiteral(".jpg");
    }
    int pictureRequests() const
    {
        return static_cast<int>(s_server->log().filter(QStringLiteral("/pic/")).size());
    }

    test::TempDatabase db;
    Connection connection{db.path()};
    Dataset scnr{connection};
    Dataset xxb{connection};
    SettingsRecord settings{xxb};
    HttpClient http;
    FavoritesListReader::Context state;
    std::vector<int> bars;
    QStringList labels;

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::unique_ptr<standin::StandInServer> s_server;
};

TEST_F(ListReader, HeaderOnlyPageIsAListWithoutRows)
{
    const auto outcome = read(page(QStringLiteral("k1234567"), header()));
    EXPECT_TRUE(outcome.pageValid);
    EXPECT_EQ(outcome.rowLines, 1);
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(scnr.recordCount(), 0);
    EXPECT_TRUE(bars.empty());
}

TEST_F(ListReader, OneRowIsStoredCellByCellWithTheBarAtSixty)
{
    Fav fav;
    fav.xtp = picture(fav.cph);
    const auto outcome = read(page(QStringLiteral("k1234567"), header() + rowLines(fav.cells())));
    ASSERT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.rowLines, 2);
    ASSERT_EQ(bars, std::vector<int>{60});
    EXPECT_EQ(labels.front(), QStringLiteral("正在获取商品收藏夹数据： （淘宝网） 品牌 手机 黑色"));

    ASSERT_EQ(db.count(QStringLiteral("scnr")), 1);
    EXPECT_EQ(stored(0, "scrq").toLongLong(), DayNumber());
    EXPECT_EQ(stored(0, "bz2"), QStringLiteral("删除收藏"));
    EXPECT_EQ(stored(0, "jjcj"), QStringLiteral("精准比价"));
    EXPECT_TRUE(isNull(0, "bz1"));
    EXPECT_EQ(stored(0, "ufid"), fav.ufid);
    EXPECT_EQ(stored(0, "user"), fav.user);
    EXPECT_EQ(stored(0, "scid"), fav.scid);
    EXPECT_EQ(stored(0, "cph"), fav.cph);
    EXPECT_EQ(stored(0, "cpmc"), fav.name);
    EXPECT_EQ(stored(0, "xtp"), fav.xtp);
    EXPECT_EQ(stored(0, "dtp"), fav.dtp);
    EXPECT_EQ(stored(0, "scsj"), fav.saved);
    EXPECT_EQ(stored(0, "scjg"), QStringLiteral("100"));
    EXPECT_EQ(stored(0, "gxjg"), QStringLiteral("89.9"));
    EXPECT_EQ(stored(0, "sjlx"), fav.merchant);
    // Markup resolved, then the operator's pid put in; the parameters after it stay.
    EXPECT_EQ(stored(0, "cplj"), QStringLiteral("http://127.0.0.1:9/item.htm?id=1&pid=mm_9_8_7&spm=a"));

    // The reading fetches nothing; the picture is named for the caller's fetcher.
    EXPECT_FALSE(QFileInfo::exists(PictureCache(state.tempDir).thumbnailPath(fav.cph)));
    ASSERT_EQ(outcome.pictures.size(), 1u);
    EXPECT_EQ(outcome.pictures[0].cph, fav.cph);
    EXPECT_EQ(outcome.pictures[0].url, fav.xtp);
}

TEST_F(ListReader, DirectionControlsLeaveNamesBeforeTheyAreStoredOrShown)
{
    Fav fav;
    fav.name = QStringLiteral("品牌\u202E手机\u2066黑色\u2069\u202A\u202C");
    fav.merchant = QStringLiteral("\u202D淘宝网");
    read(page(QStringLiteral("k1234567"), header() + rowLines(fav.cells())));
    ASSERT_EQ(scnr.recordCount(), 1);
    EXPECT_EQ(stored(0, "cpmc"), QStringLiteral("品牌手机黑色"));
    EXPECT_EQ(stored(0, "sjlx"), QStringLiteral("淘宝网"));
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front(), QStringLiteral("正在获取商品收藏夹数据： （淘宝网） 品牌手机黑色"));
}

TEST_F(ListReader, PriceDropTextsAndEmptyOrBrokenCellsLeaveColumnsUnwritten)
{
    Fav fav;
    fav.scid.clear();
    QString rows = rowLines(fav.cells());
    // A cell line without "</TD>" reads as empty.
    rows.replace(QStringLiteral("<TD>2024-05-01 10:00:00</TD>"), QStringLiteral("<TD>2024-05-01 10:00:00"));
    read(page(QStringLiteral("k1234567"), header() + rows), FavoriteList::PriceDrops);
    ASSERT_EQ(scnr.recordCount(), 1);
    EXPECT_TRUE(isNull(0, "scid"));
    EXPECT_TRUE(isNull(0, "scsj"));
    EXPECT_TRUE(isNull(0, "xtp"));
    EXPECT_EQ(stored(0, "scjg"), QStringLiteral("100"));
    EXPECT_TRUE(labels.front().startsWith(QStringLiteral("正在获取商品降价通知： （")));
}

TEST_F(ListReader, PageWithNeitherCaptionNorUserIdStoresNothing)
{
    Fav fav;
    fav.user = QStringLiteral("someone");
    const QString table = rowLines(fav.cells()) + rowLines(fav.cells()) + rowLines(fav.cells());
    const auto outcome = read(page(QStringLiteral("another"), table));
    EXPECT_FALSE(outcome.pageValid);
    EXPECT_EQ(outcome.rowLines, 3);
    EXPECT_EQ(scnr.recordCount(), 0);

    // The user id alone recognises the page; with no header every row line is a row.
    state.userId = QStringLiteral("someone");
    const auto second = read(page(QStringLiteral("another"), table));
    EXPECT_TRUE(second.pageValid);
    EXPECT_EQ(scnr.recordCount(), 3);
}

TEST_F(ListReader, HeaderRowsAreSkippedWhereverTheyStand)
{
    Fav a;
    Fav b;
    b.ufid = QStringLiteral("12");
    b.cph = QStringLiteral("1000000100002");
    const auto outcome = read(
        page(QStringLiteral("k1234567"), header() + rowLines(a.cells()) + header() + rowLines(b.cells())));
    EXPECT_EQ(outcome.rowLines, 4);
    EXPECT_EQ(outcome.stored, 2);
    // 10 + 1 * 100 / 4, then 10 + 2 * 100 / 4.
    EXPECT_EQ(bars, (std::vector<int>{35, 60}));
    EXPECT_EQ(
        db.scalar(QStringLiteral("select group_concat(ufid) from (select ufid from scnr order by ufid)")),
        QStringLiteral("11,12"));
}

TEST_F(ListReader, RowCutShortByTheEndOfThePageStoresNothing)
{
    Fav a;
    Fav b;
    b.ufid = QStringLiteral("12");
    b.cph = QStringLiteral("1000000100002");
    Fav cut;
    cut.ufid = QStringLiteral("13");
    // The page as a reply cut mid-body leaves it: a "<TR>" line and four of its cells.
    const QString whole =
        page(QStringLiteral("k1234567"), header() + rowLines(a.cells()) + rowLines(b.cells()));
    const QString text = whole.left(whole.indexOf(QStringLiteral("</TBODY>"))) +
                         rowLines(cut.cells()).section(QLatin1Char('\n'), 0, 4);
    const auto outcome = read(text);
    EXPECT_TRUE(outcome.pageValid);
    EXPECT_EQ(outcome.rowLines, 4);
    EXPECT_EQ(outcome.stored, 2);
    EXPECT_EQ(outcome.skipped, 1);
    EXPECT_EQ(
        db.scalar(QStringLiteral("select group_concat(ufid) from (select ufid from scnr order by ufid)")),
        QStringLiteral("11,12"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from scnr where ufid is null or ufid = '13'")),
              QStringLiteral("0"));
    EXPECT_EQ(bars.size(), 2u);
}

TEST_F(ListReader, RowWhoseLastCellEndsThePageIsComplete)
{
    Fav a;
    a.ufid = QStringLiteral("21");
    // Header and row and nothing after the twelfth cell line.
    const auto outcome =
        read(QStringLiteral("<P>k1234567 的收藏夹</P>\n") + header() + rowLines(a.cells()).chopped(1));
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.skipped, 0);
    EXPECT_EQ(stored(0, "sjlx"), QStringLiteral("淘宝网"));

    // One cell line fewer: the row is cut and the earlier one stays alone.
    const QString cut = rowLines(a.cells()).section(QLatin1Char('\n'), 0, 11);
    const auto shorter = read(QStringLiteral("<P>k1234567 的收藏夹</P>\n") + header() + cut);
    EXPECT_EQ(shorter.stored, 0);
    EXPECT_EQ(shorter.skipped, 1);
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 1);
}

TEST_F(ListReader, BarNeverPassesOneHundred)
{
    QString table = header();
    for (int i = 0; i < 20; ++i) {
        Fav fav;
        fav.ufid = QString::number(100 + i);
        table += rowLines(fav.cells());
    }
    read(page(QStringLiteral("k1234567"), table));
    ASSERT_EQ(bars.size(), 20u);
    EXPECT_EQ(bars.front(), 14); // 10 + 100 / 21
    EXPECT_EQ(bars[16], 90);     // 10 + 1700 / 21
    EXPECT_EQ(bars[17], 95);
    EXPECT_EQ(bars[18], 100);
    EXPECT_EQ(bars[19], 100); // 10 + 2000 / 21 = 105, shown as 100
}

TEST_F(ListReader, OnlyMissingPicturesWithUsableNamesAreNamedAndNoneIsFetchedWhileReading)
{
    Fav cached;
    cached.cph = QStringLiteral("1000000100001");
    cached.xtp = picture(cached.cph);
    Fav broken;
    broken.ufid = QStringLiteral("12");
    broken.cph = QStringLiteral("1000000100002");
    broken.xtp = s_server->directoryUrl() + QStringLiteral("/pic/missing/1000000100002.jpg");
    Fav fresh;
    fresh.ufid = QStringLiteral("13");
    fresh.cph = QStringLiteral("1000000100003");
    fresh.xtp = picture(fresh.cph);
    Fav unsafe;
    unsafe.ufid = QStringLiteral("14");
    unsafe.cph = QStringLiteral("../escape");
    unsafe.xtp = picture(QStringLiteral("1000000100004"));

    const PictureCache cache(state.tempDir);
    QFile existing(cache.thumbnailPath(cached.cph));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept as it is");
    existing.close();

    const auto outcome =
        read(page(QStringLiteral("k1234567"), header() + rowLines(cached.cells()) + rowLines(broken.cells()) +
                                                  rowLines(fresh.cells()) + rowLines(unsafe.cells())));
    EXPECT_EQ(outcome.stored, 4);
    EXPECT_EQ(scnr.recordCount(), 4);
    QStringList named;
    for (const PictureItem& item : outcome.pictures)
        named.append(item.cph);
    EXPECT_EQ(named, QStringList({broken.cph, fresh.cph}));
    EXPECT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars.back(), 90);
    EXPECT_FALSE(QFileInfo::exists(cache.thumbnailPath(fresh.cph)));
    QFile again(cache.thumbnailPath(cached.cph));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), QByteArray("kept as it is"));
    EXPECT_FALSE(QFileInfo::exists(state.tempDir + QStringLiteral("escape.jpg")));
    EXPECT_EQ(pictureRequests(), 0);
}

TEST_F(ListReader, AccountReplyIsTakenWhileExpected)
{
    state.userId.clear();
    state.replyExpected = true;
    const auto outcome = read(
        QStringLiteral("<HTML><HEAD><TITLE>RandomUser</TITLE></HEAD>\n<BODY>k7654321\n</BODY></HTML>\n"));
    ASSERT_TRUE(outcome.account);
    EXPECT_EQ(outcome.account->userId, QStringLiteral("k7654321"));
    EXPECT_EQ(outcome.account->password, QStringLiteral("mivra"));
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select u from xxb")), StoreKey)),
              QStringLiteral("k7654321"));
    EXPECT_EQ(scnr.recordCount(), 0);
}

} // namespace
