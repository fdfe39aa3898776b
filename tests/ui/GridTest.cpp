// The data grid over a real dataset: the model following the dataset, the current row
// both ways, clicks, mouse mapping, title buttons and sort markers, the draw handler and
// the canvas it draws on, editing, deleting and finding rows.
#include "store/Connection.h"
#include "store/Dataset.h"
#include "tests/support/TestSupport.h"
#include "ui/DBGridEh.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kova;

namespace {

std::vector<GridColumn> columns()
{
    GridColumn name;
    name.field = QStringLiteral("cpmc");
    name.title = QStringLiteral("商品名称");
    name.hint = QStringLiteral("名称提示");
    name.width = 120;
    name.readOnly = true;
    GridColumn price;
    price.field = QStringLiteral("JG"); // field names ignore case
    price.title = QStringLiteral("价格");
    price.width = 80;
    price.alignment = Qt::AlignCenter;
    price.readOnly = true;
    price.titleButton = true;
    GridColumn popularity = price;
    popularity.field = QStringLiteral("rc");
    popularity.title = QStringLiteral("人气");
    GridColumn favorite;
    favorite.field = QStringLiteral("check");
    favorite.title = QStringLiteral("收藏");
    favorite.alignment = Qt::AlignHCenter | Qt::AlignTop;
    return {name, price, popularity, favorite};
}

class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.exec(QStringLiteral("insert into cxnr (cph, cpmc, jg, rc, sjlx, \"check\") values "
                               "('A1', '诺基亚手机', '58.50', '120', '淘宝网', '点击收藏'),"
                               "('B2', '联想笔记本', '3999', '8', '京东商城', '已收藏'),"
                               "('C3', '华为平板', '9', '1500', '亚马逊', '点击收藏')"));
        connection = std::make_unique<Connection>(db.path());
        connection->open();
        dataset = std::make_unique<Dataset>(*connection);
        dataset->setSql(QStringLiteral("select * from cxnr order by jg"));
        dataset->open();
        grid = std::make_unique<DBGridEh>();
        grid->resize(500, 300);
        grid->setColumns(columns());
        grid->setDefaultRowHeight(40);
        grid->setDataset(dataset.get());
        setMessageHook([this](const Message& m) {
            messages.push_back(m);
            return answer;
        });
    }

    void TearDown() override
    {
        setMessageHook({});
        grid.reset();
        dataset.reset();
    }

    void show()
    {
        grid->show();
        QCoreApplication::processEvents();
    }

    QString cell(int row, int col) const { return grid->model()->index(row, col).data().toString(); }

    // A click through the viewport, where a user clicks.
    void clickCell(int row, int col, Qt::KeyboardModifiers mods = {})
    {
        const QRect r = grid->cellRect(row, col);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, r.center());
    }

    kova::test::TempDatabase db;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Dataset> dataset;
    std::unique_ptr<DBGridEh> grid;
    std::vector<Message> messages;
    bool answer = true;
};

} // namespace

