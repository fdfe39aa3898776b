// The hostile keywords and faults of the stand-in server, as a client on the wire sees
// them: markup, formulas, bidi controls and line breaks in names, junk prices, a trickling
// page, a 200,000-row page and a picture no bounded decoder takes.
#include "tests/server/StandInTestSupport.h"

#include "server/Catalogue.h"
#include "server/HostileTexts.h"
#include "service/HtmlToText.h"
#include "store/Gbk.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using kova::standin::Fault;
using kova::standin::hostileNames;
using kova::standin::hostilePromotions;
using kova::standin::junkPrices;
using kova::test::Fetched;

namespace {

using Clock = std::chrono::steady_clock;

// The raw cell texts of every "<TR>" row of a page, split where the page's own lines
// would not: a cell ends at "</TD>" and a line break before it belongs to the value.
QList<QStringList> rawRows(const QByteArray& body)
{
    const QString text = kova::gbk::decode(body);
    QList<QStringList> rows;
    for (qsizetype at = text.indexOf(u"<TR>\r\n"_s); at >= 0; at = text.indexOf(u"<TR>\r\n"_s, at)) {
        at += 6;
        const qsizetype end = text.indexOf(u"</TD></TR>"_s, at);
        if (end < 0)
            break;
        QStringList cells;
        for (const QString& cell : text.mid(at, end - at).split(u"</TD>\r\n"_s))
            cells.append(cell.startsWith(u"<TD>"_s) ? cell.mid(4) : u"?"_s + cell);
        rows.append(cells);
        at = end;
    }
    return rows;
}

// A value as an HTML parser reads it from a fragment: CR LF as LF, leading white space gone.
QString asParsed(QString value)
{
    value.replace(u"\r\n"_s, u"\n"_s);
    qsizetype lead = 0;
    while (lead < value.size() && value.at(lead).isSpace())
        ++lead;
    return value.mid(lead);
}

class StandInHostile : public kova::test::StandInFixture {
protected:
    std::string listAll(const QString& word, const QString& user)
    {
        return "/ListAll.aspx?word=" + word.toStdString() + "&u=" + user.toStdString() + "&p=mivra";
    }
    std::string account(const QString& user) { return "u=" + user.toStdString() + "&p=mivra"; }
    Fetched big(const std::string& target)
    {
        return kova::test::fetch(m_server.servicePort(), target, {}, 60000);
    }
};

TEST_F(StandInHostile, HostileNamesAndPromotionsArriveIntactAfterDecoding)
{
    const int n = static_cast<int>(hostileNames().size()) * 2 + 3;
    const Fetched page = big("/ListAll.aspx?word=hostile" + std::to_string(n) + "&u=&p=");
    ASSERT_TRUE(page.ok);
    const QList<QStringList> rows = rawRows(page.body);
    ASSERT_EQ(rows.size(), n);
    for (int i = 0; i < n; ++i) {
        const QStringList& cells = rows[i];
        ASSERT_EQ(cells.size(), 13) << i;
        EXPECT_FALSE(cells[2].contains(u'<') || cells[10].contains(u'<'))
            << "markup comes escaped, row " << i;
        const QString name = hostileNames().at(i % hostileNames().size());
        const QString promotion = hostilePromotions().at(i % hostilePromotions().size());
        // Markup, entities and bidi controls (sent as references) come back as the text.
        EXPECT_EQ(kova::HtmlToText(cells[2]), asParsed(name)) << i;
        EXPECT_EQ(kova::HtmlToText(cells[10]), asParsed(promotion)) << i;
        EXPECT_EQ(cells[0], QString::number(i + 1));
        EXPECT_EQ(cells[12], u"No"_s);
    }
    // The line break goes out as it stands: that row's name cell spans two page lines.
    const QString breakName = hostileNames().last();
    const int breakRow = static_cast<int>(hostileNames().size());
    EXPECT_EQ(rows[breakRow - 1][2], breakName);
    const qsizetype first = page.lines.indexOf(u"<TD>第一行"_s);
    ASSERT_GE(first, 0);
    EXPECT_EQ(page.lines.value(first + 1), u"第二行</TD>"_s);
    EXPECT_EQ(rows[0][2], hostileNames().first()) << "row 1 is an ordinary name";
    EXPECT_EQ(rows[10][2], u"\t=3*3"_s) << "the Tab leads the cell";
    EXPECT_EQ(rows[8][10], u"\r\n换行促销"_s);
    EXPECT_EQ(rows[13][2].size(), 51200) << "the 100 KB name is whole";
    EXPECT_TRUE(page.body.contains(QByteArray("\xB3\xA4").repeated(51200)));
}

TEST_F(StandInHostile, FavoritesKeepHostileNamesInTheListAndAcrossRestarts)
{
    const QString user = newAccount();
    ASSERT_TRUE(service(listAll(u"hostile15"_s, user)).ok);
    const QList<int> picked = {2, 12, 14, 15}; // <img>, bidi, 100 KB, line break
    for (int bh : picked)
        ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=" + std::to_string(bh)).status, 200) << bh;

    const auto check = [&](const char* when) {
        const Fetched list = service("/ListAllMyFav.aspx?" + account(user));
        ASSERT_TRUE(list.ok) << when;
        QList<QStringList> rows = rawRows(list.body);
        ASSERT_EQ(rows.size(), picked.size() + 1) << when;
        rows.removeFirst(); // the header row
        for (int k = 0; k < picked.size(); ++k) {
            ASSERT_EQ(rows[k].size(), 12) << when;
            EXPECT_EQ(kova::HtmlToText(rows[k][4]), asParsed(hostileNames().at(picked[k] - 1)))
                << when << " row " << picked[k];
        }
        EXPECT_EQ(rows[0][4], u"&lt;img src=&quot;/dev/zero&quot;&gt;"_s) << when;
        EXPECT_EQ(rows[3][4], hostileNames().last()) << when << ": the line break is kept";
    };
    check("served");
    m_server.stop();
    m_server.start(m_options);
    check("after a restart");
}

TEST_F(StandInHostile, JunkPricesAreServedAsListedAndSavedFavoritesStillList)
{
    const int n = static_cast<int>(junkPrices().size());
    const QString user = newAccount();
    const Fetched page = service(listAll(u"junkprice"_s + QString::number(n + 1), user));
    const QList<QStringList> rows = rawRows(page.body);
    ASSERT_EQ(rows.size(), n + 1);
    for (int i = 0; i <= n; ++i)
        EXPECT_EQ(rows[i][6], junkPrices().at(i % n)) << i;

    for (int bh = 1; bh <= n; ++bh)
        ASSERT_EQ(service("/OpFav.aspx?" + account(user) + "&i=" + std::to_string(bh)).status, 200);
    m_server.dropPricesNow();
    m_server.setPriceDay(3);
    const Fetched list = service("/ListAllMyFav.aspx?" + account(user));
    ASSERT_EQ(list.status, 200);
    QList<QStringList> favorites = rawRows(list.body);
    ASSERT_EQ(favorites.size(), n + 1);
    favorites.removeFirst();
    int dropped = 0;
    for (int i = 0; i < n; ++i) {
        const QString& saved = junkPrices().at(i);
        EXPECT_EQ(favorites[i][8], saved) << "the junk is the saved price";
        const bool number =
            saved == u"58.5" || saved == u"1299.00" || saved == u"9999999999.99" || saved == u"58";
        EXPECT_EQ(favorites[i][9] != saved, number) << "only prices drop: " << qPrintable(saved);
        dropped += number;
    }
    EXPECT_EQ(dropped, 4);
    const Fetched drops = service("/ListAllMyFav.aspx?" + account(user) + "&d=down");
    ASSERT_EQ(drops.status, 200);
    EXPECT_EQ(rawRows(drops.body).size(), 1 + dropped);
    // On another price day the junk stays junk.
    const QList<QStringList> later = rawRows(service(listAll(u"junkprice15"_s, user)).body);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(later.value(i).value(6), junkPrices().at(i)) << i;
}

TEST_F(StandInHostile, TrickleSendsTheBodyAByteASecondAndStopEndsIt)
{
    const Fetched whole = service("/ListAll.aspx?word=test3&u=&p=");
    ASSERT_TRUE(whole.ok);
    m_server.setFault(Fault::Trickle, u"/ListAll.aspx"_s);
    EXPECT_EQ(service("/RandomUser.aspx").status, 200) << "other paths are untouched";

    // Three bytes, then this client closes: the first comes with the headers, each next one
    // a second later, so they cannot all be there before two seconds.
    {
        httplib::Client client("127.0.0.1", m_server.servicePort());
        std::string length;
        std::vector<Clock::time_point> arrivals;
        const Clock::time_point asked = Clock::now();
        client.Get(
            "/ListAll.aspx?word=test3&u=&p=", {{"Accept-Encoding", "identity"}},
            [&](const httplib::Response& r) {
                length = r.get_header_value("Content-Length");
                return true;
            },
            [&](const char*, size_t size) {
                for (size_t k = 0; k < size; ++k)
                    arrivals.push_back(Clock::now());
                return arrivals.size() < 3;
            });
        EXPECT_EQ(length, std::to_string(whole.body.size())) << "the full length is announced";
        ASSERT_GE(arrivals.size(), 3u);
        EXPECT_GE(arrivals[2] - asked, std::chrono::milliseconds(1900));
        EXPECT_LT(arrivals[0] - asked, std::chrono::seconds(5)) << "the first byte does not wait";
    }

    // A trickle in flight does not hold stop() up.
    std::atomic<size_t> received{0};
    std::atomic<bool> completed{true};
    std::thread reader([&] {
        httplib::Client client("127.0.0.1", m_server.servicePort());
        client.set_read_timeout(120, 0);
        completed =
            static_cast<bool>(client.Get("/ListAll.aspx?word=test3&u=&p=", [&](const char*, size_t size) {
                received += size;
                return true;
            }));
    });
    for (int i = 0; i < 500 && received == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(received.load(), 0u);
    const Clock::time_point stopping = Clock::now();
    m_server.stop();
    EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(5));
    reader.join();
    EXPECT_FALSE(completed) << "the trickled reply never completed";
    EXPECT_LT(received.load(), static_cast<size_t>(whole.body.size()));
}

TEST_F(StandInHostile, Test200000GivesTwoHundredThousandRows)
{
    const Fetched page = big("/ListAll.aspx?word=test200000&u=&p=");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.lines.filter(u"<TR>"_s).size(), 200000);
    EXPECT_TRUE(page.lines.contains(u"<TD>200000</TD>"_s));
    EXPECT_FALSE(page.lines.contains(u"<TD>200001</TD>"_s));
    EXPECT_EQ(kova::standin::Catalogue::rowCount(u"test200000-k1"_s), 200000);
    EXPECT_LE(kova::standin::Catalogue::rowCount(u"test200001"_s), 300);
}

