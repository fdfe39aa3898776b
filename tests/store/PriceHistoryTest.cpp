// The price history in a real kvdb.dat: sightings, the upgrade of an older file, pruning,
// a file that cannot take the tables; the verdict's boundaries; the CSV bytes.
#include "store/PriceHistory.h"
#include "store/Connection.h"
#include "store/Csv.h"
#include "store/Error.h"
#include "store/PriceVerdict.h"
#include "store/Report.h"
#include "store/Schema.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace kova {
namespace {

const QDate Today(2026, 12, 9);

class PriceHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.open();
        history.setToday([] { return Today; });
        history.open();
    }
    QString row(const QString& cph, const QString& day = QStringLiteral("2026-12-09")) const
    {
        return db.scalar(
            QStringLiteral("select low || '/' || high || '/' || last || '/' || seen || '/' || merchant "
                           "|| '/' || name from price_history where cph = '%1' and day = '%2'")
                .arg(cph, day));
    }

    test::TempDatabase db;
    Connection connection{db.path()};
    PriceHistory history{connection};
};

TEST_F(PriceHistoryTest, SightingsOfADayKeepLowHighLastAndCount)
{
    EXPECT_TRUE(history.sight(QStringLiteral("A1"), QStringLiteral("58.50"), QStringLiteral("淘宝网"),
                              QStringLiteral("甲")));
    EXPECT_TRUE(history.sight(QStringLiteral("A1"), QStringLiteral("49"), QStringLiteral("京东商城"),
                              QStringLiteral("甲")));
    EXPECT_TRUE(history.sight(QStringLiteral("A1"), QStringLiteral("52.5"), QStringLiteral("京东商城"),
                              QStringLiteral("乙")));
    // Written when the event loop runs again, all in one go.
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(history.pending(), 0);
    EXPECT_EQ(row(QStringLiteral("A1")), QStringLiteral("4900/5850/5250/3/京东商城/乙"));

    // Another day is another row; the product's days come back oldest first.
    history.setToday([] { return Today.addDays(1); });
    history.sight(QStringLiteral("A1"), QStringLiteral("60"), {}, {});
    const std::vector<DayPrice> days = history.days(QStringLiteral("A1"));
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].day, Today);
    EXPECT_EQ(days[1].day, Today.addDays(1));
    EXPECT_EQ(days[1].last, 6000);
    EXPECT_EQ(days[1].seen, 1);
}

TEST_F(PriceHistoryTest, PricesThatAreNoNumbersAndEmptyProductNumbersAddNothing)
{
    for (const char* price : {"", "面议", "1,299.00", "￥5", "0", "-3", "1.234", "1e5"})
        EXPECT_FALSE(history.sight(QStringLiteral("B1"), QString::fromUtf8(price), {}, {})) << price;
    EXPECT_FALSE(history.sight(QString(), QStringLiteral("12"), {}, {}));
    history.flush();
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 0);
}

