// The main window's controls: names, texts, positions, sizes, fonts and colours at the
// show step's size and after resizes, and the resize step's arithmetic.
#include "tests/ui/LayoutFixture.h"

#include "ui/Fonts.h"
#include "ui/Pictures.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QHeaderView>

using namespace kova;
using kova::test::LayoutFixture;

namespace {

QString family(const QFont& font)
{
    return QFontInfo(font).family();
}

QColor textColor(const QWidget* w)
{
    return w->palette().color(QPalette::WindowText);
}

std::vector<int> widths(const DBGridEh* grid)
{
    std::vector<int> result;
    for (int i = 0; i < grid->columnCountEh(); ++i)
        result.push_back(grid->columnWidth(i));
    return result;
}

} // namespace

TEST(ResizeStep, WidthsAreIntegerDivisionsOfTheWindowWidth)
{
    const ResizeWidths at1020 = resizeColumnWidths(1020);
    EXPECT_EQ(at1020.results, (std::array<int, 9>{265, 40, 102, 92, 113, 68, 68, 85, 68}));
    EXPECT_EQ(at1020.favorites, (std::array<int, 7>{275, 40, 102, 102, 204, 78, 85}));

    // 999 makes every division drop a fraction.
    const ResizeWidths at999 = resizeColumnWidths(999);
    EXPECT_EQ(at999.results, (std::array<int, 9>{259, 39, 99, 90, 111, 66, 66, 83, 66}));
    EXPECT_EQ(at999.favorites, (std::array<int, 7>{269, 39, 99, 99, 199, 76, 83}));
}

TEST(Fonts, DesignFontsMapToInstalledChineseFonts)
{
    installFontSubstitutions();
    installFontSubstitutions(); // idempotent
    const QStringList song = QFont::substitutes(SongFamily);
    EXPECT_EQ(song.filter(QStringLiteral("AR PL UMing CN"), Qt::CaseInsensitive).size(), 1)
        << song.join(u',').toStdString();
    EXPECT_EQ(family(songFont(15)), QStringLiteral("AR PL UMing CN"));
    EXPECT_EQ(family(kaiFont(16, true)), QStringLiteral("AR PL UKai CN"));
    EXPECT_EQ(family(sansFont(13)), QStringLiteral("WenQuanYi Zen Hei"));
    EXPECT_EQ(songFont(15).pixelSize(), 15);
    EXPECT_TRUE(kaiFont(16, true).bold());
}

TEST(DesignState, GridsHaveTheirDesignWidthsBeforeAnyResize)
{
    QWidget window;
    FrmkovaUi ui;
    ui.setupUi(&window);
    EXPECT_EQ(widths(ui.DBGridEh1), (std::vector<int>{70, 300, 64, 150, 80, 80, 80, 50, 90, 64}));
    EXPECT_EQ(widths(ui.DBGridEh2), (std::vector<int>{77, 300, 64, 150, 80, 80, 80, 64}));
    EXPECT_EQ(window.windowTitle(), QStringLiteral(" Kova比价软件"));
    EXPECT_EQ(ui.suiForm1->caption(), QStringLiteral(" Kova比价软件"));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.minimumSize(), QSize(200, 50));
    EXPECT_GE(window.windowIcon().availableSizes().size(), 4);
    EXPECT_EQ(window.size(), QSize(994, 695));
}

TEST_F(LayoutFixture, EveryControlExistsUnderItsName)
{
    const char* names[] = {"suiForm1",   "suiToolBar1", "ToolButton1",    "btn1",   "btn2",
                           "btn3",       "ToolButton2", "btn5",           "btn8",   "btn7",
                           "btn9",       "ToolButton6", "btn10",          "pan03",  "suiPanel",
                           "Label1",     "Label2",      "Label3",         "Label4", "edt_key",
                           "suiButton4", "pan01",       "pnl1",           "lbl1",   "Edt_word",
                           "suiButton1", "pnl2",        "DBGridEh1",      "pnl3",   "pan02",
                           "DBGridEh2",  "StatusBar1",  "suiImagePanel1", "lbl2",   "suiProgressBar1",
                           "BigPanel",   "BigImage"};
    for (const char* name : names)
        EXPECT_NE(window->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("Image%1").arg(n)), ui.storeImages[n - 1]);
        EXPECT_EQ(window->findChild<QCheckBox*>(QStringLiteral("suiCheckBox%1").arg(n)),
                  ui.checkBoxes()[n - 1]);
    }
    for (int r = 0; r < 6; ++r)
        for (int c = 1; c <= 8; ++c)
            EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("lab%1%2").arg(r).arg(c)),
                      ui.hotKeyword(r, c));
}

