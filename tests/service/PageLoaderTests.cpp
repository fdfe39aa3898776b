#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "store/Gbk.h"
#include "tests/service/StandInFixture.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QThread>

using kova::PageLoader;
using kova::PageText;
using kova::Requests;
using kova::standin::Fault;
using kova::test::waitUntil;

namespace {

class PageLoaderTest : public kova::test::StandInTest {
protected:
    // Navigates and waits for the completion; returns how many completions came.
    static int load(PageLoader& loader, const QString& url, int timeoutMs = 5000)
    {
        int completions = 0;
        const auto connection = QObject::connect(&loader, &PageLoader::DocumentComplete, &loader,
                                                 [&completions] { ++completions; });
        loader.Navigate(url);
        waitUntil([&] { return completions > 0; }, timeoutMs);
        QObject::disconnect(connection);
        return completions;
    }

    static void expectNoRows(const PageText& text)
    {
        for (int i = 0; i < text.count(); ++i) {
            EXPECT_FALSE(text.line(i).contains(QStringLiteral("<TR>"))) << text.line(i).toStdString();
            EXPECT_FALSE(text.line(i).contains(QStringLiteral("<TD>"))) << text.line(i).toStdString();
        }
    }
};

// The lines a reader must find for the stand-in's result page, derived from the page as
// sent: the head on one line, then the body, the table start, and the row and cell lines
// exactly as the server wrote them (character references other than &quot; kept).
QStringList expectedResultLines(const QByteArray& served, const QString& word)
{
    QStringList sent = kova::gbk::decode(served).split(QStringLiteral("\r\n"));
    QStringList lines{
        QStringLiteral("<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                       "<TITLE>比价结果 - ") +
            word + QStringLiteral("</TITLE></HEAD>"),
        QStringLiteral("<BODY>"), QStringLiteral("<TABLE border=\"1\" cellspacing=\"0\">")};
    bool firstRow = true;
    for (const QString& line : sent) {
        if (line == QStringLiteral("<TR>")) {
            lines.append(firstRow ? QStringLiteral("<TBODY><TR>") : line);
            firstRow = false;
        } else if (line.startsWith(QStringLiteral("<TD>"))) {
            lines.append(QString(line).replace(QStringLiteral("&quot;"), QStringLiteral("\"")));
        }
    }
    lines << QStringLiteral("</TBODY></TABLE>") << QString() << QStringLiteral("</BODY></HTML>");
    return lines;
}

} // namespace

TEST_F(PageLoaderTest, ResultPageArrivesAsTheLinesTheReaderExpects)
{
    const QString url =
        Requests().listAll(QStringLiteral("test13"), QStringLiteral("u1"), QStringLiteral("p1"));
    const QByteArray served = kova::HttpClient().get(url).body;

    PageLoader loader;
    ASSERT_EQ(load(loader, url), 1);
    EXPECT_FALSE(loader.isLoading());
    EXPECT_FALSE(loader.lastLoadFailed());
    PageText text;
    loader.readDocumentInto(text);
    EXPECT_FALSE(text.failedLoad());

    const QStringList expected = expectedResultLines(served, QStringLiteral("test13"));
    ASSERT_EQ(expected.size(), 3 + 13 * 14 + 3); // the server's page really has 13 rows
    ASSERT_EQ(text.count(), expected.size()) << text.text().toStdString();
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(text.line(i), expected.at(i)) << "line " << i;
}

TEST_F(PageLoaderTest, AccountReplyAndEncodedKeywordReachTheServer)
{
    PageLoader loader;
    ASSERT_EQ(load(loader, Requests().randomUser()), 1);
    PageText text;
    loader.readDocumentInto(text);
    ASSERT_TRUE(text.line(1).startsWith(QStringLiteral("<BODY>")));
    EXPECT_FALSE(text.line(1).mid(6).trimmed().isEmpty());
    EXPECT_EQ(requestsFor(QStringLiteral("/RandomUser.aspx")).size(), 1);

    // "&", "#", blanks and Chinese survive the trip: the server reads the keyword back.
    const QString word = QStringLiteral("BB霜 & #1");
    ASSERT_EQ(load(loader, Requests().listAll(word, QStringLiteral("u1"), QStringLiteral("p1"))), 1);
    loader.readDocumentInto(text);
    EXPECT_TRUE(text.line(0).contains(QStringLiteral("<TITLE>比价结果 - BB霜 &amp; #1</TITLE>")))
        << text.line(0).toStdString();
    EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx?word=BB%CB%AA%20%26%20%231&u=u1&p=p1")).size(), 1);
    // The loader keeps its cookies from one navigation to the next.
    EXPECT_TRUE(server().log().last().contains(QStringLiteral("cookie=ASP.NET_SessionId=")));
}

TEST_F(PageLoaderTest, UnreachableServerCompletesWithAnErrorPage)
{
    PageLoader loader;
    const QString url = closedPortUrl() + QStringLiteral("/ListAll.aspx?word=x&u=secretid&p=mivra");
    ASSERT_EQ(load(loader, url), 1);
    EXPECT_TRUE(loader.lastLoadFailed());
    PageText text(QStringLiteral("old"));
    loader.readDocumentInto(text);
    EXPECT_TRUE(text.failedLoad());
    EXPECT_TRUE(text.line(0).contains(QStringLiteral("<TITLE>无法显示网页</TITLE>")));
    expectNoRows(text);
    EXPECT_FALSE(text.text().contains(QStringLiteral("secretid")));
    EXPECT_FALSE(text.text().contains(QStringLiteral("127.0.0.1")));

    // A later good load clears the mark.
    ASSERT_EQ(load(loader, Requests().contactPage()), 1);
    loader.readDocumentInto(text);
    EXPECT_FALSE(text.failedLoad());
}

TEST_F(PageLoaderTest, SilentServerCompletesWithinTheStallTimeOut)
{
    server().setFault(Fault::Stall);
    PageLoader loader;
    loader.setStallTimeout(std::chrono::milliseconds(1000));
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test20"), {}, {})), 1);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(loader.lastLoadFailed());
    PageText text;
    loader.readDocumentInto(text);
    expectNoRows(text);
}

TEST_F(PageLoaderTest, BadRepliesCompleteWithAnErrorPage)
{
    PageLoader loader;
    PageText text;
    server().setFault(Fault::ErrorStatus);
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test5"), {}, {})), 1);
    EXPECT_TRUE(loader.lastLoadFailed());
    loader.readDocumentInto(text);
    EXPECT_TRUE(text.text().contains(QStringLiteral("500")));
    expectNoRows(text);

    server().setFault(Fault::HugePage);
    loader.setMaxBodyBytes(1024 * 1024);
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test5"), {}, {})), 1);
    EXPECT_TRUE(loader.lastLoadFailed());

    server().setFault(Fault::None);
    ASSERT_EQ(load(loader, Requests().versionPage(QStringLiteral("10")), 5000), 1);
    EXPECT_FALSE(loader.lastLoadFailed());
}

TEST_F(PageLoaderTest, DeclaredUtf8AndBrokenGbkStillGiveTheRows)
{
    PageLoader loader;
    PageText text;
    server().setFault(Fault::Utf8Declared);
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("BB霜"), {}, {})), 1);
    loader.readDocumentInto(text);
    EXPECT_TRUE(text.line(0).contains(QStringLiteral("比价结果 - BB霜"))) << text.line(0).toStdString();

    server().setFault(Fault::InvalidGbk);
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test3"), {}, {})), 1);
    loader.readDocumentInto(text);
    EXPECT_FALSE(loader.lastLoadFailed());
    EXPECT_EQ(text.text().count(QStringLiteral("<TR>")), 3);
    EXPECT_EQ(text.text().count(QStringLiteral("</TD>")), 39);
}

