// The skinned frame of a frameless window: its title bar buttons with their three faces and
// names, dragging and double-clicking the title bar, resizing by the edges and corners,
// centring on the first show; and the watcher that reports pointer moves over a control
// itself.
#include "ui/EdgeResize.h"
#include "ui/MouseMoveWatcher.h"
#include "ui/Pictures.h"
#include "ui/SkinFrame.h"

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kova;

namespace {

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
               QPoint global)
{
    QMouseEvent e(type, pos, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        frame = new SkinFrame(window.get());
        frame->setCaption(QStringLiteral(" Kova比价软件"));
        window->resize(640, 480);
    }
    void show()
    {
        window->show();
        QCoreApplication::processEvents();
    }
    std::unique_ptr<QWidget> window;
    SkinFrame* frame = nullptr;
};

} // namespace

TEST(TitlePictures, EveryButtonHasThreeDifferentFaces)
{
    for (TitleButton kind :
         {TitleButton::Close, TitleButton::Maximize, TitleButton::Restore, TitleButton::Minimize}) {
        const QImage normal = titleButtonPicture(kind, ButtonFace::Normal).toImage();
        const QImage hovered = titleButtonPicture(kind, ButtonFace::Hovered).toImage();
        const QImage pressed = titleButtonPicture(kind, ButtonFace::Pressed).toImage();
        ASSERT_EQ(normal.size(), TitleButtonSize);
        EXPECT_NE(normal, hovered);
        EXPECT_NE(normal, pressed);
        EXPECT_NE(hovered, pressed);
    }
    EXPECT_NE(titleButtonPicture(TitleButton::Maximize, ButtonFace::Normal).toImage(),
              titleButtonPicture(TitleButton::Restore, ButtonFace::Normal).toImage());
    EXPECT_EQ(titleBarPicture(TitlePicture::Left).width(), 48);
    EXPECT_EQ(titleBarPicture(TitlePicture::Right).width(), 48);
    EXPECT_EQ(titleBarPicture(TitlePicture::Middle).height(), 20);
}

TEST_F(FrameTest, FillsTheWindowAndCentresItOnFirstShow)
{
    show();
    EXPECT_EQ(frame->geometry(), window->rect());
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE((window->frameGeometry().center() - screen.center()).manhattanLength(), 2);
    window->resize(700, 500);
    EXPECT_EQ(frame->geometry(), QRect(0, 0, 700, 500));
    // Buttons at the right end of the title bar: close, maximise, minimise.
    EXPECT_EQ(frame->closeButton()->geometry().right(), 700 - 1 - 3 - 1);
    EXPECT_LT(frame->maximizeButton()->x(), frame->closeButton()->x());
    EXPECT_LT(frame->minimizeButton()->x(), frame->maximizeButton()->x());
    EXPECT_LT(frame->closeButton()->geometry().bottom(), SkinFrame::TitleHeight);
}

