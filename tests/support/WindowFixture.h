#pragma once

// A real main window in a temporary working folder, talking to a stand-in server on free
// loopback ports; message boxes and browser openings are collected instead of shown.
// Header-only: tests that include it link kova_mainwindow and kova_standin.
#include "app/Uzjm.h"
#include "links/Browser.h"
#include "server/StandInServer.h"
#include "tests/support/TestSeams.h"
#include "tests/support/TestSupport.h"
#include "ui/Messages.h"
#include "ui/ScreenCursor.h"
#include "ui/StatusBar.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kova::test {

// The folder and the seams are bases, so they are set up before the server and the window
// and taken down after them.
class WindowFixture : public ::testing::Test, protected TestFolder, protected TestSeams {
protected:
    void SetUp() override
    {
        standin::ServerOptions options;
        options.dataDir = serverDir.path();
        server.start(options);
        hosts.pointAt(server);
        SetScreenCursor(ScreenCursor::Default);
    }
    void TearDown() override
    {
        window.reset();
        server.stop();
        SetScreenCursor(ScreenCursor::Default);
    }

    // Starts the window and waits until the first-run page of the main loader has been
    // read (and, when the service is reachable, the account stored).
    Tfrmkova& start()
    {
        window = std::make_unique<Tfrmkova>();
        window->show();
        EXPECT_TRUE(waitUntil([this] { return !window->wbwebb.isLoading(); }, 10000));
        return *window;
    }

    // Types the keyword on the start page, clicks the search button and waits until the
    // page has been read (thumbnail fetchers may still run).
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
            [this] {
                return window->ui.StatusBar1->panelText(0).startsWith(QStringLiteral("本次搜索结果有"));
            },
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
    int requestsWith(const QString& part) const { return static_cast<int>(server.log().filter(part).size()); }

    QTemporaryDir serverDir;
    standin::StandInServer server;
    std::unique_ptr<Tfrmkova> window;
};

} // namespace kova::test
