// The real main window over a kvdb.dat in a temporary working folder: the layout after the
// show step, the resize step through the window's own resize, the tool bar buttons that
// open pages or the about window, the store pictures and the preview's hiding.
#include "app/Uzjm.h"
#include "links/Browser.h"
#include "links/StoreLinks.h"
#include "service/Requests.h"
#include "store/Cipher.h"
#include "tests/support/TestSeams.h"
#include "tests/support/TestSupport.h"
#include "ui/Messages.h"
#include "ui/Uabout.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kova;

namespace {

// The folder and the seams (request hosts on a closed port) are bases, so they are set up
// before the window and taken down after it.
class MainWindowTest : public ::testing::Test, protected test::TestFolder, protected test::TestSeams {
protected:
    void SetUp() override
    {
        // A complete settings record: no first-run request goes out.
        db.exec(QStringLiteral("insert into xxb (ver, u, p, a, b) values ('%1', '%2', '%3', '%4', '%5')")
                    .arg(enc(u"10"_qs), enc(u"k1234567"_qs), enc(u"mivra"_qs), enc(u"mm_1_2_3"_qs),
                         enc(u"1000123456"_qs)));
        window = std::make_unique<Tfrmkova>();
        window->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    static QString enc(const QString& plain) { return Encipher(plain, StoreKey); }

    std::vector<int> widths(const DBGridEh* grid) const
    {
        std::vector<int> result;
        for (int i = 0; i < grid->columnCountEh(); ++i)
            result.push_back(grid->columnWidth(i));
        return result;
    }

    void moveOver(QWidget* w)
    {
        // A spot of the control itself, not of one of its children.
        QPoint spot(1, 1);
        for (int x = 1; x < w->width(); x += 7)
            if (!w->childAt(QPoint(x, 1))) {
                spot = QPoint(x, 1);
                break;
            }
        QMouseEvent move(QEvent::MouseMove, spot, w->mapToGlobal(spot), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }

    std::unique_ptr<Tfrmkova> window;
};

} // namespace

TEST_F(MainWindowTest, StartsOnTheStartPageLaidOutForItsSize)
{
    FrmkovaUi& ui = window->ui;
    EXPECT_EQ(window->size(), QSize(1020, 700));
    EXPECT_EQ(ui.suiForm1->geometry(), QRect(0, 0, 1020, 700));
    EXPECT_TRUE(ui.pan03->isVisible());
    EXPECT_FALSE(ui.pan01->isVisible());
    EXPECT_FALSE(ui.pan02->isVisible());
    for (QToolButton* b : {ui.btn1, ui.btn2, ui.btn3})
        EXPECT_TRUE(b->isEnabled());
    EXPECT_EQ(widths(ui.DBGridEh1), (std::vector<int>{70, 265, 40, 102, 92, 113, 68, 68, 85, 68}));
    EXPECT_EQ(widths(ui.DBGridEh2), (std::vector<int>{77, 275, 40, 102, 102, 204, 78, 85}));
    EXPECT_EQ(ui.suiPanel->pos(), QPoint(ui.pan03->width() / 2 - 400, ui.pan03->height() / 2 - 250));
    EXPECT_EQ(ui.suiImagePanel1->pos(), QPoint(1020 / 2 - 400, ui.pan02->height() / 2));
    EXPECT_FALSE(ui.suiImagePanel1->isVisible());
    EXPECT_FALSE(ui.BigPanel->isVisible());
    EXPECT_TRUE(ui.DBGridEh1->isFlat());
    EXPECT_EQ(ui.StatusBar1->panelText(0), QStringLiteral("货比三家，比价帮助您更省钱、省事！"));
    EXPECT_TRUE(messages.empty()) << messages.front().text.toStdString();

    // For a look at the window: KOVA_UI_SCREENSHOT_DIR=<folder>.
    if (const QByteArray dir = qgetenv("KOVA_UI_SCREENSHOT_DIR"); !dir.isEmpty()) {
        window->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/kova-main-window.png"));
        db.exec(QStringLiteral(
            "insert into cxnr (bh, cph, cpmc, jg, rc, sjlx, hdxx, zpbz, pjjb, bz1, bz2, \"check\") "
            "values (1, 'a1', '诺基亚 Lumia 920 正品行货 全国联保', '2999', '1520', '京东商城', "
            "'满2000减100', '保障', '★★★★★', '加载中…', '精准比价', '点击收藏'),"
            "(2, 'a2', '联想 ThinkPad X1 笔记本电脑', '8999.5', '88', '淘宝网', '', '可信', "
            "'★★★', '加载中…', '精准比价', '已收藏')"));
        window->ADOQuery2.close();
        window->ADOQuery2.open();
        window->ui.pan03->hide();
        window->ui.pan01->show();
        window->ui.btn1->setEnabled(false);
        QCoreApplication::processEvents();
        window->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/kova-main-results.png"));
    }
}

TEST_F(MainWindowTest, ResizingRunsTheResizeStep)
{
    FrmkovaUi& ui = window->ui;
    // A page being read: the progress panel is up.
    ui.suiImagePanel1->show();
    ui.suiProgressBar1->setValue(60);
    ui.lbl2->setText(QStringLiteral("正在读取……"));

    window->resize(1280, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(widths(ui.DBGridEh1), (std::vector<int>{70, 330, 51, 128, 116, 142, 85, 85, 106, 85}));
    EXPECT_EQ(widths(ui.DBGridEh2), (std::vector<int>{77, 340, 51, 128, 128, 256, 98, 106}));
    EXPECT_EQ(ui.pan03->size(), QSize(1278, 703));
    EXPECT_EQ(ui.suiPanel->pos(), QPoint(1278 / 2 - 400, 703 / 2 - 250));
    EXPECT_EQ(ui.suiImagePanel1->pos(), QPoint(1280 / 2 - 400, 703 / 2));
    EXPECT_FALSE(ui.suiImagePanel1->isVisible());
    EXPECT_EQ(ui.suiProgressBar1->value(), 0);
    EXPECT_TRUE(ui.lbl2->text().isEmpty());
    EXPECT_EQ(ui.StatusBar1->geometry(), QRect(1, 800 - 22, 1278, 21));
}

TEST_F(MainWindowTest, EachAboutPressOpensAnotherWindow)
{
    QTest::mouseClick(window->ui.btn9, Qt::LeftButton);
    QPointer<Tfrmabout> first = frmabout;
    QTest::mouseClick(window->ui.btn9, Qt::LeftButton);
    QPointer<Tfrmabout> second = frmabout;
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(first, second);
    EXPECT_EQ(window->findChildren<Tfrmabout*>().size(), 2);
    EXPECT_TRUE(first->isVisible() && second->isVisible());

    QTest::mouseClick(first->Image1, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(second.isNull());
    EXPECT_EQ(window->findChildren<Tfrmabout*>().size(), 1);
}

TEST_F(MainWindowTest, ToolBarButtonsAndStorePicturesOpenTheirPages)
{
    const Requests requests;
    QTest::mouseClick(window->ui.btn5, Qt::LeftButton);
    QTest::mouseClick(window->ui.btn8, Qt::LeftButton);
    QTest::mouseClick(window->ui.btn7, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], QUrl(requests.directoryPage()));
    EXPECT_EQ(opened[1], QUrl(requests.homePage()));
    EXPECT_EQ(opened[2], QUrl(requests.contactPage()));
    EXPECT_TRUE(opened[2].path().endsWith(QLatin1String("/contact.html")));

    opened.clear();
    for (int n = 1; n <= 8; ++n)
        QTest::mouseClick(window->ui.storeImages[n - 1], Qt::LeftButton);
    ASSERT_EQ(opened.size(), 8u);
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(opened[n - 1], QUrl(storeEntryAddress(n))) << n;
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowTest, PointerMovesOverTheSurroundingsHideThePreview)
{
    FrmkovaUi& ui = window->ui;
    auto showPreview = [&] {
        ui.BigPanel->raise();
        ui.BigImage->show();
        ui.BigPanel->show();
    };
    const std::vector<QWidget*> hiders = {ui.pnl1, ui.pnl3, ui.suiToolBar1, ui.btn1,  ui.btn2,    ui.btn3,
                                          ui.btn5, ui.btn8, ui.btn9,        ui.btn10, ui.suiForm1};
    for (QWidget* w : hiders) {
        showPreview();
        ASSERT_TRUE(ui.BigPanel->isVisible());
        moveOver(w);
        EXPECT_FALSE(ui.BigPanel->isVisible()) << w->objectName().toStdString();
        EXPECT_FALSE(ui.BigImage->isVisibleTo(ui.BigPanel)) << w->objectName().toStdString();
    }
    // btn7 and the start page have no such handler.
    showPreview();
    moveOver(ui.btn7);
    moveOver(ui.pan03);
    EXPECT_TRUE(ui.BigPanel->isVisible());
}

TEST_F(MainWindowTest, CloseButtonClosesLikeTheWindowsCloseBox)
{
    QTest::mouseClick(window->ui.btn10, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window->show();
    QCoreApplication::processEvents();
    QTest::mouseClick(window->ui.suiForm1->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}
