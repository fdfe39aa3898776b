// kova-standin: the stand-in for the comparison service, the version-page host and the
// stores' hosts, for running Kova on one machine. Runs until SIGINT or SIGTERM.
#include "server/StandInServer.h"

#include <QGuiApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <pthread.h>

using namespace Qt::Literals::StringLiterals;

namespace {

void usage()
{
    std::fputs(
        "usage: kova-standin [--data DIR] [--service-port N] [--version-port N] [--directory-port N]\n"
        "                    [--fault NAME] [--drop-prices] [--price-day N]\n"
        "faults: None DropMidBody Stall ErrorStatus TruncatedJpeg HtmlAsPicture InvalidGbk Utf8Declared "
        "HugePage Trickle\n",
        stderr);
}

bool parsePort(const QString& text, int& port)
{
    bool ok = false;
    port = text.toInt(&ok);
    return ok && port >= 0 && port <= 65535;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The listener threads inherit this mask, so the signals reach sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QGuiApplication app(argc, argv);
    kova::standin::ServerOptions options;
    options.dataDir = u"standin-data"_s;
    options.servicePort = 8936;
    options.versionPort = 8937;
    options.directoryPort = 8938;
    options.echoLog = true;
    kova::standin::Fault fault = kova::standin::Fault::None;

    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--drop-prices") {
            options.dropPrices = true;
        } else if (arg == u"--price-day" && hasValue) {
            options.priceDay = args.at(++i).toInt();
        } else if (arg == u"--data" && hasValue) {
            options.dataDir = args.at(++i);
        } else if (arg == u"--service-port" && hasValue && parsePort(args.at(i + 1), options.servicePort)) {
            ++i;
        } else if (arg == u"--version-port" && hasValue && parsePort(args.at(i + 1), options.versionPort)) {
            ++i;
        } else if (arg == u"--directory-port" && hasValue &&
                   parsePort(args.at(i + 1), options.directoryPort)) {
            ++i;
        } else if (arg == u"--fault" && hasValue && kova::standin::faultFromName(args.at(i + 1))) {
            fault = *kova::standin::faultFromName(args.at(++i));
        } else {
            usage();
            return 2;
        }
    }

    kova::standin::StandInServer server;
    try {
        server.setFault(fault);
        server.start(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kova-standin: %s\n", e.what());
        return 1;
    }
    std::printf("kova-standin: service %s version %s directory %s data %s fault %s%s\n",
                qPrintable(server.serviceUrl()), qPrintable(server.versionUrl()),
                qPrintable(server.directoryUrl()), qPrintable(options.dataDir),
                qPrintable(kova::standin::faultName(fault)), options.dropPrices ? " drop-prices" : "");
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    std::printf("kova-standin: stopped\n");
    return 0;
}
