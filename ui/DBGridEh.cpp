#include "ui/DBGridEh.h"

#include "store/Dataset.h"
#include "store/PlainText.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace kova {
namespace {

class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(DBGridEh* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setClipRect(option.rect, Qt::IntersectClip);
        GridCanvas canvas(painter);
        m_grid->drawCell(canvas, option.rect, index.row(), index.column());
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            const GridColumn& column = m_grid->column(index.column());
            editor->setFont(column.font.value_or(m_grid->font()));
        }
        return editor;
    }

private:
    DBGridEh* m_grid;
};

// The grid's find dialog: a text, the column to look in, "find next".
class GridFindDialog : public QDialog {
public:
    explicit GridFindDialog(DBGridEh* grid) : QDialog(grid), m_grid(grid)
    {
        setObjectName(QStringLiteral("GridFindDialog"));
        setWindowTitle(QStringLiteral("查找"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto* text = new QLineEdit(this);
        text->setObjectName(QStringLiteral("findText"));
        auto* where = new QComboBox(this);
        where->setObjectName(QStringLiteral("findColumn"));
        where->addItem(QStringLiteral("全部列"), -1);
        for (int i = 0; i < grid->columnCountEh(); ++i)
            where->addItem(grid->column(i).title, i);
        auto* next = new QPushButton(QStringLiteral("查找下一个"), this);
        next->setObjectName(QStringLiteral("findNext"));
        next->setDefault(true);
        auto* close = new QPushButton(QStringLiteral("关闭"), this);

        auto* row1 = new QHBoxLayout;
        row1->addWidget(new QLabel(QStringLiteral("查找内容："), this));
        row1->addWidget(text, 1);
        auto* row2 = new QHBoxLayout;
        row2->addWidget(new QLabel(QStringLiteral("查找范围："), this));
        row2->addWidget(where, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(next);
        buttons->addWidget(close);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(row1);
        layout->addLayout(row2);
        layout->addLayout(buttons);

        connect(close, &QPushButton::clicked, this, &QDialog::close);
        connect(next, &QPushButton::clicked, this, [this, text, where] {
            if (text->text().isEmpty())
                return;
            if (!m_grid->findNext(text->text(), where->currentData().toInt()))
                ShowInfo(QStringLiteral("找不到“%1”。").arg(text->text()));
        });
    }

private:
    DBGridEh* m_grid;
};

void drawSortMarker(QPainter* p, const QRect& r, SortMarker marker, const QColor& color)
{
    if (marker == SortMarker::None)
        return;
    const int cx = r.right() - 8;
    const int cy = r.center().y();
    QPolygon triangle;
    if (marker == SortMarker::Down)
        triangle << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
    else
        triangle << QPoint(cx - 4, cy + 3) << QPoint(cx + 4, cy + 3) << QPoint(cx, cy - 2);
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(Qt::NoPen);
    p->setBrush(color);
    p->drawPolygon(triangle);
    p->restore();
}

} // namespace

GridHeader::GridHeader(DBGridEh* grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setStretchLastSection(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setMinimumSectionSize(8);
    setDefaultSectionSize(DBGridEh::DefaultColumnWidth);
    setMouseTracking(true);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, m_grid->fixedColor());
    const QRect r = rect.adjusted(0, 0, -1, -1);
    // Raised title cell; the flat grid keeps a one-pixel edge.
    painter->setPen(QColor(255, 255, 255));
    painter->drawLine(r.topLeft(), r.topRight());
    painter->drawLine(r.topLeft(), r.bottomLeft());
    painter->setPen(QColor(128, 128, 128));
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    if (!m_grid->isFlat()) {
        painter->setPen(QColor(64, 64, 64));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomRight());
    }
    const QString title = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    const SortMarker marker = m_grid->sortMarker(logicalIndex);
    const QRect textRect = rect.adjusted(2, 0, marker == SortMarker::None ? -2 : -14, 0);
    painter->setClipRect(rect);
    painter->setFont(m_grid->titleFont());
    painter->setPen(m_grid->titleFontColor());
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, title);
    drawSortMarker(painter, rect, marker, QColor(64, 64, 64));
    painter->restore();
}

