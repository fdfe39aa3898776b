// The start page's store entry addresses: paths and query keys per store, the home
// addresses escaped or not as each store expects, and the stand-in server's store pages
// answering every one of them.
#include "links/StoreLinks.h"
#include "links/Browser.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "store/Gbk.h"

#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace kova;

namespace {

using Pairs = QList<std::pair<QString, QString>>;

Pairs queryOf(const QString& address)
{
    return QUrlQuery(QUrl(address).query(QUrl::FullyEncoded)).queryItems(QUrl::FullyEncoded);
}

QStringList keys(const Pairs& pairs)
{
    QStringList k;
    for (const auto& p : pairs)
        k << p.first;
    return k;
}

QString value(const Pairs& pairs, const QString& key)
{
    for (const auto& p : pairs)
        if (p.first == key)
            return p.second;
    return {};
}

} // namespace

TEST(StoreLinks, PathsAndQueryKeysPerStore)
{
    struct Expected {
        const char16_t* store;
        const char* path;
        QStringList keys;
        Pairs fixed;
    };
    const Expected expected[] = {
        {u"淘宝网", "/go/chn/tbk_channel/channelcode.php", {u"pid"_qs, u"eventid"_qs}, {}},
        {u"天猫商城", "/go/chn/tbk_channel/tmall_new.php", {u"pid"_qs, u"eventid"_qs}, {}},
        {u"京东商城", "/JdClick/", {u"unionId"_qs, u"t"_qs, u"to"_qs}, {{u"t"_qs, u"1"_qs}}},
        {u"当当网",
         "/transfer.php",
         {u"from"_qs, u"ad_type"_qs, u"sys_id"_qs, u"backurl"_qs},
         {{u"ad_type"_qs, u"10"_qs}, {u"sys_id"_qs, u"1"_qs}}},
        {u"亚马逊",
         "/",
         {u"_encoding"_qs, u"tag"_qs, u"linkCode"_qs, u"camp"_qs, u"creative"_qs},
         {{u"_encoding"_qs, u"UTF8"_qs},
          {u"linkCode"_qs, u"ur2"_qs},
          {u"camp"_qs, u"536"_qs},
          {u"creative"_qs, u"3200"_qs}}},
        {nullptr, "/", {u"source"_qs, u"sourcesuninfo"_qs}, {}},
        {u"苏宁易购",
         "/aas/open/vistorAd.action",
         {u"userId"_qs, u"webSiteId"_qs, u"adInfoId"_qs, u"adBookId"_qs, u"vistURL"_qs},
         {{u"webSiteId"_qs, u"0"_qs}, {u"adInfoId"_qs, u"00"_qs}, {u"adBookId"_qs, u"0"_qs}}},
        {u"1号店", "/", {u"tracker_u"_qs}, {}},
    };
    for (int n = 1; n <= StoreEntryCount; ++n) {
        const Expected& e = expected[n - 1];
        const QString address = storeEntryAddress(n);
        SCOPED_TRACE(address.toStdString());
        const QUrl url(address);
        ASSERT_TRUE(url.isValid());
        EXPECT_TRUE(url.scheme() == u"http" || url.scheme() == u"https");
        EXPECT_EQ(url.path(), QLatin1String(e.path));
        const Pairs query = queryOf(address);
        EXPECT_EQ(keys(query), e.keys);
        for (const auto& [key, v] : query)
            EXPECT_FALSE(v.isEmpty()) << key.toStdString();
        for (const auto& [key, v] : e.fixed)
            EXPECT_EQ(value(query, key), v) << key.toStdString();
        if (e.store) {
            EXPECT_EQ(storeEntryName(n), QString::fromUtf16(e.store));
        }
        EXPECT_TRUE(browserAddress(address).accepted());
    }
    EXPECT_FALSE(storeEntryName(6).isEmpty());
    EXPECT_TRUE(storeEntryAddress(0).isEmpty());
    EXPECT_TRUE(storeEntryAddress(9).isEmpty());

    // Home addresses: unescaped for 京东商城 and 苏宁易购, percent-encoded for 当当网.
    EXPECT_TRUE(value(queryOf(storeEntryAddress(3)), u"to"_qs).contains(u"://"));
    EXPECT_TRUE(value(queryOf(storeEntryAddress(7)), u"vistURL"_qs).contains(u"://"));
    const QString backurl = value(queryOf(storeEntryAddress(4)), u"backurl"_qs);
    EXPECT_FALSE(backurl.contains(u"://"));
    EXPECT_TRUE(QUrl::fromPercentEncoding(backurl.toLatin1()).startsWith(u"http"));
    // The Taobao and Tmall entries share the operator's pid.
    EXPECT_EQ(value(queryOf(storeEntryAddress(1)), u"pid"_qs),
              value(queryOf(storeEntryAddress(2)), u"pid"_qs));
}

TEST(StoreLinks, StandInServerServesEveryEntryPage)
{
    QTemporaryDir dir;
    standin::StandInServer server;
    standin::ServerOptions options;
    options.dataDir = dir.path();
    server.start(options);
    HttpClient::globalInit();
    HttpClient http;
    for (int n = 1; n <= StoreEntryCount; ++n) {
        // The build's store hosts, moved to the server's port for the test.
        QUrl url(storeEntryAddress(n));
        const QUrl directory(server.directoryUrl());
        url.setScheme(directory.scheme());
        url.setHost(directory.host());
        url.setPort(directory.port());
        const HttpReply reply = http.get(url.toString(QUrl::FullyEncoded));
        EXPECT_EQ(reply.status, 200) << n;
        EXPECT_TRUE(gbk::decode(reply.body).contains(QStringLiteral("欢迎光临") + storeEntryName(n)))
            << n << " " << url.toString().toStdString();
    }
}
