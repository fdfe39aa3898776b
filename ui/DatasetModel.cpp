#include "ui/DatasetModel.h"

#include "store/Dataset.h"
#include "ui/Messages.h"

namespace kova {

DatasetModel::DatasetModel(QObject* parent) : QAbstractTableModel(parent) {}

void DatasetModel::setDataset(Dataset* dataset)
{
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    m_dataset = dataset;
    if (dataset) {
        // The dataset announces each change before it makes it, as a model must.
        connect(dataset, &Dataset::aboutToReset, this, [this] {
            if (!m_resetting) {
                m_resetting = true;
                beginResetModel();
            }
        });
        connect(dataset, &Dataset::reset, this, &DatasetModel::reload);
        connect(dataset, &Dataset::rowChanged, this, [this](int row) {
            if (row >= 0 && row < m_rows && !m_columns.empty())
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        connect(dataset, &Dataset::rowsAboutToBeInserted, this,
                [this](int first, int last) { beginInsertRows({}, first, last); });
        connect(dataset, &Dataset::rowsInserted, this, [this](int first, int last) {
            m_rows += last - first + 1;
            endInsertRows();
        });
        connect(dataset, &Dataset::rowAboutToBeRemoved, this,
                [this](int row) { beginRemoveRows({}, row, row); });
        connect(dataset, &Dataset::rowRemoved, this, [this](int) {
            --m_rows;
            endRemoveRows();
        });
        connect(dataset, &QObject::destroyed, this, [this] {
            m_dataset = nullptr;
            reload();
        });
    }
    reload();
}

void DatasetModel::reload()
{
    if (!m_resetting)
        beginResetModel();
    m_resetting = false;
    m_rows = (m_dataset && m_dataset->isActive()) ? m_dataset->recordCount() : 0;
    mapFields();
    endResetModel();
    emit datasetReset();
}

void DatasetModel::mapFields()
{
    m_fieldIndex.assign(m_columns.size(), -1);
    if (!m_dataset || !m_dataset->isActive())
        return;
    const QStringList names = m_dataset->fieldNames();
    for (size_t i = 0; i < m_columns.size(); ++i)
        m_fieldIndex[i] = indexOfField(names, m_columns[i].field);
}

void DatasetModel::setColumns(std::vector<GridColumn> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    mapFields();
    endResetModel();
}

const GridColumn& DatasetModel::column(int index) const
{
    static const GridColumn none;
    if (index < 0 || index >= columnCount())
        return none;
    return m_columns[static_cast<size_t>(index)];
}

void DatasetModel::setColumn(int index, const GridColumn& column)
{
    if (index < 0 || index >= columnCount())
        return;
    const bool fieldChanged = !isField(m_columns[static_cast<size_t>(index)].field, column.field);
    m_columns[static_cast<size_t>(index)] = column;
    if (fieldChanged)
        mapFields();
    emit headerDataChanged(Qt::Horizontal, index, index);
    if (m_rows > 0)
        emit dataChanged(this->index(0, index), this->index(m_rows - 1, index));
}

int DatasetModel::fieldIndex(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_fieldIndex.size()))
        return -1;
    return m_fieldIndex[static_cast<size_t>(column)];
}

QString DatasetModel::cellText(int row, int column) const
{
    const int field = fieldIndex(column);
    if (!m_dataset || field < 0 || row < 0 || row >= m_rows || row >= m_dataset->recordCount())
        return {};
    const QVariant value = m_dataset->fieldAt(row, field);
    return value.isNull() ? QString() : value.toString();
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const GridColumn& c = column(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cellText(index.row(), index.column());
    case Qt::AccessibleTextRole:
        return m_accessibleText ? m_accessibleText(index.row(), index.column()) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(c.alignment);
    case Qt::FontRole:
        return c.font ? QVariant(*c.font) : QVariant();
    case Qt::ForegroundRole:
        return c.fontColor ? QVariant(*c.fontColor) : QVariant();
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& c = column(section);
    switch (role) {
    case Qt::DisplayRole:
        return c.title;
    case Qt::ToolTipRole:
        return c.hint.isEmpty() ? QVariant() : QVariant(c.hint);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!column(index.column()).readOnly && fieldIndex(index.column()) >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || !m_dataset)
        return false;
    if (value.toString() == cellText(index.row(), index.column()))
        return true;
    bool posted = false;
    Guarded([&] {
        Dataset& ds = *m_dataset;
        ds.setRecNo(index.row() + 1);
        ds.edit();
        try {
            ds.setField(column(index.column()).field, value);
            ds.post();
        } catch (...) {
            ds.cancel();
            throw;
        }
        posted = true;
    });
    if (posted)
        emit dataChanged(index, index);
    return posted;
}

} // namespace kova
