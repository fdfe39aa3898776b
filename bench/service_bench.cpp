// Result pages of 100, 1,000 and 10,000 rows over loopback: a plain libcurl GET (the
// floor), the loader's decode + parse + serialize alone, and the whole way through
// PageLoader into PageText with every line read, as the result reader does.
// `service_bench --page-memory=5000` instead prints the peak memory of that way for one
// page of 5,000 rows. The pages are
// the stand-in server's, built once here and served as they are, so the figures hold the
// client's work and not the making of the pages.
#include "server/Catalogue.h"
#include "server/Pages.h"
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/Gbk.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

QString resultPage(int rows)
{
    return kova::Requests().listAll(QStringLiteral("test%1").arg(rows), QStringLiteral("bench"),
                                    QStringLiteral("mivra"));
}

size_t collect(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

void BM_PlainCurlGet(benchmark::State& state)
{
    const std::string url = resultPage(static_cast<int>(state.range(0))).toStdString();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        body.clear();
        if (curl_easy_perform(curl.get()) != CURLE_OK)
            state.SkipWithError("GET failed");
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_HttpClientGet(benchmark::State& state)
{
    const QString url = resultPage(static_cast<int>(state.range(0)));
    kova::HttpClient http;
    for (auto _ : state)
        benchmark::DoNotOptimize(http.get(url).body.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SerializeDocument(benchmark::State& state)
{
    const kova::HttpReply reply = kova::HttpClient().get(resultPage(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        const kova::PageText text(kova::serializeDocument(reply.body, reply.contentType));
        benchmark::DoNotOptimize(text.count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PageLoaderToPageText(benchmark::State& state)
{
    const QString url = resultPage(static_cast<int>(state.range(0)));
    kova::PageLoader loader;
    QEventLoop loop;
    QObject::connect(&loader, &kova::PageLoader::DocumentComplete, &loop, &QEventLoop::quit);
    kova::PageText text;
    for (auto _ : state) {
        loader.Navigate(url);
        loop.exec();
        loader.readDocumentInto(text);
        qsizetype total = 0;
        for (int i = 0; i < text.count(); ++i)
            total += text.line(i).size();
        benchmark::DoNotOptimize(total);
        if (loader.lastLoadFailed())
            state.SkipWithError("load failed");
    }
    state.counters["lines"] = text.count();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_PlainCurlGet)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpClientGet)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SerializeDocument)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PageLoaderToPageText)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

// Serves the prepared result pages of "test<rows>" at /ListAll.aspx on a free loopback port.
class PageServer {
public:
    PageServer()
    {
        m_port = m_http.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("service_bench: cannot bind a loopback port");
        const QString url = QStringLiteral("http://127.0.0.1:%1").arg(m_port);
        for (int rows : {100, 1000, 10000}) {
            const QString word = QStringLiteral("test%1").arg(rows);
            const QByteArray page = kova::gbk::encode(
                kova::standin::pages::results(word, kova::standin::Catalogue::offers(word), {}, url));
            m_pages.emplace(word.toStdString(), page.toStdString());
        }
        m_http.Get("/ListAll.aspx", [this](const httplib::Request& req, httplib::Response& res) {
            const auto page = m_pages.find(req.get_param_value("word"));
            if (page == m_pages.end()) {
                res.status = 404;
                return;
            }
            res.set_content(page->second, "text/html; charset=gbk");
        });
        m_thread = std::thread([this] { m_http.listen_after_bind(); });
        while (!m_http.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~PageServer()
    {
        m_http.stop();
        m_thread.join();
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    httplib::Server m_http;
    std::map<std::string, std::string> m_pages;
    std::thread m_thread;
    int m_port = 0;
};

namespace {

// VmHWM or VmRSS of this process, kB.
long long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(line.find(':') + 1));
    }
    return -1;
}

// --page-memory=<rows>: the peak memory of one page's way from the reply's bytes to the
// window's text holder, as the program takes it (the worker's pageTextOf, the window's copy,
// every line read). The page is made first; then the peak is reset (clear_refs), so the
// figure is what the page path adds on top of what the process already held.
int pageMemory(int rows)
{
    const QString word = QStringLiteral("test%1").arg(rows);
    QByteArray body = kova::gbk::encode(kova::standin::pages::results(
        word, kova::standin::Catalogue::offers(word), {}, QStringLiteral("http://127.0.0.1:1")));
    ::malloc_trim(0);
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
    reset.close();
    if (!reset) {
        std::fprintf(stderr, "service_bench: cannot reset the peak (clear_refs)\n");
        return 1;
    }
    const long long before = statusKb("VmRSS:");
    const qsizetype bodyBytes = body.size();
    kova::PageText window;
    {
        const kova::PageText document = kova::pageTextOf(std::move(body), "text/html; charset=gbk");
        ::malloc_trim(0); // as the loader's worker does after a long page
        window = document;
    }
    qsizetype characters = 0;
    for (int i = 0; i < window.count(); ++i)
        characters += window.line(i).size();
    const long long peak = statusKb("VmHWM:");
    const long long after = statusKb("VmRSS:");
    std::printf("rows %d body %lld bytes, %d lines, %lld characters\n", rows,
                static_cast<long long>(bodyBytes), window.count(), static_cast<long long>(characters));
    std::printf("resident before %lld kB, peak %lld kB (+%lld kB), after %lld kB (+%lld kB)\n", before, peak,
                peak - before, after, after - before);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    kova::HttpClient::globalInit();
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--page-memory="))
            return pageMemory(arg.mid(14).toInt());
    }
    benchmark::Initialize(&argc, argv);

    PageServer server;
    kova::setRequestHostsForTesting(server.url(), server.url(), server.url());

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kova::setRequestHostsForTesting({}, {}, {});
    return 0;
}
