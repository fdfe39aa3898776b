#include "store/PriceHistory.h"

#include "store/Connection.h"
#include "store/Error.h"
#include "store/Money.h"
#include "store/Report.h"
#include "store/Statement.h"

#include <QMetaObject>

namespace kova {
namespace {

const QString DayFormat = QStringLiteral("yyyy-MM-dd");

// A transaction that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& c) : m_c(c) { m_c.execute(QStringLiteral("BEGIN IMMEDIATE")); }
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_c.execute(QStringLiteral("ROLLBACK"));
            } catch (const Error&) { // nothing more can be done
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit()
    {
        m_c.execute(QStringLiteral("COMMIT"));
        m_done = true;
    }

private:
    Connection& m_c;
    bool m_done = false;
};

const QByteArray UpsertSql =
    QByteArrayLiteral("insert into price_history (cph, day, low, high, last, seen, merchant, name) "
                      "values (?1, ?2, ?3, ?3, ?3, 1, ?4, ?5) on conflict (cph, day) do update set "
                      "low = min(low, excluded.low), high = max(high, excluded.high), last = excluded.last, "
                      "seen = seen + 1, merchant = excluded.merchant, name = excluded.name");
const QByteArray DaysSql = QByteArrayLiteral(
    "select day, low, high, last, seen from price_history where cph = ? and day <= ? order by day");
// The newest well-formed day kept.
const QByteArray NewestDaySql = QByteArrayLiteral(
    "select max(day) from price_history where day glob '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'");

void bindText(sqlite3* db, sqlite3_stmt* st, int index, const QByteArray& utf8)
{
    if (sqlite3_bind_text(st, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        throw DatabaseError(db);
}

int digits(const unsigned char* text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "yyyy-MM-dd" without going through QDate::fromString, which costs more than the row.
QDate parseDay(const unsigned char* text, int length)
{
    if (!text || length != 10 || text[4] != '-' || text[7] != '-')
        return {};
    return QDate(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
}

} // namespace

QString PriceHistorySchemaSql()
{
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS price_history (cph TEXT NOT NULL, day TEXT NOT NULL, "
        "low INTEGER NOT NULL, high INTEGER NOT NULL, last INTEGER NOT NULL, seen INTEGER NOT NULL, "
        "merchant TEXT, name TEXT, PRIMARY KEY (cph, day)) WITHOUT ROWID;\n"
        "CREATE TABLE IF NOT EXISTS price_alert (cph TEXT PRIMARY KEY, price INTEGER NOT NULL, "
        "day TEXT NOT NULL);\n");
}

PriceHistory::PriceHistory(Connection& connection, QObject* parent)
    : QObject(parent), m_connection(connection), m_statements(std::make_unique<StatementCache>())
{
}

PriceHistory::~PriceHistory()
{
    if (m_on && !m_pending.empty() && m_connection.isOpen()) {
        try {
            write();
        } catch (const Error&) { // the window is going; nothing to report to
        }
    }
}

QDate PriceHistory::today() const
{
    return m_today ? m_today() : QDate::currentDate();
}

void PriceHistory::open()
{
    m_on = false;
    sqlite3* db = m_connection.handle();
    if (sqlite3_db_readonly(db, "main") == 1)
        throw Error(QStringLiteral("价格记录无法保存：数据库文件只读"));
    try {
        Transaction t(m_connection);
        char* err = nullptr;
        if (sqlite3_exec(db, PriceHistorySchemaSql().toUtf8().constData(), nullptr, nullptr, &err) !=
            SQLITE_OK) {
            const QString why = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_free(err);
            throw Error(why);
        }
        QDate newest;
        {
            Statement st(db, NewestDaySql);
            if (st.step())
                newest = QDate::fromString(st.value(0).toString(), DayFormat);
        }
        const QDate now = today();
        const QDate last = newest.isValid() && newest < now ? newest : now;
        m_connection.execute(QStringLiteral("delete from price_history where day < ?"),
                             {last.addDays(-KeepDays).toString(DayFormat)});
        t.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("价格记录无法保存：") + e.message());
    }
    m_on = true;
}

void PriceHistory::turnOff()
{
    m_on = false;
    m_pending.clear();
}

bool PriceHistory::sight(const QString& cph, const QString& price, const QString& merchant,
                         const QString& name)
{
    if (!m_on || cph.isEmpty())
        return false;
    const auto fen = PriceInFen(price);
    if (!fen || *fen <= 0)
        return false;
    m_pending.push_back({cph, *fen, merchant, name});
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &PriceHistory::flush, Qt::QueuedConnection);
    }
    return true;
}

void PriceHistory::dropPending(int keep)
{
    if (keep >= 0 && keep < pending())
        m_pending.resize(static_cast<size_t>(keep));
}

void PriceHistory::flush()
{
    m_flushQueued = false;
    if (!m_on || m_pending.empty())
        return;
    try {
        write();
    } catch (const Error& e) {
        turnOff();
        ShowError(QStringLiteral("价格记录无法保存：") + e.message());
    }
}

void PriceHistory::write()
{
    // Take the rows first: whatever happens, they are written once or not at all.
    const std::vector<Sighting> rows = std::move(m_pending);
    m_pending.clear();
    sqlite3* db = m_connection.handle();
    const QByteArray day = today().toString(DayFormat).toUtf8();
    Transaction t(m_connection);
    Statement st(db, m_statements->get(db, UpsertSql));
    for (const Sighting& s : rows) {
        bindText(db, st.get(), 1, s.cph.toUtf8());
        bindText(db, st.get(), 2, day);
        sqlite3_bind_int64(st.get(), 3, s.fen);
        bindText(db, st.get(), 4, s.merchant.toUtf8());
        bindText(db, st.get(), 5, s.name.toUtf8());
        st.step();
        sqlite3_reset(st.get());
    }
    t.commit();
}

std::vector<DayPrice> PriceHistory::days(const QString& cph)
{
    flush();
    std::vector<DayPrice> out;
    if (!m_on || cph.isEmpty())
        return out;
    sqlite3* db = m_connection.handle();
    Statement st(db, m_statements->get(db, DaysSql));
    bindText(db, st.get(), 1, cph.toUtf8());
    bindText(db, st.get(), 2, today().toString(DayFormat).toUtf8());
    while (st.step()) {
        sqlite3_stmt* row = st.get();
        DayPrice d;
        d.day = parseDay(sqlite3_column_text(row, 0), sqlite3_column_bytes(row, 0));
        d.low = sqlite3_column_int64(row, 1);
        d.high = sqlite3_column_int64(row, 2);
        d.last = sqlite3_column_int64(row, 3);
        d.seen = sqlite3_column_int(row, 4);
        if (d.day.isValid())
            out.push_back(d);
    }
    return out;
}

std::optional<qint64> PriceHistory::announcedPrice(const QString& cph)
{
    if (!m_on)
        return std::nullopt;
    Statement st(m_connection.handle(), QByteArrayLiteral("select price from price_alert where cph = ?"));
    st.bind(1, cph);
    if (!st.step())
        return std::nullopt;
    return st.value(0).toLongLong();
}

void PriceHistory::setAnnounced(const QString& cph, qint64 fen)
{
    if (!m_on)
        return;
    m_connection.execute(
        QStringLiteral("insert into price_alert (cph, price, day) values (?, ?, ?) "
                       "on conflict (cph) do update set price = excluded.price, day = excluded.day"),
        {cph, fen, today().toString(DayFormat)});
}

} // namespace kova
