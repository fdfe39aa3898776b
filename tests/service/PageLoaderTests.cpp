#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "store/Gbk.h"
#include "tests/service/StandInFixture.h"
#include "tests/support/TestSupport.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

using kova::PageLoader;
using kova::PageText;
using kova::Requests;
using kova::standin::Fault;
using kova::test::settle;
using kova::test::waitUntil;

namespace {

class PageLoaderTest : public kova::test::StandInTest {
protected:
    // Navigates and waits for the completion; returns how many completions came.
    static int load(PageLoader& loader, const QString& url, int timeoutMs = 20000)
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

    // Every document the loader completed with, in order.
    static std::shared_ptr<QStringList> recordCompletions(PageLoader& loader)
    {
        auto documents = std::make_shared<QStringList>();
        QObject::connect(&loader, &PageLoader::DocumentComplete, &loader,
                         [&loader, documents] { documents->append(loader.documentText()); });
        return documents;
    }
};

// The event dispatcher of a thread that never runs an event loop: it counts the events
// posted to the thread (Qt wakes the dispatcher for each) and delivers none of them.
class PostedEventCounter : public QAbstractEventDispatcher {
public:
    int posted() const
    {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }
    // Waits until more than `seen` events have been posted; false when none came in time.
    bool waitForMoreThan(int seen, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_for(lock, timeout, [&] { return m_posted > seen; });
    }

    bool processEvents(QEventLoop::ProcessEventsFlags) override { return false; }
    void registerSocketNotifier(QSocketNotifier*) override {}
    void unregisterSocketNotifier(QSocketNotifier*) override {}
    void registerTimer(int, qint64, Qt::TimerType, QObject*) override {}
    bool unregisterTimer(int) override { return true; }
    bool unregisterTimers(QObject*) override { return true; }
    QList<TimerInfo> registeredTimers(QObject*) const override { return {}; }
    int remainingTime(int) override { return -1; }
    void wakeUp() override
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_posted;
        }
        m_wake.notify_all();
    }
    void interrupt() override {}

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_posted = 0;
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

TEST_F(PageLoaderTest, SilentServerIsCutOffByTheStallTimeOut)
{
    // The server holds the reply for a minute; the loader gives up after a second. Only
    // the time-out ends the load with the "no answer" page: a transfer that ran until the
    // server let go would end as a broken connection instead.
    server().setFault(Fault::Stall);
    PageLoader loader;
    loader.setStallTimeout(std::chrono::milliseconds(1000));
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test20"), {}, {}), 90000), 1);
    EXPECT_EQ(requestsFor(QStringLiteral("/ListAll.aspx")).size(), 1);
    EXPECT_TRUE(loader.lastLoadFailed());
    EXPECT_TRUE(loader.documentText().contains(QStringLiteral("服务器长时间没有响应")))
        << loader.documentText().toStdString();
    PageText text;
    loader.readDocumentInto(text);
    expectNoRows(text);
}

TEST_F(PageLoaderTest, TricklingPageCompletesAsAFailedLoad)
{
    const kova::test::LowSpeedTime bound(std::chrono::seconds(1));
    server().setFault(Fault::Trickle);
    PageLoader loader;
    loader.setStallTimeout(std::chrono::hours(1));
    ASSERT_EQ(load(loader, Requests().listAll(QStringLiteral("test20"), {}, {}), 15000), 1);
    EXPECT_TRUE(loader.lastLoadFailed());
    EXPECT_TRUE(loader.documentText().contains(QStringLiteral("服务器发送数据太慢")))
        << loader.documentText().toStdString();
    PageText text;
    loader.readDocumentInto(text);
    expectNoRows(text);
}

