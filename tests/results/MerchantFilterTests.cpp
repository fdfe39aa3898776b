// The merchant filter bar and the title sort of the result grid in the real main window:
// the cascades of the eight check boxes with their runs of get_cxnr, the statements to the
// character, and the sort order over title clicks.
#include "tests/results/ResultWindowFixture.h"

#include "store/Dataset.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QScrollBar>

using namespace kova;
using namespace kova::test;

namespace {

const QString Unrestricted = QStringLiteral("select * from cxnr order by jg");
const QString SevenMerchants =
    QStringLiteral("select * from cxnr where sjlx=\"淘宝网\"  or sjlx=\"天猫商城\"  or sjlx=\"京东商城\"  or "
                   "sjlx=\"亚马逊\"  or "
                   "sjlx=\"当当网\"  or sjlx=\"苏宁易购\"  or sjlx=\"1号店\"  order by jg");

class MerchantFilter : public ResultWindow {
protected:
    void SetUp() override
    {
        ResultWindow::SetUp();
        start();
        window->ui.edt_key->setText(QString());
        window->suiButton4Click(); // shows the results view; an empty keyword sends nothing
        db.exec(QStringLiteral(
            "insert into cxnr (bh, cph, jg, rc, sjlx, \"check\") values "
            "(1, 'c1', '9', '700', '淘宝网', '点击收藏'), (2, 'c2', '58.50', '60000', '天猫商城', "
            "'点击收藏'),"
            "(3, 'c3', '100', '8', '京东商城', '点击收藏'), (4, 'c4', '1299.00', '95', '亚马逊', '点击收藏'),"
            "(5, 'c5', '3.5', '1200', '当当网', '点击收藏'), (6, 'c6', '20', '0', '苏宁易购', '点击收藏'),"
            "(7, 'c7', '7', '31', '1号店', '点击收藏'), (8, 'c8', '15', '450', '国美在线', '点击收藏')"));
        window->get_cxnr();
        ASSERT_EQ(window->ADOQuery2.recordCount(), 8);
    }