TEST_F(GridTest, ModelFollowsTheDataset)
{
    QAbstractItemModelTester tester(grid->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(grid->model()->rowCount(), 3);
    // Statement order: by price as a number.
    EXPECT_EQ(cell(0, 0), QStringLiteral("华为平板"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("58.50"));
    EXPECT_EQ(cell(2, 3), QStringLiteral("已收藏"));

    dataset->sort(QStringLiteral("rc DESC"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("1500"));

    dataset->append();
    dataset->setField(QStringLiteral("cpmc"), QStringLiteral("小米手机"));
    dataset->setField(QStringLiteral("jg"), QStringLiteral("1999"));
    dataset->post();
    ASSERT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(cell(3, 0), QStringLiteral("小米手机"));

    dataset->setRecNo(1);
    dataset->edit();
    dataset->setField(QStringLiteral("cpmc"), QStringLiteral("华为平板 新款"));
    dataset->post();
    EXPECT_EQ(cell(0, 0), QStringLiteral("华为平板 新款"));

    dataset->deleteRow();
    ASSERT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(cell(0, 0), QStringLiteral("诺基亚手机"));

    dataset->close();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    dataset->open();
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

TEST_F(GridTest, CurrentRowFollowsTheRecordNumberBothWays)
{
    dataset->setRecNo(3);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    grid->setCurrentIndex(grid->model()->index(1, 2));
    EXPECT_EQ(dataset->recNo(), 2);
    EXPECT_EQ(dataset->fieldText(QStringLiteral("cph")), QStringLiteral("A1"));

    // A sort keeps the record current at its new place, and the grid follows it.
    dataset->sort(QStringLiteral("jg DESC"));
    EXPECT_EQ(dataset->fieldText(QStringLiteral("cph")), QStringLiteral("A1"));
    EXPECT_EQ(grid->currentIndex().row(), dataset->recNo() - 1);

    dataset->close();
    EXPECT_FALSE(grid->currentIndex().isValid());
    dataset->open();
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(GridTest, CellClickComesAfterTheRowBecameCurrent)
{
    show();
    QString clickedProduct;
    std::vector<int> clicked;
    QObject::connect(grid.get(), &DBGridEh::CellClick, grid.get(), [&](int col) {
        clicked.push_back(col);
        clickedProduct = dataset->fieldText(QStringLiteral("cph"));
    });
    clickCell(2, 3);
    ASSERT_EQ(clicked, std::vector<int>{3});
    EXPECT_EQ(clickedProduct, QStringLiteral("B2"));
    EXPECT_EQ(dataset->recNo(), 3);

    // A click on a title is not a cell click.
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(GridTest, MouseCoordAndMouseMoved)
{
    show();
    const QPoint vp = grid->viewport()->geometry().topLeft();
    const QRect header = grid->horizontalHeader()->geometry();

    EXPECT_EQ(grid->MouseCoord(header.topLeft() + QPoint(130, 5)), (GridCoord{1, 0}));
    EXPECT_EQ(grid->MouseCoord(vp + grid->cellRect(0, 0).center()), (GridCoord{0, 1}));
    EXPECT_EQ(grid->MouseCoord(vp + grid->cellRect(2, 3).center()), (GridCoord{3, 3}));
    // Right of the last column and below the last row.
    EXPECT_EQ(grid->MouseCoord(vp + QPoint(480, 10)), GridCoord{});
    EXPECT_EQ(grid->MouseCoord(vp + QPoint(10, 3 * 40 + 20)), GridCoord{});
    EXPECT_EQ(grid->MouseCoord(QPoint(-5, -5)), GridCoord{});

    std::vector<QPoint> moves;
    QObject::connect(grid.get(), &DBGridEh::MouseMoved, grid.get(), [&](QPoint p) { moves.push_back(p); });
    const QPoint inside(30, 50);
    QMouseEvent move(QEvent::MouseMove, inside, grid->viewport()->mapToGlobal(inside), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &move);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], vp + inside); // in grid coordinates, title row included
    EXPECT_EQ(grid->MouseCoord(moves[0]).row, 2);
}

TEST_F(GridTest, TitleButtonsAdvanceTheSortMarker)
{
    std::vector<std::pair<int, SortMarker>> seen; // column and its marker before the click
    QObject::connect(grid.get(), &DBGridEh::TitleBtnClick, grid.get(),
                     [&](int col, Qt::KeyboardModifiers) { seen.emplace_back(col, grid->sortMarker(col)); });

    grid->titleClick(0); // no title button
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(grid->sortMarker(0), SortMarker::None);

    grid->titleClick(1);
    EXPECT_EQ(grid->sortMarker(1), SortMarker::Down);
    EXPECT_EQ(grid->horizontalHeader()->sortIndicatorSection(), 1);
    EXPECT_EQ(grid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    grid->titleClick(1);
    EXPECT_EQ(grid->sortMarker(1), SortMarker::Up);
    EXPECT_EQ(grid->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    grid->titleClick(1);
    EXPECT_EQ(grid->sortMarker(1), SortMarker::Down);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].second, SortMarker::None);
    EXPECT_EQ(seen[1].second, SortMarker::Down);
    EXPECT_EQ(seen[2].second, SortMarker::Up);

    // One marked column at a time.
    grid->titleClick(2);
    EXPECT_EQ(grid->sortMarker(1), SortMarker::None);
    EXPECT_EQ(grid->sortMarker(2), SortMarker::Down);
    grid->titleClick(2);
    grid->titleClick(2, Qt::ControlModifier); // up → none with Ctrl
    EXPECT_EQ(grid->sortMarker(2), SortMarker::None);
    EXPECT_EQ(grid->horizontalHeader()->sortIndicatorSection(), -1);

    // A real click on the title, with Ctrl, reaches the same rule.
    show();
    seen.clear();
    QHeaderView* header = grid->horizontalHeader();
    const QPoint title(header->sectionViewportPosition(1) + 20, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ControlModifier, title);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, 1);
    EXPECT_EQ(grid->sortMarker(1), SortMarker::Down);
}

TEST_F(GridTest, DrawHandlerDrawsEveryCellOnAPreparedCanvas)
{
    struct Call {
        int recNo;
        int col;
        QString cph;
        GridDrawState state;
        QColor brush;
    };
    std::vector<Call> calls;
    grid->setDrawColumnCellHandler([&](GridCanvas& canvas, const QRect& rect, int dataCol,
                                       const GridColumn& column, GridDrawState state) {
        calls.push_back(
            {canvas.recNo(), dataCol, canvas.fieldText(QStringLiteral("CPH")), state, canvas.brushColor()});
        canvas.setBrushColor(QColor(241, 254, 250));
        grid->DefaultDrawColumnCell(canvas, rect, dataCol, column, state);
        if (column.field.compare(QLatin1String("jg"), Qt::CaseInsensitive) == 0)
            canvas.textRect(rect, rect.left() + 10, rect.top() + 32,
                            QStringLiteral("￥") + canvas.fieldText(column.field));
    });
    dataset->setRecNo(2);
    grid->setCurrentIndex(grid->model()->index(1, 1));

    RecordingGridCanvas canvas;
    const QRect rect = grid->cellRect(1, 1);
    grid->drawCell(canvas, rect, 1, 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].recNo, 2);
    EXPECT_EQ(calls[0].col, 1);
    EXPECT_EQ(calls[0].cph, QStringLiteral("A1"));
    EXPECT_TRUE(calls[0].state.selected);
    ASSERT_EQ(canvas.ops().size(), 3u);
    EXPECT_EQ(canvas.ops()[0].kind, RecordingGridCanvas::Op::Kind::Fill);
    EXPECT_EQ(canvas.ops()[0].background, QColor(241, 254, 250));
    EXPECT_EQ(canvas.ops()[1].text, QStringLiteral("58.50"));
    EXPECT_TRUE(canvas.ops()[1].flags & Qt::AlignHCenter);
    const auto* composed = canvas.lastText();
    ASSERT_NE(composed, nullptr);
    EXPECT_EQ(composed->kind, RecordingGridCanvas::Op::Kind::TextRect);
    EXPECT_EQ(composed->text, QStringLiteral("￥58.50"));
    EXPECT_EQ(composed->pos, rect.topLeft() + QPoint(10, 32));
    EXPECT_EQ(composed->rect, rect);

    // Another cell of the current row is not selected.
    RecordingGridCanvas other;
    grid->drawCell(other, grid->cellRect(1, 0), 1, 0);
    EXPECT_FALSE(calls.back().state.selected);
    EXPECT_EQ(calls.back().brush, grid->palette().color(QPalette::Base));

    // Painting the grid runs the handler for the visible cells.
    calls.clear();
    show();
    grid->grab();
    EXPECT_GE(calls.size(), 12u);
}

TEST_F(GridTest, AFailingDrawHandlerDoesNotStopThePainting)
{
    int drawn = 0;
    grid->setDrawColumnCellHandler(
        [&](GridCanvas&, const QRect&, int dataCol, const GridColumn&, GridDrawState) {
            ++drawn;
            if (dataCol == 0)
                throw std::runtime_error("unreadable picture");
        });
    show();
    grid->grab();
    EXPECT_GE(drawn, 12);
}

TEST_F(GridTest, EditingOnlyWhereAColumnIsNotReadOnly)
{
    QAbstractItemModel* model = grid->model();
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model->flags(model->index(0, 3)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(model->index(0, 0), QStringLiteral("改名")));
    EXPECT_EQ(db.scalar(QStringLiteral("select cpmc from cxnr where cph='C3'")), QStringLiteral("华为平板"));

    // Typing into the favorite cell posts through the dataset.
    show();
    grid->setFocus();
    grid->setCurrentIndex(model->index(0, 3));
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* editor = QApplication::focusWidget();
    ASSERT_NE(editor, grid.get());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("ok"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits on a queued call
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(db.scalar(QStringLiteral("select \"check\" from cxnr where cph='C3'")), QStringLiteral("ok"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("ok"));
}

TEST_F(GridTest, TabMovesBetweenCells)
{
    show();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex().column(), 1);
}

// Tab leaves the grid past its last cell (Shift+Tab before the first), Ctrl+Tab from any
// cell; Enter acts on the current cell as a click does.
TEST_F(GridTest, KeyboardLeavesTheGridAndEnterClicksTheCell)
{
    QWidget form;
    auto* before = new QLineEdit(&form);
    auto* inner = new DBGridEh(&form);
    auto* after = new QLineEdit(&form);
    inner->setColumns(columns());
    inner->setDataset(dataset.get());
    form.show();
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(&form);
    QSignalSpy clicks(inner, &DBGridEh::CellClick);

    inner->setFocus();
    inner->setCurrentIndex(inner->model()->index(2, 2));
    QTest::keyClick(inner, Qt::Key_Tab);
    EXPECT_TRUE(inner->hasFocus());
    EXPECT_EQ(inner->currentIndex(), inner->model()->index(2, 3));
    QTest::keyClick(inner, Qt::Key_Return);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 3);
    QTest::keyClick(inner, Qt::Key_Tab); // past the last cell
    EXPECT_TRUE(after->hasFocus());

    inner->setFocus();
    inner->setCurrentIndex(inner->model()->index(0, 0));
    QTest::keyClick(inner, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(before->hasFocus());

    inner->setFocus();
    inner->setCurrentIndex(inner->model()->index(1, 1));
    QTest::keyClick(inner, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(after->hasFocus());
    inner->setFocus();
    QTest::keyClick(inner, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks[1][0].toInt(), 1);
}

// A screen reader reads what a cell draws: a composed text over the field's, a picture as a
// picture, the field's text where that is what is drawn.
TEST_F(GridTest, CellsReadAsTheyAreDrawn)
{
    grid->setDrawColumnCellHandler([&](GridCanvas& canvas, const QRect& rect, int dataCol,
                                       const GridColumn& column, GridDrawState state) {
        grid->DefaultDrawColumnCell(canvas, rect, dataCol, column, state);
        if (isField(column.field, QLatin1String("jg")))
            canvas.textRect(rect, rect.left() + 10, rect.top() + 32,
                            QStringLiteral("￥") + canvas.fieldText(column.field));
        else if (isField(column.field, QLatin1String("cpmc")) && canvas.recNo() == 1)
            canvas.stretchDraw(rect, QImage(4, 4, QImage::Format_RGB32));
    });
    show();
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid.get());
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    const auto read = [&](int row, int col) {
        QAccessibleInterface* cell = table->tableInterface()->cellAt(row, col);
        return cell ? cell->text(QAccessible::Name) : QStringLiteral("(no cell)");
    };
    EXPECT_EQ(read(1, 1), QStringLiteral("￥58.50")); // not the stored "58.50"
    EXPECT_EQ(read(2, 1), QStringLiteral("￥3999"));
    EXPECT_EQ(read(0, 0), QStringLiteral("商品图片"));
    EXPECT_EQ(read(1, 0), QStringLiteral("诺基亚手机"));
    EXPECT_EQ(read(1, 2), QStringLiteral("120"));
    EXPECT_EQ(read(1, 3), QStringLiteral("点击收藏"));

    // A change of the row reads at once.
    dataset->setRecNo(2);
    dataset->edit();
    dataset->setField(QStringLiteral("jg"), QStringLiteral("60"));
    dataset->post();
    EXPECT_EQ(read(dataset->recNo() - 1, 1), QStringLiteral("￥60"));
}

TEST_F(GridTest, CtrlDeleteAsksBeforeDeletingTheCurrentRow)
{
    show();
    dataset->setRecNo(2);
    answer = false;
    QTest::keyClick(grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Question);
    EXPECT_EQ(messages[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 3);

    answer = true;
    QTest::keyClick(grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 2);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cph='A1'")), QStringLiteral("0"));
    EXPECT_EQ(grid->model()->rowCount(), 2);

    // A grid with its own delete runs that instead.
    int handled = 0;
    messages.clear();
    grid->setDeleteRowHandler([&] { ++handled; });
    QTest::keyClick(grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 2);
}

TEST_F(GridTest, FindGoesToTheNextMatchingRow)
{
    grid->setCurrentIndex(grid->model()->index(0, 0));
    EXPECT_TRUE(grid->findNext(QStringLiteral("联想")));
    EXPECT_EQ(dataset->fieldText(QStringLiteral("cph")), QStringLiteral("B2"));
    // Only in the given column; wraps around past the last row.
    EXPECT_TRUE(grid->findNext(QStringLiteral("点击收藏"), 3));
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_FALSE(grid->findNext(QStringLiteral("点击收藏"), 0));
    EXPECT_FALSE(grid->findNext(QStringLiteral("不存在的商品")));
    EXPECT_EQ(grid->currentIndex().row(), 0);

    show();
    QTest::keyClick(grid.get(), Qt::Key_F, Qt::ControlModifier);
    auto* dialog = grid->findChild<QDialog*>(QStringLiteral("GridFindDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
}
