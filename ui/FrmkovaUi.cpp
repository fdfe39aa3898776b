#include "ui/FrmkovaUi.h"

#include "store/Merchants.h"
#include "ui/Accessibility.h"
#include "ui/Fonts.h"
#include "ui/FrmkovaLayout.h"
#include "ui/Pictures.h"

#include <QVBoxLayout>

namespace kova {
namespace {

const QColor Maroon(128, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QColor PanelGrey(240, 240, 240);
const QColor EditBorder(104, 104, 104);

template <class W> W* make(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

void setTextColor(QWidget* w, const QColor& color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    w->setPalette(pal);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos, const QColor& color)
{
    auto* label = make<QLabel>(parent, name);
    label->setFont(songFont(15));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    setTextColor(label, color);
    label->move(pos);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* edit = make<QLineEdit>(parent, name);
    edit->setFont(songFont(15));
    edit->setGeometry(geometry);
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid rgb(104, 104, 104); background: white;"
                                       " color: black; padding: 0px 2px; }"));
    return edit;
}

SkinButton* makeSearchButton(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* button = make<SkinButton>(parent, name);
    button->setText(QStringLiteral(" 智能比价搜索"));
    button->setFont(songFont(15));
    button->setGlyph(searchButtonGlyph());
    button->setGlyphSpacing(4);
    button->setGeometry(geometry);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QToolButton* makeToolButton(SkinToolBar* bar, const char* name, const QString& caption, int icon)
{
    auto* button = make<SkinToolButton>(bar, name);
    button->setText(caption);
    button->setIcon(QIcon(ImageList1(icon)));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(sansFont(13));
    bar->addItem(button, 97);
    return button;
}

QToolButton* makeSeparator(SkinToolBar* bar, const char* name)
{
    auto* separator = make<SkinToolButton>(bar, name);
    separator->setSeparator(true);
    separator->setFocusPolicy(Qt::NoFocus);
    bar->addItem(separator, 2);
    return separator;
}

SkinPanel* makeBar(QWidget* parent, const char* name, int height)
{
    auto* bar = make<SkinPanel>(parent, name);
    bar->setColor(PanelGrey);
    bar->setInnerBevel(SkinPanel::Bevel::Raised);
    bar->setSingleBorder(true);
    bar->setFixedHeight(height);
    return bar;
}

void setupGrid(DBGridEh* grid, std::vector<GridColumn> columns, int rowHeight)
{
    grid->setFont(songFont(15));
    QPalette pal = grid->palette();
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Base, Qt::white);
    grid->setPalette(pal);
    grid->setColumns(std::move(columns));
    grid->setDefaultRowHeight(rowHeight);
    grid->setTitleRowHeight(22);
    grid->setTitleFont(kaiFont(16, true));
    grid->setTitleFontColor(GridTitleFontColor);
    grid->setFixedColor(GridFixedColor);
}

const char* const ProgressBarStyle = R"(
QProgressBar {
    border: 1px solid rgb(104, 104, 104);
    background: rgb(238, 238, 238);
    color: black;
    text-align: center;
}
QProgressBar::chunk {
    background: rgb(96, 160, 232);
}
)";

} // namespace

