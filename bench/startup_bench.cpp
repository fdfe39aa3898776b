// Start-up of the main window on a first run (a fresh kvdb.dat: no settings record, no
// account, no affiliate ids), against the stand-in server on loopback.
//   BM_MainWindowToShown             constructing Tfrmkova through show() until the window
//                                    is shown (its show step has run and it is exposed)
//   BM_MainWindowToFirstRunAnswered  the same, on until the first-run pages (the account
//                                    reply and the version page) have been answered and read
//   BM_ProcessExecToShown            the whole program: from starting bin/kova in a scratch
//                                    folder until the first request its show step sends (the
//                                    account or the version page) has been handled by the
//                                    stand-in server, which listens on the ports the build
//                                    points at; counter both_ms: until both have been handled,
//                                    shown_ms: until its first paint was flushed (the
//                                    program marks it when KOVA_SHOWN_FILE is set),
//                                    cpu_ms: the CPU time the program's threads had used when
//                                    the first request was seen (from /proc, nanoseconds)
//                                    KOVA_STARTUP_PROGRAM=path runs another build of bin/kova
//                                    (with kova.sui beside it), to compare two builds in turns
// Every iteration starts from a fresh database and an empty application style sheet, so
// each pays what a first start pays. In process, one untimed start comes first: libraries,
// plugins and fonts are warm, which is what the whole-program figure is beside it for.
#include "app/Uzjm.h"
#include "favorites/Usc.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/Requests.h"
#include "store/Schema.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

using namespace kova;

bool waitFor(const std::function<bool()>& done, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    return done();
}

// A fresh working folder with an empty kvdb.dat and a picture cache folder under it.
struct FirstRunFolder {
    QTemporaryDir dir;
    QString tmp = dir.path() + QStringLiteral("/tmp");
    FirstRunFolder()
    {
        createDatabase(dir.path() + QStringLiteral("/kvdb.dat"));
        QDir(dir.path()).mkdir(QStringLiteral("tmp"));
    }
};

bool windowShown(const Tfrmkova& w)
{
    return w.shown() && w.windowHandle() != nullptr && w.windowHandle()->isExposed();
}

bool firstRunAnswered(Tfrmkova& w)
{
    return !w.wbwebb.isLoading() && (frmsc.isNull() || frmsc->isFinished()) && !w.state().UserId.isEmpty() &&
           !w.state().TaobaoPid.isEmpty();
}

