#pragma once

#include "store/Dataset.h"
#include "ui/GridColumn.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>
#include <vector>

namespace kova {

// A table model over a Dataset: model row r is record number r + 1 in the dataset's
// current order, model columns are the grid's columns. It follows the dataset's signals
// and writes edits through the dataset (edit, set field, post).
class DatasetModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(QObject* parent = nullptr);

    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_dataset; }

    void setColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& columns() const { return m_columns; }
    const GridColumn& column(int index) const;
    void setColumn(int index, const GridColumn& column);

    // The text a cell shows: its field's value as text, empty for null or no such field.
    QString cellText(int row, int column) const;

    // What a screen reader reads of a cell (Qt::AccessibleTextRole): the text the grid
    // draws there, which may differ from the field's value.
    using AccessibleTextProvider = std::function<QString(int row, int column)>;
    void setAccessibleTextProvider(AccessibleTextProvider provider)
    {
        m_accessibleText = std::move(provider);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void datasetReset(); // after the model followed an open, close or sort of the dataset

private:
    void reload();
    void mapFields();
    int fieldIndex(int column) const;

    QPointer<Dataset> m_dataset;
    std::vector<GridColumn> m_columns;
    std::vector<int> m_fieldIndex; // per column: index into the dataset's field names
    AccessibleTextProvider m_accessibleText;
    int m_rows = 0;
    bool m_resetting = false;
};

} // namespace kova