    QCheckBox* box(int n) const { return window->ui.checkBoxes()[static_cast<size_t>(n - 1)]; }
    // A user's click on box n; returns how many times get_cxnr ran for it.
    int clickBox(int n)
    {
        const int before = window->getCxnrRuns();
        box(n)->click();
        return window->getCxnrRuns() - before;
    }
    QString statement() const { return window->ADOQuery2.sql().trimmed(); }
    QString status() const { return window->ui.StatusBar1->panelText(0); }
    QStringList column(const QString& name) const
    {
        QStringList values;
        const Dataset& rows = window->ADOQuery2;
        const int c = indexOfField(rows.fieldNames(), name);
        for (int r = 0; r < rows.recordCount(); ++r)
            values << rows.fieldAt(r, c).toString();
        return values;
    }
    void clickTitle(const QString& field, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const int c = col(field);
        grid()->scrollTo(grid()->datasetModel()->index(0, c));
        QHeaderView* header = grid()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    }
    SortMarker marker(const QString& field) const { return grid()->sortMarker(col(field)); }
    QStringList byPrice() const
    {
        return {QStringLiteral("3.5"), QStringLiteral("7"),      QStringLiteral("9"),
                QStringLiteral("15"),  QStringLiteral("20"),     QStringLiteral("58.50"),
                QStringLiteral("100"), QStringLiteral("1299.00")};
    }
    static QStringList reversed(QStringList list)
    {
        std::reverse(list.begin(), list.end());
        return list;
    }
};

TEST_F(MerchantFilter, AllBoxesTickedListEveryOfferAndClearingAllKeepsTheSeven)
{
    EXPECT_EQ(statement(), Unrestricted);
    EXPECT_EQ(status(), QStringLiteral("本次筛选结果有: 8 条记录"));
    EXPECT_EQ(column(QStringLiteral("jg")), byPrice());

    EXPECT_EQ(clickBox(1), 1);
    for (int n = 2; n <= 8; ++n)
        EXPECT_TRUE(box(n)->isChecked()) << n;
    EXPECT_EQ(statement(), SevenMerchants);
    EXPECT_EQ(window->ADOQuery2.recordCount(), 7);
    EXPECT_FALSE(column(QStringLiteral("sjlx")).contains(QStringLiteral("国美在线")));
    EXPECT_EQ(status(), QStringLiteral("本次筛选结果有: 7 条记录"));
}

TEST_F(MerchantFilter, ClearingAMerchantRunsTwiceUnderAllAndOnceWithout)
{
    EXPECT_EQ(clickBox(4), 2); // 京东商城 clears "全部", whose handler runs it first
    EXPECT_FALSE(box(1)->isChecked());
    EXPECT_EQ(statement(),
              QStringLiteral("select * from cxnr where sjlx=\"淘宝网\"  or sjlx=\"天猫商城\"  or "
                             "sjlx=\"亚马逊\"  or sjlx=\"当当网\"  or sjlx=\"苏宁易购\"  or "
                             "sjlx=\"1号店\"  order by jg"));
    EXPECT_EQ(window->ADOQuery2.recordCount(), 6);

    EXPECT_EQ(clickBox(2), 1);
    EXPECT_EQ(statement(),
              QStringLiteral("select * from cxnr where sjlx=\"天猫商城\"  or sjlx=\"亚马逊\"  or "
                             "sjlx=\"当当网\"  or sjlx=\"苏宁易购\"  or sjlx=\"1号店\"  order by jg"));
    EXPECT_EQ(status(), QStringLiteral("本次筛选结果有: 5 条记录"));
}

TEST_F(MerchantFilter, TickingAMerchantRunsOnceAndNeverTicksAll)
{
    clickBox(4);
    clickBox(2);
    EXPECT_EQ(clickBox(2), 1);
    EXPECT_EQ(clickBox(4), 1); // all seven ticked again
    EXPECT_FALSE(box(1)->isChecked());
    EXPECT_EQ(statement(), SevenMerchants);
    EXPECT_EQ(window->ADOQuery2.recordCount(), 7);
}

TEST_F(MerchantFilter, TickingAllAfterClearingThreeRunsFourTimesAndLiftsTheRestriction)
{
    clickBox(3);
    clickBox(5);
    clickBox(8);
    ASSERT_FALSE(box(1)->isChecked());
    EXPECT_EQ(clickBox(1), 4);
    for (int n = 1; n <= 8; ++n)
        EXPECT_TRUE(box(n)->isChecked()) << n;
    EXPECT_EQ(statement(), Unrestricted);
    EXPECT_EQ(window->ADOQuery2.recordCount(), 8);
    EXPECT_EQ(status(), QStringLiteral("本次筛选结果有: 8 条记录"));
}

TEST_F(MerchantFilter, TwoMerchantsGiveTheExactStatementInPriceOrder)
{
    clickBox(1);
    for (int n : {3, 5, 6, 7, 8})
        clickBox(n);
    EXPECT_EQ(statement(),
              QStringLiteral("select * from cxnr where sjlx=\"淘宝网\"  or sjlx=\"京东商城\"  order by jg"));
    EXPECT_EQ(column(QStringLiteral("jg")), (QStringList{QStringLiteral("9"), QStringLiteral("100")}));
    EXPECT_EQ(window->ADOQuery2.recNo(), 1);
}

TEST_F(MerchantFilter, NoBoxTickedGivesAnEmptyListAndACountOfNought)
{
    clickBox(1);
    for (int n = 2; n <= 7; ++n)
        clickBox(n);
    EXPECT_EQ(statement(), QStringLiteral("select * from cxnr where sjlx=\"1号店\"  order by jg"));
    EXPECT_EQ(clickBox(8), 1);
    EXPECT_EQ(statement(), QStringLiteral("select * from cxnr where sjlx=\"全部\" order by jg"));
    EXPECT_EQ(window->ADOQuery2.recordCount(), 0);
    EXPECT_EQ(status(), QStringLiteral("本次筛选结果有: 0 条记录"));
}

TEST_F(MerchantFilter, PriceTitleSortsDescendingThenAlternatesWithoutRunningTheStatement)
{
    const int runs = window->getCxnrRuns();
    clickTitle(QStringLiteral("jg"));
    EXPECT_EQ(column(QStringLiteral("jg")), reversed(byPrice()));
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::Down);
    clickTitle(QStringLiteral("jg"));
    EXPECT_EQ(column(QStringLiteral("jg")), byPrice());
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::Up);
    clickTitle(QStringLiteral("jg"));
    EXPECT_EQ(column(QStringLiteral("jg")), reversed(byPrice()));
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::Down);
    EXPECT_EQ(window->getCxnrRuns(), runs);
    EXPECT_EQ(statement(), Unrestricted);

    // Popularity sorts by value and takes the only marker.
    clickTitle(QStringLiteral("rc"));
    EXPECT_EQ(column(QStringLiteral("rc")),
              (QStringList{QStringLiteral("60000"), QStringLiteral("1200"), QStringLiteral("700"),
                           QStringLiteral("450"), QStringLiteral("95"), QStringLiteral("31"),
                           QStringLiteral("8"), QStringLiteral("0")}));
    EXPECT_EQ(marker(QStringLiteral("rc")), SortMarker::Down);
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::None);

    // Other titles are no buttons.
    clickTitle(QStringLiteral("sjlx"));
    EXPECT_EQ(marker(QStringLiteral("sjlx")), SortMarker::None);
    EXPECT_EQ(marker(QStringLiteral("rc")), SortMarker::Down);
    EXPECT_EQ(column(QStringLiteral("rc")).front(), QStringLiteral("60000"));
}

