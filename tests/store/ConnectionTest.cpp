#include "store/Connection.h"
#include "store/Error.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kova {
namespace {

int compare(const std::string& a, const std::string& b)
{
    return compareNumericText(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
}

TEST(StoreNumericCollation, OrdersNumbersByValueThenTextsByBytes)
{
    EXPECT_LT(compare("9", "58.50"), 0);
    EXPECT_LT(compare("58.50", "100"), 0);
    EXPECT_LT(compare("-3", "0"), 0);
    EXPECT_LT(compare("-10", "-9.5"), 0);
    EXPECT_LT(compare("0.5", ".75"), 0);
    EXPECT_LT(compare("99999999999999999999", "100000000000000000000"), 0); // beyond 64 bits
    EXPECT_LT(compare("100", "abc"), 0);
    EXPECT_LT(compare("1e5", "abc"), 0); // both are texts: byte order
    EXPECT_LT(compare("100", ""), 0);
    EXPECT_GT(compare("", "5"), 0);
    // Equal values fall back to the bytes, so only identical texts compare equal.
    EXPECT_NE(compare("58.5", "58.50"), 0);
    EXPECT_EQ(compare("58.5", "58.5"), 0);
    EXPECT_NE(compare("-0", "0"), 0);
}

TEST(StoreNumericCollation, IsATotalOrder)
{
    const std::vector<std::string> values = {
        "",     "0",  "-0",   "00",   "0.0",   "1",     "1.",
        "01",   "9",  "10",   "58.5", "58.50", "100",   "-1",
        "-1.5", ".5", "abc",  "ABC",  "1e5",   "1.2.3", "+7",
        " 7",   "7 ", "价格", "-",    ".",     "12abc", "999999999999999999999"};
    for (const auto& a : values) {
        EXPECT_EQ(compare(a, a), 0);
        for (const auto& b : values) {
            const int ab = compare(a, b);
            ASSERT_EQ(ab, -compare(b, a)) << a << " / " << b;
            ASSERT_EQ(ab == 0, a == b) << a << " / " << b;
            for (const auto& c : values) {
                if (ab < 0 && compare(b, c) < 0) {
                    ASSERT_LT(compare(a, c), 0) << a << " < " << b << " < " << c;
                }
            }
        }
    }
}

TEST(StoreConnection, MissingFileFailsAndCreatesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    Connection connection(path);
    try {
        connection.open();
        FAIL() << "opened a missing file";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("unable to open database file"))) << e.what();
    }
    EXPECT_FALSE(connection.isOpen());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-shm")));
    EXPECT_THROW(connection.handle(), Error);
}

TEST(StoreConnection, BareFileNameResolvesAgainstWorkingFolder)
{
    test::TempDatabase db;
    test::WorkingFolder here(db.folder());
    Connection connection; // "kvdb.dat"
    connection.open();
    EXPECT_TRUE(connection.isOpen());
}

TEST(StoreConnection, RefusesAFileThatIsNotADatabase)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    Connection connection(path);
    EXPECT_THROW(connection.open(), Error);
    EXPECT_FALSE(connection.isOpen());
}

TEST(StoreConnection, RunsInWalModeWithCollationAndExecutes)
{
    test::TempDatabase db;
    Connection connection(db.path());
    connection.open();
    EXPECT_EQ(db.scalar(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    connection.execute(
        QStringLiteral("insert into cxnr (jg) values ('100'); insert into cxnr (jg) values ('9')"));
    EXPECT_EQ(db.scalar(QStringLiteral("select jg from cxnr order by jg")), QStringLiteral("9"));
    try {
        connection.execute(QStringLiteral("insert into nosuch values (1)"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("数据库操作失败：no such table: nosuch"));
    }
    connection.close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_THROW(connection.execute(QStringLiteral("delete from cxnr")), Error);
    connection.open(); // the show step closes and reopens
    EXPECT_TRUE(connection.isOpen());
}

} // namespace
} // namespace kova
