#pragma once

#include "app/Uzjm.h"
#include "links/Browser.h"
#include "results/ScreenCursor.h"
#include "server/StandInServer.h"
#include "service/Requests.h"
#include "tests/support/TestSupport.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kova::test {

// A real main window in a temporary working folder, talking to a stand-in server on free
// loopback ports; messages and browser openings are collected instead of shown.
class ResultWindow : public ::testing::Test {
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
        setBrowserOpenerForTesting([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        SetScreenCursor(ScreenCursor::Default);
    }
    void TearDown() override
    {
        window.reset();
        server.stop();
        SetScreenCursor(ScreenCursor::Default);
        setBrowserOpenerForTesting({});
        setMessageHook({});
        setRequestHostsForTesting({}, {}, {});
        qunsetenv("TMPDIR");
    }

    // Starts the window and waits until it has its account.
    Tfrmkova& start()
    {
        window = std::make_unique<Tfrmkova>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(waitUntil(
            [this] { return !window->state().UserId.isEmpty() && !window->wbwebb.isLoading(); }, 10000));
        messages.clear();
        return *window;
    }

    // Searches through the start page and waits for the rows and their first thumbnails.
    void search(const QString& keyword)
    {
        window->ui.StatusBar1->setPanelText(0, QString()); // the account reply wrote a count too
        window->ui.edt_key->setText(keyword);
        window->suiButton4Click();
        ASSERT_TRUE(waitUntil(
            [this] {
                return window->ui.StatusBar1->panelText(0).startsWith(QStringLiteral("本次搜索结果有"));
            },
            20000));
        ASSERT_TRUE(waitUntil(
            [this] {
                for (const auto& f : window->fetchers())
                    if (!f->isFinished())
                        return false;
                return true;
            },
            20000));
        server.clearLog();
        messages.clear();
    }

    DBGridEh* grid() const { return window->ui.DBGridEh1; }
    int col(const QString& field) const
    {
        for (int i = 0; i < grid()->columnCountEh(); ++i)
            if (grid()->column(i).field.compare(field, Qt::CaseInsensitive) == 0)
                return i;
        ADD_FAILURE() << "no column " << field.toStdString();
        return -1;
    }
    // A cell brought into view; its centre in viewport coordinates.
    QPoint cellPoint(int row, const QString& field) const
    {
        grid()->scrollTo(grid()->datasetModel()->index(row, col(field)));
        return grid()->cellRect(row, col(field)).center();
    }
    void click(int row, const QString& field)
    {
        const QPoint at = cellPoint(row, field);
        moveOver(grid()->viewport(), at);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    // A pointer move with no button, as the platform delivers it.
    static void moveOver(QWidget* widget, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    void moveOverCell(int row, const QString& field) { moveOver(grid()->viewport(), cellPoint(row, field)); }

    QString field(int row, const QString& name) const
    {
        const Dataset& rows = window->ADOQuery2;
        return rows.fieldAt(row, indexOfField(rows.fieldNames(), name)).toString();
    }
    int requestsWith(const QString& part) const { return static_cast<int>(server.log().filter(part).size()); }
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
    std::vector<QUrl> opened;
    std::unique_ptr<Tfrmkova> window;
};

} // namespace kova::test
