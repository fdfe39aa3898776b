// The pages of the stand-in server in the shapes the client's readers expect, its
// accounts, favorites, pictures, cookies and state across restarts.
#include "tests/server/StandInTestSupport.h"

#include "server/Catalogue.h"
#include "store/Gbk.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using kova::standin::Catalogue;
using kova::standin::Offer;
using kova::test::cellValue;
using kova::test::fetch;
using kova::test::Fetched;

namespace {

class StandInPages : public kova::test::StandInFixture {
protected:
    QList<int> rowStarts(const QStringList& lines)
    {
        QList<int> starts;
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(u"<TR>"_s))
                starts.append(i);
        }
        return starts;
    }

    // The thirteen cell values of the result row starting at line `tr`.
    QStringList resultCells(const QStringList& lines, int tr)
    {
        QStringList cells;
        for (int k = 1; k <= 13; ++k)
            cells.append(cellValue(lines.value(tr + k)));
        return cells;
    }

    std::string listAll(const QString& word, const QString& user, const QString& password = u"mivra"_s)
    {
        return "/ListAll.aspx?word=" + word.toStdString() + "&u=" + user.toStdString() +
               "&p=" + password.toStdString();
    }

    std::string account(const QString& user, const QString& password = u"mivra"_s)
    {
        return "u=" + user.toStdString() + "&p=" + password.toStdString();
    }

    // Data rows of a favorites page: the cells of every "<TR>" row but the header.
    QList<QStringList> favoriteRows(const Fetched& page)
    {
        QList<QStringList> rows;
        for (int tr : rowStarts(page.lines)) {
            if (page.lines.value(tr + 1).contains(u"序列"_s))
                continue;
            QStringList cells;
            for (int k = 1; k <= 12; ++k)
                cells.append(cellValue(page.lines.value(tr + k)));
            rows.append(cells);
        }
        return rows;
    }
};

TEST_F(StandInPages, ResultPagesHaveTheLineShapeTheReaderWalks)
{
    static const QRegularExpression cellLine(u"^<TD>[^<]*</TD>$"_s);
    static const QRegularExpression lastCellLine(u"^<TD>(Yes|No)</TD></TR>$"_s);
    static const QRegularExpression price(u"^[0-9]+(\\.[0-9]{1,2})?$"_s);
    const QString dir = m_server.directoryUrl();
    for (int n : {0, 1, 13}) {
        const Fetched page = service("/ListAll.aspx?word=test" + std::to_string(n) + "&u=&p=");
        ASSERT_TRUE(page.ok);
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(page.contentType, "text/html; charset=gbk");
        int body = -1;
        for (int i = 0; i < 4 && body < 0; ++i) {
            if (page.lines.value(i).startsWith(u"<body>"_s, Qt::CaseInsensitive))
                body = i;
        }
        EXPECT_GE(body, 0) << "<body> within the first four lines, n=" << n;
        const QList<int> starts = rowStarts(page.lines);
        ASSERT_EQ(starts.size(), n);
        for (int r = 0; r < n; ++r) {
            const int tr = starts[r];
            EXPECT_EQ(page.lines[tr], u"<TR>"_s);
            for (int k = 1; k <= 12; ++k)
                EXPECT_TRUE(cellLine.match(page.lines.value(tr + k)).hasMatch())
                    << qPrintable(page.lines.value(tr + k));
            EXPECT_TRUE(lastCellLine.match(page.lines.value(tr + 13)).hasMatch())
                << qPrintable(page.lines.value(tr + 13));
            const QStringList c = resultCells(page.lines, tr);
            EXPECT_EQ(c[0], QString::number(r + 1));
            const QString cph = c[1];
            EXPECT_EQ(cph.size(), 13);
            EXPECT_TRUE(c[2].contains(u"test"_s + QString::number(n)));
            EXPECT_EQ(c[3], dir + u"/pic/"_s + cph + u".jpg"_s);
            EXPECT_EQ(c[4], dir + u"/pic/"_s + cph + u"_b.jpg"_s);
            EXPECT_TRUE(c[5].isEmpty() || c[5].toInt() >= 0);
            EXPECT_TRUE(price.match(c[6]).hasMatch()) << qPrintable(c[6]);
            EXPECT_TRUE(c[7].startsWith(dir + u"/item.htm?id="_s + cph + u"&amp;"_s)) << qPrintable(c[7]);
            EXPECT_FALSE(c[8].isEmpty());
            EXPECT_EQ(c[11], QString()) << "the unread cell is always empty";
            EXPECT_EQ(c[12], u"No"_s);
            // What the page says is what the catalogue holds.
            const auto offer = Catalogue::offer(u"test"_s + QString::number(n), r + 1);
            ASSERT_TRUE(offer);
            EXPECT_EQ(c[2], offer->name);
            EXPECT_EQ(c[6], offer->price);
            EXPECT_EQ(c[8], offer->merchant);
        }
        EXPECT_FALSE(page.body.contains("\xEF\xBF\xBD")) << "GBK, not UTF-8";
    }
}