TEST_F(MerchantFilter, CtrlClickAfterUpClearsTheMarkerAndTheNextClickSortsDescending)
{
    clickTitle(QStringLiteral("jg"));
    clickTitle(QStringLiteral("jg"));
    ASSERT_EQ(marker(QStringLiteral("jg")), SortMarker::Up);
    clickTitle(QStringLiteral("jg"), Qt::ControlModifier);
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::None);
    EXPECT_EQ(column(QStringLiteral("jg")), reversed(byPrice()));
    clickTitle(QStringLiteral("jg"));
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::Down);
    EXPECT_EQ(column(QStringLiteral("jg")), reversed(byPrice()));
}

TEST_F(MerchantFilter, FilterAfterPopularitySortRestoresPriceOrderAndClearsTheMarker)
{
    clickTitle(QStringLiteral("rc"));
    ASSERT_EQ(column(QStringLiteral("rc")).front(), QStringLiteral("60000"));
    clickBox(7); // 苏宁易购
    EXPECT_EQ(column(QStringLiteral("jg")),
              (QStringList{QStringLiteral("3.5"), QStringLiteral("7"), QStringLiteral("9"),
                           QStringLiteral("58.50"), QStringLiteral("100"), QStringLiteral("1299.00")}));
    // No marker claims an order the rows no longer have.
    EXPECT_EQ(marker(QStringLiteral("rc")), SortMarker::None);
    // The next click starts afresh: descending.
    clickTitle(QStringLiteral("rc"));
    EXPECT_EQ(column(QStringLiteral("rc")).front(), QStringLiteral("60000"));
    EXPECT_EQ(marker(QStringLiteral("rc")), SortMarker::Down);
}

TEST_F(MerchantFilter, SortShowsTheTopOfTheListAndASearchClearsTheMarkers)
{
    grid()->resize(grid()->width(), 150); // a few rows on screen
    window->ADOQuery2.setRecNo(8);
    grid()->scrollToBottom();
    ASSERT_GT(grid()->verticalScrollBar()->value(), 0);
    clickTitle(QStringLiteral("jg"));
    EXPECT_EQ(window->ADOQuery2.recNo(), 1);
    EXPECT_EQ(grid()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(column(QStringLiteral("jg")).front(), QStringLiteral("1299.00"));

    window->ui.Edt_word->setText(QString());
    window->suiButton1Click(); // empties the grid in price order
    EXPECT_EQ(marker(QStringLiteral("jg")), SortMarker::None);
    EXPECT_EQ(window->ADOQuery2.recordCount(), 0);
}

TEST_F(MerchantFilter, FailingStatementIsReportedAndTheGridUpdatesAgain)
{
    const QString before = status();
    db.exec(QStringLiteral("drop table cxnr"));
    messages.clear();
    clickBox(1);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_TRUE(grid()->updatesEnabled());
    EXPECT_EQ(status(), before);
}

} // namespace
