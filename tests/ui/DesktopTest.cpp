// What the desktop reads of the painted controls: the status bar panels, clickable labels
// and pictures, the about window.
#include "ui/Accessibility.h"
#include "ui/ClickLabel.h"
#include "ui/StatusBar.h"
#include "ui/Uabout.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kova;

namespace {

QString nameOf(QAccessibleInterface* acc)
{
    return acc ? acc->text(QAccessible::Name) : QStringLiteral("(none)");
}

TEST(DesktopReading, StatusBarPanelsReadTheirCurrentTexts)
{
    StatusBar bar;
    bar.resize(800, 21);
    bar.addPanel(240, QStringLiteral("货比三家"));
    bar.addPanel(350, QStringLiteral("温馨提示"));
    bar.addPanel(-1, QStringLiteral("电商联盟"));
    bar.show();
    QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(acc, nullptr);
    EXPECT_EQ(acc->role(), QAccessible::StatusBar);
    ASSERT_EQ(acc->childCount(), 3);
    EXPECT_EQ(nameOf(acc->child(0)), QStringLiteral("货比三家"));
    EXPECT_EQ(nameOf(acc->child(2)), QStringLiteral("电商联盟"));
    EXPECT_EQ(acc->child(1)->role(), QAccessible::StaticText);
    // Each sits where its text is drawn.
    EXPECT_EQ(acc->child(1)->rect(),
              QRect(bar.mapToGlobal(bar.panelRect(1).topLeft()), bar.panelRect(1).size()));
    EXPECT_EQ(acc->child(2)->rect().width(), 800 - 240 - 350);

    bar.setPanelText(0, QStringLiteral("本次搜索结果有: 20 条记录"));
    EXPECT_EQ(nameOf(acc->child(0)), QStringLiteral("本次搜索结果有: 20 条记录"));
    // The stand-ins never take a click meant for the bar.
    EXPECT_EQ(bar.childAt(bar.panelRect(0).center()), nullptr);
}

// A passing notice takes the panel for a while, drawn and read, then the panel's own text
// comes back; the panel's own text set meanwhile ends the notice at once.
TEST(DesktopReading, PassingTextGivesThePanelBackToItsOwnText)
{
    StatusBar bar;
    bar.resize(800, 21);
    bar.addPanel(240, QStringLiteral("本次搜索结果有: 20 条记录"));
    bar.addPanel(-1);
    bar.show();
    QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(acc, nullptr);

    bar.showPassingText(0, QStringLiteral("2 件收藏商品降价"), std::chrono::milliseconds(100));
    EXPECT_EQ(bar.panelText(0), QStringLiteral("2 件收藏商品降价"));
    EXPECT_EQ(nameOf(acc->child(0)), QStringLiteral("2 件收藏商品降价"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return bar.panelText(0) == QStringLiteral("本次搜索结果有: 20 条记录"); }, 5000));
    EXPECT_EQ(nameOf(acc->child(0)), QStringLiteral("本次搜索结果有: 20 条记录"));

    // A new count while a notice shows: the count, at once and after the notice's time.
    bar.showPassingText(0, QStringLiteral("已复制商品链接"), std::chrono::milliseconds(100));
    bar.setPanelText(0, QStringLiteral("本次搜索结果有: 5 条记录"));
    EXPECT_EQ(bar.panelText(0), QStringLiteral("本次搜索结果有: 5 条记录"));
    QTest::qWait(200);
    EXPECT_EQ(bar.panelText(0), QStringLiteral("本次搜索结果有: 5 条记录"));
    EXPECT_EQ(nameOf(acc->child(0)), QStringLiteral("本次搜索结果有: 5 条记录"));
    // Another panel is not touched.
    EXPECT_TRUE(bar.panelText(1).isEmpty());
}

TEST(DesktopReading, ClickLabelsReadAndPressLikeAClick)
{
    installAccessibleInterfaces();
    ClickLabel keyword;
    keyword.setText(QStringLiteral("舌尖中国"));
    ClickLabel picture;
    picture.setPixmap(QPixmap(80, 33));
    picture.setAccessibleName(QStringLiteral("淘宝网"));
    QSignalSpy clicks(&picture, &ClickLabel::clicked);

    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(&keyword);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(nameOf(link), QStringLiteral("舌尖中国"));
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(&picture);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(nameOf(button), QStringLiteral("淘宝网"));
    ASSERT_NE(button->actionInterface(), nullptr);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.size(), 1);
}

TEST(DesktopReading, AboutWindowIsNamed)
{
    Tfrmabout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于软件"));
    EXPECT_EQ(nameOf(QAccessible::queryAccessibleInterface(&about)), QStringLiteral("关于软件"));
    EXPECT_EQ(nameOf(QAccessible::queryAccessibleInterface(about.Image1)), QStringLiteral("关于软件"));
}

} // namespace