void GridHeader::mousePressEvent(QMouseEvent* event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}

DBGridEh::DBGridEh(QWidget* parent)
    : QTableView(parent), m_model(new DatasetModel(this)), m_header(new GridHeader(this)), m_titleFont(font())
{
    setHorizontalHeader(m_header);
    setModel(m_model);
    setItemDelegate(new GridDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setWordWrap(true);
    setCornerButtonEnabled(false);
    setMouseTracking(true);
    setTitleRowHeight(m_titleRowHeight);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);

    viewport()->installEventFilter(this);
    m_header->viewport()->installEventFilter(this);
    m_header->viewport()->setMouseTracking(true);

    connect(m_header, &QHeaderView::sectionClicked, this,
            [this](int section) { titleClick(section, m_header->lastClickModifiers()); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit CellClick(index.column());
    });
    connect(m_model, &DatasetModel::datasetReset, this, &DBGridEh::followDatasetRecNo);
    m_model->setAccessibleTextProvider([this](int row, int col) { return drawnText(row, col); });
}

DBGridEh::~DBGridEh() = default;

void DBGridEh::setDataset(Dataset* dataset)
{
    if (Dataset* old = m_model->dataset())
        disconnect(old, nullptr, this, nullptr);
    m_model->setDataset(dataset);
    if (dataset)
        connect(dataset, &Dataset::currentChanged, this, [this](int) { followDatasetRecNo(); });
    followDatasetRecNo();
}

Dataset* DBGridEh::dataset() const
{
    return m_model->dataset();
}

void DBGridEh::setColumns(std::vector<GridColumn> columns)
{
    m_model->setColumns(std::move(columns));
    m_markers.assign(m_model->columns().size(), SortMarker::None);
    applyColumnWidths();
    followDatasetRecNo();
}

void DBGridEh::applyColumnWidths()
{
    for (int i = 0; i < columnCountEh(); ++i)
        setColumnWidth(i, column(i).width);
}

int DBGridEh::columnCountEh() const
{
    return m_model->columnCount();
}

int DBGridEh::columnOfField(const QString& field) const
{
    for (int i = 0; i < columnCountEh(); ++i) {
        if (isField(column(i).field, field))
            return i;
    }
    return -1;
}

const GridColumn& DBGridEh::column(int index) const
{
    return m_model->column(index);
}

void DBGridEh::setColumn(int index, const GridColumn& column)
{
    m_model->setColumn(index, column);
    viewport()->update();
}

void DBGridEh::setColumnFont(int index, const QFont& font)
{
    GridColumn c = column(index);
    c.font = font;
    setColumn(index, c);
}

void DBGridEh::setColumnFontColor(int index, const QColor& color)
{
    GridColumn c = column(index);
    c.fontColor = color;
    setColumn(index, c);
}