TEST_F(StandInPages, SameKeywordGivesTheSamePage)
{
    const Fetched a = service("/ListAll.aspx?word=%C3%AB%D2%C2&u=&p=");
    const Fetched b = service("/ListAll.aspx?word=%C3%AB%D2%C2&u=&p=");
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.body, b.body);
    EXPECT_EQ(rowStarts(a.lines).size(), Catalogue::rowCount(u"毛衣"_s));
}

TEST_F(StandInPages, GbkPercentEncodedKeywordIsDecoded)
{
    const Fetched page = service("/ListAll.aspx?word=BB%CB%AA&u=&p=");
    ASSERT_TRUE(page.ok);
    const auto offers = Catalogue::offers(u"BB霜"_s);
    const QList<int> starts = rowStarts(page.lines);
    ASSERT_EQ(starts.size(), offers.size());
    ASSERT_FALSE(offers.isEmpty());
    EXPECT_EQ(resultCells(page.lines, starts[0])[2], offers[0].name);
    EXPECT_TRUE(offers[0].name.contains(u"BB霜"_s));
    // "+" is not a space, and an escaped "&" belongs to the value.
    const Fetched plus = service("/ListAll.aspx?word=a+b%26c&u=&p=");
    ASSERT_TRUE(plus.ok);
    ASSERT_EQ(rowStarts(plus.lines).size(), Catalogue::rowCount(u"a+b&c"_s));
    EXPECT_TRUE(plus.lines.join(u'\n').contains(u"a+b&amp;c"_s));
}

TEST_F(StandInPages, AccountReplyCarriesTheUserIdAloneOnTheBodyLine)
{
    const Fetched page = service("/RandomUser.aspx");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.status, 200);
    ASSERT_EQ(page.lines.size(), 3);
    EXPECT_TRUE(page.lines[0].startsWith(u"<html><head><title>"_s));
    EXPECT_TRUE(page.lines[0].endsWith(u"</head>"_s));
    static const QRegularExpression bodyLine(u"^<body>k[0-9]{7}$"_s);
    EXPECT_TRUE(bodyLine.match(page.lines[1]).hasMatch()) << qPrintable(page.lines[1]);
    EXPECT_EQ(page.lines[2], u"</body></html>"_s);
    EXPECT_NE(newAccount(), newAccount());
}

