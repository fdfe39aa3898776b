#pragma once

// The program's test seams, installed for the life of an object and taken out again when
// it goes, so that no test leaves a hook behind for the next one:
//  - RequestHosts: the service, version and directory hosts the requests go to;
//  - TestSeams: message boxes and browser openings collected instead of shown, and the
//    request hosts (a closed loopback port until the test points them at a server);
//  - LowSpeedTime: how long a transfer may trickle below HttpClient::LowSpeedLimit;
//  - TestFolder: a fresh kvdb.dat in a temporary folder that is also the working folder and
//    the user's temporary folder (TMPDIR, where the picture cache lives).
// Header-only: a test that includes it links kova_links (which brings the standard error
// report and the requests).
#include "links/Browser.h"
#include "service/HttpClient.h"
#include "service/Requests.h"
#include "store/Report.h"
#include "tests/support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <vector>

namespace kova::test {

// Where nothing listens: every request fails at once with a refused connection.
inline const QString ClosedHost = QStringLiteral("http://127.0.0.1:9");

class RequestHosts {
public:
    RequestHosts() : RequestHosts(ClosedHost, ClosedHost, ClosedHost) {}
    RequestHosts(const QString& service, const QString& version, const QString& directory)
    {
        pointAt(service, version, directory);
    }
    ~RequestHosts() { setRequestHostsForTesting({}, {}, {}); }
    RequestHosts(const RequestHosts&) = delete;
    RequestHosts& operator=(const RequestHosts&) = delete;

    void pointAt(const QString& service, const QString& version, const QString& directory)
    {
        setRequestHostsForTesting(service, version, directory);
    }
    // Any type with the stand-in server's serviceUrl(), versionUrl() and directoryUrl().
    template <typename Server> void pointAt(const Server& server)
    {
        pointAt(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
    }
};

class TestSeams {
public:
    TestSeams()
    {
        setMessageHook([this](const Message& m) {
            if (!ignoreMessage || !ignoreMessage(m))
                messages.push_back(m);
            return answer;
        });
        setBrowserOpenerForTesting([this](const QUrl& url) {
            opened.push_back(url);
            return browserOpens;
        });
    }
    ~TestSeams()
    {
        setBrowserOpenerForTesting({});
        setMessageHook({});
    }
    TestSeams(const TestSeams&) = delete;
    TestSeams& operator=(const TestSeams&) = delete;

    int messagesWith(const QString& text) const
    {
        int n = 0;
        for (const Message& m : messages)
            n += m.text == text ? 1 : 0;
        return n;
    }

    std::vector<Message> messages;                     // every box the program asked for, in order
    std::vector<QUrl> opened;                          // every address handed to the browser
    bool answer = true;                                // the answer to question boxes
    bool browserOpens = true;                          // whether the desktop "opens" an address
    std::function<bool(const Message&)> ignoreMessage; // boxes not to collect (still answered)
    RequestHosts hosts;
};

// Every HTTP client gives up a transfer slower than HttpClient::LowSpeedLimit bytes a
// second after `t` instead of half a minute, from its next GET on.
class LowSpeedTime {
public:
    explicit LowSpeedTime(std::chrono::seconds t) { setLowSpeedTimeForTesting(t); }
    ~LowSpeedTime() { setLowSpeedTimeForTesting(std::chrono::seconds(0)); }
    LowSpeedTime(const LowSpeedTime&) = delete;
    LowSpeedTime& operator=(const LowSpeedTime&) = delete;
};

// An environment variable set for the life of the object, then put back as it was.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentVariable()
    {
        if (m_had)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_previous;
};

class TestFolder {
public:
    TempDatabase db;
    WorkingFolder cwd{db.folder()};
    EnvironmentVariable tmpdir{"TMPDIR", db.tempDir().toUtf8()};
};

} // namespace kova::test
