// CsvBytes over a random table: the first byte says which of the first eight columns are
// number columns; the rest is text, records separated by U+001E and cells by U+001F, the
// first record being the header. The bytes must read back, by an RFC 4180 reader of the
// fuzzer's own, to the same cells, each text cell at most prefixed with "'" and without
// bidi controls, and no text cell may start like a formula.

#include "fuzz/FuzzSupport.h"

#include "store/Csv.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

using kova::fuzz::fail;

bool isBidi(QChar c)
{
    return (c.unicode() >= 0x202A && c.unicode() <= 0x202E) ||
           (c.unicode() >= 0x2066 && c.unicode() <= 0x2069);
}

QString stripBidi(QString text)
{
    text.removeIf(isBidi);
    return text;
}

// The first character a spreadsheet looks at, past blanks and invisible format characters.
bool startsLikeFormula(const QString& text)
{
    for (const QChar c : text) {
        if (QStringLiteral("=+-@\t\r\n").contains(c))
            return true;
        if (!c.isSpace() && c.category() != QChar::Other_Format)
            return false;
    }
    return false;
}

bool plainNumber(const QString& text)
{
    // Anchored as a whole: "$" alone would also match before a final newline.
    static const QRegularExpression number(
        QRegularExpression::anchoredPattern(QStringLiteral("-?[0-9]+(\\.[0-9]+)?")));
    return number.match(text).hasMatch();
}

// A strict reader of what CsvBytes writes: CRLF after every record, quotes only around a
// whole field. Nothing when the text is no such CSV.
std::optional<QList<QStringList>> readCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString cell;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text.at(i) == u'"') {
            for (++i;; ++i) {
                if (i >= n)
                    return std::nullopt;
                if (text.at(i) == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        cell += u'"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += text.at(i);
            }
        } else {
            while (i < n && text.at(i) != u',' && text.at(i) != u'\r' && text.at(i) != u'\n') {
                if (text.at(i) == u'"')
                    return std::nullopt;
                cell += text.at(i++);
            }
        }
        if (i < n && text.at(i) == u',') {
            record << std::exchange(cell, {});
            ++i;
        } else if (text.mid(i, 2) == QLatin1String("\r\n")) {
            record << std::exchange(cell, {});
            records << std::exchange(record, {});
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    if (!record.isEmpty() || !cell.isEmpty())
        return std::nullopt; // no CRLF after the last record
    return records;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t numberMask = data[0];
    const QStringList records = kova::fuzz::text(data + 1, size - 1).split(QChar(0x1E));
    QList<QStringList> table;
    for (const QString& r : records)
        table << r.split(QChar(0x1F));
    QList<kova::CsvColumn> kinds;
    for (int c = 0; c < 8; ++c)
        kinds << ((numberMask >> c) & 1 ? kova::CsvColumn::Number : kova::CsvColumn::Text);

    const QByteArray bytes = kova::CsvBytes(table.front(), table.mid(1), kinds);
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        fail("no byte-order mark");
    const auto read = readCsv(QString::fromUtf8(bytes.mid(3)));
    if (!read)
        fail("not RFC 4180", QString::fromUtf8(bytes));
    if (read->size() != table.size())
        fail("record count", QString::number(read->size()) + u'/' + QString::number(table.size()));
    for (qsizetype r = 0; r < table.size(); ++r) {
        if (read->at(r).size() != table.at(r).size())
            fail("cell count in record", QString::number(r));
        for (qsizetype c = 0; c < table.at(r).size(); ++c) {
            const QString& original = table.at(r).at(c);
            const QString& cell = read->at(r).at(c);
            const bool number = r > 0 && c < kinds.size() && kinds.at(c) == kova::CsvColumn::Number;
            if (number && plainNumber(original)) {
                if (cell != original)
                    fail("a plain number changed", original + QStringLiteral(" -> ") + cell);
                continue;
            }
            const QString inert = stripBidi(original);
            const QString expected = startsLikeFormula(inert) ? u'\'' + inert : inert;
            if (cell != expected)
                fail("text cell", original + QStringLiteral(" -> ") + cell);
            if (startsLikeFormula(cell))
                fail("a text cell starts like a formula", cell);
            if (std::any_of(cell.begin(), cell.end(), isBidi))
                fail("a bidi control in a text cell", cell);
        }
    }
    return 0;
}
