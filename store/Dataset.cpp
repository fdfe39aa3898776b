#include "Dataset.h"

#include "Connection.h"
#include "Error.h"
#include "Statement.h"

#include <QAnyStringView>
#include <QRegularExpression>

#include <QScopeGuard>
#include <QUtf8StringView>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace kova {
namespace {

QByteArray quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

QString unquoteIdentifier(const QString& token)
{
    if (token.size() >= 2) {
        const QChar open = token.front();
        const QChar close = token.back();
        if ((open == u'"' && close == u'"') || (open == u'`' && close == u'`'))
            return token.mid(1, token.size() - 2).replace(QString(2, open), QString(open));
        if (open == u'[' && close == u']')
            return token.mid(1, token.size() - 2);
    }
    return token;
}

struct SelectStar {
    QString table;     // unquoted
    QString rewritten; // the same select, also fetching the row id as its first column
};

// Recognises "select * from <table>" optionally followed by a where, order by or limit
// clause; anything else (joins, aliases, grouping) is not a plain table select.
std::optional<SelectStar> parseSelectStar(const QString& sql)
{
    static const QRegularExpression head(
        QStringLiteral(
            R"(^\s*select\s+\*\s+from\s+("(?:[^"]|"")+"|`[^`]+`|\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_$]*))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tail(QStringLiteral(R"(^(\s*(;.*)?|\s+(where|order|limit)\b.*)$)"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = head.match(sql);
    if (!m.hasMatch())
        return std::nullopt;
    const QString rest = sql.mid(m.capturedEnd());
    const QRegularExpressionMatch t = tail.match(rest);
    if (!t.hasMatch())
        return std::nullopt;
    const QString token = m.captured(1);
    SelectStar result;
    result.table = unquoteIdentifier(token);
    result.rewritten = QStringLiteral("select ") + token + QStringLiteral(".rowid, * from ") + token + rest;
    return result;
}

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool isIntegral(const QVariant& v)
{
    return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

int compareNumbers(const QVariant& a, const QVariant& b)
{
    if (isIntegral(a) && isIntegral(b)) {
        const qint64 x = a.toLongLong();
        const qint64 y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const double x = a.toDouble();
    const double y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}

bool sameValue(const QVariant& stored, const QVariant& wanted)
{
    if (stored.isNull() || wanted.isNull())
        return stored.isNull() && wanted.isNull();
    if (isNumber(stored) && isNumber(wanted))
        return compareNumbers(stored, wanted) == 0;
    return stored.toString() == wanted.toString();
}

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const int c = std::memcmp(a.data(), b.data(), static_cast<size_t>(std::min(a.size(), b.size())));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The storage class order SQLite uses: null, numbers, text, blobs.
int storageRank(PackedRow::Kind kind)
{
    switch (kind) {
    case PackedRow::Kind::Null:
        return 0;
    case PackedRow::Kind::Integer:
    case PackedRow::Kind::Real:
        return 1;
    case PackedRow::Kind::Text:
        return 2;
    case PackedRow::Kind::Blob:
        return 3;
    }
    return 0;
}

int compareNumbers(const PackedRow::Ref& a, const PackedRow::Ref& b)
{
    if (a.kind == PackedRow::Kind::Integer && b.kind == PackedRow::Kind::Integer)
        return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    const double x = a.kind == PackedRow::Kind::Integer ? static_cast<double>(a.integer) : a.real;
    const double y = b.kind == PackedRow::Kind::Integer ? static_cast<double>(b.integer) : b.real;
    return x < y ? -1 : (x > y ? 1 : 0);
}

struct SortKey {
    int column = 0;
    bool descending = false;
    bool numeric = false;
};

} // namespace

Dataset::Dataset(Connection& connection, QObject* parent)
    : QObject(parent), m_connection(connection), m_cache(std::make_unique<StatementCache>())
{
}

Dataset::~Dataset() = default;

void Dataset::clear()
{
    close();
    m_lines.clear();
    m_params.clear();
}

void Dataset::add(const QString& line)
{
    close();
    m_lines.append(line);
}

void Dataset::setSql(const QString& sql)
{
    clear();
    add(sql);
}

void Dataset::setSql(const QString& sql, QVariantList params)
{
    setSql(sql);
    m_params = std::move(params);
}

QString Dataset::sql() const
{
    return m_lines.join(QLatin1Char('\n'));
}

void Dataset::open()
{
    close();
    sqlite3* db = m_connection.handle();
    const QString text = sql();
    const std::optional<SelectStar> plain = parseSelectStar(text);

    std::unique_ptr<Statement> statement;
    bool withRowid = false;
    if (plain) {
        try {
            statement = std::make_unique<Statement>(db, plain->rewritten.toUtf8());
            withRowid = true;
        } catch (const Error&) {
            // No row id (a view, say): the plain statement below reports real errors.
        }
    }
    if (!statement)
        statement = std::make_unique<Statement>(db, text.toUtf8());
    for (int i = 0; i < m_params.size(); ++i)
        statement->bind(i + 1, m_params.at(i));
    const int count = statement->columnCount();
    if (count == 0)
        throw Error(QStringLiteral("该数据库语句不返回记录：") + text);

    const int first = withRowid ? 1 : 0;
    QStringList columns;
    std::vector<bool> numeric;
    for (int i = first; i < count; ++i) {
        columns.append(statement->columnName(i));
        // The column's own collation, through the table it comes from (also for selects
        // of single columns).
        bool isNumeric = false;
        sqlite3_stmt* raw = statement->get();
        const char* table = sqlite3_column_table_name(raw, i);
        const char* origin = sqlite3_column_origin_name(raw, i);
        const char* collation = nullptr;
        if (table && origin &&
            sqlite3_table_column_metadata(db, sqlite3_column_database_name(raw, i), table, origin, nullptr,
                                          &collation, nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation)
            isNumeric = sqlite3_stricmp(collation, "KOVANUM") == 0;
        numeric.push_back(isNumeric);
    }

    std::vector<Row> rows;
    qint64 order = 0;
    while (statement->step()) {
        Row row;
        row.rowid = withRowid ? sqlite3_column_int64(statement->get(), 0) : -1;
        row.order = order++;
        row.values = PackedRow::read(statement->get(), first, count - first, count - first, m_texts);
        rows.push_back(std::move(row));
    }

    m_unannounced = -1; // a reset announces every row
    m_batchMoved = false;
    emit aboutToReset();
    m_table = withRowid ? plain->table : QString();
    m_columns = columns;
    m_insertSql.clear();
    m_quotedColumns.clear();
    for (const QString& name : columns)
        m_quotedColumns.push_back(quoteIdentifier(name));
    m_numericColumn = std::move(numeric);
    m_rows = std::move(rows);
    m_nextOrder = order;
    m_index = m_rows.empty() ? -1 : 0;
    if (m_batchDepth > 0)
        markBatchStart(); // the rows just read are the snapshot's own
    m_bof = true;
    m_eof = m_rows.empty();
    m_sortSpec.clear();
    m_state = EditState::Browse;
    m_pending.clear();
    m_changed.clear();
    m_active = true;
    emit reset();
    emit currentChanged(recNo());
}

void Dataset::close()
{
    if (!m_active)
        return;
    m_unannounced = -1; // a reset announces every row
    m_batchMoved = false;
    emit aboutToReset();
    m_active = false;
    m_table.clear();
    m_columns.clear();
    m_numericColumn.clear();
    m_rows.clear();
    m_index = -1;
    m_bof = m_eof = true;
    m_sortSpec.clear();
    m_state = EditState::Browse;
    m_pending.clear();
    m_changed.clear();
    m_cache->clear();
    m_insertSql.clear();
    emit reset();
    emit currentChanged(0);
}

void Dataset::execute()
{
    m_connection.execute(sql(), m_params);
}

int Dataset::recordCount() const
{
    return m_active ? static_cast<int>(m_rows.size()) : 0;
}

int Dataset::recNo() const
{
    return m_active && m_index >= 0 ? m_index + 1 : 0;
}

void Dataset::setRecNo(int recNo)
{
    requireActive();
    checkBrowseMode();
    if (recNo < 1 || recNo > recordCount())
        throw Error(QStringLiteral("记录号 %1 超出范围（1 到 %2）").arg(recNo).arg(recordCount()));
    m_bof = m_eof = false;
    moveTo(recNo - 1);
}

void Dataset::first()
{
    requireActive();
    checkBrowseMode();
    m_bof = true;
    m_eof = m_rows.empty();
    if (!m_rows.empty())
        moveTo(0);
}

void Dataset::last()
{
    requireActive();
    checkBrowseMode();
    m_bof = m_eof = m_rows.empty();
    if (!m_rows.empty())
        moveTo(static_cast<int>(m_rows.size()) - 1);
}

void Dataset::next()
{
    requireActive();
    checkBrowseMode();
    if (m_index + 1 < static_cast<int>(m_rows.size())) {
        m_bof = m_eof = false;
        moveTo(m_index + 1);
    } else {
        m_eof = true;
    }
}

void Dataset::prior()
{
    requireActive();
    checkBrowseMode();
    if (m_index > 0) {
        m_bof = m_eof = false;
        moveTo(m_index - 1);
    } else {
        m_bof = true;
    }
}

bool Dataset::eof() const
{
    return !m_active || m_eof;
}

bool Dataset::bof() const
{
    return !m_active || m_bof;
}

QStringList Dataset::fieldNames() const
{
    return m_columns;
}

bool Dataset::hasField(const QString& name) const
{
    return columnIndex(name) >= 0;
}

QVariant Dataset::field(const QString& name) const
{
    if (!m_active)
        return {};
    const int column = requireColumn(name);
    if (m_state != EditState::Browse)
        return m_pending[static_cast<size_t>(column)];
    if (m_index < 0)
        return {};
    return m_rows[static_cast<size_t>(m_index)].values.value(column, m_texts);
}

QString Dataset::fieldText(const QString& name) const
{
    const QVariant value = field(name);
    return value.isNull() ? QString() : value.toString();
}

QVariant Dataset::fieldAt(int row, int column) const
{
    if (!m_active || row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 ||
        column >= static_cast<int>(m_columns.size()))
        return {};
    return m_rows[static_cast<size_t>(row)].values.value(column, m_texts);
}

void Dataset::append()
{
    requireActive();
    requireTable();
    checkBrowseMode();
    m_pending.assign(static_cast<size_t>(m_columns.size()), QVariant());
    m_changed.assign(static_cast<size_t>(m_columns.size()), false);
    m_state = EditState::Insert;
}

void Dataset::edit()
{
    requireActive();
    requireTable();
    if (m_state != EditState::Browse)
        return;
    if (m_index < 0)
        throw Error(QStringLiteral("数据集是空的，没有可以修改的记录"));
    m_pending =
        m_rows[static_cast<size_t>(m_index)].values.values(static_cast<int>(m_columns.size()), m_texts);
    m_changed.assign(static_cast<size_t>(m_columns.size()), false);
    m_state = EditState::Edit;
}

void Dataset::setField(const QString& name, const QVariant& value)
{
    requireActive();
    if (m_state == EditState::Browse)
        throw Error(QStringLiteral("数据集不在修改或添加状态"));
    const auto column = static_cast<size_t>(requireColumn(name));
    m_pending[column] = value;
    m_changed[column] = true;
}

void Dataset::post()
{
    if (!m_active || m_state == EditState::Browse)
        return;
    // A failed post drops the pending changes, so later moves do not fail on them again.
    const EditState state = m_state;
    const std::vector<QVariant> pending = std::move(m_pending);
    const std::vector<bool> changed = std::move(m_changed);
    m_state = EditState::Browse;
    m_pending.clear();
    m_changed.clear();

    std::vector<int> columns;
    for (size_t i = 0; i < changed.size(); ++i) {
        if (changed[i])
            columns.push_back(static_cast<int>(i));
    }

    if (state == EditState::Insert) {
        // The statement depends only on which columns were set; a reading posts thousands of
        // rows with the same ones.
        QByteArray key(static_cast<qsizetype>(changed.size()), '0');
        for (int c : columns)
            key[c] = '1';
        QByteArray& text = m_insertSql[key];
        if (text.isEmpty()) {
            text = "insert into " + quotedTable();
            if (columns.empty()) {
                text += " default values";
            } else {
                QByteArray names;
                QByteArray marks;
                for (int c : columns) {
                    if (!names.isEmpty()) {
                        names += ',';
                        marks += ',';
                    }
                    names += m_quotedColumns[static_cast<size_t>(c)];
                    marks += '?';
                }
                text += " (" + names + ") values (" + marks + ')';
            }
        }
        Row row = insertRow(text, columns, pending);
        if (row.values.isEmpty())
            throw Error(QStringLiteral("表 %1 中新添加的记录无法读回").arg(m_table));
        row.order = m_nextOrder++;
        const int position = static_cast<int>(m_rows.size());
        if (m_batchDepth > 0) {
            m_rows.push_back(std::move(row));
            m_bof = m_eof = false;
            if (m_unannounced < 0)
                m_unannounced = position;
            m_index = position;
            m_batchMoved = true;
            return;
        }
        emit rowsAboutToBeInserted(position, position);
        m_rows.push_back(std::move(row));
        emit rowsInserted(position, position);
        m_bof = m_eof = false;
        moveTo(position);
        return;
    }

    if (columns.empty() || m_index < 0)
        return;
    Row& current = m_rows[static_cast<size_t>(m_index)];
    QByteArray text = "update " + quotedTable() + " set ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += ',';
        text += m_quotedColumns[static_cast<size_t>(columns[i])] + "=?";
    }
    text += " where rowid=? returning rowid, *";
    Row fresh = writeRow(text, columns, pending, current.rowid);
    if (fresh.values.isEmpty())
        throw Error(QStringLiteral("表 %1 中要修改的记录已不存在").arg(m_table));
    current.values = std::move(fresh.values);
    announceAppends();
    emit rowChanged(m_index);
}

void Dataset::cancel()
{
    m_state = EditState::Browse;
    m_pending.clear();
    m_changed.clear();
}

bool Dataset::isEditing() const
{
    return m_state != EditState::Browse;
}

void Dataset::deleteRow()
{
    requireActive();
    requireTable();
    if (m_state == EditState::Insert) {
        cancel();
        return;
    }
    cancel();
    if (m_index < 0)
        throw Error(QStringLiteral("数据集是空的，没有可以删除的记录"));
    {
        sqlite3* db = m_connection.handle();
        Statement statement(db, m_cache->get(db, "delete from " + quotedTable() + " where rowid=?"));
        statement.bind(1, QVariant(m_rows[static_cast<size_t>(m_index)].rowid));
        statement.step();
    }
    const int position = m_index;
    announceAppends();
    emit rowAboutToBeRemoved(position);
    m_rows.erase(m_rows.begin() + position);
    m_index = m_rows.empty() ? -1 : std::min(position, static_cast<int>(m_rows.size()) - 1);
    m_bof = m_eof = m_rows.empty();
    emit rowRemoved(position);
    emit currentChanged(recNo());
}

bool Dataset::locate(const QString& field, const QVariant& value)
{
    requireActive();
    checkBrowseMode();
    const int column = requireColumn(field);
    // A text looked for among texts is compared as it is stored, without decoding each row.
    const bool wantsText = !value.isNull() && !isNumber(value);
    const QString wanted = wantsText ? value.toString() : QString();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const PackedRow& row = m_rows[i].values;
        bool found = false;
        if (const PackedRow::Ref ref = row.ref(column, m_texts);
            wantsText && ref.kind == PackedRow::Kind::Text)
            found = QAnyStringView::equal(wanted, QUtf8StringView(ref.bytes.data(), ref.bytes.size()));
        else
            found = sameValue(row.value(column, m_texts), value);
        if (found) {
            m_bof = m_eof = false;
            moveTo(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void Dataset::sort(const QString& order)
{
    requireActive();
    checkBrowseMode();
    std::vector<SortKey> keys;
    const QStringList parts = order.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const QStringList words = part.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        bool descending = false;
        if (words.size() == 2 && words[1].compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
            descending = true;
        else if (words.size() != 1 &&
                 !(words.size() == 2 && words[1].compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0))
            throw Error(QStringLiteral("排序方式不正确：") + order);
        SortKey key;
        key.column = requireColumn(unquoteIdentifier(words[0]));
        key.descending = descending;
        key.numeric = m_numericColumn[static_cast<size_t>(key.column)];
        keys.push_back(key);
    }

    // The keys of every row, as stored (texts as their UTF-8), k to a row.
    const size_t k = keys.size();
    std::vector<PackedRow::Ref> refs(m_rows.size() * k);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        for (size_t j = 0; j < k; ++j)
            refs[i * k + j] = m_rows[i].values.ref(keys[j].column, m_texts);
    }
    std::vector<int> entries(m_rows.size());
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = static_cast<int>(i);
    // Sorting always starts from the statement's order, so equal keys keep that order.
    std::sort(entries.begin(), entries.end(), [this](int a, int b) {
        return m_rows[static_cast<size_t>(a)].order < m_rows[static_cast<size_t>(b)].order;
    });
    std::stable_sort(entries.begin(), entries.end(), [&](int a, int b) {
        for (size_t j = 0; j < k; ++j) {
            const PackedRow::Ref& x = refs[static_cast<size_t>(a) * k + j];
            const PackedRow::Ref& y = refs[static_cast<size_t>(b) * k + j];
            int c = storageRank(x.kind) - storageRank(y.kind);
            if (c == 0) {
                switch (x.kind) {
                case PackedRow::Kind::Integer:
                case PackedRow::Kind::Real:
                    c = compareNumbers(x, y);
                    break;
                case PackedRow::Kind::Text:
                    c = keys[j].numeric ? compareNumericText(x.bytes.data(), static_cast<int>(x.bytes.size()),
                                                             y.bytes.data(), static_cast<int>(y.bytes.size()))
                                        : compareBytes(x.bytes, y.bytes);
                    break;
                case PackedRow::Kind::Blob:
                    c = compareBytes(x.bytes, y.bytes);
                    break;
                case PackedRow::Kind::Null:
                    break;
                }
            }
            if (c != 0)
                return keys[j].descending ? c > 0 : c < 0;
        }
        return false;
    });

    const qint64 currentOrder = m_index >= 0 ? m_rows[static_cast<size_t>(m_index)].order : -1;
    m_unannounced = -1; // a reset announces every row
    m_batchMoved = false;
    emit aboutToReset();
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const int e : entries)
        sorted.push_back(std::move(m_rows[static_cast<size_t>(e)]));
    m_rows = std::move(sorted);
    m_sortSpec = order.trimmed();
    // The current record stays current at its new place.
    m_index = -1;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].order == currentOrder)
            m_index = static_cast<int>(i);
    }
    emit reset();
    emit currentChanged(recNo());
}

int Dataset::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int Dataset::requireColumn(const QString& name) const
{
    const int index = columnIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("找不到字段：%1").arg(name));
    return index;
}

void Dataset::requireActive() const
{
    if (!m_active)
        throw Error(QStringLiteral("数据集没有打开"));
}

void Dataset::requireTable() const
{
    if (m_table.isEmpty())
        throw Error(QStringLiteral("数据集不能修改：它的语句不是对单个表的 \"select * from\""));
}

// Runs an insert and reads the new row back by its row id, column defaults included. (A
// "returning" clause does the same in one statement but builds a temporary table for
// every row.) The connection is held throughout, so another thread's insert cannot come
// between. No values: nothing was written.
Dataset::Row Dataset::insertRow(const QByteArray& text, const std::vector<int>& columns,
                                const std::vector<QVariant>& pending)
{
    sqlite3* db = m_connection.handle();
    sqlite3_mutex* mutex = sqlite3_db_mutex(db);
    sqlite3_mutex_enter(mutex);
    const auto leave = qScopeGuard([mutex] { sqlite3_mutex_leave(mutex); });
    {
        Statement insert(db, m_cache->get(db, text));
        int index = 1;
        for (int c : columns)
            insert.bind(index++, pending[static_cast<size_t>(c)]);
        while (insert.step()) {
        }
    }
    Row row;
    if (sqlite3_changes(db) != 1)
        return row;
    const qint64 rowid = sqlite3_last_insert_rowid(db);
    Statement select(db, m_cache->get(db, "select rowid, * from " + quotedTable() + " where rowid=?"));
    select.bind(1, QVariant(rowid));
    if (select.step()) {
        row.rowid = sqlite3_column_int64(select.get(), 0);
        const int total = static_cast<int>(m_columns.size());
        row.values =
            PackedRow::read(select.get(), 1, std::min(select.columnCount() - 1, total), total, m_texts);
    }
    return row;
}

// Runs an update ending in "returning rowid, *": one statement, one commit, and the row
// comes back as stored. No values: nothing was written.
Dataset::Row Dataset::writeRow(const QByteArray& text, const std::vector<int>& columns,
                               const std::vector<QVariant>& pending, std::optional<qint64> rowid)
{
    sqlite3* db = m_connection.handle();
    Statement statement(db, m_cache->get(db, text));
    int index = 1;
    for (int c : columns)
        statement.bind(index++, pending[static_cast<size_t>(c)]);
    if (rowid)
        statement.bind(index, QVariant(*rowid));
    Row row;
    if (statement.step()) {
        row.rowid = sqlite3_column_int64(statement.get(), 0);
        const int total = static_cast<int>(m_columns.size());
        row.values =
            PackedRow::read(statement.get(), 1, std::min(statement.columnCount() - 1, total), total, m_texts);
        // The change commits when the statement has run to its end.
        while (statement.step()) {
        }
    }
    return row;
}

void Dataset::moveTo(int index)
{
    announceAppends();
    if (index == m_index && !m_batchMoved)
        return;
    m_index = index;
    m_batchMoved = false;
    emit currentChanged(recNo());
}

void Dataset::beginAppendBatch()
{
    if (m_batchDepth++ == 0)
        markBatchStart();
}

void Dataset::markBatchStart()
{
    m_batchOrder = m_nextOrder;
    m_batchCurrent = m_index >= 0 ? m_rows[static_cast<size_t>(m_index)].order : -1;
}

void Dataset::discardAppendBatch()
{
    if (m_batchDepth == 0 || !m_active)
        return;
    if (m_state == EditState::Insert)
        cancel();
    if (m_unannounced >= 0 && m_unannounced <= static_cast<int>(m_rows.size()))
        m_rows.erase(m_rows.begin() + m_unannounced, m_rows.end());
    m_unannounced = -1;
    bool announced = false;
    for (int i = static_cast<int>(m_rows.size()) - 1; i >= 0; --i) {
        if (m_rows[static_cast<size_t>(i)].order < m_batchOrder)
            continue;
        emit rowAboutToBeRemoved(i);
        m_rows.erase(m_rows.begin() + i);
        emit rowRemoved(i);
        announced = true;
    }
    int index = -1;
    for (size_t i = 0; i < m_rows.size() && m_batchCurrent >= 0; ++i) {
        if (m_rows[i].order == m_batchCurrent)
            index = static_cast<int>(i);
    }
    if (index < 0 && !m_rows.empty())
        index = std::clamp(m_index, 0, static_cast<int>(m_rows.size()) - 1);
    m_index = index;
    m_bof = m_eof = m_rows.empty();
    m_nextOrder = m_batchOrder;
    m_batchMoved = false;
    if (announced)
        emit currentChanged(recNo());
}

void Dataset::endAppendBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    announceAppends();
    if (m_batchMoved) {
        m_batchMoved = false;
        emit currentChanged(recNo());
    }
}

void Dataset::announceAppends()
{
    if (m_unannounced < 0)
        return;
    const int first = m_unannounced;
    const int last = static_cast<int>(m_rows.size()) - 1;
    m_unannounced = -1;
    if (first <= last) {
        emit rowsAboutToBeInserted(first, last);
        emit rowsInserted(first, last);
    }
}

void Dataset::checkBrowseMode()
{
    if (m_state != EditState::Browse)
        post();
}

QByteArray Dataset::quotedTable() const
{
    return quoteIdentifier(m_table);
}

} // namespace kova
