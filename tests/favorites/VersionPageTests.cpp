// The version line and its storing in the settings record of a real kvdb.dat.
#include "links/VersionPage.h"

#include "service/PageText.h"
#include "store/Cipher.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/SettingsRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace kova;

namespace {

QString versionPage(const QString& bodyLines)
{
    return QStringLiteral("<HTML><HEAD><TITLE>Kova 版本信息</TITLE></HEAD>\n<BODY>\n") + bodyLines +
           QStringLiteral("\n</BODY></HTML>\n");
}

TEST(VersionLine, ValuesBetweenTheMarkersTrimmed)
{
    const auto ids =
        ParseVersionLine(QStringLiteral("版本 AAA= mm_1_2_3 BBB=\t1000123456  CCC=anything AAA="));
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->taobaoPid, QStringLiteral("mm_1_2_3"));
    EXPECT_EQ(ids->jdUnionId, QStringLiteral("1000123456"));

    const auto plain = ParseVersionLine(QStringLiteral("AAA=mm_9_9_9BBB=77CCC="));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->taobaoPid, QStringLiteral("mm_9_9_9"));
    EXPECT_EQ(plain->jdUnionId, QStringLiteral("77"));
}

TEST(VersionLine, MalformedLinesGiveNothing)
{
    for (const char* line : {
             "AAA=mm_1_2_3",            // no BBB=, no CCC=
             "AAA=mm_1_2_3BBB=99",      // no CCC=
             "AAA=mm_1_2_3CCC=BBB=99",  // out of order
             "BBB=99AAA=mm_1_2_3CCC=",  // BBB= before AAA=
             "CCC=AAA=mm_1_2_3BBB=99",  // CCC= first
             "AAA=BBB=99CCC=",          // empty pid
             "AAA=mm_1_2_3BBB=  CCC=",  // blank union id
             "AAA=BBB=CCC=",            // both empty
             "AAA=mm_1_2_3 BBB99 CCC=", // marker misspelt
             "aaa=mm_1_2_3BBB=99CCC=",  // lower case
         }) {
        EXPECT_FALSE(ParseVersionLine(QString::fromUtf8(line))) << line;
    }
}

class VersionPageStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.open();
        settings.openOrCreate();
    }
    void storeIds(const QString& a, const QString& b)
    {
        xxb.first();
        xxb.edit();
        xxb.setField(QStringLiteral("a"), a);
        xxb.setField(QStringLiteral("b"), b);
        xxb.post();
    }
    QString plain(const char* column) const
    {
        const QString stored = db.scalar(QStringLiteral("select %1 from xxb").arg(QLatin1String(column)));
        return stored.isEmpty() ? QString() : Trim(Decipher(stored, StoreKey));
    }
    std::optional<AffiliateIds> read(const QString& text)
    {
        PageText page(text);
        return ReadVersionPage(page, settings);
    }

    test::TempDatabase db;
    Connection connection{db.path()};
    Dataset xxb{connection};
    SettingsRecord settings{xxb};
};

TEST_F(VersionPageStore, FirstLineStoresBothEncipheredAndTrimmed)
{
    const auto ids = read(versionPage(QStringLiteral("AAA=  mm_12345678_0_0 BBB= 1000123456 CCC=")));
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->taobaoPid, QStringLiteral("mm_12345678_0_0"));
    EXPECT_EQ(ids->jdUnionId, QStringLiteral("1000123456"));
    const QString a = db.scalar(QStringLiteral("select a from xxb"));
    EXPECT_NE(a, QStringLiteral("mm_12345678_0_0")); // stored enciphered
    EXPECT_EQ(a.size(), 2 + 2 * 15);
    EXPECT_EQ(plain("a"), QStringLiteral("mm_12345678_0_0"));
    EXPECT_EQ(plain("b"), QStringLiteral("1000123456"));
    EXPECT_EQ(db.count(QStringLiteral("xxb")), 1);
}

TEST_F(VersionPageStore, OnlyTheFirstAAALineCounts)
{
    const auto ids = read(versionPage(QStringLiteral("AAA=mm_1_1_1BBB=11CCC=\nAAA=mm_2_2_2BBB=22CCC=")));
    ASSERT_TRUE(ids);
    EXPECT_EQ(plain("a"), QStringLiteral("mm_1_1_1"));
    EXPECT_EQ(plain("b"), QStringLiteral("11"));
}

TEST_F(VersionPageStore, StoredPairIsNeverReplaced)
{
    storeIds(Encipher(QStringLiteral("mm_old"), StoreKey), Encipher(QStringLiteral("1"), StoreKey));
    const QString before = db.scalar(QStringLiteral("select a || b from xxb"));
    EXPECT_FALSE(read(versionPage(QStringLiteral("AAA=mm_new_1_1BBB=2CCC="))));
    EXPECT_EQ(db.scalar(QStringLiteral("select a || b from xxb")), before);
}

TEST_F(VersionPageStore, OneIdMissingRewritesBoth)
{
    storeIds(Encipher(QStringLiteral("mm_old"), StoreKey), QString());
    const auto ids = read(versionPage(QStringLiteral("AAA=mm_5_5_5BBB=55CCC=")));
    ASSERT_TRUE(ids);
    EXPECT_EQ(plain("a"), QStringLiteral("mm_5_5_5"));
    EXPECT_EQ(plain("b"), QStringLiteral("55"));

    storeIds(QString(), Encipher(QStringLiteral("66"), StoreKey));
    ASSERT_TRUE(read(versionPage(QStringLiteral("AAA=mm_6_6_6BBB=67CCC="))));
    EXPECT_EQ(plain("a"), QStringLiteral("mm_6_6_6"));
    EXPECT_EQ(plain("b"), QStringLiteral("67"));
}

TEST_F(VersionPageStore, MalformedOrEmptyLinesStoreNothingAndALaterGoodLineStillCounts)
{
    EXPECT_FALSE(read(versionPage(QStringLiteral("AAA=mm_1_2_3\nAAA=BBB=5CCC=\nAAA=mm_1BBB=CCC="))));
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(a,'') || coalesce(b,'') from xxb")), QString());

    const auto ids = read(versionPage(QStringLiteral("AAA=mm_1BBB=CCC=\nAAA=mm_7_7_7BBB=77CCC=")));
    ASSERT_TRUE(ids);
    EXPECT_EQ(plain("a"), QStringLiteral("mm_7_7_7"));
}

TEST_F(VersionPageStore, ErrorPageChangesNothing)
{
    EXPECT_FALSE(
        read(QStringLiteral("<HTML><HEAD></HEAD>\n<BODY>\n<P>无法连接到服务器。</P>\n</BODY></HTML>\n")));
    EXPECT_FALSE(read(QString()));
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(a,'') || coalesce(b,'') from xxb")), QString());
}

} // namespace
