// From the search click to the last row of a result page stored and shown, against the
// stand-in server on loopback (thumbnails excluded: the keyword's pictures are cached, so
// nothing is downloaded while the page is read). Beside it, the reader alone over the
// page already in memory, and the database part alone (appending the rows), so the share
// of each can be read off.
#include "app/Uzjm.h"
#include "results/OfferRating.h"
#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/Requests.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Schema.h"
#include "store/SettingsRecord.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using namespace kova;

struct Environment {
    QTemporaryDir dir;
    QTemporaryDir serverDir;
    standin::StandInServer server;
    QString previousFolder = QDir::currentPath();

    Environment()
    {
        createDatabase(dir.path() + QStringLiteral("/kvdb.dat"));
        QDir(dir.path()).mkdir(QStringLiteral("tmp"));
        qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toUtf8());
        QDir::setCurrent(dir.path());
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
        setRequestHostsForTesting(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
        setMessageHook([](const Message&) { return true; });
    }
    ~Environment() { QDir::setCurrent(previousFolder); }
};

bool waitFor(const std::function<bool()>& done, int ms = 60000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void search(Tfrmkova& w, const QString& keyword)
{
    w.ui.StatusBar1->setPanelText(0, QString());
    w.ui.edt_key->setText(keyword);
    w.suiButton4Click();
    waitFor([&] { return w.ui.StatusBar1->panelText(0).startsWith(QStringLiteral("本次搜索结果有")); });
    w.ui.DBGridEh1->repaint();
}

// The longest the window's event loop went without a turn while `busy` held: what a click or
// a paint waited for at most.
class LoopProbe : public QObject {
public:
    explicit LoopProbe(std::function<bool()> busy) : m_busy(std::move(busy))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.elapsed();
            if (m_busy() && m_last >= 0)
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(2);
    }
    qint64 longestMs() const { return m_longest; }

private:
    std::function<bool()> m_busy;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_longest = 0;
};

void BM_SearchClickToRowsShown(benchmark::State& state)
{
    Environment env;
    Tfrmkova w;
    w.show();
    waitFor([&] { return !w.wbwebb.isLoading(); });
    const QString keyword = QStringLiteral("test%1").arg(state.range(0));
    search(w, keyword); // caches the keyword's pictures
    waitFor([&] {
        for (const auto& f : w.fetchers())
            if (!f->isFinished())
                return false;
        return true;
    });
    qint64 longest = 0;
    for (auto _ : state) {
        // From the page's arrival to the end of its reading.
        LoopProbe probe([&] { return w.readingPage(); });
        search(w, keyword);
        longest = std::max(longest, probe.longestMs());
    }
    state.counters["rows"] = w.ADOQuery2.recordCount();
    state.counters["longest_wait_ms"] = static_cast<double>(longest);
}
BENCHMARK(BM_SearchClickToRowsShown)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The reading alone: the page is in memory, the rows go to a fresh database.
void BM_ReadPageIntoDatabase(benchmark::State& state)
{
    Environment env;
    PageLoader loader;
    loader.Navigate(Requests().listAll(QStringLiteral("test%1").arg(state.range(0)), QStringLiteral("u"),
                                       QStringLiteral("p")));
    waitFor([&] { return !loader.isLoading(); });
    PageText page;
    loader.readDocumentInto(page);
    HttpClient http;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = env.dir.path() + QStringLiteral("/read%1.dat").arg(round++);
        createDatabase(path);
        Connection c(path);
        c.open();
        Dataset words(c), rows(c), pictures(c), xxb(c);
        words.setSql(QStringLiteral("select * from word"));
        rows.setSql(QStringLiteral("select * from cxnr order by jg"));
        pictures.setSql(QStringLiteral("select * from tpb where word='x'"));
        words.open();
        rows.open();
        pictures.open();
        SettingsRecord settings(xxb);
        settings.openOrCreate();
        ResultPageReader::Search search;
        search.word = QStringLiteral("x");
        search.wordHasPictures = true;
        ResultPageReader reader(
            {words, rows, pictures, settings}, search,
            [](qint64 count, const QString& merchant, const QString& name) {
                return OfferRatings{AuthenticityLabel(count, merchant, name),
                                    StarRating(count, merchant, name)};
            },
            [](int, const QString&) {});
        state.ResumeTiming();
        // As the window reads: steps of 16 ms, each one commit.
        reader.start(page);
        for (bool done = false; !done;)
            done = reader.readStep(c, QDeadlineTimer(16));
        benchmark::DoNotOptimize(reader.outcome().stored);
    }
}
BENCHMARK(BM_ReadPageIntoDatabase)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