TEST_F(LayoutFixture, FrameStacksTitleToolBarViewsAndStatusBar)
{
    EXPECT_EQ(ui.suiForm1->geometry(), QRect(0, 0, 1020, 700));
    EXPECT_EQ(ui.suiToolBar1->geometry(), QRect(1, 20, 1018, 55));
    EXPECT_EQ(ui.StatusBar1->geometry(), QRect(1, 678, 1018, 21));
    for (QWidget* view :
         {static_cast<QWidget*>(ui.pan03), static_cast<QWidget*>(ui.pan01), static_cast<QWidget*>(ui.pan02)})
        EXPECT_EQ(view->geometry(), QRect(1, 75, 1018, 603)) << view->objectName().toStdString();

    EXPECT_TRUE(ui.pan03->isVisibleTo(window.get()));
    EXPECT_FALSE(ui.pan01->isVisibleTo(window.get()));
    EXPECT_FALSE(ui.pan02->isVisibleTo(window.get()));
    for (QToolButton* b : {ui.btn1, ui.btn2, ui.btn3})
        EXPECT_TRUE(b->isEnabled());
}

TEST_F(LayoutFixture, ToolBarButtonsAndSeparators)
{
    struct Item {
        QToolButton* button;
        const char16_t* caption; // nullptr: separator
        int icon;
    };
    const Item items[] = {
        {ui.ToolButton1, nullptr, -1}, {ui.btn1, u"   网购比价搜索   ", 18},
        {ui.btn2, u"商品收藏夹", 11},  {ui.btn3, u"商品降价通知", 14},
        {ui.ToolButton2, nullptr, -1}, {ui.btn5, u"网购网址", 13},
        {ui.btn8, u"官方网站", 6},     {ui.btn7, u"用户反馈", 3},
        {ui.btn9, u"关于软件", 8},     {ui.ToolButton6, nullptr, -1},
        {ui.btn10, u"关闭窗口", 9},
    };
    int x = 0;
    for (const Item& item : items) {
        SCOPED_TRACE(item.button->objectName().toStdString());
        const int w = item.caption ? 97 : 2;
        EXPECT_EQ(item.button->geometry(), QRect(x, 0, w, 55));
        x += w;
        if (!item.caption) {
            EXPECT_TRUE(item.button->text().isEmpty());
            continue;
        }
        EXPECT_EQ(item.button->text(), QString::fromUtf16(item.caption));
        EXPECT_EQ(item.button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(item.button->iconSize(), QSize(32, 32));
        EXPECT_EQ(item.button->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                  ImageList1(item.icon).toImage().convertToFormat(QImage::Format_ARGB32));
    }
    // The 19 icons are distinct pictures.
    for (int i = 0; i < ImageList1Count; ++i) {
        ASSERT_FALSE(ImageList1(i).isNull()) << i;
        EXPECT_EQ(ImageList1(i).size(), QSize(32, 32));
        for (int j = 0; j < i; ++j)
            EXPECT_NE(ImageList1(i).toImage(), ImageList1(j).toImage()) << i << " " << j;
    }
}

TEST_F(LayoutFixture, StartPageCentrePanelAndItsControls)
{
    EXPECT_EQ(ui.suiPanel->parentWidget(), ui.pan03);
    EXPECT_EQ(ui.suiPanel->geometry(), QRect(1018 / 2 - 400, 603 / 2 - 250, 810, 500));
    EXPECT_EQ(ui.pan03->color(), QColor(230, 236, 249));
    EXPECT_TRUE(ui.suiPanel->isTransparent());

    EXPECT_EQ(ui.Label4->geometry(), QRect(24, 24, 780, 15));
    EXPECT_EQ(textColor(ui.Label4), QColor(255, 0, 0));
    EXPECT_FALSE(ui.Label4->text().isEmpty());

    const std::pair<QLabel*, const char16_t*> maroon[] = {
        {ui.Label1, u"商品名称或型号："}, {ui.Label2, u"热门搜索关键字："}, {ui.Label3, u"电子商务联盟："}};
    const QPoint places[] = {{24, 68}, {24, 108}, {24, 403}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(maroon[i].first->text(), QString::fromUtf16(maroon[i].second));
        EXPECT_EQ(maroon[i].first->pos(), places[i]);
        EXPECT_EQ(textColor(maroon[i].first), QColor(128, 0, 0));
        EXPECT_EQ(family(maroon[i].first->font()), QStringLiteral("AR PL UMing CN"));
        EXPECT_EQ(maroon[i].first->font().pixelSize(), 15);
    }
    EXPECT_EQ(ui.edt_key->geometry(), QRect(152, 64, 456, 22));
    EXPECT_EQ(ui.suiButton4->geometry(), QRect(625, 55, 169, 40));
    EXPECT_EQ(ui.suiButton4->text(), QStringLiteral(" 智能比价搜索"));
    EXPECT_FALSE(ui.suiButton4->glyph().isNull());
    EXPECT_EQ(ui.suiButton4->glyphSpacing(), 4);
    EXPECT_EQ(ui.suiButton4->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(LayoutFixture, HotKeywordsSitInTheirSixByEightTable)
{
    for (int r = 0; r < 6; ++r) {
        for (int c = 1; c <= 8; ++c) {
            ClickLabel* label = ui.hotKeyword(r, c);
            SCOPED_TRACE(label->objectName().toStdString());
            EXPECT_EQ(label->parentWidget(), ui.suiPanel);
            EXPECT_EQ(label->pos(), QPoint(25 + 100 * (c - 1), 143 + 40 * r));
            EXPECT_EQ(label->size(), label->sizeHint()); // sized to its caption
            EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
            EXPECT_EQ(textColor(label), QColor(0, 0, 255));
            EXPECT_TRUE(label->font().underline());
            EXPECT_EQ(label->font().pixelSize(), 15);
            EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
        }
    }
    // Corners and the captions with Latin letters, as the table gives them.
    EXPECT_EQ(ui.hotKeyword(0, 1)->text(), QStringLiteral("舌尖中国"));
    EXPECT_EQ(ui.hotKeyword(0, 8)->text(), QStringLiteral("胶原蛋白"));
    EXPECT_EQ(ui.hotKeyword(1, 3)->text(), QStringLiteral("长袖T恤"));
    EXPECT_EQ(ui.hotKeyword(2, 3)->text(), QStringLiteral("BB霜"));
    EXPECT_EQ(ui.hotKeyword(3, 3)->text(), QStringLiteral("iphone5"));
    EXPECT_EQ(ui.hotKeyword(3, 5)->text(), QStringLiteral("乐Phone"));
    EXPECT_EQ(ui.hotKeyword(4, 6)->text(), QStringLiteral("自动洗衣机"));
    EXPECT_EQ(ui.hotKeyword(5, 1)->text(), QStringLiteral("苹果/APPLE"));
    EXPECT_EQ(ui.hotKeyword(5, 8)->text(), QStringLiteral("OPPO/欧普"));

    // In window coordinates the table moves with the centre panel.
    const QPoint origin = ui.suiPanel->mapTo(window.get(), QPoint(0, 0));
    EXPECT_EQ(origin, QPoint(1 + 109, 75 + 51));
    EXPECT_EQ(ui.hotKeyword(5, 8)->mapTo(window.get(), QPoint(0, 0)), origin + QPoint(725, 343));
}

TEST_F(LayoutFixture, StorePictures)
{
    for (int n = 1; n <= 8; ++n) {
        ClickLabel* image = ui.storeImages[n - 1];
        EXPECT_EQ(image->geometry(), QRect(25 + 100 * (n - 1), 437, 80, 33)) << n;
        EXPECT_EQ(image->pixmap().size(), QSize(80, 33));
        EXPECT_TRUE(image->hasScaledContents());
        EXPECT_EQ(image->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_NE(storeLogo(1).toImage(), storeLogo(2).toImage());
}

TEST_F(LayoutFixture, ResultsViewBars)
{
    ui.pan01->show();
    ui.pan03->hide();
    showWindow();

    EXPECT_EQ(ui.pnl1->geometry(), QRect(0, 0, 1018, 70));
    EXPECT_EQ(ui.pnl3->geometry(), QRect(0, 603 - 55, 1018, 55));
    EXPECT_EQ(ui.pnl2->geometry(), QRect(0, 70, 1018, 603 - 70 - 55));
    EXPECT_EQ(ui.DBGridEh1->geometry(), ui.pnl2->rect());
    EXPECT_EQ(ui.pnl1->color(), QColor(240, 240, 240));
    EXPECT_EQ(ui.pnl1->innerBevel(), SkinPanel::Bevel::Raised);
    EXPECT_TRUE(ui.pnl1->singleBorder());
    EXPECT_EQ(ui.pnl2->color(), QColor(255, 255, 255));

    EXPECT_EQ(ui.lbl1->pos(), QPoint(24, 24));
    EXPECT_EQ(ui.lbl1->text(), QStringLiteral("商品名称或型号："));
    EXPECT_EQ(ui.Edt_word->geometry(), QRect(144, 20, 617, 22));
    EXPECT_EQ(ui.suiButton1->geometry(), QRect(792, 11, 169, 40));
    EXPECT_EQ(ui.suiButton1->text(), QStringLiteral(" 智能比价搜索"));
    EXPECT_EQ(ui.suiButton1->cursor().shape(), Qt::PointingHandCursor);

    const std::pair<int, const char16_t*> boxes[] = {{20, u"全部"},      {88, u"淘宝网"},  {173, u"天猫商城"},
                                                     {273, u"京东商城"}, {373, u"亚马逊"}, {463, u"当当网"},
                                                     {553, u"苏宁易购"}, {658, u"1号店"}};
    for (size_t i = 0; i < 8; ++i) {
        QCheckBox* box = ui.checkBoxes()[i];
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_EQ(box->parentWidget(), ui.pnl3);
        EXPECT_EQ(box->pos(), QPoint(boxes[i].first, 16));
        EXPECT_EQ(box->text(), QString::fromUtf16(boxes[i].second));
        EXPECT_EQ(box->size(), box->sizeHint());
        EXPECT_TRUE(box->isChecked());
        EXPECT_EQ(family(box->font()), QStringLiteral("AR PL UMing CN"));
    }
    // Sized to their captions, neighbours do not overlap.
    for (size_t i = 1; i < 8; ++i)
        EXPECT_LT(ui.checkBoxes()[i - 1]->geometry().right(), ui.checkBoxes()[i]->x());
}

TEST_F(LayoutFixture, GridColumnsAsDesigned)
{
    struct Col {
        const char* field;
        const char16_t* title;
        const char16_t* hint;
        Qt::Alignment horizontal;
        bool readOnly;
        bool titleButton;
    };
    const Col results[] = {
        {"bz1", u"图片", u"点击下面的小图片可以浏览大图片", Qt::AlignLeft, true, false},
        {"cpmc", u"商品名称", u"点击下面的商品名称可以进入各大电商页面", Qt::AlignLeft, true, false},
        {"bz2", u"精准", u"点击精准比价可以获取更详细的比价信息", Qt::AlignHCenter, true, false},
        {"hdxx", u"优惠", u"", Qt::AlignLeft, true, false},
        {"jg", u"价格", u"点击此处列表按价格排序", Qt::AlignHCenter, true, true},
        {"rc", u"人气", u"点击此处列表按人气排序", Qt::AlignHCenter, true, true},
        {"sjlx", u"商家", u"", Qt::AlignHCenter, true, false},
        {"zpbz", u"正品", u"", Qt::AlignHCenter, true, false},
        {"pjjb", u"推荐等级", u"", Qt::AlignHCenter, true, false},
        {"check", u"收藏", u"", Qt::AlignHCenter, true, false},
    };
    const Col favorites[] = {
        {"bz1", u"图片", u"点击下面的小图片可以浏览大图片", Qt::AlignHCenter, true, false},
        {"cpmc", u"商品名称", u"点击下面的商品名称可以进入各大电商页面", Qt::AlignLeft, true, false},
        {"jjcj", u"精准", u"点击精准比价可以获取更详细的比价信息", Qt::AlignHCenter, true, false},
        {"scsj", u"收藏时间", u"", Qt::AlignHCenter, true, false},
        {"scjg", u"收藏价格", u"", Qt::AlignHCenter, true, false},
        {"gxjg", u"更新价格", u"", Qt::AlignHCenter, true, false},
        {"sjlx", u"商家", u"", Qt::AlignHCenter, true, false},
        {"bz2", u"操作", u"", Qt::AlignHCenter, true, false},
    };
    auto check = [](DBGridEh* grid, const Col* cols, int count) {
        ASSERT_EQ(grid->columnCountEh(), count);
        for (int i = 0; i < count; ++i) {
            const GridColumn& c = grid->column(i);
            SCOPED_TRACE(c.field.toStdString());
            EXPECT_EQ(c.field, QLatin1String(cols[i].field));
            EXPECT_EQ(c.title, QString::fromUtf16(cols[i].title));
            EXPECT_EQ(c.hint, QString::fromUtf16(cols[i].hint));
            EXPECT_EQ(c.alignment & Qt::AlignHorizontal_Mask, cols[i].horizontal);
            EXPECT_EQ(c.readOnly, cols[i].readOnly);
            EXPECT_EQ(c.titleButton, cols[i].titleButton);
            const QVariant tip = grid->model()->headerData(i, Qt::Horizontal, Qt::ToolTipRole);
            EXPECT_EQ(tip.toString(), QString::fromUtf16(cols[i].hint));
        }
    };
    check(ui.DBGridEh1, results, 10);
    check(ui.DBGridEh2, favorites, 8);

    // Every column but the favorite one centres its text vertically.
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ui.DBGridEh1->column(i).alignment & Qt::AlignVertical_Mask, Qt::AlignVCenter) << i;
    EXPECT_EQ(ui.DBGridEh1->column(9).alignment & Qt::AlignVertical_Mask, Qt::AlignTop);

    EXPECT_EQ(widths(ui.DBGridEh1), (std::vector<int>{70, 265, 40, 102, 92, 113, 68, 68, 85, 68}));
    EXPECT_EQ(widths(ui.DBGridEh2), (std::vector<int>{77, 275, 40, 102, 102, 204, 78, 85}));

    for (DBGridEh* grid : {ui.DBGridEh1, ui.DBGridEh2}) {
        EXPECT_EQ(grid->titleRowHeight(), 22);
        EXPECT_EQ(grid->horizontalHeader()->height(), 22);
        EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(grid));
        EXPECT_EQ(family(grid->titleFont()), QStringLiteral("AR PL UKai CN"));
        EXPECT_EQ(grid->titleFont().pixelSize(), 16);
        EXPECT_TRUE(grid->titleFont().bold());
        EXPECT_EQ(grid->titleFontColor(), QColor(255, 0, 255));
        EXPECT_EQ(grid->fixedColor(), QColor(166, 202, 240));
        EXPECT_EQ(family(grid->font()), QStringLiteral("AR PL UMing CN"));
        EXPECT_EQ(grid->font().pixelSize(), 15);
        EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
        EXPECT_TRUE(grid->tabKeyNavigation());
    }
    EXPECT_EQ(ui.DBGridEh1->defaultRowHeight(), 70);
    EXPECT_EQ(ui.DBGridEh2->defaultRowHeight(), 77);
    ASSERT_TRUE(ui.DBGridEh2->column(5).font.has_value());
    EXPECT_TRUE(ui.DBGridEh2->column(5).font->bold());
    EXPECT_EQ(ui.DBGridEh2->column(5).font->pixelSize(), 15);
}

TEST_F(LayoutFixture, ResizeStepFollowsTheWindow)
{
    ui.suiImagePanel1->show();
    ui.suiProgressBar1->setValue(40);
    ui.lbl2->setText(QStringLiteral("正在读取第 3 页"));
    ui.DBGridEh1->setFlat(false);
    ui.DBGridEh1->setFixedColor(Qt::gray);

    resizeTo(1280, 800);

    EXPECT_EQ(widths(ui.DBGridEh1), (std::vector<int>{70, 330, 51, 128, 116, 142, 85, 85, 106, 85}));
    EXPECT_EQ(widths(ui.DBGridEh2), (std::vector<int>{77, 340, 51, 128, 128, 256, 98, 106}));
    const QRect area(1, 75, 1278, 800 - 75 - 22);
    EXPECT_EQ(ui.pan03->geometry(), area);
    EXPECT_EQ(ui.suiPanel->pos(), QPoint(1278 / 2 - 400, area.height() / 2 - 250));
    EXPECT_EQ(ui.suiImagePanel1->pos(), QPoint(1280 / 2 - 400, area.height() / 2));
    EXPECT_EQ(ui.suiImagePanel1->size(), QSize(800, 121));

    // Steps 3 and 4: progress panel hidden and reset, grids flat with their fixed colour.
    EXPECT_FALSE(ui.suiImagePanel1->isVisibleTo(window.get()));
    EXPECT_EQ(ui.suiProgressBar1->value(), 0);
    EXPECT_TRUE(ui.lbl2->text().isEmpty());
    EXPECT_TRUE(ui.DBGridEh1->isFlat());
    EXPECT_TRUE(ui.DBGridEh2->isFlat());
    EXPECT_EQ(ui.DBGridEh1->fixedColor(), QColor(166, 202, 240));

    // The relative places inside the panels do not move.
    EXPECT_EQ(ui.hotKeyword(2, 4)->pos(), QPoint(325, 223));
    EXPECT_EQ(ui.suiCheckBox8->pos(), QPoint(658, 16));
    EXPECT_EQ(ui.storeImages[7]->geometry(), QRect(725, 437, 80, 33));
    EXPECT_EQ(ui.btn10->geometry(), QRect(685, 0, 97, 55));
}

TEST_F(LayoutFixture, SmallWindowPutsTheCentrePanelAtNegativePlaces)
{
    resizeTo(600, 400);
    const QRect area = ui.pan03->geometry();
    EXPECT_EQ(area, QRect(1, 75, 598, 400 - 75 - 22));
    // Halving truncates toward zero and the negative result is applied as it is.
    EXPECT_EQ(ui.suiPanel->pos(), QPoint(299 - 400, 303 / 2 - 250));
    EXPECT_EQ(ui.suiImagePanel1->pos(), QPoint(300 - 400, 303 / 2));
    EXPECT_EQ(widths(ui.DBGridEh1)[1], 600 / 4 + 10);
}

TEST_F(LayoutFixture, StatusProgressAndPreview)
{
    EXPECT_EQ(ui.StatusBar1->panelCount(), 3);
    EXPECT_EQ(ui.StatusBar1->panelRect(0).width(), 240);
    EXPECT_EQ(ui.StatusBar1->panelRect(1).width(), 350);
    EXPECT_EQ(ui.StatusBar1->panelRect(2).width(), 1018 - 590);
    EXPECT_EQ(ui.StatusBar1->panelText(1),
              QStringLiteral(" 温馨提示：本软件只提供比价服务，交易服务由各大电商提供。"));
    EXPECT_EQ(ui.StatusBar1->panelText(2),
              QStringLiteral("电商联盟：淘宝网、京东商城、亚马逊、当当网、苏宁易购、一号店……"));
    EXPECT_EQ(ui.StatusBar1->color(), QColor(241, 241, 241));
    ui.StatusBar1->setPanelText(0, StartStatusText);
    EXPECT_EQ(ui.StatusBar1->panelText(0), QStringLiteral("货比三家，比价帮助您更省钱、省事！"));

    EXPECT_EQ(ui.suiImagePanel1->parentWidget(), ui.suiForm1);
    EXPECT_EQ(ui.suiImagePanel1->color(), QColor(255, 255, 255));
    EXPECT_EQ(ui.lbl2->geometry(), QRect(33, 29, 769, 25));
    EXPECT_EQ(textColor(ui.lbl2), QColor(0, 0, 255));
    EXPECT_EQ(ui.lbl2->font().pixelSize(), 16);
    EXPECT_FALSE(ui.lbl2->autoFillBackground());
    EXPECT_EQ(ui.suiProgressBar1->geometry(), QRect(24, 64, 750, 22));
    EXPECT_EQ(ui.suiProgressBar1->minimum(), 0);
    EXPECT_EQ(ui.suiProgressBar1->maximum(), 100);
    EXPECT_TRUE(ui.suiProgressBar1->isTextVisible());

    EXPECT_EQ(ui.BigPanel->parentWidget(), ui.suiForm1);
    EXPECT_EQ(ui.BigPanel->geometry(), QRect(83, 168, 350, 350));
    EXPECT_EQ(ui.BigPanel->color(), QColor(0, 0, 0));
    EXPECT_FALSE(ui.BigPanel->isVisibleTo(window.get()));
    EXPECT_EQ(ui.BigImage->geometry(), QRect(5, 5, 340, 340));
    EXPECT_TRUE(ui.BigImage->hasScaledContents());
}
