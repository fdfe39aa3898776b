// The about window: one instance per press, borderless, on top, centred, closed by a click
// on its picture or by Esc; its JPEG decoded by the project's libjpeg loader, which refuses a broken
// picture without ending the process.
#include "store/Error.h"
#include "store/JpegLoader.h"
#include "ui/Pictures.h"
#include "ui/Uabout.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace kova;

namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

TEST(AboutWindow, BundledPictureIsAJpegOfTheWindowSize)
{
    const QByteArray jpeg = aboutPictureJpeg();
    ASSERT_TRUE(looksLikeJpeg(jpeg));
    const JpegResult decoded = decodeJpeg(jpeg);
    ASSERT_FALSE(decoded.image.isNull()) << decoded.error.toStdString();
    EXPECT_EQ(decoded.image.size(), QSize(468, 294));
}

TEST(AboutWindow, EachPressOpensAnotherAndAClickClosesOnlyThatOne)
{
    QWidget owner;
    owner.show();
    QPointer<Tfrmabout> first = showAboutWindow(&owner);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(frmabout, first);
    QPointer<Tfrmabout> second = showAboutWindow(&owner);
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(first, second);
    EXPECT_EQ(frmabout, second);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(second->isVisible());

    EXPECT_TRUE(second->isWindow());
    EXPECT_TRUE(second->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(second->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(second->isModal());
    EXPECT_EQ(second->size(), QSize(468, 294));
    EXPECT_EQ(second->Image1->geometry(), QRect(0, 0, 468, 294));
    EXPECT_EQ(second->Image1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(second->Image1->pixmap().size(), QSize(468, 294));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((second->geometry().center() - screen.center()).manhattanLength(), 2);

    QTest::mouseClick(first->Image1, Qt::LeftButton, {}, QPoint(100, 100));
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(frmabout, second);

    QTest::mouseClick(second->Image1, Qt::LeftButton, {}, QPoint(5, 5));
    flushDeletes();
    EXPECT_TRUE(second.isNull());
    EXPECT_TRUE(frmabout.isNull());
}

TEST(AboutWindow, EscClosesTheWindowItReaches)
{
    QWidget owner;
    owner.show();
    QPointer<Tfrmabout> first = showAboutWindow(&owner);
    QPointer<Tfrmabout> second = showAboutWindow(&owner);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());

    // Other keys, and Esc with a modifier, leave it open.
    QTest::keyClick(second->windowHandle(), Qt::Key_Space);
    QTest::keyClick(second->windowHandle(), Qt::Key_Escape, Qt::ShiftModifier);
    flushDeletes();
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());

    // Delivered through the window as the platform delivers a key press.
    QTest::keyClick(second->windowHandle(), Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(second.isNull());
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());

    QTest::keyClick(first->windowHandle(), Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(frmabout.isNull());
}

TEST(AboutWindow, OpenWindowsEndWithTheirOwner)
{
    auto* owner = new QWidget;
    QPointer<Tfrmabout> about = showAboutWindow(owner);
    delete owner;
    EXPECT_TRUE(about.isNull());
}

TEST(AboutWindow, BrokenPictureIsRefusedWithoutEndingTheProcess)
{
    const QByteArray jpeg = aboutPictureJpeg();
    ASSERT_GT(jpeg.size(), 1000);

    // Garbage after a JPEG signature, and no bytes at all: an error, no window.
    QByteArray corrupt = jpeg.left(4) + QByteArray(4000, '\x5a');
    EXPECT_THROW(Tfrmabout{corrupt}, Error);
    EXPECT_THROW(Tfrmabout{QByteArray()}, Error);
    QByteArray headerOnly = jpeg.left(200);
    EXPECT_THROW(Tfrmabout{headerOnly}, Error);

    // A picture cut in its scan data still decodes (libjpeg warns and fills the rest).
    Tfrmabout truncated(jpeg.left(jpeg.size() / 2));
    EXPECT_EQ(truncated.Image1->pixmap().size(), QSize(468, 294));
}
