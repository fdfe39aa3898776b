#pragma once

#include "ui/GridCanvas.h"
#include "ui/GridColumn.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <vector>

namespace kova {

class Dataset;
class DatasetModel;
class DBGridEh;

// The title row of a DBGridEh: titles in the title font and colour on the fixed colour,
// raised, with the sort markers; hints as tool tips.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(DBGridEh* grid);
    Qt::KeyboardModifiers lastClickModifiers() const { return m_modifiers; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    DBGridEh* m_grid;
    Qt::KeyboardModifiers m_modifiers;
};

// A data-bound grid over a Dataset (the data grid library): one row per record, one
// column per GridColumn, the current row following the dataset's record number both ways.
// Every data cell is drawn by a per-cell draw handler (DefaultDrawColumnCell when none is
// set), on a GridCanvas prepared with the column's font and the cell's brush.
//
// Options: titles shown, no row indicator column, columns resizable by dragging, column
// and row lines, Tab moves between cells (and on past the last cell to the next control,
// Shift+Tab back past the first; Ctrl+Tab and Ctrl+Shift+Tab leave it from any cell), Enter
// on a cell acts as a click on it, editing where a column is not
// read-only (posted through the dataset), Ctrl+Delete deletes the current row after a confirmation (or runs
// the delete handler), Ctrl+F opens a find dialog over the rows; title buttons advance
// their sort marker.
class DBGridEh : public QTableView {
    Q_OBJECT
public:
    using DrawColumnCellHandler = std::function<void(GridCanvas& canvas, const QRect& rect, int dataCol,
                                                     const GridColumn& column, GridDrawState state)>;
    using DeleteRowHandler = std::function<void()>;

    static constexpr int DefaultColumnWidth = GridColumn::DefaultWidth;

    explicit DBGridEh(QWidget* parent = nullptr);
    ~DBGridEh() override;

    void setDataset(Dataset* dataset);
    Dataset* dataset() const;
    DatasetModel* datasetModel() const { return m_model; }

    void setColumns(std::vector<GridColumn> columns); // widths from the columns' design widths
    int columnCountEh() const;
    const GridColumn& column(int index) const;
    int columnOfField(const QString& field) const;       // -1 when no column shows it
    void setColumn(int index, const GridColumn& column); // keeps the current width
    void setColumnFont(int index, const QFont& font);
    void setColumnFontColor(int index, const QColor& color);

    void setDefaultRowHeight(int height);
    int defaultRowHeight() const;
    void setTitleRowHeight(int height);
    int titleRowHeight() const;
    void setTitleFont(const QFont& font);
    QFont titleFont() const { return m_titleFont; }
    void setTitleFontColor(const QColor& color);
    QColor titleFontColor() const { return m_titleFontColor; }
    void setFixedColor(const QColor& color); // the title cells' colour
    QColor fixedColor() const { return m_fixedColor; }
    void setFlat(bool flat);
    bool isFlat() const { return m_flat; }

    void setSortMarker(int col, SortMarker marker);
    SortMarker sortMarker(int col) const;
    void clearSortMarkers();
    void setAutoSortMarking(bool on) { m_autoSortMarking = on; }
    bool autoSortMarking() const { return m_autoSortMarking; }
    // What a click on a title does: TitleBtnClick (for a title button), then the marker
    // advances: none → down, down → up, up → down (up → none with Ctrl); a column that gets
    // a marker clears all others.
    void titleClick(int col, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    void setDrawColumnCellHandler(DrawColumnCellHandler handler);
    // The standard drawing: fills the cell with the brush colour and writes the field text
    // with the column's alignment in the canvas font and font colour.
    void DefaultDrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol, const GridColumn& column,
                               GridDrawState state);
    // Prepares the canvas for a data cell (record, column font, brush, state) and runs the
    // draw handler. The delegate paints through it; a test can pass a recording canvas.
    void drawCell(GridCanvas& canvas, const QRect& rect, int row, int col);
    GridDrawState drawState(int row, int col) const;
    QRect cellRect(int row, int col) const; // in viewport coordinates

    // What the cell draws, as a screen reader reads it: the texts left visible, or
    // "商品图片" for a cell that shows only a picture.
    QString drawnText(int row, int col);

    // Pointer position in grid coordinates → cell (see GridCoord).
    GridCoord MouseCoord(QPoint pos) const;

    void setDeleteRowHandler(DeleteRowHandler handler) { m_deleteRowHandler = std::move(handler); }
    void deleteCurrentRow(); // what Ctrl+Delete does

    // Finds the next row (after the current one, wrapping) whose text in `col` (or in any
    // column when col is -1) contains `text`, without regard to case; makes it current.
    bool findNext(const QString& text, int col = -1);
    void openFindDialog(); // what Ctrl+F does

signals:
    void TitleBtnClick(int col, Qt::KeyboardModifiers modifiers);
    void CellClick(int dataCol); // a click on a data cell, after its row became current
    void MouseMoved(QPoint pos); // pointer moves over the grid, in grid coordinates

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followDatasetRecNo();
    void applyColumnWidths();

    DatasetModel* m_model;
    GridHeader* m_header;
    DrawColumnCellHandler m_drawHandler;
    DeleteRowHandler m_deleteRowHandler;
    std::vector<SortMarker> m_markers;
    QFont m_titleFont;
    QColor m_titleFontColor{0, 0, 0};
    QColor m_fixedColor{212, 208, 200};
    bool m_flat = false;
    bool m_autoSortMarking = true;
    bool m_syncing = false;
    int m_titleRowHeight = 22;
    QPointer<QWidget> m_findDialog;
};

} // namespace kova