TEST_F(StandInPages, FavoriteAddedByRowNumberIsListedMarkedAndDeleted)
{
    const QString user = newAccount();
    const Fetched results = service(listAll(u"test13"_s, user));
    const QStringList row5 = resultCells(results.lines, rowStarts(results.lines)[4]);

    Fetched reply = service("/OpFav.aspx?" + account(user) + "&i=5");
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.lines.join(u'\n').contains(u"OK"_s));
    EXPECT_EQ(service("/OpFav.aspx?" + account(user) + "&i=5").status, 200) << "adding twice is harmless";

    const Fetched again = service(listAll(u"test13"_s, user));
    const QList<int> starts = rowStarts(again.lines);
    for (int r = 0; r < starts.size(); ++r)
        EXPECT_EQ(resultCells(again.lines, starts[r])[12], r == 4 ? u"Yes"_s : u"No"_s) << r;

    const Fetched list = service("/ListAllMyFav.aspx?" + account(user));
    ASSERT_TRUE(list.ok);
    const QList<int> listStarts = rowStarts(list.lines);
    ASSERT_EQ(listStarts.size(), 2);
    EXPECT_EQ(cellValue(list.lines[listStarts[0] + 1]), u"序列"_s);
    EXPECT_TRUE(list.lines[listStarts[0] + 12].endsWith(u"</TD></TR>"_s));
    EXPECT_TRUE(list.lines[listStarts[1] + 12].endsWith(u"</TD></TR>"_s));
    const QList<QStringList> rows = favoriteRows(list);
    ASSERT_EQ(rows.size(), 1);
    const QStringList& f = rows[0];
    EXPECT_FALSE(f[0].isEmpty());
    EXPECT_EQ(f[1], user);
    EXPECT_FALSE(f[2].isEmpty());
    EXPECT_EQ(f[3], row5[1]);
    EXPECT_EQ(f[4], row5[2]);
    EXPECT_EQ(f[5], row5[3]);
    EXPECT_EQ(f[6], row5[4]);
    static const QRegularExpression time(u"^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$"_s);
    EXPECT_TRUE(time.match(f[7]).hasMatch()) << qPrintable(f[7]);
    EXPECT_EQ(f[8], row5[6]) << "saved price is the result's price";
    EXPECT_FALSE(f[9].isEmpty());
    EXPECT_EQ(f[10], row5[7]);
    EXPECT_EQ(f[11], row5[8]);

    EXPECT_EQ(service("/OpFav.aspx?" + account(user) + "&uf=" + f[0].toStdString()).status, 200);
    EXPECT_TRUE(favoriteRows(service("/ListAllMyFav.aspx?" + account(user))).isEmpty());
    EXPECT_EQ(service("/OpFav.aspx?" + account(user) + "&uf=" + f[0].toStdString()).status, 404);
}

TEST_F(StandInPages, FavoritesBelongToTheirAccount)
{
    const QString alice = newAccount();
    const QString bob = newAccount();
    service(listAll(u"test12"_s, alice));
    ASSERT_EQ(service("/OpFav.aspx?" + account(alice) + "&i=1").status, 200);
    EXPECT_TRUE(favoriteRows(service("/ListAllMyFav.aspx?" + account(bob))).isEmpty());
    const QString ufid = favoriteRows(service("/ListAllMyFav.aspx?" + account(alice)))[0][0];
    EXPECT_EQ(service("/OpFav.aspx?" + account(bob) + "&uf=" + ufid.toStdString()).status, 404);
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(alice))).size(), 1);
    // Bob has searched nothing: a row number means nothing for him.
    EXPECT_EQ(service("/OpFav.aspx?" + account(bob) + "&i=1").status, 404);
    service(listAll(u"test12"_s, bob));
    EXPECT_EQ(service("/OpFav.aspx?" + account(bob) + "&i=13").status, 404);
    EXPECT_EQ(service("/OpFav.aspx?" + account(bob) + "&i=x").status, 400);
}

TEST_F(StandInPages, PriceDropListFollowsCurrentPricesAndTheDropSwitch)
{
    const QString user = newAccount();
    service(listAll(u"test40"_s, user));
    for (int i = 1; i <= 40; ++i)
        ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=" + std::to_string(i)).status, 200);
    const QList<QStringList> all = favoriteRows(service("/ListAllMyFav.aspx?" + account(user)));
    ASSERT_EQ(all.size(), 40);
    for (const QStringList& f : all)
        EXPECT_EQ(f[9], f[8]) << "a saved favorite keeps its price";
    EXPECT_TRUE(favoriteRows(service("/ListAllMyFav.aspx?" + account(user) + "&d=down")).isEmpty());

    m_server.dropPricesNow();
    const QList<QStringList> dropped =
        favoriteRows(service("/ListAllMyFav.aspx?" + account(user) + "&d=down"));
    EXPECT_EQ(dropped.size(), 40);
    for (const QStringList& f : dropped)
        EXPECT_LT(f[9].toDouble(), f[8].toDouble()) << qPrintable(f[8]) << " -> " << qPrintable(f[9]);
    // Favorites saved after the drop keep their price until the next one.
    service(listAll(u"test12"_s, user));
    ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=1").status, 200);
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(user))).size(), 41);
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(user) + "&d=down")).size(), 40);
}

