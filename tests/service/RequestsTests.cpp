#include "service/Requests.h"

#include "KovaConfig.h"

#include <gtest/gtest.h>

using kova::Requests;

TEST(Requests, QueryValuesArePercentEncodedAsGbk)
{
    EXPECT_EQ(Requests::encodeQueryValue(QStringLiteral("a&b")), QStringLiteral("a%26b"));
    EXPECT_EQ(Requests::encodeQueryValue(QStringLiteral("#1 2")), QStringLiteral("%231%202"));
    EXPECT_EQ(Requests::encodeQueryValue(QStringLiteral("BB霜")), QStringLiteral("BB%CB%AA"));
    EXPECT_EQ(Requests::encodeQueryValue(QStringLiteral("+/%=?")), QStringLiteral("%2B%2F%25%3D%3F"));
    EXPECT_EQ(Requests::encodeQueryValue(QStringLiteral("Az09-_.~")), QStringLiteral("Az09-_.~"));
    EXPECT_EQ(Requests::encodeQueryValue(QString()), QString());
}

TEST(Requests, EveryAddressIsBuiltFromTheHosts)
{
    const Requests r(QStringLiteral("http://svc:81/"), QStringLiteral("http://ver:82"),
                     QStringLiteral("http://dir:83"));
    EXPECT_EQ(r.randomUser(), QStringLiteral("http://svc:81/RandomUser.aspx"));
    EXPECT_EQ(r.listAll(QStringLiteral("BB霜 & 粉#1"), QStringLiteral("u1"), QStringLiteral("mivra")),
              QStringLiteral("http://svc:81/ListAll.aspx?word=BB%CB%AA%20%26%20%B7%DB%231&u=u1&p=mivra"));
    EXPECT_EQ(r.addFavorite(QStringLiteral("u1"), QStringLiteral("mivra"), QStringLiteral("7")),
              QStringLiteral("http://svc:81/OpFav.aspx?u=u1&p=mivra&i=7"));
    EXPECT_EQ(r.deleteFavorite(QStringLiteral("u1"), QStringLiteral("mivra"), QStringLiteral("12")),
              QStringLiteral("http://svc:81/OpFav.aspx?u=u1&p=mivra&uf=12"));
    EXPECT_EQ(r.listFavorites(QStringLiteral("u1"), QStringLiteral("mivra")),
              QStringLiteral("http://svc:81/ListAllMyFav.aspx?u=u1&p=mivra"));
    EXPECT_EQ(r.listPriceDrops(QStringLiteral("u1"), QStringLiteral("mivra")),
              QStringLiteral("http://svc:81/ListAllMyFav.aspx?u=u1&p=mivra&d=down"));
    EXPECT_EQ(r.versionPage(QStringLiteral("10")), QStringLiteral("http://ver:82/Ver/Ver10.html"));
    EXPECT_EQ(r.preciseComparison(QStringLiteral("BB霜")),
              QStringLiteral("http://svc:81/list.aspx?k=BB%CB%AA"));
    EXPECT_EQ(r.homePage(), QStringLiteral("http://svc:81/"));
    EXPECT_EQ(r.contactPage(), QStringLiteral("http://svc:81/contact.html"));
    EXPECT_EQ(r.directoryPage(), QStringLiteral("http://dir:83/"));
}

TEST(Requests, TestHostsReplaceTheBuildHostsUntilReset)
{
    EXPECT_EQ(Requests().serviceUrl(), QStringLiteral(KOVA_SERVICE_URL));
    kova::setRequestHostsForTesting(QStringLiteral("http://127.0.0.1:5001"),
                                    QStringLiteral("http://127.0.0.1:5002"),
                                    QStringLiteral("http://127.0.0.1:5003"));
    const Requests r;
    EXPECT_EQ(r.randomUser(), QStringLiteral("http://127.0.0.1:5001/RandomUser.aspx"));
    EXPECT_EQ(r.versionPage(QStringLiteral("10")), QStringLiteral("http://127.0.0.1:5002/Ver/Ver10.html"));
    EXPECT_EQ(r.directoryPage(), QStringLiteral("http://127.0.0.1:5003/"));
    kova::setRequestHostsForTesting({}, {}, {});
    EXPECT_EQ(Requests().directoryUrl(), QStringLiteral(KOVA_DIRECTORY_URL));
}
