#include "server/StandInServer.h"

#include "server/ServerImpl.h"

#include <QDir>

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

StandInServer::Impl::Impl()
    : listeners{{{HostKind::Service, nullptr, {}, 0},
                 {HostKind::Version, nullptr, {}, 0},
                 {HostKind::Directory, nullptr, {}, 0}}}
{
}

StandInServer::Impl::~Impl() = default;

QString StandInServer::Impl::url(int port) const
{
    QString host = options.advertisedHost.isEmpty() ? options.bindHost : options.advertisedHost;
    if (host == u"0.0.0.0")
        host = u"127.0.0.1"_s;
    return u"http://"_s + host + u':' + QString::number(port);
}

QDateTime StandInServer::Impl::now() const
{
    return options.clock ? options.clock() : QDateTime::currentDateTime();
}

void StandInServer::Impl::addLog(const QString& line)
{
    std::lock_guard lock(logMutex);
    logLines.append(line);
    if (options.echoLog) {
        std::fputs(line.toUtf8().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

void StandInServer::Impl::start(const ServerOptions& opts)
{
    if (running)
        throw std::runtime_error("stand-in server: already running");
    PicturePainter::checkJpegSupport();
    options = opts;
    priceDay = opts.priceDay;
    stopping = false;
    store = std::make_unique<StandInStore>(options.dataDir);
    painter = std::make_unique<PicturePainter>(
        options.dataDir.isEmpty() ? QString() : QDir(options.dataDir).filePath(u"pictures"_s));
    {
        std::lock_guard lock(keywordMutex);
        knownKeywords.clear();
    }
    const std::array<int, 3> ports = {options.servicePort, options.versionPort, options.directoryPort};
    const std::string host = options.bindHost.toStdString();
    try {
        for (size_t i = 0; i < listeners.size(); ++i) {
            Listener& l = listeners[i];
            l.server = std::make_unique<httplib::Server>();
            // SO_REUSEADDR only: a second server on a taken port must fail, not share it.
            l.server->set_socket_options([](socket_t sock) {
                int yes = 1;
                setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
                // Small pages go out at once instead of waiting for the peer's ACK.
                setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            });
            // Idle keep-alive connections hold a worker, and stop() waits for the workers.
            l.server->set_keep_alive_timeout(1);
            l.server->set_read_timeout(5);
            l.server->set_payload_max_length(1024 * 1024);
            const HostKind kind = l.kind;
            l.server->Get(".*", [this, kind](const httplib::Request& req, httplib::Response& res) {
                handle(kind, req, res);
            });
            if (ports[i] == 0) {
                l.port = l.server->bind_to_any_port(host);
                if (l.port <= 0)
                    throw std::runtime_error("stand-in server: cannot bind " + host);
            } else {
                if (!l.server->bind_to_port(host, ports[i]))
                    throw std::runtime_error("stand-in server: cannot bind " + host + ":" +
                                             std::to_string(ports[i]));
                l.port = ports[i];
            }
        }
        for (Listener& l : listeners) {
            httplib::Server* server = l.server.get();
            l.thread = std::thread([server] { server->listen_after_bind(); });
        }
        // stop() is only safe once every server runs its accept loop.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (Listener& l : listeners) {
            while (!l.server->is_running()) {
                if (std::chrono::steady_clock::now() > deadline)
                    throw std::runtime_error("stand-in server: a listener did not start");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    } catch (...) {
        running = true;
        stop();
        throw;
    }
    running = true;
}

void StandInServer::Impl::stop()
{
    if (!running)
        return;
    stopping = true;
    for (Listener& l : listeners) {
        if (l.server && l.thread.joinable()) {
            // A listener thread may not have entered its loop yet (failed start); stopping
            // before that would leave it listening for ever.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!l.server->is_running() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            l.server->stop();
        }
    }
    for (Listener& l : listeners) {
        if (l.thread.joinable())
            l.thread.join();
        l.server.reset();
        l.port = 0;
    }
    painter.reset();
    store.reset();
    running = false;
}

StandInServer::StandInServer() : m_impl(std::make_unique<Impl>()) {}

StandInServer::~StandInServer()
{
    stop();
}

void StandInServer::start(const ServerOptions& options)
{
    m_impl->start(options);
}

void StandInServer::stop()
{
    m_impl->stop();
}

int StandInServer::servicePort() const
{
    return m_impl->listeners[0].port;
}

int StandInServer::versionPort() const
{
    return m_impl->listeners[1].port;
}

int StandInServer::directoryPort() const
{
    return m_impl->listeners[2].port;
}

QString StandInServer::serviceUrl() const
{
    return m_impl->url(servicePort());
}

QString StandInServer::versionUrl() const
{
    return m_impl->url(versionPort());
}

QString StandInServer::directoryUrl() const
{
    return m_impl->url(directoryPort());
}

void StandInServer::setFault(Fault fault, const QString& pathPrefix)
{
    m_impl->setFault(fault, pathPrefix);
}

void StandInServer::setPriceDay(int day)
{
    m_impl->priceDay = day;
}

void StandInServer::dropPricesNow()
{
    if (!m_impl->store)
        throw std::runtime_error("stand-in server: not running");
    m_impl->store->dropAllPrices();
}

QStringList StandInServer::log() const
{
    std::lock_guard lock(m_impl->logMutex);
    return m_impl->logLines;
}

void StandInServer::clearLog()
{
    std::lock_guard lock(m_impl->logMutex);
    m_impl->logLines.clear();
}

} // namespace kova::standin
