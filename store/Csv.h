#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace kova {

// A table as CSV bytes for spreadsheet programs: UTF-8 with a byte-order mark (so the
// Chinese is read as such), one line per row ended by CRLF, a field quoted when it holds
// a comma, a quote, a line break or surrounding blanks, quotes inside doubled.
QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows);

} // namespace kova
