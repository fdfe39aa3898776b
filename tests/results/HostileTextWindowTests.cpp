// Hostile and junk texts from the service in the real main window: names with markup,
// entities and direction controls, prices that are no numbers, and a favorite named
// <img src="/dev/zero">. Every place shows them as the texts they are.
#include "tests/results/ResultWindowFixture.h"

#include "results/ResultCellPainter.h"
#include "server/HostileTexts.h"
#include "service/HttpClient.h"
#include "store/Money.h"
#include "store/PlainText.h"
#include "ui/DatasetModel.h"

#include <QAccessible>
#include <QLabel>
#include <QSet>
#include <QTextDocument>

using namespace kova;
using namespace kova::test;

namespace {

// Every text the progress label had when it was painted.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel* label) : m_label(label) { label->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint) {
            texts.insert(m_label->text());
            plain = plain && m_label->textFormat() == Qt::PlainText;
        }
        return false;
    }
    QSet<QString> texts;
    bool plain = true;

private:
    QLabel* m_label;
};

class HostileTexts : public ResultWindow {
protected:
    void SetUp() override
    {
        ResultWindow::SetUp();
        start();
    }
    QString drawnText(DBGridEh* grid, int row, const QString& field)
    {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        QAccessibleInterface* cell =
            table ? table->tableInterface()->cellAt(row, grid->columnOfField(field)) : nullptr;
        return cell ? cell->text(QAccessible::Name) : QStringLiteral("(no cell)");
    }
};

TEST_F(HostileTexts, NamesWithMarkupAreShownAsTheirTexts)
{
    ASSERT_TRUE(window->ui.lbl2->textFormat() == Qt::PlainText);
    search(QStringLiteral("hostile40"));
    const int rows = window->ADOQuery2.recordCount();
    ASSERT_GT(rows, 0);
    int hostile = 0;
    int spoofed = 0;
    for (int row = 0; row < rows; ++row) {
        SCOPED_TRACE(row);
        const QString name = field(row, QStringLiteral("cpmc"));
        EXPECT_FALSE(HoldsBidiControls(name));
        EXPECT_FALSE(HoldsBidiControls(field(row, QStringLiteral("hdxx"))));
        // What a screen reader reads is what is drawn: the stored text, markup and all.
        EXPECT_EQ(drawnText(grid(), row, QStringLiteral("cpmc")), name);
        // The result page's cells are kept as the page writes them, entities and all.
        hostile += name.contains(QStringLiteral("img src")) ? 1 : 0;
        spoofed += name == QStringLiteral("正品gnp.exe 手机") ? 1 : 0;
    }
    EXPECT_GT(hostile, 0);
    EXPECT_GT(spoofed, 0);
    EXPECT_EQ(window->ui.lbl2->textFormat(), Qt::PlainText);
}

TEST_F(HostileTexts, AFavoriteNamedLikeAPictureOpensAndShowsItsName)
{
    search(QStringLiteral("hostile15"));
    HttpClient http;
    http.get(
        Requests().addFavorite(window->state().UserId, window->state().UserPassword, QStringLiteral("2")));
    PaintedTexts painted(window->ui.lbl2);
    window->ui.btn2->click();
    ASSERT_TRUE(waitUntil(
        [this] { return window->ui.StatusBar1->panelText(0).startsWith(QStringLiteral("您收藏的商品共有")); },
        20000));
    ASSERT_EQ(window->ADOQuery3.recordCount(), 1);
    const Dataset& favorites = window->ADOQuery3;
    const QString name =
        favorites.fieldAt(0, indexOfField(favorites.fieldNames(), QStringLiteral("cpmc"))).toString();
    // The page escapes the cell, and the list keeps the text as the page writes it.
    EXPECT_EQ(name, QStringLiteral("&lt;img src=\"/dev/zero\"&gt;"));
    EXPECT_EQ(drawnText(window->ui.DBGridEh2, 0, QStringLiteral("cpmc")), name);
    EXPECT_TRUE(painted.plain);
    bool shown = false;
    for (const QString& text : painted.texts)
        shown = shown || text.endsWith(QStringLiteral("） ") + name);
    EXPECT_TRUE(shown);

    // A page that sends the markup unescaped gives the reader an <IMG …> cell: the label
    // shows it as text. As rich text it would read /dev/zero until memory ran out.
    const QString raw = QStringLiteral("正在获取商品收藏夹数据： （淘宝网） <IMG src=\"/dev/zero\">");
    ASSERT_TRUE(Qt::mightBeRichText(raw));
    painted.texts.clear();
    window->showProgress(50, raw);
    window->ui.lbl2->repaint();
    EXPECT_EQ(window->ui.lbl2->text(), raw);
    EXPECT_TRUE(painted.plain);
    EXPECT_TRUE(painted.texts.contains(raw));
}

TEST_F(HostileTexts, JunkPricesAreDrawnAsPriceUnknown)
{
    search(QStringLiteral("junkprice40"));
    const int rows = window->ADOQuery2.recordCount();
    ASSERT_GT(rows, 0);
    int junk = 0;
    for (int row = 0; row < rows; ++row) {
        const QString jg = field(row, QStringLiteral("jg"));
        const QString shown = drawnText(grid(), row, QStringLiteral("jg"));
        SCOPED_TRACE(jg.toStdString());
        if (jg.isEmpty())
            continue;
        if (IsShownPrice(jg)) {
            EXPECT_EQ(shown, ResultPriceText(jg));
            EXPECT_TRUE(shown.startsWith(QStringLiteral("￥")));
        } else {
            EXPECT_EQ(shown, QStringLiteral("价格未知"));
            ++junk;
        }
    }
    EXPECT_GT(junk, 0);
}

// Rows stored by an older version still hold direction controls: the grid draws without them.
TEST_F(HostileTexts, StoredDirectionControlsAreNotDrawn)
{
    search(QStringLiteral("test2"));
    db.exec(QStringLiteral("update cxnr set cpmc = 'abc' || char(8238) || 'gpj.exe' || char(8297), "
                           "hdxx = char(8234) || '满100减20' where bh = 1"));
    window->ADOQuery2.open();
    int row = 0;
    while (row < window->ADOQuery2.recordCount() && field(row, QStringLiteral("bh")) != QStringLiteral("1"))
        ++row;
    ASSERT_LT(row, window->ADOQuery2.recordCount());
    ASSERT_TRUE(HoldsBidiControls(field(row, QStringLiteral("cpmc"))));
    EXPECT_EQ(drawnText(grid(), row, QStringLiteral("cpmc")), QStringLiteral("abcgpj.exe"));
    EXPECT_EQ(drawnText(grid(), row, QStringLiteral("hdxx")), QStringLiteral("满100减20"));
}

} // namespace
