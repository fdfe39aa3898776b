#pragma once

#include "server/StandInServer.h"
#include "tests/support/TestSeams.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace kova::test {

// One stand-in server for all tests of a suite; every test starts without faults, with
// an empty request log and with the client's hosts pointed at the server.
class StandInTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        s_server = std::make_unique<kova::standin::StandInServer>();
        kova::standin::ServerOptions options;
        options.dataDir = s_dir->path();
        s_server->start(options);
        s_hosts = std::make_unique<RequestHosts>();
        s_hosts->pointAt(*s_server);
    }

    static void TearDownTestSuite()
    {
        s_hosts.reset();
        s_server.reset();
        s_dir.reset();
    }

    void SetUp() override
    {
        server().setFault(kova::standin::Fault::None);
        server().clearLog();
    }

    static kova::standin::StandInServer& server() { return *s_server; }

    // Log lines whose request target starts with `target` ("/pic/1.jpg", "/ListAll.aspx?...").
    static QStringList requestsFor(const QString& target)
    {
        QStringList found;
        for (const QString& line : server().log()) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() > 1 && parts.at(1).startsWith(target))
                found.append(line);
        }
        return found;
    }

    // A loopback address where nothing listens: a port just taken and given back.
    static QString closedPortUrl()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        int port = 9;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        if (fd >= 0)
            ::close(fd);
        return QStringLiteral("http://127.0.0.1:%1").arg(port);
    }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::unique_ptr<kova::standin::StandInServer> s_server;
    static inline std::unique_ptr<RequestHosts> s_hosts;
};

} // namespace kova::test
