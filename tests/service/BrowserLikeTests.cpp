// The page loaders behave as the browser they stand for: they follow redirects (up to five,
// http and https only) and go through the desktop's proxy; the picture client does neither.
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "tests/service/StandInFixture.h"
#include "tests/support/TestSupport.h"

#include <httplib.h>

#include <QStringList>

#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

using kova::HttpClient;
using kova::HttpError;
using kova::PageLoader;
using kova::PageText;
using kova::Requests;
using kova::test::EnvironmentVariable;
using kova::test::waitUntil;

namespace {

// A cpp-httplib server of the test's own on a free loopback port, answering every GET
// with `answer` and keeping the request targets it saw.
class LoopbackServer {
public:
    using Answer = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit LoopbackServer(Answer answer) : m_answer(std::move(answer))
    {
        m_port = m_http.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("cannot bind a loopback port");
        m_http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(m_mutex);
                m_targets << QString::fromStdString(req.target);
            }
            m_answer(req, res);
        });
        m_thread = std::thread([this] { m_http.listen_after_bind(); });
        while (!m_http.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer()
    {
        m_http.stop();
        m_thread.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QStringList targets() const
    {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }

private:
    Answer m_answer;
    httplib::Server m_http;
    mutable std::mutex m_mutex;
    QStringList m_targets;
    std::thread m_thread;
    int m_port = 0;
};

class BrowserLikeTest : public kova::test::StandInTest {
protected:
    // The page of "test13" on the stand-in server.
    static QString resultPage() { return Requests().listAll(QStringLiteral("test13"), {}, {}); }

    // /hop/<n> redirects to /hop/<n-1>, and /hop/0 to the stand-in's result page: a chain
    // of n + 1 redirects. /away redirects to `away`.
    LoopbackServer redirector{[](const httplib::Request& req, httplib::Response& res) {
        const QString path = QString::fromStdString(req.path);
        if (path == QStringLiteral("/away")) {
            res.status = 302;
            res.set_header("Location", "file:///etc/passwd");
            return;
        }
        const int hop = path.section(QLatin1Char('/'), 2).toInt();
        res.status = 302;
        res.set_header("Location", hop > 0 ? QStringLiteral("/hop/%1").arg(hop - 1).toStdString()
                                           : resultPage().toStdString());
    }};

    static PageText load(PageLoader& loader, const QString& url)
    {
        int completions = 0;
        const auto connection = QObject::connect(&loader, &PageLoader::DocumentComplete, &loader,
                                                 [&completions] { ++completions; });
        loader.Navigate(url);
        EXPECT_TRUE(waitUntil([&] { return completions > 0; }, 20000)) << url.toStdString();
        QObject::disconnect(connection);
        PageText text;
        loader.readDocumentInto(text);
        return text;
    }

    static int rows(const PageText& text)
    {
        int n = 0;
        for (int i = 0; i < text.count(); ++i)
            n += text.line(i).contains(QStringLiteral("<TR>")) ? 1 : 0;
        return n;
    }
};

TEST_F(BrowserLikeTest, PageLoaderFollowsUpToFiveRedirectsToThePage)
{
    PageLoader loader;
    const PageText direct = load(loader, resultPage());
    ASSERT_FALSE(direct.failedLoad());
    EXPECT_TRUE(direct.serviceError().isEmpty());
    ASSERT_EQ(rows(direct), 13); // one line a product row

    // One redirect, then a chain of five: the page arrives with its rows, as if asked for.
    for (const char* start : {"/hop/0", "/hop/4"}) {
        server().clearLog();
        const PageText redirected = load(loader, redirector.url() + QLatin1String(start));
        EXPECT_FALSE(redirected.failedLoad()) << start;
        EXPECT_EQ(redirected.text(), direct.text()) << start;
        EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx?word=test13")).size(), 1) << start;
    }
    EXPECT_EQ(redirector.targets().size(), 1 + 5);
}

TEST_F(BrowserLikeTest, PageLoaderGivesUpOnTheSixthRedirect)
{
    PageLoader loader;
    const PageText text = load(loader, redirector.url() + QStringLiteral("/hop/5"));
    EXPECT_TRUE(text.failedLoad());
    // The service's fault, not the network's: the message names it.
    EXPECT_EQ(text.serviceError(), QStringLiteral("网页转向出错"));
    EXPECT_EQ(rows(text), 0);
    EXPECT_EQ(redirector.targets().size(), 6);
    EXPECT_TRUE(requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty());

    HttpClient http;
    http.setBrowserLike(true);
    try {
        http.get(redirector.url() + QStringLiteral("/hop/5"));
        ADD_FAILURE() << "six redirects were followed";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.kind(), HttpError::Kind::Redirect);
        EXPECT_EQ(e.status(), 302);
    }
}

TEST_F(BrowserLikeTest, RedirectToAnotherSchemeIsNotFollowed)
{
    PageLoader loader;
    const PageText text = load(loader, redirector.url() + QStringLiteral("/away"));
    EXPECT_TRUE(text.failedLoad());
    EXPECT_FALSE(text.text().contains(QStringLiteral("root:")));

    HttpClient http;
    http.setBrowserLike(true);
    try {
        const auto reply = http.get(redirector.url() + QStringLiteral("/away"));
        ADD_FAILURE() << "followed to " << reply.body.left(40).toStdString();
    } catch (const HttpError& e) {
        EXPECT_EQ(e.kind(), HttpError::Kind::Redirect);
        EXPECT_EQ(e.status(), 302);
    }
}

TEST_F(BrowserLikeTest, PictureClientFollowsNoRedirect)
{
    HttpClient http;
    EXPECT_FALSE(http.isBrowserLike());
    try {
        http.get(redirector.url() + QStringLiteral("/hop/0"));
        ADD_FAILURE() << "the redirect was followed";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.kind(), HttpError::Kind::Status);
        EXPECT_EQ(e.status(), 302);
    }
    EXPECT_TRUE(requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty());
}

TEST_F(BrowserLikeTest, PageLoaderGoesThroughTheDesktopProxyUnlessTheHostIsExempt)
{
    // A proxy answers requests whose target is a whole address with a page of its own.
    LoopbackServer proxy{[](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body><p>proxy page</p></body></html>", "text/html; charset=utf-8");
    }};
    EnvironmentVariable httpProxy{"http_proxy", proxy.url().toUtf8()};

    PageLoader loader;
    const PageText viaProxy = load(loader, resultPage());
    EXPECT_FALSE(viaProxy.failedLoad());
    EXPECT_TRUE(viaProxy.text().contains(QStringLiteral("proxy page"))) << viaProxy.text().toStdString();
    EXPECT_EQ(proxy.targets(), QStringList{resultPage()});
    EXPECT_TRUE(requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty());

    // The proxy is read at each load: a host named in no_proxy is reached directly.
    {
        EnvironmentVariable exempt{"no_proxy", "localhost,127.0.0.1"};
        const PageText direct = load(loader, resultPage());
        EXPECT_FALSE(direct.failedLoad());
        EXPECT_EQ(rows(direct), 13);
        EXPECT_EQ(proxy.targets().size(), 1);
        EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx?word=test13")).size(), 1);
    }

    // The picture client never uses the proxy.
    server().clearLog();
    HttpClient http;
    const QByteArray body = http.get(resultPage()).body;
    EXPECT_FALSE(body.contains("proxy page"));
    EXPECT_EQ(proxy.targets().size(), 1);
    EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx?word=test13")).size(), 1);
}

} // namespace