TEST_F(StandInPages, SavedPricesStayStillAsTimePassesUntilMovedOnPurpose)
{
    // The server's clock is the test's: a minute, an hour, days and months pass at once.
    const auto clock = std::make_shared<std::atomic<qint64>>(
        QDateTime(QDate(2024, 3, 1), QTime(23, 59, 30)).toMSecsSinceEpoch());
    m_server.stop();
    m_options.clock = [clock] { return QDateTime::fromMSecsSinceEpoch(clock->load()); };
    m_server.start(m_options);
    const auto later = [clock](qint64 seconds) { *clock += seconds * 1000; };

    const QString user = newAccount();
    service(listAll(u"test30"_s, user));
    for (int i = 1; i <= 30; ++i)
        ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=" + std::to_string(i)).status, 200);
    const std::string list = "/ListAllMyFav.aspx?" + account(user);
    const QList<QStringList> saved = favoriteRows(service(list));
    ASSERT_EQ(saved.size(), 30);
    for (const QStringList& f : saved) {
        EXPECT_EQ(f[7], u"2024-03-01 23:59:30"_s) << "saved at the server's time";
        EXPECT_EQ(f[9], f[8]);
    }

    for (qint64 step : {60LL, 3600LL, 86400LL, 40 * 86400LL, 400 * 86400LL}) {
        later(step);
        EXPECT_EQ(favoriteRows(service(list)), saved) << "after " << step << " s more";
        EXPECT_TRUE(favoriteRows(service(list + "&d=down")).isEmpty()) << "after " << step << " s more";
    }

    ASSERT_EQ(service("/__control/drop-prices").status, 200);
    const QList<QStringList> dropped = favoriteRows(service(list + "&d=down"));
    ASSERT_EQ(dropped.size(), 30);
    for (qint64 step : {60LL, 86400LL, 40 * 86400LL}) {
        later(step);
        EXPECT_EQ(favoriteRows(service(list + "&d=down")), dropped) << "a dropped price stays where it went";
    }
}

TEST_F(StandInPages, DropControlPathDropsPrices)
{
    const QString user = newAccount();
    service(listAll(u"test20"_s, user));
    for (int i = 1; i <= 20; ++i)
        service("/OpFav.aspx?" + account(user) + "&i=" + std::to_string(i));
    EXPECT_EQ(service("/__control/drop-prices").status, 200);
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(user) + "&d=down")).size(), 20);
}

TEST_F(StandInPages, UnknownAccountGetsResultsButNoFavorites)
{
    const QString user = newAccount();
    service(listAll(u"test12"_s, user));
    service("/OpFav.aspx?" + account(user) + "&i=1");

    const Fetched results = service(listAll(u"test12"_s, user, u"wrong"_s));
    const QList<int> starts = rowStarts(results.lines);
    ASSERT_EQ(starts.size(), 12);
    for (int tr : starts)
        EXPECT_EQ(resultCells(results.lines, tr)[12], u"No"_s);

    for (const std::string& target : {"/ListAllMyFav.aspx?" + account(user, u"wrong"_s),
                                      "/ListAllMyFav.aspx?" + account(u"k0000000"_s) + "&d=down",
                                      std::string("/ListAllMyFav.aspx?u=&p=")}) {
        const Fetched page = service(target);
        ASSERT_TRUE(page.ok);
        const QString text = page.lines.join(u'\n');
        EXPECT_FALSE(text.contains(u"序列"_s)) << target;
        EXPECT_FALSE(text.contains(u"<TR>"_s)) << target;
        EXPECT_FALSE(text.contains(user)) << "the error page does not echo the account";
    }
    EXPECT_EQ(service("/OpFav.aspx?" + account(user, u"wrong"_s) + "&i=1").status, 403);
    // The wrong password changed nothing.
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(user))).size(), 1);
}

TEST_F(StandInPages, VersionPageCarriesTheAffiliateIds)
{
    const Fetched page = fetch(m_server.versionPort(), "/Ver/Ver10.html");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.lines.contains(u"AAA=mm_12345678_0_0BBB=1000123456CCC="_s))
        << qPrintable(page.lines.join(u'\n'));
    EXPECT_EQ(fetch(m_server.versionPort(), "/Ver/Ver.html").status, 404);

    m_server.stop();
    m_options.pid = u"mm_1_2_3"_s;
    m_options.unionId = u"42"_s;
    m_server.start(m_options);
    EXPECT_TRUE(fetch(m_server.versionPort(), "/Ver/Ver11.html").lines.contains(u"AAA=mm_1_2_3BBB=42CCC="_s));
}

