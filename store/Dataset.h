#pragma once

#include "store/PackedRow.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace kova {

class Connection;
class StatementCache;

// A query object over a Connection, in the manner of the ADO query objects the program
// is written against: the statement text is replaced by clear() + add(); a select is
// opened into a static snapshot of its rows; the cursor moves by record number; rows are
// appended, edited and deleted through the cursor and each post is committed at once.
//
// Row operations act on exactly the current row by its row id, so two rows with equal
// values stay apart. That needs the table's row id: it is available for statements of
// the form "select * from <table> ..." (the only selects the program runs); for other
// selects the dataset is read-only.
//
// Record numbers count from 1; recNo() is 0 when the dataset is empty or closed.
// All errors are kova::Error with SQLite's message.
class Dataset : public QObject {
    Q_OBJECT
public:
    explicit Dataset(Connection& connection, QObject* parent = nullptr);
    ~Dataset() override;

    // Statement text (SQL.Clear / SQL.Add). Changing the text closes an open dataset.
    void clear();
    void add(const QString& line);
    void setSql(const QString& sql); // clear() + add(sql)
    // A statement with "?" placeholders and the values bound to them in order; values are
    // never spliced into the text.
    void setSql(const QString& sql, QVariantList params);
    QString sql() const;
    const QVariantList& params() const { return m_params; }

    void open(); // runs the select (again, when open), takes the snapshot, moves to the first row
    void close();
    bool isActive() const { return m_active; }
    void execute(); // runs the statement without result rows (delete, update)

    int recordCount() const;
    int recNo() const;
    void setRecNo(int recNo);
    void first();
    void last();
    void next();
    void prior();
    bool eof() const; // true after next() past the last row, or when empty
    bool bof() const; // true after first() / open(), prior() before the first row, or when empty

    QStringList fieldNames() const;
    bool hasField(const QString& name) const;     // case-insensitive, like all field names
    QVariant field(const QString& name) const;    // current row; null when empty/closed
    QString fieldText(const QString& name) const; // null/absent → empty text
    QVariant fieldAt(int row, int column) const;  // 0-based row of the current order

    // Editing the current row (edit) or a new one (append); post() writes the changed
    // fields at once and re-reads the row, so column defaults show. Moving the cursor,
    // locating, sorting or appending posts a pending edit first. A post that fails drops
    // the pending changes and throws. deleteRow() during an append just cancels it.
    void append();
    void edit();
    void setField(const QString& name, const QVariant& value);
    void post();
    void cancel();
    bool isEditing() const;
    void deleteRow(); // deletes the current row; the cursor stays at the same number

    // Rows appended while a batch is open are stored as usual but announced together
    // (rowsInserted, then currentChanged) when the outermost batch ends, so that a view and a
    // screen reader take one change for a run of rows, not one per row. Any other change
    // announces the rows held back first. Batches nest.
    void beginAppendBatch();
    void endAppendBatch();
    // Takes the rows appended since the outermost batch began out of the snapshot again, for
    // writes that were rolled back: rows not announced yet go without a word, rows already
    // announced leave as removals, and the cursor goes back to the row it was on.
    void discardAppendBatch();
    class AppendBatch {
    public:
        explicit AppendBatch(Dataset& dataset) : m_dataset(dataset) { m_dataset.beginAppendBatch(); }
        ~AppendBatch() { m_dataset.endAppendBatch(); }
        AppendBatch(const AppendBatch&) = delete;
        AppendBatch& operator=(const AppendBatch&) = delete;
        void discard() { m_dataset.discardAppendBatch(); }

    private:
        Dataset& m_dataset;
    };

    // Find the first row (in the current order) whose field equals value exactly
    // (text compared byte for byte). Moves there and returns true, else stays.
    bool locate(const QString& field, const QVariant& value);

    // In-place client-side sort of the snapshot: "field" or "field DESC"; "" restores the
    // statement's order. Columns with the numeric collation sort by value. The statement
    // is not run again.
    void sort(const QString& order);
    QString sortSpec() const { return m_sortSpec; }

signals:
    // The "about to" signals come just before the change, for table models; rows appended
    // in a batch are already in place when they are announced (a model keeps its own count).
    void aboutToReset();
    void rowsAboutToBeInserted(int first, int last);
    void rowAboutToBeRemoved(int row);
    void reset();                           // opened, closed or re-sorted
    void rowChanged(int row);               // 0-based row posted after edit
    void rowsInserted(int first, int last); // 0-based rows posted after append
    void rowRemoved(int row);
    void currentChanged(int recNo);

private:
    struct Row {
        qint64 rowid = -1;
        qint64 order = 0; // position in the statement's order (appended rows last)
        PackedRow values; // with m_texts
    };

    int columnIndex(const QString& name) const; // -1 when absent
    int requireColumn(const QString& name) const;
    void requireActive() const;
    void requireTable() const;
    Row insertRow(const QByteArray& text, const std::vector<int>& columns,
                  const std::vector<QVariant>& pending);
    Row writeRow(const QByteArray& text, const std::vector<int>& columns,
                 const std::vector<QVariant>& pending, std::optional<qint64> rowid);
    void moveTo(int index);
    void checkBrowseMode(); // posts a pending edit, as moving away from it does
    void announceAppends(); // the rows a batch holds back
    void markBatchStart();
    QByteArray quotedTable() const;

    Connection& m_connection;
    QStringList m_lines;
    QVariantList m_params;
    bool m_active = false;
    QString m_table;       // table of "select * from <table>", else empty
    QStringList m_columns; // as the select returns them (without the row id)
    std::vector<QByteArray> m_quotedColumns;
    std::vector<bool> m_numericColumn; // column carries the numeric collation
    std::vector<Row> m_rows;           // current order
    // A long result holds the same merchant, label and marker texts many thousand times.
    TextPool m_texts;
    qint64 m_nextOrder = 0;
    int m_index = -1; // current row, 0-based; -1 when empty
    bool m_eof = true;
    bool m_bof = true;
    QString m_sortSpec;

    enum class EditState { Browse, Edit, Insert };
    EditState m_state = EditState::Browse;
    std::vector<QVariant> m_pending;
    std::vector<bool> m_changed;
    std::unique_ptr<StatementCache> m_cache;   // the row statements, prepared once per open
    QHash<QByteArray, QByteArray> m_insertSql; // by the columns set ('1' each), for this open
    int m_batchDepth = 0;
    int m_unannounced = -1;     // first appended row not yet announced; -1 for none
    bool m_batchMoved = false;  // the cursor moved to an appended row inside the batch
    qint64 m_batchOrder = 0;    // the first order a row appended in the outermost batch has
    qint64 m_batchCurrent = -1; // order of the current row when that batch began; -1 for none
};

} // namespace kova