const std::array<QString, 48>& hotKeywordCaptions()
{
    static const std::array<QString, 48> captions{
        QStringLiteral("舌尖中国"),   QStringLiteral("婴儿奶粉"),   QStringLiteral("左旋肉碱"),
        QStringLiteral("减肥药"),     QStringLiteral("瘦腿精油"),   QStringLiteral("按摩器"),
        QStringLiteral("健身器"),     QStringLiteral("胶原蛋白"), //
        QStringLiteral("女装新款"),   QStringLiteral("连衣裙"),     QStringLiteral("长袖T恤"),
        QStringLiteral("女装雪纺"),   QStringLiteral("新款韩版"),   QStringLiteral("情侣装"),
        QStringLiteral("亲子装"),     QStringLiteral("休闲裤"), //
        QStringLiteral("身体美白"),   QStringLiteral("防脱生发"),   QStringLiteral("BB霜"),
        QStringLiteral("香奈儿"),     QStringLiteral("芳草集"),     QStringLiteral("金戒指"),
        QStringLiteral("手链"),       QStringLiteral("水晶项链"), //
        QStringLiteral("苹果手机"),   QStringLiteral("安卓手机"),   QStringLiteral("iphone5"),
        QStringLiteral("iphone4"),    QStringLiteral("乐Phone"),    QStringLiteral("HTC"),
        QStringLiteral("小米手机"),   QStringLiteral("三星手机"), //
        QStringLiteral("智能手机"),   QStringLiteral("ipad2"),      QStringLiteral("ipad3"),
        QStringLiteral("ipod"),       QStringLiteral("液晶电视"),   QStringLiteral("自动洗衣机"),
        QStringLiteral("电冰箱"),     QStringLiteral("笔记本电脑"), //
        QStringLiteral("苹果/APPLE"), QStringLiteral("诺基亚"),     QStringLiteral("联想"),
        QStringLiteral("华为"),       QStringLiteral("ZTE/中兴"),   QStringLiteral("摩托罗拉"),
        QStringLiteral("Sony/索尼"),  QStringLiteral("OPPO/欧普"),
    };
    return captions;
}

std::array<QCheckBox*, 8> FrmkovaUi::checkBoxes() const
{
    return {suiCheckBox1, suiCheckBox2, suiCheckBox3, suiCheckBox4,
            suiCheckBox5, suiCheckBox6, suiCheckBox7, suiCheckBox8};
}

std::array<QToolButton*, 11> FrmkovaUi::toolBarItems() const
{
    return {ToolButton1, btn1, btn2, btn3, ToolButton2, btn5, btn8, btn7, btn9, ToolButton6, btn10};
}