TEST_F(StandInPages, BrowserViewIsTheResultPageWithPictures)
{
    const Fetched plain = service("/ListAll.aspx?word=test13-run1&u=&p=");
    const Fetched browser = service("/ListAll.aspx?word=test13-run1&u=&p=&view=browser");
    ASSERT_TRUE(plain.ok && browser.ok);
    EXPECT_EQ(browser.contentType, "text/html; charset=gbk");
    const QList<int> starts = rowStarts(plain.lines);
    ASSERT_EQ(starts.size(), 13);
    ASSERT_EQ(rowStarts(browser.lines), starts);
    ASSERT_EQ(browser.lines.size(), plain.lines.size());
    // Line for line the same page, but for the thumbnail cell.
    QSet<int> thumbnailLines;
    for (int tr : starts) {
        thumbnailLines.insert(tr + 4);
        const QString address = resultCells(plain.lines, tr)[3];
        EXPECT_EQ(browser.lines[tr + 4],
                  u"<TD><img src=\""_s + address + u"\" width=\"120\" height=\"120\"></TD>"_s);
    }
    for (int i = 0; i < plain.lines.size(); ++i) {
        if (!thumbnailLines.contains(i))
            EXPECT_EQ(browser.lines.value(i), plain.lines.value(i)) << i;
    }
}

TEST_F(StandInPages, PicturesAreJpegsOfTheirProduct)
{
    const Fetched results = service("/ListAll.aspx?word=test13-brokenpic&u=&p=");
    const QList<int> starts = rowStarts(results.lines);
    ASSERT_EQ(starts.size(), 13);
    const QString dir = m_server.directoryUrl();
    auto path = [&](const QString& url) { return url.mid(dir.size()).toStdString(); };

    const QStringList first = resultCells(results.lines, starts[0]);
    const QStringList second = resultCells(results.lines, starts[1]);
    const Fetched thumb = directory(path(first[3]));
    ASSERT_TRUE(thumb.ok);
    EXPECT_EQ(thumb.status, 200);
    EXPECT_EQ(thumb.contentType, "image/jpeg");
    EXPECT_TRUE(thumb.body.startsWith("\xFF\xD8"));
    const QImage small = QImage::fromData(thumb.body, "JPEG");
    EXPECT_EQ(small.size(), QSize(120, 120));
    const QImage large = QImage::fromData(directory(path(first[4])).body, "JPEG");
    EXPECT_EQ(large.size(), QSize(400, 400));

    const QImage other = QImage::fromData(directory(path(second[3])).body, "JPEG");
    ASSERT_FALSE(other.isNull());
    const QColor a = small.pixelColor(2, 2);
    const QColor b = other.pixelColor(2, 2);
    EXPECT_GT(std::abs(a.hue() - b.hue()) + std::abs(a.value() - b.value()) +
                  std::abs(a.saturation() - b.saturation()),
              20)
        << "each product has a colour of its own";
    // Same picture again: same bytes (served from the stored file).
    EXPECT_EQ(directory(path(first[3])).body, thumb.body);

    const QStringList middle = resultCells(results.lines, starts[6]);
    EXPECT_EQ(directory(path(middle[3])).status, 404);
    EXPECT_EQ(directory(path(middle[4])).status, 200);
    EXPECT_EQ(directory(path(resultCells(results.lines, starts[7])[3])).status, 200);
    EXPECT_EQ(directory("/pic/..%2F..%2Fstandin.db.jpg").status, 404);
    EXPECT_EQ(directory("/pic/.jpg").status, 404);
}

