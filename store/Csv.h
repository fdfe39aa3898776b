#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kova {

// What a column of an export holds. A number column's cell is written as it stands only
// when it is a plain decimal number ("58.50", "-5", "1200"); anything else the service put
// there ("=1+1", "1e308", "abc") is written like text.
enum class CsvColumn { Text, Number };

// A table as CSV bytes for spreadsheet programs: UTF-8 with a byte-order mark (so the
// Chinese is read as such), one line per row ended by CRLF, a field quoted when it holds
// a comma, a quote, a line break or surrounding blanks, quotes inside doubled.
// Every text cell is made inert first: the bidirectional controls (U+202A–U+202E,
// U+2066–U+2069) are taken out, and a cell that a spreadsheet would read as a formula
// (one starting with "=", "+", "-", "@", Tab, CR or LF, also after leading blanks) gets a
// leading "'". `kinds` gives each column's kind by position; columns past its end, and the
// header, are text.
QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows,
                    const QList<CsvColumn>& kinds = {});

// A cell as CsvBytes writes it, before quoting.
QString CsvCell(const QString& text, CsvColumn kind);

// Writes `bytes` to `path` whole or not at all: through a temporary file beside it that
// replaces the old file only once every byte is written, each write checked against the
// bytes asked for. On failure the old file is left as it was, the temporary file is
// removed, and the reason is returned in words for the user (a full disk says so).
std::optional<QString> SaveWholeFile(const QString& path, const QByteArray& bytes);

} // namespace kova
