// What the price history costs: reading a result page with the history on and off (the
// page in memory, the rows into a fresh kvdb.dat, the sightings written as the event loop
// would write them), and the verdict of a price cell's tool tip over a year of days.
#include "results/OfferRating.h"
#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/PriceHistory.h"
#include "store/PriceVerdict.h"
#include "store/Schema.h"
#include "store/SettingsRecord.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace kova;

PageText resultPage(int rows)
{
    QTemporaryDir serverDir;
    standin::StandInServer server;
    standin::ServerOptions options;
    options.dataDir = serverDir.path();
    server.start(options);
    setRequestHostsForTesting(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
    PageLoader loader;
    loader.Navigate(
        Requests().listAll(QStringLiteral("test%1").arg(rows), QStringLiteral("u"), QStringLiteral("p")));
    QDeadlineTimer deadline(60000);
    while (loader.isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    PageText page;
    loader.readDocumentInto(page);
    return page;
}

// With the history: one upsert a row, all in one transaction after the reading.
// The objects of one reading: a fresh kvdb.dat with its cursors, made and closed outside the
// timed part (closing checkpoints the WAL, which is no part of reading).
struct Reading {
    Connection connection;
    PriceHistory history{connection};
    Dataset words{connection}, rows{connection}, pictures{connection}, xxb{connection};
    SettingsRecord settings{xxb};

    explicit Reading(const QString& path) : connection(path)
    {
        createDatabase(path);
        connection.open();
        history.open();
        words.setSql(QStringLiteral("select * from word"));
        rows.setSql(QStringLiteral("select * from cxnr order by jg"));
        pictures.setSql(QStringLiteral("select * from tpb where word='x'"));
        words.open();
        rows.open();
        pictures.open();
        settings.openOrCreate();
    }
};

// With the history: one upsert a row, all in one transaction after the reading.
void readPage(benchmark::State& state, bool withHistory)
{
    const PageText page = resultPage(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto reading = std::make_unique<Reading>(dir.path() + QStringLiteral("/read%1.dat").arg(round++));
        ResultPageReader::Search search;
        search.word = QStringLiteral("x");
        search.wordHasPictures = true;
        search.history = withHistory ? &reading->history : nullptr;
        ResultPageReader reader(
            {reading->words, reading->rows, reading->pictures, reading->settings}, search,
            [](qint64 count, const QString& merchant, const QString& name) {
                return OfferRatings{AuthenticityLabel(count, merchant, name),
                                    StarRating(count, merchant, name)};
            },
            [](int, const QString&) {});
        state.ResumeTiming();
        const auto outcome = reader.read(page);
        reading->history.flush();
        benchmark::DoNotOptimize(outcome.stored);
        state.PauseTiming();
        if (withHistory && reading->history.pending() != 0)
            state.SkipWithError("sightings left unwritten");
        reading.reset();
        state.ResumeTiming();
    }
}

void BM_ReadPageHistoryOff(benchmark::State& state)
{
    readPage(state, false);
}
void BM_ReadPageHistoryOn(benchmark::State& state)
{
    readPage(state, true);
}
BENCHMARK(BM_ReadPageHistoryOff)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);
BENCHMARK(BM_ReadPageHistoryOn)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);

// The history's part alone: 1,000 sightings taken and written.
void BM_Write1000Sightings(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    createDatabase(path);
    Connection c(path);
    c.open();
    PriceHistory history(c);
    history.open();
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < 1000; ++i)
            history.sight(QStringLiteral("%1%2").arg(round).arg(i, 5, 10, QLatin1Char('0')),
                          QStringLiteral("1299.50"), QStringLiteral("京东商城"),
                          QStringLiteral("惠普 LaserJet 激光打印机 旗舰店正品 全国联保"));
        history.flush();
    }
}
BENCHMARK(BM_Write1000Sightings)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tool tip of one price cell: the product's days read from a table holding a year of
// 300 products, the verdict and the lowest and highest prices.
void BM_PriceToolTip365Days(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kvdb.dat");
    createDatabase(path);
    Connection c(path);
    c.open();
    const QDate today = QDate::currentDate();
    c.execute(QStringLiteral("BEGIN"));
    for (int p = 0; p < 300; ++p) {
        for (int d = 0; d < 365; ++d) {
            const qint64 last = 5000 + (p * 131 + d * 37) % 1500;
            c.execute(QStringLiteral("insert into price_history values (?, ?, ?, ?, ?, 1, '淘宝网', '商品')"),
                      {QStringLiteral("P%1").arg(p), today.addDays(-d).toString(QStringLiteral("yyyy-MM-dd")),
                       last - 50, last + 50, last});
        }
    }
    c.execute(QStringLiteral("COMMIT"));
    PriceHistory history(c);
    history.open();
    int i = 0;
    for (auto _ : state) {
        const QString cph = QStringLiteral("P%1").arg(i++ % 300);
        const QString tip = PriceToolTip(5600, history.days(cph), today);
        benchmark::DoNotOptimize(tip.size());
    }
}
BENCHMARK(BM_PriceToolTip365Days)->Unit(benchmark::kMicrosecond);

} // namespace
