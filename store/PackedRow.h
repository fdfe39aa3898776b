#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace kova {

// Short texts a dataset holds many times (merchant names, labels, markers), each kept once,
// decoded once. Holds at most MaxTexts texts of at most MaxBytes bytes of UTF-8; never
// forgets one (rows refer to them by number).
class TextPool {
public:
    static constexpr qsizetype MaxBytes = 48;
    static constexpr int MaxTexts = 4096;

    // The number of the text equal to `utf8` (valid UTF-8), added when it is new; -1 when
    // the text is empty or too long, or the pool is full.
    int intern(QByteArrayView utf8);
    const QString& text(int index) const { return m_texts[static_cast<size_t>(index)]; }
    QByteArrayView utf8(int index) const { return m_utf8[static_cast<size_t>(index)]; }
    int size() const { return static_cast<int>(m_texts.size()); }

private:
    QHash<QByteArray, int> m_index;
    std::vector<QByteArray> m_utf8;
    std::vector<QString> m_texts;
};

// The values of one stored row in a single allocation: numbers in eight bytes, a text as
// its UTF-8 with its length, a short text that recurs as its number in a TextPool. A row of
// a result page takes about a third of the room it takes as QVariants and QStrings. A value
// reads back exactly as Statement::value gives it (null, qlonglong, double, QString,
// QByteArray); a text that is not valid UTF-8 reads as its decoding does, replacement
// characters included.
class PackedRow {
public:
    enum class Kind : unsigned char { Null, Integer, Real, Text, Blob };
    // One value without a copy; `bytes` stays valid while the row (and its pool) does.
    struct Ref {
        Kind kind = Kind::Null;
        qint64 integer = 0;
        double real = 0;
        QByteArrayView bytes; // Text (valid UTF-8) and Blob
    };

    PackedRow() = default;
    // Columns first .. first + available - 1 of the statement's current row, then nulls up
    // to `total` columns.
    static PackedRow read(sqlite3_stmt* statement, int first, int available, int total, TextPool& pool);
    // The same packing of values given (null, integral numbers, doubles, texts, byte arrays);
    // anything else is stored as its text.
    static PackedRow pack(const std::vector<QVariant>& values, TextPool& pool);

    bool isEmpty() const { return !m_data; } // no row was read
    Ref ref(int column, const TextPool& pool) const;
    QVariant value(int column, const TextPool& pool) const;
    std::vector<QVariant> values(int count, const TextPool& pool) const;

private:
    std::unique_ptr<char[]> m_data;
};

} // namespace kova