TEST_F(StandInPages, ProductAndStorePagesAnswer)
{
    const Fetched results = service("/ListAll.aspx?word=test1&u=&p=");
    const QStringList row = resultCells(results.lines, rowStarts(results.lines)[0]);
    const std::string link =
        row[7].mid(m_server.directoryUrl().size()).replace(u"&amp;"_s, u"&"_s).toStdString();
    const Fetched product = directory(link);
    EXPECT_EQ(product.status, 200);
    EXPECT_TRUE(product.lines.join(u'\n').contains(row[2].toHtmlEscaped()));

    for (const char* entry :
         {"/", "/go/chn/tbk_channel/channelcode.php?pid=mm_1_2_3&eventid=1",
          "/go/chn/tbk_channel/tmall_new.php?pid=mm_1_2_3&eventid=1", "/JdClick/?unionId=1&t=1&to=x",
          "/transfer.php?from=P-1&ad_type=10&sys_id=1&backurl=x", "/?_encoding=UTF8&tag=t",
          "/?source=kova&sourcesuninfo=x",
          "/aas/open/vistorAd.action?userId=1&webSiteId=0&adInfoId=00&adBookId=0&vistURL=x",
          "/?tracker_u=1"}) {
        const Fetched page = directory(entry);
        EXPECT_EQ(page.status, 200) << entry;
        EXPECT_EQ(page.contentType, "text/html; charset=gbk") << entry;
    }
    EXPECT_EQ(directory("/nowhere").status, 404);
    for (const char* path : {"/", "/contact.html", "/list.aspx?k=BB%CB%AA"})
        EXPECT_EQ(service(path).status, 200) << path;
    EXPECT_TRUE(service("/list.aspx?k=BB%CB%AA").lines.join(u'\n').contains(u"BB霜"_s));
}

TEST_F(StandInPages, ServiceSetsASessionCookieOnceAndTheLogRecordsCookies)
{
    m_server.clearLog();
    const Fetched first = service("/RandomUser.aspx");
    const std::string setCookie = first.header("Set-Cookie");
    ASSERT_EQ(setCookie.rfind("ASP.NET_SessionId=", 0), 0u) << setCookie;
    EXPECT_NE(setCookie.find("path=/"), std::string::npos);
    const std::string cookie = setCookie.substr(0, setCookie.find(';'));

    const Fetched second = service("/", cookie);
    EXPECT_TRUE(second.header("Set-Cookie").empty()) << "a client with a session keeps it";
    EXPECT_TRUE(directory("/").header("Set-Cookie").empty());
    EXPECT_TRUE(fetch(m_server.versionPort(), "/Ver/Ver10.html").header("Set-Cookie").empty());

    const QStringList log = m_server.log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[0], u"service /RandomUser.aspx 200 cookie="_s);
    EXPECT_EQ(log[1], u"service / 200 cookie="_s + QString::fromStdString(cookie));
    EXPECT_EQ(log[2], u"directory / 200 cookie="_s);
    EXPECT_EQ(log[3], u"version /Ver/Ver10.html 200 cookie="_s);
    m_server.clearLog();
    EXPECT_TRUE(m_server.log().isEmpty());
}

TEST_F(StandInPages, RedirectControlPathAnswers302)
{
    const Fetched page = service("/__control/redirect");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.status, 302);
    EXPECT_EQ(page.header("Location"), "/");
}

TEST_F(StandInPages, StateSurvivesARestart)
{
    const QString user = newAccount();
    service(listAll(u"test13"_s, user));
    ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=3").status, 200);
    const QList<QStringList> before = favoriteRows(service("/ListAllMyFav.aspx?" + account(user)));
    ASSERT_EQ(before.size(), 1);

    m_server.stop();
    m_server.start(m_options);
    const QList<QStringList> after = favoriteRows(service("/ListAllMyFav.aspx?" + account(user)));
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0][0], before[0][0]);
    EXPECT_EQ(after[0][3], before[0][3]);
    EXPECT_EQ(after[0][7], before[0][7]);
    EXPECT_EQ(after[0][8], before[0][8]);
    EXPECT_TRUE(after[0][5].startsWith(m_server.directoryUrl() + u"/pic/"_s))
        << "addresses follow the new port";
    // The last search is remembered too.
    EXPECT_EQ(service("/OpFav.aspx?" + account(user) + "&i=4").status, 200);
    EXPECT_EQ(favoriteRows(service("/ListAllMyFav.aspx?" + account(user))).size(), 2);
    // A picture still shows its product after the restart: served, and the same as before.
    EXPECT_EQ(directory(after[0][5].mid(m_server.directoryUrl().size()).toStdString()).status, 200);
}