TEST_F(FrameTest, ButtonsShowTheirFacesAndAct)
{
    show();
    SkinTitleButton* maximize = frame->maximizeButton();
    EXPECT_EQ(maximize->face(), ButtonFace::Normal);
    maximize->setDown(true);
    EXPECT_EQ(maximize->face(), ButtonFace::Pressed);
    maximize->setDown(false);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), maximize->mapToGlobal(QPointF(3, 3)));
    QApplication::sendEvent(maximize, &enter);
    EXPECT_EQ(maximize->face(), ButtonFace::Hovered);

    QTest::mouseClick(maximize, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(maximize->kind(), TitleButton::Restore);
    QTest::mouseClick(maximize, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(maximize->kind(), TitleButton::Maximize);

    // A double click on the title bar does the same.
    QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(200, 10));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isMaximized());
    window->showNormal();

    QTest::mouseClick(frame->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(FrameTest, DraggingTheTitleBarMovesTheWindow)
{
    show();
    const QPoint start = window->pos();
    const QPoint grip(200, 10);
    const QPoint global = frame->mapToGlobal(grip);
    sendMouse(frame, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton, global);
    sendMouse(frame, QEvent::MouseMove, grip + QPoint(50, 30), Qt::NoButton, Qt::LeftButton,
              global + QPoint(50, 30));
    sendMouse(frame, QEvent::MouseButtonRelease, grip + QPoint(50, 30), Qt::LeftButton, Qt::NoButton,
              global + QPoint(50, 30));
    EXPECT_EQ(window->pos(), start + QPoint(50, 30));

    // Below the title bar the frame does not drag.
    const QPoint body(200, 100);
    const QPoint moved = window->pos();
    sendMouse(frame, QEvent::MouseButtonPress, body, Qt::LeftButton, Qt::LeftButton,
              frame->mapToGlobal(body));
    sendMouse(frame, QEvent::MouseMove, body + QPoint(40, 0), Qt::NoButton, Qt::LeftButton,
              frame->mapToGlobal(body) + QPoint(40, 0));
    sendMouse(frame, QEvent::MouseButtonRelease, body, Qt::LeftButton, Qt::NoButton,
              frame->mapToGlobal(body));
    EXPECT_EQ(window->pos(), moved);
}

TEST(EdgeResize, DraggedEdgesMoveAndTheOthersStay)
{
    const QRect start(100, 50, 600, 400);
    const QSize min(200, 50);
    const QSize max(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    EXPECT_EQ(ResizedGeometry(start, Qt::RightEdge, {30, 99}, min, max), QRect(100, 50, 630, 400));
    EXPECT_EQ(ResizedGeometry(start, Qt::BottomEdge, {99, -20}, min, max), QRect(100, 50, 600, 380));
    EXPECT_EQ(ResizedGeometry(start, Qt::LeftEdge | Qt::TopEdge, {-10, 20}, min, max),
              QRect(90, 70, 610, 380));
    // Never below the minimum: a left edge pulled too far stops with the right edge in place.
    EXPECT_EQ(ResizedGeometry(start, Qt::LeftEdge, {550, 0}, min, max), QRect(500, 50, 200, 400));
    EXPECT_EQ(ResizedGeometry(start, Qt::TopEdge | Qt::RightEdge, {-900, 900}, min, max),
              QRect(100, 400, 200, 50));
    EXPECT_EQ(ResizedGeometry(start, Qt::RightEdge, {500, 0}, min, QSize(800, 800)).width(), 800);

    EXPECT_EQ(ResizeCursor(Qt::LeftEdge), Qt::SizeHorCursor);
    EXPECT_EQ(ResizeCursor(Qt::BottomEdge), Qt::SizeVerCursor);
    EXPECT_EQ(ResizeCursor(Qt::LeftEdge | Qt::TopEdge), Qt::SizeFDiagCursor);
    EXPECT_EQ(ResizeCursor(Qt::RightEdge | Qt::BottomEdge), Qt::SizeFDiagCursor);
    EXPECT_EQ(ResizeCursor(Qt::RightEdge | Qt::TopEdge), Qt::SizeBDiagCursor);
}

// Without a window manager to ask (the offscreen platform has none) the window resizes
// itself as the pointer drags a grip.
TEST_F(FrameTest, EveryEdgeAndCornerResizesTheWindow)
{
    window->setMinimumSize(200, 50);
    show();
    ASSERT_EQ(frame->edgeGrips().size(), 8U);
    for (EdgeGrip* grip : frame->edgeGrips()) {
        ASSERT_TRUE(grip->isVisible());
        // Each lies on its own edges, above the frame's other children.
        const QRect r = grip->geometry();
        const Qt::Edges e = grip->edges();
        EXPECT_EQ(r.left() == 0, bool(e & Qt::LeftEdge)) << int(e);
        EXPECT_EQ(r.right() == window->width() - 1, bool(e & Qt::RightEdge)) << int(e);
        EXPECT_EQ(r.top() == 0, bool(e & Qt::TopEdge)) << int(e);
        EXPECT_EQ(r.bottom() == window->height() - 1, bool(e & Qt::BottomEdge)) << int(e);
        EXPECT_EQ(grip->cursor().shape(), ResizeCursor(e));

        const QRect before = window->geometry();
        const QPoint at = grip->rect().center();
        const QPoint global = grip->mapToGlobal(at);
        const QPoint delta(e & Qt::LeftEdge ? -20 : 20, e & Qt::TopEdge ? -10 : 10);
        sendMouse(grip, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, global);
        sendMouse(grip, QEvent::MouseMove, at + delta, Qt::NoButton, Qt::LeftButton, global + delta);
        sendMouse(grip, QEvent::MouseButtonRelease, at + delta, Qt::LeftButton, Qt::NoButton, global + delta);
        QCoreApplication::processEvents();
        const QRect after = window->geometry();
        const bool horizontal = e & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = e & (Qt::TopEdge | Qt::BottomEdge);
        EXPECT_EQ(after.width(), before.width() + (horizontal ? 20 : 0)) << int(e);
        EXPECT_EQ(after.height(), before.height() + (vertical ? 10 : 0)) << int(e);
        EXPECT_EQ(after.right(), before.right() + (e & Qt::RightEdge ? 20 : 0)) << int(e);
        EXPECT_EQ(after.bottom(), before.bottom() + (e & Qt::BottomEdge ? 10 : 0)) << int(e);
        EXPECT_EQ(frame->geometry(), window->rect());
    }

    // Down to the minimum and no further.
    EdgeGrip* corner = frame->edgeGrips().back();
    ASSERT_EQ(corner->edges(), Qt::RightEdge | Qt::BottomEdge);
    const QPoint global = corner->mapToGlobal(QPoint(2, 2));
    sendMouse(corner, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton, global);
    sendMouse(corner, QEvent::MouseMove, {-2000, -2000}, Qt::NoButton, Qt::LeftButton,
              global - QPoint(2000, 2000));
    sendMouse(corner, QEvent::MouseButtonRelease, {-2000, -2000}, Qt::LeftButton, Qt::NoButton,
              global - QPoint(2000, 2000));
    EXPECT_EQ(window->size(), QSize(200, 50));

    // A maximized window has no edges to drag.
    window->showMaximized();
    QCoreApplication::processEvents();
    for (EdgeGrip* grip : frame->edgeGrips())
        EXPECT_FALSE(grip->isVisible());
}

TEST_F(FrameTest, TitleBarButtonsAreNamedForScreenReaders)
{
    show();
    const auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(frame->minimizeButton()), QStringLiteral("最小化"));
    EXPECT_EQ(name(frame->maximizeButton()), QStringLiteral("最大化"));
    EXPECT_EQ(name(frame->closeButton()), QStringLiteral("关闭"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(frame->maximizeButton())->role(), QAccessible::Button);
    window->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(name(frame->maximizeButton()), QStringLiteral("还原"));
    window->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(name(frame->maximizeButton()), QStringLiteral("最大化"));
}

TEST(MouseMoveWatcher, ReportsMovesOverTheControlItselfOnly)
{
    QWidget panel;
    panel.resize(200, 100);
    auto* child = new QWidget(&panel);
    child->setGeometry(100, 0, 100, 100);
    int moves = 0;
    QObject::connect(MouseMoveWatcher::watch(&panel), &MouseMoveWatcher::moved, &panel, [&] { ++moves; });
    EXPECT_EQ(MouseMoveWatcher::watch(&panel), MouseMoveWatcher::watch(&panel)); // one per control
    EXPECT_TRUE(panel.hasMouseTracking());
    panel.show();

    sendMouse(&panel, QEvent::MouseMove, {20, 20}, Qt::NoButton, Qt::NoButton,
              panel.mapToGlobal(QPoint(20, 20)));
    EXPECT_EQ(moves, 1);
    // A move over the child that the child passes up is not a move over the panel.
    sendMouse(&panel, QEvent::MouseMove, {150, 20}, Qt::NoButton, Qt::NoButton,
              panel.mapToGlobal(QPoint(150, 20)));
    EXPECT_EQ(moves, 1);
}