TEST_F(PageLoaderTest, NewerNavigationSupersedesOneStillLoading)
{
    PageLoader loader;
    loader.setStallTimeout(std::chrono::milliseconds(1000));
    int completions = 0;
    QObject::connect(&loader, &PageLoader::DocumentComplete, &loader, [&] { ++completions; });

    // The first page would stall; the second answers at once.
    server().setFault(Fault::Stall, QStringLiteral("/ListAll.aspx"));
    loader.Navigate(Requests().listAll(QStringLiteral("test40"), {}, {}));
    ASSERT_TRUE(waitUntil([] { return !requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty(); }));
    loader.Navigate(Requests().randomUser());
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    waitUntil([] { return false; }, 1500); // longer than the first load's stall time-out
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(loader.lastLoadFailed());
    EXPECT_TRUE(loader.documentText().contains(QStringLiteral("<TITLE>RandomUser</TITLE>")));

    // Two quick navigations without faults: only the second page is delivered.
    server().setFault(Fault::None);
    completions = 0;
    loader.Navigate(Requests().listAll(QStringLiteral("test1000"), {}, {}));
    loader.Navigate(Requests().listAll(QStringLiteral("test1"), {}, {}));
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(loader.documentText().count(QStringLiteral("<TR>")), 1);
}

TEST_F(PageLoaderTest, DestroyingALoaderWhileItLoadsNeitherCrashesNorHangs)
{
    server().setFault(Fault::Stall);
    bool completed = false;
    QElapsedTimer clock;
    {
        PageLoader loader; // default time-outs: the stall would last 20 s
        QObject::connect(&loader, &PageLoader::DocumentComplete, [&] { completed = true; });
        loader.Navigate(Requests().listAll(QStringLiteral("test20"), {}, {}));
        ASSERT_TRUE(waitUntil([] { return !requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty(); }));
        clock.start();
    }
    EXPECT_LT(clock.elapsed(), 1000);

    // A load that finishes while its loader is destroyed: the queued completion is dropped.
    server().setFault(Fault::None);
    {
        auto loader = std::make_unique<PageLoader>();
        QObject::connect(loader.get(), &PageLoader::DocumentComplete, [&] { completed = true; });
        loader->Navigate(Requests().randomUser());
        // Wait without running the event loop, so the completion stays queued.
        for (int i = 0; i < 1000 && requestsFor(QStringLiteral("/RandomUser.aspx")).isEmpty(); ++i)
            QThread::msleep(2);
        QThread::msleep(50);
    }
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(completed);
}

TEST(PageLoader, HasNoDocumentBeforeTheFirstLoad)
{
    PageLoader loader;
    PageText text(QStringLiteral("kept"));
    loader.readDocumentInto(text);
    EXPECT_FALSE(loader.hasDocument());
    EXPECT_EQ(text.line(0), QStringLiteral("kept"));
}