TEST(PriceHistoryFile, AnOlderFileGetsTheTablesAndOldDaysGo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvdb.dat"));
    {
        // A kvdb.dat of the five tables only, with a history row left from long ago.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
        Connection::registerCollations(raw);
        ASSERT_EQ(sqlite3_exec(raw, schemaSql().toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    Connection connection(path);
    connection.open();
    PriceHistory history(connection);
    history.setToday([] { return Today; });
    history.open();
    EXPECT_TRUE(history.isOn());
    const QString keep = Today.addDays(-PriceHistory::KeepDays).toString(QStringLiteral("yyyy-MM-dd"));
    const QString drop = Today.addDays(-PriceHistory::KeepDays - 1).toString(QStringLiteral("yyyy-MM-dd"));
    connection.execute(QStringLiteral("insert into price_history values ('C', ?, 1, 1, 1, 1, '', '')"),
                       {keep});
    connection.execute(QStringLiteral("insert into price_history values ('C', ?, 1, 1, 1, 1, '', '')"),
                       {drop});
    // The prune counts back from the newest day kept, here today's.
    connection.execute(QStringLiteral("insert into price_history values ('N', ?, 1, 1, 1, 1, '', '')"),
                       {Today.toString(QStringLiteral("yyyy-MM-dd"))});
    // The next start removes what is older than the days kept, and the old tables stay.
    PriceHistory again(connection);
    again.setToday([] { return Today; });
    again.open();
    const std::vector<DayPrice> days = again.days(QStringLiteral("C"));
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].day.toString(QStringLiteral("yyyy-MM-dd")), keep);
    again.setAnnounced(QStringLiteral("C"), 250);
    EXPECT_EQ(again.announcedPrice(QStringLiteral("C")), 250);
}

// A start with the clock years ahead deletes nothing a start with the right clock keeps; a
// clock set back keeps the days after it but shows none of them.
TEST_F(PriceHistoryTest, AWrongClockNeverDeletesHistory)
{
    const auto add = [&](const QDate& day, qint64 fen) {
        connection.execute(QStringLiteral("insert into price_history values ('W', ?, ?, ?, ?, 1, '', '')"),
                           {day.toString(QStringLiteral("yyyy-MM-dd")), fen, fen, fen});
    };
    add(Today.addDays(-PriceHistory::KeepDays), 900);
    add(Today.addDays(-300), 800);
    add(Today, 1000);

    PriceHistory ahead(connection);
    ahead.setToday([] { return Today.addYears(5); });
    ahead.open();
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 3);
    EXPECT_EQ(ahead.days(QStringLiteral("W")).size(), 3u);

    PriceHistory back(connection);
    const QDate early = Today.addYears(-2);
    back.setToday([early] { return early; });
    back.open();
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 3);
    EXPECT_TRUE(back.days(QStringLiteral("W")).empty()) << "days after today are not history yet";
    add(early.addDays(-1), 5000);
    const std::vector<DayPrice> shown = back.days(QStringLiteral("W"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].last, 5000);

    // The right clock again prunes as always: a day more than KeepDays before today goes.
    add(Today.addDays(-PriceHistory::KeepDays - 1), 1);
    PriceHistory right(connection);
    right.setToday([] { return Today; });
    right.open();
    EXPECT_EQ(right.days(QStringLiteral("W")).size(), 3u);
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 3);
}

TEST(PriceHistoryFile, AFileThatCannotTakeTheTablesTurnsTheHistoryOff)
{
    test::TempDatabase db;
    EXPECT_EQ(db.scalar(QStringLiteral(
                  "select count(*) from sqlite_master where name in ('price_history', 'price_alert')")),
              QStringLiteral("2"))
        << "a new kvdb.dat has them";
    db.exec(QStringLiteral("drop table price_history"));
    Connection connection(db.path());
    connection.open();
    connection.execute(QStringLiteral("PRAGMA query_only = 1")); // SQLite's read-only state
    PriceHistory history(connection);
    try {
        history.open();
        FAIL() << "opened a read-only file";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("价格记录无法保存：")))
            << e.message().toStdString();
    }
    EXPECT_FALSE(history.isOn());
    int reports = 0;
    setMessageHook([&](const Message&) { return ++reports, true; });
    EXPECT_FALSE(history.sight(QStringLiteral("D"), QStringLiteral("5"), {}, {}));
    history.flush();
    EXPECT_TRUE(history.days(QStringLiteral("D")).empty());
    setMessageHook({});
    EXPECT_EQ(reports, 0) << "reported once, by whoever opened it";
}

std::vector<DayPrice> daysOf(std::initializer_list<qint64> lasts, QDate lastDay = Today)
{
    std::vector<DayPrice> days;
    QDate day = lastDay.addDays(-static_cast<qint64>(lasts.size()) + 1);
    for (const qint64 last : lasts) {
        days.push_back({day, last, last, last, 1});
        day = day.addDays(1);
    }
    return days;
}

TEST(PriceVerdict, NeedsFiveDaysOfTheLastNinety)
{
    EXPECT_EQ(JudgePrice(100, daysOf({100, 200, 300, 400}), Today), Verdict::TooFewDays);
    EXPECT_EQ(JudgePrice(100, daysOf({100, 200, 300, 400, 500}), Today), Verdict::HistoricLow);
    // Days older than ninety do not count.
    std::vector<DayPrice> old = daysOf({100, 200, 300, 400}, Today);
    old.insert(old.begin(), DayPrice{Today.addDays(-VerdictWindowDays), 1, 1, 1, 1});
    EXPECT_EQ(JudgePrice(100, old, Today), Verdict::TooFewDays);
    old.insert(old.begin() + 1, DayPrice{Today.addDays(-VerdictWindowDays + 1), 1, 1, 1, 1});
    EXPECT_EQ(JudgePrice(2, old, Today), Verdict::Low);
}

