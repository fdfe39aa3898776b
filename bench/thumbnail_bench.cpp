// The thumbnail fetcher over loopback: 100 and 1,000 pictures of the stand-in server into an
// empty picture cache, with one connection (as the fetcher had before) and with two, four
// and six. The server keeps its drawn pictures as files after a first untimed run, so the
// figures hold the fetching, not the drawing.
#include "search/TGetMM.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "store/PictureCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

kova::standin::StandInServer* server = nullptr;

std::vector<kova::PictureItem> pictures(int count)
{
    std::vector<kova::PictureItem> items;
    for (int i = 0; i < count; ++i) {
        const QString cph = QStringLiteral("9900000%1").arg(i, 5, 10, QLatin1Char('0'));
        items.push_back(
            {cph, server->directoryUrl() + QStringLiteral("/pic/") + cph + QStringLiteral(".jpg")});
    }
    return items;
}

// One whole run of a fetcher; false when a picture did not arrive.
bool fetchAll(int count, int connections)
{
    QTemporaryDir dir;
    const QString tempDir = dir.path() + QLatin1Char('/');
    kova::PictureCache(tempDir).ensureFolder();
    kova::TGetMM fetcher(pictures(count), tempDir);
    fetcher.setConnections(connections);
    fetcher.start();
    fetcher.wait();
    QCoreApplication::processEvents(); // the fetcher's queued notices
    return fetcher.downloadedCount() == count;
}

void BM_FetchThumbnails(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const int connections = static_cast<int>(state.range(1));
    if (!fetchAll(count, connections)) { // draws the pictures the server keeps
        state.SkipWithError("a picture did not arrive");
        return;
    }
    for (auto _ : state) {
        if (!fetchAll(count, connections)) {
            state.SkipWithError("a picture did not arrive");
            return;
        }
    }
    state.counters["pictures/s"] = benchmark::Counter(
        static_cast<double>(count) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_FetchThumbnails)
    ->ArgsProduct({{100, 1000}, {1, 2, 4, 6}})
    ->ArgNames({"pictures", "connections"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    kova::HttpClient::globalInit();
    // The stand-in draws the pictures' text.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir data;
    kova::standin::StandInServer standIn;
    kova::standin::ServerOptions options;
    options.dataDir = data.path();
    standIn.start(options);
    server = &standIn;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server = nullptr;
    return 0;
}