// 200,000 rows (84 MB of GBK) pass the loader's limit and arrive as the lines of the page as
// sent, though the page is parsed a slice of rows at a time.
TEST_F(PageLoaderTest, TwoHundredThousandRowsArriveAsTheLinesOfThePage)
{
    const QString url = Requests().listAll(QStringLiteral("test200000"), {}, {});
    kova::HttpClient client;
    client.setMaxBodyBytes(PageLoader::DefaultMaxBodyBytes);
    const QByteArray served = client.get(url).body;
    ASSERT_GT(served.size(), kova::DocumentWholeMaxBytes);

    PageLoader loader;
    ASSERT_EQ(load(loader, url, 100000), 1);
    ASSERT_FALSE(loader.lastLoadFailed()) << loader.documentText().left(500).toStdString();
    PageText text;
    loader.readDocumentInto(text);
    const QStringList expected = expectedResultLines(served, QStringLiteral("test200000"));
    ASSERT_EQ(expected.size(), 3 + 200000 * 14 + 3);
    ASSERT_EQ(text.count(), expected.size());
    int differing = 0;
    for (int i = 0; i < expected.size(); ++i) {
        if (text.line(i) != expected.at(i) && ++differing <= 3)
            ADD_FAILURE() << "line " << i << ": " << text.line(i).toStdString();
    }
    EXPECT_EQ(differing, 0);
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
    ASSERT_EQ(load(loader, Requests().versionPage(QStringLiteral("10"))), 1);
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
    const auto documents = recordCompletions(loader);

    // The first page would stall; the second answers at once.
    server().setFault(Fault::Stall, QStringLiteral("/ListAll.aspx"));
    loader.Navigate(Requests().listAll(QStringLiteral("test40"), {}, {}));
    ASSERT_TRUE(waitUntil([] { return !requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty(); }));
    loader.Navigate(Requests().randomUser());
    ASSERT_TRUE(waitUntil([&] { return !documents->isEmpty(); }, 20000));
    // Had the stalled load not been superseded, its stall time-out (1 s) would end it with a
    // second, failed completion inside this window.
    settle(1500);
    ASSERT_EQ(documents->size(), 1);
    EXPECT_TRUE(documents->at(0).contains(QStringLiteral("<TITLE>RandomUser</TITLE>")));
    EXPECT_FALSE(loader.lastLoadFailed());

    // Two quick navigations without faults: only the second page is delivered. A third load
    // afterwards is the fence: a reply to the first navigation would come before it.
    server().setFault(Fault::None);
    documents->clear();
    loader.Navigate(Requests().listAll(QStringLiteral("test1000"), {}, {}));
    loader.Navigate(Requests().listAll(QStringLiteral("test1"), {}, {}));
    ASSERT_TRUE(waitUntil([&] { return !documents->isEmpty(); }, 20000));
    loader.Navigate(Requests().randomUser());
    ASSERT_TRUE(waitUntil([&] { return documents->size() >= 2; }, 20000));
    ASSERT_EQ(documents->size(), 2);
    EXPECT_EQ(documents->at(0).count(QStringLiteral("<TR>")), 1);
    EXPECT_TRUE(documents->at(1).contains(QStringLiteral("<TITLE>RandomUser</TITLE>")));
}

TEST_F(PageLoaderTest, DestroyingALoaderWhileItStallsCancelsTheTransfer)
{
    // The server holds the reply for a minute and the loader's own stall time-out is an hour:
    // only the destructor's cancel can end the transfer while the server still holds it. The
    // loader lives on a thread of its own so that the test can see whether its destructor
    // returned.
    server().setFault(Fault::Stall);
    bool completed = false;
    bool requestSeen = false;
    std::unique_ptr<QThread> owner(QThread::create([&] {
        PageLoader loader;
        loader.setStallTimeout(std::chrono::hours(1));
        QObject::connect(&loader, &PageLoader::DocumentComplete, [&] { completed = true; });
        loader.Navigate(Requests().listAll(QStringLiteral("test20"), {}, {}));
        requestSeen =
            waitUntil([] { return !requestsFor(QStringLiteral("/ListAll.aspx")).isEmpty(); }, 20000);
    }));
    owner->start();
    // Well inside the server's minute of silence.
    const bool returned = owner->wait(QDeadlineTimer(30000));
    if (!returned)
        owner->wait(); // until the server lets go, so the thread's results can be read
    EXPECT_TRUE(returned) << "the destructor waited for the stalled transfer to end by itself";
    EXPECT_TRUE(requestSeen);
    EXPECT_FALSE(completed);
}

TEST_F(PageLoaderTest, CompletionQueuedWhenTheLoaderIsDestroyedIsDropped)
{
    // The loader lives on a thread whose dispatcher never delivers an event, so its
    // completion stays queued; the dispatcher tells when it was posted. The loader is
    // destroyed only after that, with the completion still in the queue.
    auto* counter = new PostedEventCounter; // owned by the thread
    bool completed = false;
    bool posted = false;
    std::unique_ptr<QThread> owner(QThread::create([&] {
        PageLoader loader;
        QObject::connect(&loader, &PageLoader::DocumentComplete, [&] { completed = true; });
        const int before = counter->posted();
        loader.Navigate(Requests().randomUser());
        posted = counter->waitForMoreThan(before, std::chrono::seconds(20));
    }));
    owner->setEventDispatcher(counter);
    owner->start();
    owner->wait(); // the thread gives up on its own when nothing is posted
    EXPECT_EQ(requestsFor(QStringLiteral("/RandomUser.aspx")).size(), 1);
    EXPECT_TRUE(posted) << "the completion was never queued: the path under test did not run";
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
