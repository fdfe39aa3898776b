#pragma once

#include "app/Uzjm.h"
#include "links/Browser.h"
#include "server/StandInServer.h"
#include "service/Requests.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowFixture.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"
#include "ui/ScreenCursor.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kova::test {

// A real main window in a temporary working folder, talking to a stand-in server on free
// loopback ports; messages and browser openings are collected instead of shown.
class ResultWindow : public WindowFixture {
protected:
    // Starts the window and waits until it has its account.
    Tfrmkova& start()
    {
        WindowFixture::start();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(waitUntil([this] { return !window->state().UserId.isEmpty(); }, 10000));
        messages.clear();
        return *window;
    }

    // Searches through the start page and waits for the rows and their thumbnails.
    void search(const QString& keyword)
    {
        WindowFixture::search(keyword);
        ASSERT_TRUE(fetchersDone());
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
    // A click on a picture cell, then the wait for the large picture's download to end.
    void clickPicture(int row)
    {
        click(row, QStringLiteral("bz1"));
        EXPECT_TRUE(waitUntil([this] { return !window->previewPending(); }, 10000));
    }
    // A pointer move with no button, as the platform delivers it; the screen's pointer goes
    // there too.
    static void moveOver(QWidget* widget, QPoint at)
    {
        QCursor::setPos(widget->mapToGlobal(at));
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
};

} // namespace kova::test
