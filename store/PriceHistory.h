#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kova {

class Connection;
class StatementCache;

// One product's prices on one local day, in fen.
struct DayPrice {
    QDate day;
    qint64 low = 0;
    qint64 high = 0;
    qint64 last = 0;
    int seen = 0;
};

// The statements that make the history's tables (price_history, price_alert) when they
// are missing: run by createDatabase and, for a file made before them, at start.
QString PriceHistorySchemaSql();

// The local price history in kvdb.dat: every offer the user is shown adds a sighting to its
// product's row of the day (lowest, highest and last price, number of sightings). Sightings
// are gathered and written together, one upsert each in one transaction, as soon as the
// event loop runs again (or at flush()), so a long result page costs one commit, not one
// per row. It also remembers the last price announced for each favorite by an alert.
class PriceHistory : public QObject {
    Q_OBJECT
public:
    explicit PriceHistory(Connection& connection, QObject* parent = nullptr);
    ~PriceHistory() override; // writes what is pending, when it can

    // Makes the tables when missing (one transaction) and removes the days more than
    // KeepDays before today or before the newest day kept, whichever is earlier: a clock set
    // years ahead deletes nothing a right clock would keep. Throws kova::Error when the file cannot take them
    // (read-only, damaged); the history is off then and every call below does nothing.
    void open();
    bool isOn() const { return m_on; }
    // Ends the history for this run: nothing more is recorded or read.
    void turnOff();

    // Test seam: the local date (today by default).
    void setToday(std::function<QDate()> today) { m_today = std::move(today); }
    QDate today() const;

    // One sighting of a product at a price text. Nothing is recorded for an empty product
    // number or a text that is no positive price in fen; returns whether it was taken.
    bool sight(const QString& cph, const QString& price, const QString& merchant, const QString& name);
    int pending() const { return static_cast<int>(m_pending.size()); }
    // Forgets the pending sightings after the first `keep` (of offers whose rows were not
    // stored after all).
    void dropPending(int keep);
    // Writes the pending sightings now. A failure is reported once (standard error report)
    // and turns the history off.
    void flush();

    // The product's days up to today, oldest first (pending sightings written first). Days
    // after today (written while the clock was ahead) are kept but not history yet.
    std::vector<DayPrice> days(const QString& cph);

    // The price last announced for a favorite, if any; and recording a new one.
    std::optional<qint64> announcedPrice(const QString& cph);
    void setAnnounced(const QString& cph, qint64 fen);

    static constexpr int KeepDays = 400;

private:
    // The day is taken when the sightings are written, a moment later.
    struct Sighting {
        QString cph;
        qint64 fen;
        QString merchant;
        QString name;
    };
    void write();

    Connection& m_connection;
    bool m_on = false;
    bool m_flushQueued = false;
    std::function<QDate()> m_today;
    std::vector<Sighting> m_pending;
    std::unique_ptr<StatementCache> m_statements; // prepared once per connection handle
};

} // namespace kova