TEST(PriceVerdict, BoundariesAtTheLowestAndOnEachPercentile)
{
    // Sorted lasts 1000, 2000, 3000, 4000, 5000, 6000: P25 = 2250, P75 = 4750 (interpolated).
    const auto days = daysOf({6000, 1000, 4000, 2000, 5000, 3000});
    EXPECT_EQ(JudgePrice(999, days, Today), Verdict::HistoricLow);
    EXPECT_EQ(JudgePrice(1000, days, Today), Verdict::HistoricLow);
    EXPECT_EQ(JudgePrice(1001, days, Today), Verdict::Low);
    EXPECT_EQ(JudgePrice(2249, days, Today), Verdict::Low);
    EXPECT_EQ(JudgePrice(2250, days, Today), Verdict::Normal);
    EXPECT_EQ(JudgePrice(4750, days, Today), Verdict::Normal);
    EXPECT_EQ(JudgePrice(4751, days, Today), Verdict::High);
    // Five days: the percentiles fall on days (2000 and 4000).
    const auto five = daysOf({1000, 2000, 3000, 4000, 5000});
    EXPECT_EQ(JudgePrice(1999, five, Today), Verdict::Low);
    EXPECT_EQ(JudgePrice(2000, five, Today), Verdict::Normal);
    EXPECT_EQ(JudgePrice(4000, five, Today), Verdict::Normal);
    EXPECT_EQ(JudgePrice(4001, five, Today), Verdict::High);
}

TEST(PriceVerdict, ToolTipNamesTheLowestWithItsDateTheHighestAndTheDays)
{
    std::vector<DayPrice> days = daysOf({5000, 4500, 4800});
    days[1].low = 4350;
    days[2].high = 6999;
    EXPECT_EQ(PriceToolTip(4800, days, Today),
              QStringLiteral("记录不足\n历史最低 ￥43.5（2026-12-08）· 最高 ￥69.99 · 共记录 3 天"));
    EXPECT_EQ(PriceToolTip(4800, {}, Today), QStringLiteral("记录不足"));
}

// The tool tip counts and shows only days up to today, and never says "记录不足" beside a
// count of days the verdict could have used.
TEST(PriceVerdict, ToolTipCountsTheDaysItMayUse)
{
    std::vector<DayPrice> days = daysOf({5000, 4500, 4800});
    for (int i = 1; i <= 62; ++i)
        days.push_back({Today.addDays(i), 100, 99999, 100, 1}); // written while the clock was ahead
    const QString future = PriceToolTip(4800, days, Today);
    EXPECT_EQ(future, QStringLiteral("记录不足\n历史最低 ￥45（2026-12-08）· 最高 ￥50 · 共记录 3 天"));

    // Sixty-two days long ago and two recent ones: too few to judge, and it says why.
    std::vector<DayPrice> old;
    for (int i = 0; i < 62; ++i)
        old.push_back({Today.addDays(-200 + i), 3000, 3000, 3000, 1});
    for (const DayPrice& d : daysOf({4000, 4100}))
        old.push_back(d);
    const QString tip = PriceToolTip(4000, old, Today);
    EXPECT_FALSE(tip.contains(QStringLiteral("记录不足"))) << tip.toStdString();
    EXPECT_TRUE(tip.startsWith(QStringLiteral("近 90 天只有 2 天的价格，无法判断\n"))) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(QStringLiteral("共记录 64 天"))) << tip.toStdString();
}

TEST(Csv, BytesHaveTheByteOrderMarkTheHeaderAndQuotedFields)
{
    const QByteArray bytes = CsvBytes({QStringLiteral("商品名称"), QStringLiteral("价格")},
                                      {{QStringLiteral("手机 \"旗舰\", 黑色"), QStringLiteral("58.50")},
                                       {QStringLiteral("两行\n名称"), QString()}});
    EXPECT_EQ(bytes, QByteArray("\xEF\xBB\xBF") + QStringLiteral("商品名称,价格\r\n"
                                                                 "\"手机 \"\"旗舰\"\", 黑色\",58.50\r\n"
                                                                 "\"两行\n名称\",\r\n")
                                                      .toUtf8());
}

} // namespace
} // namespace kova
