#pragma once

#include <QString>

namespace kova {

class Dataset;

// The settings record: the single row of xxb, every value enciphered with StoreKey.
// Works on the query object the main window keeps open on "select * from xxb".
class SettingsRecord {
public:
    explicit SettingsRecord(Dataset& query) : m_query(query) {}

    // Points the query at xxb and opens it; an empty table gets one row holding only
    // the default version value. Leaves the cursor on the first row.
    void openOrCreate();

    QString stored(const QString& column) const; // the ciphertext as stored ("" = not set)

    // The deciphered, trimmed version code; "10" when the stored value is damaged.
    QString versionCode() const;

    // A pair of values (u/p or a/b), deciphered and trimmed.
    struct Pair {
        enum class State { Missing, Ok, Damaged };
        State state = State::Missing;
        QString first;
        QString second;
    };
    Pair readPair(const QString& firstColumn, const QString& secondColumn) const;

    // Empties both columns of a pair (a damaged pair, so that it is requested again).
    void clearPair(const QString& firstColumn, const QString& secondColumn);

    // Writes a pair enciphered, only while either column is empty; posts at once.
    // Returns the stored pair read back (deciphered and trimmed), or Missing when the pair
    // was complete already and nothing was written.
    Pair writePairIfMissing(const QString& firstColumn, const QString& firstValue,
                            const QString& secondColumn, const QString& secondValue);

private:
    Dataset& m_query;
};

} // namespace kova
