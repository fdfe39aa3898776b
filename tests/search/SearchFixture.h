#pragma once

#include "app/Uzjm.h"
#include "server/StandInServer.h"
#include "service/Requests.h"
#include "tests/support/TestSupport.h"
#include "ui/Messages.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kova::test {

// A real main window in a temporary working folder, talking to a stand-in server on free
// loopback ports; messages are collected instead of shown.
class SearchFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TMPDIR", db.tempDir().toUtf8());
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
        setRequestHostsForTesting(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
        setMessageHook([this](const Message& m) {
            messages.push_back(m);
            return true;
        });
    }
    void TearDown() override
    {
        window.reset();
        server.stop();
        setMessageHook({});
        setRequestHostsForTesting({}, {}, {});
        qunsetenv("TMPDIR");
    }

    // Starts the window and waits until the first-run pages have been read.
    Tfrmkova& start()
    {
        window = std::make_unique<Tfrmkova>();
        window->show();
        EXPECT_TRUE(waitUntil([this] { return !window->wbwebb.isLoading(); }, 10000));
        return *window;
    }

    // Types the keyword on the start page, clicks the search button and waits for the
    // page to be read.
    void search(const QString& keyword)
    {
        // The first-run reply leaves a count in the status bar too.
        window->ui.StatusBar1->setPanelText(0, QString());
        window->ui.edt_key->setText(keyword);
        window->suiButton4Click();
        waitForResults();
    }
    void waitForResults()
    {
        ASSERT_TRUE(waitUntil(
            [this] { return window->ui.StatusBar1->panelText(0).startsWith(QStringLiteral("本次搜索结果有")); },
            20000));
    }
    // Waits for every thumbnail fetcher to end.
    bool fetchersDone(int timeoutMs = 20000)
    {
        return waitUntil(
            [this] {
                for (const auto& f : window->fetchers()) {
                    if (!f->isFinished())
                        return false;
                }
                return true;
            },
            timeoutMs);
    }
    int pictureRequests() const
    {
        int n = 0;
        for (const QString& line : server.log()) {
            if (line.contains(QStringLiteral("/pic/")))
                ++n;
        }
        return n;
    }
    QStringList thumbnails() const
    {
        return QDir(db.tempDir() + QStringLiteral("kvpic")).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    }
    int messagesWith(const QString& text) const
    {
        int n = 0;
        for (const Message& m : messages)
            n += m.text == text ? 1 : 0;
        return n;
    }

    TempDatabase db;
    WorkingFolder cwd{db.folder()};
    QTemporaryDir serverDir;
    standin::StandInServer server;
    std::vector<Message> messages;
    std::unique_ptr<Tfrmkova> window;
};

inline const QString NoNetwork = QStringLiteral("可能当前网络没有连接，请检查连通后再次搜索。");

} // namespace kova::test
