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

void bindText(Statement& st, int index, const QString& text)
{
    st.bind(index, text.isNull() ? QVariant(QString()) : QVariant(text));
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
    : QObject(parent), m_connection(connection)
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
        m_connection.execute(QStringLiteral("delete from price_history where day < ?"),
                             {today().addDays(-KeepDays).toString(DayFormat)});
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
    m_pending.push_back({cph, today().toString(DayFormat), *fen, merchant, name});
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &PriceHistory::flush, Qt::QueuedConnection);
    }
    return true;
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
    Transaction t(m_connection);
    Statement st(m_connection.handle(),
                 QByteArrayLiteral(
                     "insert into price_history (cph, day, low, high, last, seen, merchant, name) "
                     "values (?1, ?2, ?3, ?3, ?3, 1, ?4, ?5) on conflict (cph, day) do update set "
                     "low = min(low, excluded.low), high = max(high, excluded.high), last = excluded.last, "
                     "seen = seen + 1, merchant = excluded.merchant, name = excluded.name"));
    for (const Sighting& s : rows) {
        st.bind(1, s.cph);
        st.bind(2, s.day);
        st.bind(3, s.fen);
        bindText(st, 4, s.merchant);
        bindText(st, 5, s.name);
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
    Statement st(
        m_connection.handle(),
        QByteArrayLiteral("select day, low, high, last, seen from price_history where cph = ? order by day"));
    st.bind(1, cph);
    while (st.step()) {
        DayPrice d;
        d.day = QDate::fromString(st.value(0).toString(), DayFormat);
        d.low = st.value(1).toLongLong();
        d.high = st.value(2).toLongLong();
        d.last = st.value(3).toLongLong();
        d.seen = st.value(4).toInt();
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