TEST_F(StandInHostile, BadpicServesA65535SquareHeaderForTheMiddleRowOnly)
{
    const Fetched page = service("/ListAll.aspx?word=test9-badpic&u=&p=");
    const QList<QStringList> rows = rawRows(page.body);
    ASSERT_EQ(rows.size(), 9);
    const QString dir = m_server.directoryUrl();
    for (int r = 0; r < 9; ++r) {
        const QString cph = rows[r][1];
        const QString folder = r == 4 ? u"/pic/huge/"_s : u"/pic/"_s; // row 9/2 + 1
        EXPECT_EQ(rows[r][3], dir + folder + cph + u".jpg"_s) << r;
        EXPECT_EQ(rows[r][4], dir + folder + cph + u"_b.jpg"_s) << r;
    }
    for (const QString& address : {rows[4][3], rows[4][4]}) {
        const Fetched picture = directory(address.mid(dir.size()).toStdString());
        EXPECT_EQ(picture.status, 200);
        EXPECT_EQ(picture.contentType, "image/jpeg");
        EXPECT_LT(picture.body.size(), 4096);
        const qsizetype sof = picture.body.indexOf("\xFF\xC0");
        ASSERT_GE(sof, 0);
        EXPECT_EQ(picture.body.mid(sof + 5, 5), QByteArray("\xFF\xFF\xFF\xFF\x03", 5));
        QBuffer buffer(const_cast<QByteArray*>(&picture.body));
        QImageReader reader(&buffer, "jpeg");
        EXPECT_TRUE(reader.read().isNull()) << "Qt's reader, bounded at 65500 pixels, refuses it";
        EXPECT_TRUE(picture.body.endsWith("\xFF\xD9"));
        // Apart from its size the file is a real JPEG: with 16 x 16 in its header it decodes.
        QByteArray small = picture.body;
        small.replace(sof + 5, 4, QByteArray("\x00\x10\x00\x10", 4));
        EXPECT_EQ(QImage::fromData(small, "JPEG").size(), QSize(16, 16));
    }
    EXPECT_EQ(directory("/pic/huge/..%2Fx.jpg").status, 404);
    EXPECT_EQ(directory(rows[3][3].mid(dir.size()).toStdString()).contentType, "image/jpeg");
}

} // namespace
