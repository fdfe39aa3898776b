// What the window looks like when drawn: glyphs for every text in the font that draws it,
// the design colours sampled from a rendering, and the grid titles' hints as tool tips.
#include "tests/ui/LayoutFixture.h"

#include "ui/Fonts.h"

#include <QAbstractButton>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

using namespace kova;
using kova::test::LayoutFixture;

namespace {

// Characters of `text` missing from the font that is asked for (not from a fallback).
QString missingGlyphs(const QFont& font, const QString& text)
{
    QFont strict(font);
    strict.setStyleStrategy(QFont::NoFontMerging);
    const QFontMetrics metrics(strict);
    QString missing;
    for (const char32_t c : text.toUcs4())
        if (!metrics.inFontUcs4(c))
            missing += QString::fromUcs4(&c, 1);
    return missing;
}

struct Text {
    QString where;
    QString text;
    QFont font;
};

std::vector<Text> windowTexts(QWidget* window, const FrmkovaUi& ui)
{
    std::vector<Text> texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts.push_back({label->objectName(), label->text(), label->font()});
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            texts.push_back({button->objectName(), button->text(), button->font()});
    for (int i = 0; i < ui.StatusBar1->panelCount(); ++i)
        texts.push_back({QStringLiteral("StatusBar1"), ui.StatusBar1->panelText(i), ui.StatusBar1->font()});
    texts.push_back({QStringLiteral("StatusBar1"), StartStatusText, ui.StatusBar1->font()});
    for (DBGridEh* grid : {ui.DBGridEh1, ui.DBGridEh2}) {
        for (int i = 0; i < grid->columnCountEh(); ++i) {
            texts.push_back({grid->objectName(), grid->column(i).title, grid->titleFont()});
            texts.push_back({grid->objectName(), grid->column(i).hint, QToolTip::font()});
        }
        // What the draw handlers and the page readers put into the cells.
        texts.push_back({grid->objectName(),
                         QStringLiteral("加载中…精准比价点击收藏已收藏删除收藏￥58.00销量1234笔评论1234条"
                                        "★★★★★保障可信，涨价￥，降价￥2013-05-01 12:30:00"),
                         grid->font()});
    }
    texts.push_back({QStringLiteral("suiForm1"), ui.suiForm1->caption() + QStringLiteral(" V1.0 （Tavi版）"),
                     ui.suiForm1->captionFont()});
    texts.push_back({QStringLiteral("lbl2"), QStringLiteral("正在搜索“笔记本电脑”，请稍候……已完成 100%"),
                     ui.lbl2->font()});
    return texts;
}

QColor pixel(const QImage& image, QPoint p)
{
    return QColor(image.pixel(p));
}

int countNear(const QImage& image, const QRect& rect, const QColor& colour, int tolerance)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = pixel(image, {x, y});
            if (qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance &&
                qAbs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

void saveScreenshot(QWidget* window, const char* name)
{
    const QByteArray dir = qgetenv("KOVA_UI_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        window->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QLatin1String(name)));
}

} // namespace

TEST_F(LayoutFixture, EveryTextHasGlyphsInTheFontThatDrawsIt)
{
    const std::vector<Text> texts = windowTexts(window.get(), ui);
    ASSERT_GT(texts.size(), 48u + 8u + 8u);
    for (const Text& t : texts)
        EXPECT_EQ(missingGlyphs(t.font, t.text), QString())
            << t.where.toStdString() << ": " << t.text.toStdString() << " in "
            << QFontInfo(t.font).family().toStdString();
}

TEST(Glyphs, CheckFindsAMissingGlyph)
{
    // The check itself must be able to fail: a Latin-only font has no Chinese.
    QFont latin(QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(missingGlyphs(latin, QStringLiteral("a比b")), QStringLiteral("比"));
}

TEST_F(LayoutFixture, DesignColoursInTheRendering)
{
    showWindow();
    QImage shot = window->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(1020, 700));

    // The tool bar's own colour, until the creation step makes it transparent.
    EXPECT_EQ(pixel(shot, {900, 40}), QColor(128, 255, 255));
    ui.suiToolBar1->setTransparent(true);
    shot = window->grab().toImage();
    saveScreenshot(window.get(), "kova-start-page.png");

    const QColor border(38, 67, 121);
    EXPECT_EQ(pixel(shot, {0, 350}), border);
    EXPECT_EQ(pixel(shot, {1019, 350}), border);
    EXPECT_EQ(pixel(shot, {500, 699}), border);
    EXPECT_EQ(pixel(shot, {500, 0}), border);
    EXPECT_EQ(pixel(shot, {900, 40}), QColor(241, 241, 241));  // frame background through the tool bar
    EXPECT_EQ(pixel(shot, {40, 90}), QColor(230, 236, 249));   // start page
    EXPECT_EQ(pixel(shot, {301, 678}), QColor(241, 241, 241)); // status bar, above its panels
    EXPECT_EQ(pixel(shot, {1008, 689}), QColor(241, 241, 241));

    // Title bar caption in black, hot keywords in blue, store logos drawn.
    EXPECT_GT(countNear(shot, QRect(6, 2, 120, 16), Qt::black, 40), 20);
    const QRect keyword(ui.hotKeyword(0, 1)->mapTo(window.get(), QPoint(0, 0)), ui.hotKeyword(0, 1)->size());
    EXPECT_GT(countNear(shot, keyword, QColor(0, 0, 255), 40), 20);
    const QRect logo(ui.storeImages[0]->mapTo(window.get(), QPoint(0, 0)), QSize(80, 33));
    EXPECT_LT(countNear(shot, logo, QColor(230, 236, 249), 4), 80 * 33 / 4);

    // Results view: grid titles on the fixed colour, in the title colour.
    ui.pan03->hide();
    ui.pan01->show();
    QCoreApplication::processEvents();
    shot = window->grab().toImage();
    saveScreenshot(window.get(), "kova-results-view.png");
    QHeaderView* header = ui.DBGridEh1->horizontalHeader();
    const QPoint headerOrigin = header->mapTo(window.get(), QPoint(0, 0));
    EXPECT_EQ(pixel(shot, headerOrigin + QPoint(5, 11)), QColor(166, 202, 240));
    const QRect titles(headerOrigin, QSize(header->length(), header->height()));
    EXPECT_GT(countNear(shot, titles, QColor(255, 0, 255), 30), 30);
    // Filter bar and search bar background.
    EXPECT_EQ(pixel(shot, ui.pnl3->mapTo(window.get(), QPoint(900, 27))), QColor(240, 240, 240));
    EXPECT_EQ(pixel(shot, ui.pnl1->mapTo(window.get(), QPoint(5, 35))), QColor(240, 240, 240));
}

TEST_F(LayoutFixture, GridTitleHintsShowAsToolTips)
{
    ui.pan03->hide();
    ui.pan01->show();
    ui.pan02->show();
    showWindow();
    struct Case {
        DBGridEh* grid;
        int column;
        QString hint;
    };
    const Case cases[] = {
        {ui.DBGridEh1, 0, QStringLiteral("点击下面的小图片可以浏览大图片")},
        {ui.DBGridEh1, 4, QStringLiteral("点击此处列表按价格排序")},
        {ui.DBGridEh1, 5, QStringLiteral("点击此处列表按人气排序")},
        {ui.DBGridEh2, 1, QStringLiteral("点击下面的商品名称可以进入各大电商页面")},
        {ui.DBGridEh2, 2, QStringLiteral("点击精准比价可以获取更详细的比价信息")},
    };
    auto help = [](DBGridEh* grid, int column) {
        QHeaderView* header = grid->horizontalHeader();
        const QPoint pos(header->sectionViewportPosition(column) + 10, header->height() / 2);
        QHelpEvent event(QEvent::ToolTip, pos, header->viewport()->mapToGlobal(pos));
        QCoreApplication::sendEvent(header->viewport(), &event);
    };
    // A title without a hint shows none.
    help(ui.DBGridEh1, 3);
    EXPECT_FALSE(QToolTip::isVisible());
    for (const Case& c : cases) {
        help(c.grid, c.column);
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), c.hint) << c.grid->objectName().toStdString() << " " << c.column;
    }
    QToolTip::hideText();
}