void DBGridEh::setDefaultRowHeight(int height)
{
    verticalHeader()->setMinimumSectionSize(qMin(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
}

int DBGridEh::defaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void DBGridEh::setTitleRowHeight(int height)
{
    m_titleRowHeight = height;
    m_header->setFixedHeight(height);
}

int DBGridEh::titleRowHeight() const
{
    return m_titleRowHeight;
}

void DBGridEh::setTitleFont(const QFont& font)
{
    m_titleFont = font;
    m_header->viewport()->update();
}

void DBGridEh::setTitleFontColor(const QColor& color)
{
    m_titleFontColor = color;
    m_header->viewport()->update();
}

void DBGridEh::setFixedColor(const QColor& color)
{
    m_fixedColor = color;
    m_header->viewport()->update();
}

void DBGridEh::setFlat(bool flat)
{
    m_flat = flat;
    setFrameShape(flat ? QFrame::Box : QFrame::StyledPanel);
    setFrameShadow(flat ? QFrame::Plain : QFrame::Sunken);
    setLineWidth(1);
    m_header->viewport()->update();
    viewport()->update();
}

void DBGridEh::setSortMarker(int col, SortMarker marker)
{
    if (col < 0 || col >= static_cast<int>(m_markers.size()))
        return;
    m_markers[static_cast<size_t>(col)] = marker;
    // The header's own sort indicator follows the marked column; the grid draws the markers.
    if (marker != SortMarker::None)
        m_header->setSortIndicator(col,
                                   marker == SortMarker::Down ? Qt::DescendingOrder : Qt::AscendingOrder);
    else if (m_header->sortIndicatorSection() == col)
        m_header->setSortIndicator(-1, Qt::AscendingOrder);
    m_header->viewport()->update();
}

SortMarker DBGridEh::sortMarker(int col) const
{
    if (col < 0 || col >= static_cast<int>(m_markers.size()))
        return SortMarker::None;
    return m_markers[static_cast<size_t>(col)];
}

void DBGridEh::clearSortMarkers()
{
    for (int col = 0; col < static_cast<int>(m_markers.size()); ++col)
        setSortMarker(col, SortMarker::None);
}

void DBGridEh::titleClick(int col, Qt::KeyboardModifiers modifiers)
{
    if (col < 0 || col >= columnCountEh() || !column(col).titleButton)
        return;
    emit TitleBtnClick(col, modifiers);
    if (!m_autoSortMarking)
        return;
    SortMarker next = SortMarker::Down;
    switch (sortMarker(col)) {
    case SortMarker::None:
        next = SortMarker::Down;
        break;
    case SortMarker::Down:
        next = SortMarker::Up;
        break;
    case SortMarker::Up:
        next = (modifiers & Qt::ControlModifier) ? SortMarker::None : SortMarker::Down;
        break;
    }
    if (next != SortMarker::None)
        std::fill(m_markers.begin(), m_markers.end(), SortMarker::None);
    setSortMarker(col, next);
}

void DBGridEh::setDrawColumnCellHandler(DrawColumnCellHandler handler)
{
    m_drawHandler = std::move(handler);
    viewport()->update();
}

void DBGridEh::DefaultDrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol,
                                     const GridColumn& column, GridDrawState)
{
    canvas.fillRect(rect);
    // Rows stored by an older version may still hold direction controls.
    const QString text =
        StripBidiControls(canvas.dataset() == dataset() ? m_model->cellText(canvas.row(), dataCol)
                                                        : canvas.fieldText(column.field));
    if (text.isEmpty())
        return;
    canvas.drawText(rect.adjusted(2, 2, -2, -2), static_cast<int>(column.alignment) | Qt::TextWordWrap, text);
}

GridDrawState DBGridEh::drawState(int row, int col) const
{
    const QModelIndex current = currentIndex();
    GridDrawState state;
    state.selected = current.isValid() && current.row() == row && current.column() == col;
    state.focused = state.selected && hasFocus();
    return state;
}

QRect DBGridEh::cellRect(int row, int col) const
{
    return visualRect(m_model->index(row, col));
}

void DBGridEh::drawCell(GridCanvas& canvas, const QRect& rect, int row, int col)
{
    const GridColumn& c = column(col);
    const GridDrawState state = drawState(row, col);
    canvas.setRecord(dataset(), row);
    canvas.setFont(c.font.value_or(font()));
    if (state.selected) {
        canvas.setBrushColor(palette().color(QPalette::Highlight));
        canvas.setFontColor(palette().color(QPalette::HighlightedText));
    } else {
        canvas.setBrushColor(palette().color(QPalette::Base));
        canvas.setFontColor(c.fontColor.value_or(palette().color(QPalette::Text)));
    }
    if (m_drawHandler) {
        try {
            m_drawHandler(canvas, rect, col, c, state);
        } catch (const std::exception&) {
            // A failing handler must not stop the painting of the other cells.
        }
    } else {
        DefaultDrawColumnCell(canvas, rect, col, c, state);
    }
}

QString DBGridEh::drawnText(int row, int col)
{
    RecordingGridCanvas canvas;
    const QRect cell(0, 0, columnWidth(col), rowHeight(row));
    drawCell(canvas, cell, row, col);
    return canvas.visibleText(cell, QStringLiteral("商品图片"));
}

GridCoord DBGridEh::MouseCoord(QPoint pos) const
{
    const QRect header = m_header->geometry();
    if (m_header->isVisible() && header.contains(pos)) {
        const int col = m_header->logicalIndexAt(pos.x() - header.x());
        return col < 0 ? GridCoord{} : GridCoord{col, 0};
    }
    const QRect view = viewport()->geometry();
    if (!view.contains(pos))
        return {};
    const QPoint p = pos - view.topLeft();
    const int row = rowAt(p.y());
    const int col = columnAt(p.x());
    if (row < 0 || col < 0)
        return {};
    return {col, row + 1};
}

void DBGridEh::deleteCurrentRow()
{
    if (m_deleteRowHandler) {
        Guarded(m_deleteRowHandler);
        return;
    }
    Dataset* ds = dataset();
    if (!ds || !ds->isActive() || ds->recordCount() == 0)
        return;
    if (!AskOkCancel(QStringLiteral("删除记录吗？")))
        return;
    Guarded([ds] { ds->deleteRow(); });
}

bool DBGridEh::findNext(const QString& text, int col)
{
    const int rows = m_model->rowCount();
    if (rows == 0 || text.isEmpty())
        return false;
    const int start = currentIndex().isValid() ? currentIndex().row() : -1;
    for (int step = 1; step <= rows; ++step) {
        const int row = (start + step) % rows;
        for (int c = 0; c < columnCountEh(); ++c) {
            if (col >= 0 && c != col)
                continue;
            if (m_model->cellText(row, c).contains(text, Qt::CaseInsensitive)) {
                setCurrentIndex(m_model->index(row, c));
                scrollTo(currentIndex());
                return true;
            }
        }
    }
    return false;
}

void DBGridEh::openFindDialog()
{
    if (m_findDialog) {
        m_findDialog->raise();
        m_findDialog->activateWindow();
        return;
    }
    auto* dialog = new GridFindDialog(this);
    m_findDialog = dialog;
    dialog->show();
}

bool DBGridEh::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && (watched == viewport() || watched == m_header->viewport())) {
        auto* widget = static_cast<QWidget*>(watched);
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        emit MouseMoved(widget->mapTo(this, pos));
    }
    return QTableView::eventFilter(watched, event);
}