void FrmkovaUi::setupUi(QWidget* window)
{
    installFontSubstitutions();
    installAccessibleInterfaces();
    ensureUiResources();

    window->setWindowTitle(DesignCaption);
    window->setWindowIcon(kovaWindowIcon());
    window->setMinimumSize(200, 50);
    window->resize(DesignWidth, DesignHeight);

    suiForm1 = new SkinFrame(window);
    suiForm1->setObjectName(QStringLiteral("suiForm1"));
    suiForm1->setCaption(DesignCaption);
    suiForm1->setCaptionFont(songFont(16, true));

    // Tool bar.
    suiToolBar1 = make<SkinToolBar>(suiForm1, "suiToolBar1");
    suiToolBar1->setColor(QColor(128, 255, 255));
    suiToolBar1->setFont(sansFont(13));
    ToolButton1 = makeSeparator(suiToolBar1, "ToolButton1");
    btn1 = makeToolButton(suiToolBar1, "btn1", QStringLiteral("   网购比价搜索   "), 18);
    btn2 = makeToolButton(suiToolBar1, "btn2", QStringLiteral("商品收藏夹"), 11);
    btn3 = makeToolButton(suiToolBar1, "btn3", QStringLiteral("商品降价通知"), 14);
    ToolButton2 = makeSeparator(suiToolBar1, "ToolButton2");
    btn5 = makeToolButton(suiToolBar1, "btn5", QStringLiteral("网购网址"), 13);
    btn8 = makeToolButton(suiToolBar1, "btn8", QStringLiteral("官方网站"), 6);
    btn7 = makeToolButton(suiToolBar1, "btn7", QStringLiteral("用户反馈"), 3);
    btn9 = makeToolButton(suiToolBar1, "btn9", QStringLiteral("关于软件"), 8);
    ToolButton6 = makeSeparator(suiToolBar1, "ToolButton6");
    btn10 = makeToolButton(suiToolBar1, "btn10", QStringLiteral("关闭窗口"), 9);
    suiForm1->setToolBar(suiToolBar1, ToolBarHeight);

    // Start page.
    pan03 = make<SkinPanel>(suiForm1, "pan03");
    pan03->setColor(QColor(230, 236, 249));
    pan03->setInnerBevel(SkinPanel::Bevel::Lowered);
    suiPanel = make<SkinPanel>(pan03, "suiPanel");
    suiPanel->setTransparent(true);
    suiPanel->setGeometry(73, 13, 810, 500);

    Label4 =
        makeLabel(suiPanel, "Label4",
                  QStringLiteral("一次搜索，比遍淘宝、天猫、京东、亚马逊、当当、苏宁、1号店的价格和口碑，"
                                 "买到放心又实惠的正品！"),
                  {24, 24}, Red);
    Label4->setGeometry(24, 24, 780, 15);
    Label1 = makeLabel(suiPanel, "Label1", QStringLiteral("商品名称或型号："), {24, 68}, Maroon);
    edt_key = makeEdit(suiPanel, "edt_key", {152, 64, 456, 22});
    Label1->setBuddy(edt_key); // a screen reader names the box by its label
    suiButton4 = makeSearchButton(suiPanel, "suiButton4", {625, 55, 169, 40});
    Label2 = makeLabel(suiPanel, "Label2", QStringLiteral("热门搜索关键字："), {24, 108}, Maroon);

    const auto& captions = hotKeywordCaptions();
    for (int r = 0; r < HotKeywordRows; ++r) {
        for (int c = 1; c <= HotKeywordColumns; ++c) {
            auto* label = new ClickLabel(suiPanel);
            label->setObjectName(QStringLiteral("lab%1%2").arg(r).arg(c));
            QFont font = songFont(15);
            font.setUnderline(true);
            label->setFont(font);
            setTextColor(label, Blue);
            label->setText(captions[static_cast<size_t>(r * 8 + c - 1)]);
            label->setCursor(Qt::PointingHandCursor);
            label->move(25 + 100 * (c - 1), 143 + 40 * r);
            label->adjustSize();
            hotKeywords[static_cast<size_t>(r * 8 + c - 1)] = label;
        }
    }

    Label3 = makeLabel(suiPanel, "Label3", QStringLiteral("电子商务联盟："), {24, 403}, Maroon);
    for (int n = 1; n <= 8; ++n) {
        auto* image = new ClickLabel(suiPanel);
        image->setObjectName(QStringLiteral("Image%1").arg(n));
        image->setGeometry(25 + 100 * (n - 1), 437, 80, 33);
        image->setPixmap(storeLogo(n));
        image->setCursor(Qt::PointingHandCursor);
        storeImages[static_cast<size_t>(n - 1)] = image;
    }
    suiForm1->addView(pan03);

    // Results view.
    pan01 = make<SkinPanel>(suiForm1, "pan01");
    pan01->setColor(PanelGrey);
    pnl1 = makeBar(pan01, "pnl1", 70);
    lbl1 = makeLabel(pnl1, "lbl1", QStringLiteral("商品名称或型号："), {24, 24},
                     window->palette().color(QPalette::WindowText));
    Edt_word = makeEdit(pnl1, "Edt_word", {144, 20, 617, 22});
    lbl1->setBuddy(Edt_word);
    suiButton1 = makeSearchButton(pnl1, "suiButton1", {792, 11, 169, 40});

    pnl2 = make<SkinPanel>(pan01, "pnl2");
    pnl2->setColor(Qt::white);
    DBGridEh1 = make<DBGridEh>(pnl2, "DBGridEh1");
    setupGrid(DBGridEh1, resultGridColumns(), 70);
    auto* gridArea = new QVBoxLayout(pnl2);
    gridArea->setContentsMargins(0, 0, 0, 0);
    gridArea->addWidget(DBGridEh1);

    pnl3 = makeBar(pan01, "pnl3", 55);
    // "全部", then the merchants in filter order.
    const std::array<std::pair<int, QString>, 8> boxes{{
        {20, QStringLiteral("全部")},
        {88, FilterMerchants[0]},
        {173, FilterMerchants[1]},
        {273, FilterMerchants[2]},
        {373, FilterMerchants[3]},
        {463, FilterMerchants[4]},
        {553, FilterMerchants[5]},
        {658, FilterMerchants[6]},
    }};
    std::array<QCheckBox**, 8> boxMembers{&suiCheckBox1, &suiCheckBox2, &suiCheckBox3, &suiCheckBox4,
                                          &suiCheckBox5, &suiCheckBox6, &suiCheckBox7, &suiCheckBox8};
    for (size_t i = 0; i < boxes.size(); ++i) {
        auto* box = new QCheckBox(boxes[i].second, pnl3);
        box->setObjectName(QStringLiteral("suiCheckBox%1").arg(i + 1));
        box->setFont(songFont(15));
        setTextColor(box, Qt::black);
        box->setChecked(true);
        box->move(boxes[i].first, 16);
        box->adjustSize();
        *boxMembers[i] = box;
    }

    auto* results = new QVBoxLayout(pan01);
    results->setContentsMargins(0, 0, 0, 0);
    results->setSpacing(0);
    results->addWidget(pnl1);
    results->addWidget(pnl2, 1);
    results->addWidget(pnl3);
    suiForm1->addView(pan01);

    // Favorites view.
    pan02 = make<SkinPanel>(suiForm1, "pan02");
    pan02->setColor(Qt::white);
    DBGridEh2 = make<DBGridEh>(pan02, "DBGridEh2");
    setupGrid(DBGridEh2, favoritesGridColumns(), 77);
    DBGridEh2->setFlat(true);
    auto* favorites = new QVBoxLayout(pan02);
    favorites->setContentsMargins(0, 0, 0, 0);
    favorites->addWidget(DBGridEh2);
    suiForm1->addView(pan02);

    // Only the start page shows until a command picks another view.
    pan01->hide();
    pan02->hide();

    // Status bar.
    StatusBar1 = make<StatusBar>(suiForm1, "StatusBar1");
    StatusBar1->setFont(songFont(12));
    StatusBar1->setColor(QColor(241, 241, 241));
    StatusBar1->addPanel(240);
    StatusBar1->addPanel(350, QStringLiteral(" 温馨提示：本软件只提供比价服务，交易服务由各大电商提供。"));
    StatusBar1->addPanel(-1,
                         QStringLiteral("电商联盟：淘宝网、京东商城、亚马逊、当当网、苏宁易购、一号店……"));
    suiForm1->setStatusBar(StatusBar1, StatusBarHeight);

    // Progress panel.
    suiImagePanel1 = make<SkinPanel>(suiForm1, "suiImagePanel1");
    suiImagePanel1->setColor(Qt::white);
    suiImagePanel1->setSingleBorder(true);
    suiImagePanel1->setGeometry(96, 264, 800, 121);
    suiImagePanel1->setAccessibleName(QStringLiteral("进度"));
    lbl2 = make<QLabel>(suiImagePanel1, "lbl2");
    lbl2->setFont(songFont(16));
    // It shows the name of the row being read: page text, never markup.
    lbl2->setTextFormat(Qt::PlainText);
    setTextColor(lbl2, Blue);
    lbl2->setGeometry(33, 29, 769, 25);
    suiProgressBar1 = make<QProgressBar>(suiImagePanel1, "suiProgressBar1");
    suiProgressBar1->setOrientation(Qt::Horizontal);
    suiProgressBar1->setRange(0, 100);
    suiProgressBar1->setValue(0);
    suiProgressBar1->setTextVisible(true);
    suiProgressBar1->setFont(songFont(12));
    suiProgressBar1->setStyleSheet(QLatin1String(ProgressBarStyle));
    suiProgressBar1->setGeometry(24, 64, 750, 22);
    suiProgressBar1->setAccessibleName(QStringLiteral("进度"));
    suiImagePanel1->hide();

    // Picture preview.
    BigPanel = make<SkinPanel>(suiForm1, "BigPanel");
    BigPanel->setColor(Qt::black);
    BigPanel->setGeometry(83, 168, 350, 350);
    BigImage = make<ClickLabel>(BigPanel, "BigImage");
    BigImage->setGeometry(5, 5, 340, 340);
    BigImage->setScaledContents(true);
    BigImage->setAccessibleName(QStringLiteral("商品大图片"));
    BigPanel->hide();

    suiImagePanel1->raise();
    BigPanel->raise();
    suiForm1->syncToWindow();
}

} // namespace kova
