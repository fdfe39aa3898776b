#include "service/HttpClient.h"

#include "tests/service/StandInFixture.h"
#include <QElapsedTimer>

#include <chrono>
#include <thread>

using kova::HttpClient;
using kova::HttpError;
using kova::Requests;
using kova::standin::Fault;

namespace {

class HttpClientTest : public kova::test::StandInTest {};

// Runs `get` and returns the error it must throw.
template <typename F> HttpError expectHttpError(F&& get)
{
    try {
        get();
    } catch (const HttpError& e) {
        return e;
    }
    ADD_FAILURE() << "no HttpError thrown";
    return HttpError(HttpError::Kind::Transfer, 0, QString());
}

} // namespace

TEST_F(HttpClientTest, CookiesGoBackToTheHostThatSetThemOnly)
{
    HttpClient http;
    const Requests r;
    http.get(r.randomUser());
    http.get(r.contactPage());
    // Cookies do not tell ports apart, so the other host is reached by another name.
    const QString otherHost = QStringLiteral("http://localhost:%1/").arg(server().directoryPort());
    http.get(otherHost);

    const QStringList log = server().log();
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("cookie="))) << log[0].toStdString();
    EXPECT_TRUE(log[1].contains(QStringLiteral("cookie=ASP.NET_SessionId="))) << log[1].toStdString();
    EXPECT_TRUE(log[2].startsWith(QStringLiteral("directory "))) << log[2].toStdString();
    EXPECT_TRUE(log[2].endsWith(QStringLiteral("cookie="))) << log[2].toStdString();

    // Another client keeps cookies of its own.
    HttpClient second;
    second.get(r.contactPage());
    EXPECT_TRUE(server().log().last().endsWith(QStringLiteral("cookie=")));
}

TEST_F(HttpClientTest, RedirectIsNotFollowed)
{
    HttpClient http;
    const HttpError e =
        expectHttpError([&] { http.get(Requests().serviceUrl() + QStringLiteral("/__control/redirect")); });
    EXPECT_EQ(e.kind(), HttpError::Kind::Status);
    EXPECT_EQ(e.status(), 302);
    const QStringList log = server().log();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("service /__control/redirect 302")));
}

TEST_F(HttpClientTest, ErrorStatusNamesTheAddressButNotTheAccount)
{
    server().setFault(Fault::ErrorStatus);
    HttpClient http;
    const HttpError e = expectHttpError([&] {
        http.get(
            Requests().listAll(QStringLiteral("test1"), QStringLiteral("secretid"), QStringLiteral("pw77")));
    });
    EXPECT_EQ(e.kind(), HttpError::Kind::Status);
    EXPECT_EQ(e.status(), 500);
    EXPECT_TRUE(e.message().contains(QStringLiteral("500")));
    EXPECT_TRUE(e.message().contains(QStringLiteral("/ListAll.aspx")));
    EXPECT_FALSE(e.message().contains(QStringLiteral("secretid")));
    EXPECT_FALSE(e.message().contains(QStringLiteral("pw77")));
}

TEST_F(HttpClientTest, RefusedConnectionIsAConnectError)
{
    HttpClient http;
    const HttpError e = expectHttpError([&] { http.get(closedPortUrl() + QStringLiteral("/a?u=secretid")); });
    EXPECT_EQ(e.kind(), HttpError::Kind::Connect);
    EXPECT_FALSE(e.message().contains(QStringLiteral("secretid")));
}

TEST_F(HttpClientTest, SilentServerIsCutOffByTheStallTimeOut)
{
    // The server sends part of the body and then holds the connection for a minute: a
    // stall error can only come from the client's own time-out (had the transfer run until
    // the server let go, it would be a broken transfer).
    server().setFault(Fault::Stall);
    HttpClient http;
    http.setStallTimeout(std::chrono::milliseconds(800));
    const HttpError e =
        expectHttpError([&] { http.get(Requests().listAll(QStringLiteral("test20"), {}, {})); });
    EXPECT_EQ(e.kind(), HttpError::Kind::Stall);
    EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx")).size(), 1);
}

TEST_F(HttpClientTest, TrickleBelowTheLowSpeedLimitEndsAsTooSlow)
{
    // A byte a second never stalls (the stall time-out is an hour) and the page would take
    // hours to arrive: only the low-speed check ends this GET, after the seam's two seconds.
    const kova::test::LowSpeedTime bound(std::chrono::seconds(2));
    server().setFault(Fault::Trickle);
    HttpClient http;
    http.setStallTimeout(std::chrono::hours(1));
    QElapsedTimer clock;
    clock.start();
    const HttpError e =
        expectHttpError([&] { http.get(Requests().listAll(QStringLiteral("test20"), {}, {})); });
    EXPECT_EQ(e.kind(), HttpError::Kind::TooSlow) << e.message().toStdString();
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(e.message().contains(QStringLiteral("太慢")));

    // The same client goes on at full speed once the server does.
    server().setFault(Fault::None);
    EXPECT_EQ(http.get(Requests().randomUser()).status, 200);
}

TEST_F(HttpClientTest, CancelFromAnotherThreadEndsAStalledGet)
{
    // The stall time-out is an hour and the server holds the reply for a minute: only the
    // cancel can end this GET with Cancelled. It is sent once the server has the request, so
    // it lands on a transfer in progress, not before one.
    server().setFault(Fault::Stall);
    HttpClient http;
    http.setStallTimeout(std::chrono::hours(1));
    bool requestSeen = false;
    std::thread canceller([&] {
        for (int i = 0; i < 10000 && !requestSeen; ++i) {
            requestSeen = !requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty();
            if (!requestSeen)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        http.cancel();
    });
    const HttpError e =
        expectHttpError([&] { http.get(Requests().listAll(QStringLiteral("test20"), {}, {})); });
    canceller.join();
    EXPECT_TRUE(requestSeen);
    EXPECT_EQ(e.kind(), HttpError::Kind::Cancelled);

    http.resetCancel();
    server().setFault(Fault::None);
    EXPECT_EQ(http.get(Requests().randomUser()).status, 200);
}

TEST_F(HttpClientTest, BrokenOrOversizedBodiesAreErrors)
{
    HttpClient http;
    http.setMaxBodyBytes(4096);
    EXPECT_EQ(
        expectHttpError([&] { http.get(Requests().listAll(QStringLiteral("test100"), {}, {})); }).kind(),
        HttpError::Kind::TooLarge);

    http.setMaxBodyBytes(HttpClient::DefaultMaxBodyBytes);
    server().setFault(Fault::DropMidBody);
    EXPECT_EQ(
        expectHttpError([&] { http.get(Requests().listAll(QStringLiteral("test100"), {}, {})); }).kind(),
        HttpError::Kind::Transfer);

    server().setFault(Fault::None);
    const kova::HttpReply reply = http.get(Requests().listAll(QStringLiteral("test100"), {}, {}));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.contentType, "text/html; charset=gbk");
    EXPECT_GT(reply.body.size(), 4096);
}
