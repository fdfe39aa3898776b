// Every fault mode of the stand-in server is observable by a client, and only where
// its path prefix says.
#include "tests/server/StandInTestSupport.h"

#include "store/Gbk.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using kova::standin::Fault;
using kova::test::fetch;
using kova::test::Fetched;

namespace {

class StandInFaults : public kova::test::StandInFixture {
protected:
    int rows(const Fetched& page) { return static_cast<int>(page.lines.filter(u"<TR>"_s).size()); }
    std::string thumbnail() { return "/pic/1234567800000.jpg"; }
};

TEST_F(StandInFaults, DropMidBodyClosesTheConnectionEarly)
{
    const Fetched whole = service("/ListAll.aspx?word=test100&u=&p=");
    ASSERT_TRUE(whole.ok);
    m_server.setFault(Fault::DropMidBody);
    const Fetched cut = service("/ListAll.aspx?word=test100&u=&p=");
    EXPECT_FALSE(cut.ok && cut.body.size() == whole.body.size()) << "the body must come short";
    const Fetched picture = directory(thumbnail());
    EXPECT_FALSE(picture.ok && picture.body.size() > 0 && picture.body.endsWith("\xFF\xD9"));
    m_server.setFault(Fault::None);
    EXPECT_EQ(service("/ListAll.aspx?word=test100&u=&p=").body, whole.body);
}

TEST_F(StandInFaults, StallHoldsTheReplyWithoutBlockingOtherRequestsUntilStop)
{
    m_server.setFault(Fault::Stall, u"/ListAll.aspx"_s);
    m_server.clearLog();
    // The client would wait longer than the stall lasts: only the server ends this reply.
    std::atomic<bool> stalledDone{false};
    Fetched stalled;
    std::thread client([&] {
        stalled = kova::test::fetch(m_server.servicePort(), "/ListAll.aspx?word=test100&u=&p=", {}, 120000);
        stalledDone = true;
    });
    // The log line is written before the body goes out: the reply is under way.
    const auto answered = [this] { return !m_server.log().filter(u"/ListAll.aspx"_s).isEmpty(); };
    for (int i = 0; i < 1000 && !answered(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(answered());

    EXPECT_EQ(service("/RandomUser.aspx").status, 200) << "other paths are not stalled";
    EXPECT_EQ(fetch(m_server.directoryPort(), "/").status, 200);
    EXPECT_FALSE(stalledDone) << "the other requests completed while the stalled reply still waited";

    m_server.stop();
    client.join();
    EXPECT_TRUE(stalledDone);
    EXPECT_FALSE(stalled.ok) << "the stalled reply never completes";
    EXPECT_EQ(stalled.error, httplib::Error::Read);
}

TEST_F(StandInFaults, ErrorStatusAnswers500)
{
    m_server.setFault(Fault::ErrorStatus);
    EXPECT_EQ(service("/RandomUser.aspx").status, 500);
    EXPECT_EQ(directory(thumbnail()).status, 500);
    EXPECT_EQ(fetch(m_server.versionPort(), "/Ver/Ver10.html").status, 500);
    // Control paths are never faulty, so a fault can always be switched off.
    EXPECT_EQ(service("/__control/fault?name=None").status, 200);
    EXPECT_EQ(service("/RandomUser.aspx").status, 200);
}

TEST_F(StandInFaults, TruncatedJpegCutsPicturesOnly)
{
    const Fetched whole = directory(thumbnail());
    ASSERT_TRUE(whole.body.endsWith("\xFF\xD9"));
    m_server.setFault(Fault::TruncatedJpeg);
    const Fetched cut = directory(thumbnail());
    EXPECT_EQ(cut.status, 200);
    EXPECT_TRUE(cut.body.startsWith("\xFF\xD8"));
    EXPECT_EQ(cut.body.size(), whole.body.size() / 2);
    EXPECT_EQ(rows(service("/ListAll.aspx?word=test12&u=&p=")), 12) << "pages are untouched";
}

TEST_F(StandInFaults, HtmlAsPictureSendsAnErrorPageWithStatus200)
{
    m_server.setFault(Fault::HtmlAsPicture);
    const Fetched picture = directory(thumbnail());
    EXPECT_EQ(picture.status, 200);
    EXPECT_TRUE(picture.body.startsWith("<html"));
    EXPECT_EQ(picture.contentType, "text/html; charset=gbk");
    EXPECT_EQ(rows(service("/ListAll.aspx?word=test12&u=&p=")), 12);
}

TEST_F(StandInFaults, InvalidGbkPutsBadBytesIntoPagesKeepingTheRows)
{
    m_server.setFault(Fault::InvalidGbk);
    const Fetched page = service("/ListAll.aspx?word=test12&u=&p=");
    EXPECT_TRUE(page.body.contains("\xFF\xFF"));
    EXPECT_TRUE(page.lines.join(u'\n').contains(QChar(0xFFFD)));
    EXPECT_EQ(rows(page), 12);
    EXPECT_FALSE(directory(thumbnail()).body.contains("\xFF\xFF\xFF")) << "pictures are untouched";
}

TEST_F(StandInFaults, Utf8DeclaredSendsUtf8)
{
    m_server.setFault(Fault::Utf8Declared);
    const Fetched page = service("/ListAll.aspx?word=BB%CB%AA&u=&p=");
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    const QString text = QString::fromUtf8(page.body);
    EXPECT_TRUE(text.contains(u"BB霜"_s));
    EXPECT_TRUE(text.contains(u"charset=utf-8"_s));
    EXPECT_FALSE(kova::gbk::decode(page.body).contains(u"BB霜"_s));
}

TEST_F(StandInFaults, HugePageAddsTenMegabytesBeforeTheRows)
{
    m_server.setFault(Fault::HugePage, u"/ListAll.aspx"_s);
    const Fetched page = service("/ListAll.aspx?word=test13&u=&p=");
    ASSERT_TRUE(page.ok);
    EXPECT_GT(page.body.size(), 10 * 1000 * 1000);
    EXPECT_EQ(rows(page), 13);
    EXPECT_TRUE(page.lines.mid(0, 4).join(u'\n').contains(u"<body>"_s));
    EXPECT_LT(service("/RandomUser.aspx").body.size(), 1000);
}

TEST_F(StandInFaults, ControlPathSwitchesFaultsByPrefix)
{
    EXPECT_EQ(service("/__control/fault?name=ErrorStatus&prefix=/ListAll.aspx").status, 200);
    EXPECT_EQ(service("/ListAll.aspx?word=test1&u=&p=").status, 500);
    EXPECT_EQ(service("/ListAllMyFav.aspx?u=&p=").status, 200);
    EXPECT_EQ(service("/__control/fault?name=NoSuchFault").status, 400);
    EXPECT_EQ(service("/ListAll.aspx?word=test1&u=&p=").status, 500) << "an unknown name changes nothing";
    EXPECT_EQ(service("/__control/fault?name=none").status, 200);
    EXPECT_EQ(service("/ListAll.aspx?word=test1&u=&p=").status, 200);
}

TEST(StandInFaultNames, RoundTrip)
{
    for (Fault f :
         {Fault::None, Fault::DropMidBody, Fault::Stall, Fault::ErrorStatus, Fault::TruncatedJpeg,
          Fault::HtmlAsPicture, Fault::InvalidGbk, Fault::Utf8Declared, Fault::HugePage, Fault::Trickle})
        EXPECT_EQ(kova::standin::faultFromName(kova::standin::faultName(f)), f);
    EXPECT_EQ(kova::standin::faultFromName(u"stall"_s), Fault::Stall);
    EXPECT_FALSE(kova::standin::faultFromName(u"Stalled"_s));
}

} // namespace