TEST(StandInServer, StartFailsOnATakenPort)
{
    kova::standin::StandInServer first;
    first.start({});
    kova::standin::ServerOptions options;
    options.servicePort = first.servicePort();
    kova::standin::StandInServer second;
    EXPECT_THROW(second.start(options), std::runtime_error);
    // The first one is unharmed.
    EXPECT_EQ(kova::test::fetch(first.servicePort(), "/").status, 200);
    EXPECT_NE(first.serviceUrl(), first.directoryUrl());
}

} // namespace

namespace {

TEST(StandInServer, AdvertisedHostNamesThePagesAddresses)
{
    kova::standin::ServerOptions options;
    options.advertisedHost = u"localhost"_s;
    kova::standin::StandInServer server;
    server.start(options);
    EXPECT_EQ(server.directoryUrl(), u"http://localhost:"_s + QString::number(server.directoryPort()));
    const Fetched page = fetch(server.servicePort(), "/ListAll.aspx?word=test1&u=&p=");
    EXPECT_TRUE(page.lines.join(u'\n').contains(u"<TD>"_s + server.directoryUrl() + u"/pic/"_s));
}

TEST(StandInServer, StopReturnsWhileAClientKeepsAnIdleConnection)
{
    kova::standin::StandInServer server;
    server.start({});
    const int port = server.servicePort();
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    const auto reply = client.Get("/");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_TRUE(client.is_socket_open()) << "the connection stays open, idle";
    // stop() returns although the client never closes its connection; afterwards the
    // server answers nothing on it.
    server.stop();
    EXPECT_FALSE(client.Get("/"));
}

} // namespace

TEST_F(StandInPages, PriceDayMovesOfferPricesAndDropsTakeOffMore)
{
    const QString user = newAccount();
    auto prices = [&] {
        QStringList out;
        const Fetched page = service(listAll(u"test40"_s, user));
        for (int tr : rowStarts(page.lines))
            out << resultCells(page.lines, tr)[6];
        return out;
    };
    const QList<Offer> offers = Catalogue::offers(u"test40"_s);
    const QStringList day0 = prices();
    ASSERT_EQ(day0.size(), 40);
    ASSERT_EQ(service("/__control/price-day?n=3").status, 200);
    const QStringList day3 = prices();
    int moved = 0;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(day0[i], offers[i].price);
        EXPECT_EQ(day3[i], Catalogue::priceOnDay(offers[i].price, offers[i].cph, 3));
        EXPECT_EQ(day3[i].contains(u'.'), offers[i].price.contains(u'.')) << qPrintable(day3[i]);
        const double ratio = day3[i].toDouble() / offers[i].price.toDouble();
        if (offers[i].price.toDouble() >= 20) {
            EXPECT_GE(ratio, 0.84) << qPrintable(offers[i].price) << " -> " << qPrintable(day3[i]);
            EXPECT_LE(ratio, 1.16) << qPrintable(offers[i].price) << " -> " << qPrintable(day3[i]);
        }
        moved += day3[i] != day0[i] ? 1 : 0;
    }
    EXPECT_GT(moved, 30);
    EXPECT_EQ(service("/__control/price-day?n=x").status, 400);

    // A favorite saved on day 3 keeps that day's price; each drop takes off more.
    ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=1").status, 200);
    const std::string list = "/ListAllMyFav.aspx?" + account(user);
    EXPECT_EQ(favoriteRows(service(list))[0][8], day3[0]);
    ASSERT_EQ(service("/__control/drop-prices").status, 200);
    const QString once = favoriteRows(service(list))[0][9];
    ASSERT_EQ(service("/__control/drop-prices").status, 200);
    const QString twice = favoriteRows(service(list))[0][9];
    EXPECT_EQ(once, Catalogue::currentPrice(day3[0], offers[0].cph, 1));
    EXPECT_EQ(twice, Catalogue::currentPrice(day3[0], offers[0].cph, 2));
    EXPECT_LT(twice.toDouble(), once.toDouble());

    ASSERT_EQ(service("/__control/price-day?n=0").status, 200);
    EXPECT_EQ(prices(), day0);
}