void DBGridEh::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->key() == Qt::Key_Delete) {
            event->accept();
            deleteCurrentRow();
            return;
        }
        if (event->key() == Qt::Key_F) {
            event->accept();
            openFindDialog();
            return;
        }
    }
    // Ctrl+Tab and Ctrl+Shift+Tab leave the grid from any cell.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
        (event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(!back);
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && state() != EditingState &&
        currentIndex().isValid()) {
        event->accept();
        emit CellClick(currentIndex().column());
        return;
    }
    QTableView::keyPressEvent(event);
}

bool DBGridEh::focusNextPrevChild(bool next)
{
    // Tab walks the cells; past the last one (or back past the first) it leaves the grid.
    const QModelIndex current = currentIndex();
    const int rows = m_model->rowCount();
    const int cols = columnCountEh();
    const bool atEnd = !current.isValid() || rows == 0 ||
                       (next ? current.row() == rows - 1 && current.column() == cols - 1
                             : current.row() == 0 && current.column() == 0);
    if (atEnd)
        return QWidget::focusNextPrevChild(next);
    return QTableView::focusNextPrevChild(next);
}

void DBGridEh::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    Dataset* ds = dataset();
    if (m_syncing || !ds || !current.isValid() || current.row() == previous.row())
        return;
    m_syncing = true;
    Guarded([&] {
        if (ds->recNo() != current.row() + 1)
            ds->setRecNo(current.row() + 1);
    });
    m_syncing = false;
}

void DBGridEh::followDatasetRecNo()
{
    if (m_syncing)
        return;
    Dataset* ds = dataset();
    const int recNo = ds && ds->isActive() ? ds->recNo() : 0;
    m_syncing = true;
    if (recNo >= 1 && recNo <= m_model->rowCount()) {
        const int col = currentIndex().isValid() ? currentIndex().column() : 0;
        if (!currentIndex().isValid() || currentIndex().row() != recNo - 1)
            setCurrentIndex(m_model->index(recNo - 1, qMax(0, col)));
    } else if (currentIndex().isValid()) {
        selectionModel()->clearCurrentIndex();
    }
    m_syncing = false;
}

} // namespace kova