// answered: also wait (timed) for the first-run pages.
void mainWindowStartUp(benchmark::State& state, bool answered)
{
    QTemporaryDir serverDir;
    standin::StandInServer server;
    standin::ServerOptions options;
    options.dataDir = serverDir.path();
    server.start(options);
    setRequestHostsForTesting(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
    int messages = 0;
    setMessageHook([&messages](const Message&) {
        ++messages;
        return true;
    });
    const QString previousFolder = QDir::currentPath();
    int notAnswered = 0;

    // One start-up of a fresh window; `timed` wraps what is measured.
    auto startOnce = [&](const std::function<void(bool)>& timed) {
        auto folder = std::make_unique<FirstRunFolder>();
        QDir::setCurrent(folder->dir.path());
        qputenv("TMPDIR", folder->tmp.toUtf8());
        qApp->setStyleSheet(QString());
        QCoreApplication::processEvents();
        std::unique_ptr<Tfrmkova> w;
        timed(true);
        w = std::make_unique<Tfrmkova>();
        w->show();
        if (!waitFor([&] { return windowShown(*w); }))
            state.SkipWithError("the window was not shown");
        if (answered && !waitFor([&] { return firstRunAnswered(*w); }))
            ++notAnswered;
        timed(false);
        // Not timed: the first-run pages finish before the window goes.
        waitFor([&] { return firstRunAnswered(*w); });
        w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QDir::setCurrent(previousFolder);
    };
    // The first window of a process loads fonts, plugins and the style: not timed here.
    startOnce([](bool) {});
    for (auto _ : state) {
        state.PauseTiming();
        startOnce([&](bool start) {
            if (start)
                state.ResumeTiming();
            else
                state.PauseTiming();
        });
        state.ResumeTiming();
    }
    if (notAnswered > 0)
        state.SkipWithError("the first-run pages were not answered");
    if (messages > 0)
        state.SkipWithError("the window showed a message (skin file beside the benchmark missing?)");
    setMessageHook({});
    setRequestHostsForTesting({}, {}, {});
    qunsetenv("TMPDIR");
}

void BM_MainWindowToShown(benchmark::State& state)
{
    mainWindowStartUp(state, false);
}
BENCHMARK(BM_MainWindowToShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_MainWindowToFirstRunAnswered(benchmark::State& state)
{
    mainWindowStartUp(state, true);
}
BENCHMARK(BM_MainWindowToFirstRunAnswered)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int portOf(const QString& url)
{
    return QUrl(url).port();
}

bool portFree(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const int on = 1; // a connection in TIME_WAIT does not make the port busy; a listener does
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return free;
}

bool logHas(const standin::StandInServer& server, const QString& part)
{
    return !server.log().filter(part).isEmpty();
}

// The CPU time the running threads of process `pid` have used, in milliseconds (the first
// field of each thread's schedstat is its run time in nanoseconds).
double processCpuMs(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    double ns = 0;
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& tid : threads) {
        QFile stat(tasks + QLatin1Char('/') + tid + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

QString programUnderTest()
{
    const QString other = qEnvironmentVariable("KOVA_STARTUP_PROGRAM");
    return other.isEmpty() ? QStringLiteral(KOVA_PROGRAM) : other;
}

void BM_ProcessExecToShown(benchmark::State& state)
{
    // The program talks to the hosts of its build, so the stand-in server listens there.
    const Requests hosts;
    const int ports[] = {portOf(hosts.serviceUrl()), portOf(hosts.versionUrl()),
                         portOf(hosts.directoryUrl())};
    for (int port : ports) {
        if (port <= 0 || !portFree(port)) {
            state.SkipWithError("a port the build points at is in use (another stand-in server?)");
            return;
        }
    }
    QTemporaryDir serverDir;
    standin::StandInServer server;
    standin::ServerOptions options;
    options.dataDir = serverDir.path();
    options.servicePort = ports[0];
    options.versionPort = ports[1];
    options.directoryPort = ports[2];
    server.start(options);

    const QString accountRequest = QUrl(hosts.randomUser()).path();
    const QString versionRequest = QStringLiteral("/Ver/");
    double bothMs = 0;
    double cpuMs = 0;
    double shownMs = 0;
    int missed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<FirstRunFolder>();
        auto process = std::make_unique<QProcess>();
        QProcess& program = *process;
        program.setProgram(programUnderTest());
        program.setWorkingDirectory(folder->dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), folder->tmp);
        const QString shownFile = folder->dir.path() + QStringLiteral("/shown");
        env.insert(QStringLiteral("KOVA_SHOWN_FILE"), shownFile);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setStandardOutputFile(QProcess::nullDevice());
        server.clearLog();
        QElapsedTimer clock;
        state.ResumeTiming();

        clock.start();
        program.start();
        if (!waitFor([&] {
                return logHas(server, accountRequest) || logHas(server, versionRequest) ||
                       program.state() == QProcess::NotRunning;
            }) ||
            program.state() == QProcess::NotRunning)
            ++missed;

        state.PauseTiming();
        cpuMs += processCpuMs(program.processId());
        // The first paint and both first-run requests, each noted when first seen (the
        // loop looks every two milliseconds).
        double shownAt = -1;
        double bothAt = -1;
        waitFor([&] {
            const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            if (shownAt < 0 && QFile::exists(shownFile))
                shownAt = now;
            if (bothAt < 0 && logHas(server, accountRequest) && logHas(server, versionRequest))
                bothAt = now;
            return (shownAt >= 0 && bothAt >= 0) || program.state() == QProcess::NotRunning;
        });
        if (shownAt < 0 || bothAt < 0)
            ++missed;
        shownMs += shownAt;
        bothMs += bothAt;
        program.kill();
        program.waitForFinished(10000);
        process.reset();
        folder.reset();
        state.ResumeTiming();
    }
    state.counters["both_ms"] = benchmark::Counter(bothMs, benchmark::Counter::kAvgIterations);
    state.counters["shown_ms"] = benchmark::Counter(shownMs, benchmark::Counter::kAvgIterations);
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
    if (missed > 0)
        state.SkipWithError("the program did not send its first-run requests or paint (did it start?)");
}
BENCHMARK(BM_ProcessExecToShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace
