#include "store/Csv.h"

#include "store/PlainText.h"

#include <QSaveFile>

#include <algorithm>
#include <cerrno>

namespace kova {
namespace {

// Big enough that a large export needs few calls, small enough that a full disk is found
// early.
constexpr qint64 WriteChunk = 64 * 1024;

bool isFormulaStart(QChar c)
{
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@') ||
           c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Spreadsheets trim blanks on import, and invisible format characters (a zero-width space,
// a byte-order mark) are easily overlooked: the first character after them decides.
bool readsAsFormula(const QString& text)
{
    for (const QChar c : text) {
        if (isFormulaStart(c))
            return true;
        if (!c.isSpace() && c.category() != QChar::Other_Format)
            return false;
    }
    return false;
}

// "-5", "58.50", "1200": digits with an optional minus and decimal part, nothing else.
bool isPlainNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && text.at(i) == QLatin1Char('-'))
        ++i;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
            ++i;
        return i > from;
    };
    if (!digits())
        return false;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        if (!digits())
            return false;
    }
    return i == n;
}

QString field(const QString& text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void appendLine(QByteArray& out, const QStringList& fields, const QList<CsvColumn>& kinds)
{
    QStringList line;
    line.reserve(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        line.append(field(CsvCell(fields.at(i), i < kinds.size() ? kinds.at(i) : CsvColumn::Text)));
    out += line.join(QLatin1Char(',')).toUtf8();
    out += "\r\n";
}

QString writeFailure(const QSaveFile& file)
{
    const QString system = file.errorString();
    const bool full = file.error() == QFileDevice::ResourceError || system == qt_error_string(ENOSPC) ||
                      system == qt_error_string(EFBIG) || system == qt_error_string(EDQUOT);
    return full ? QStringLiteral("磁盘空间不足，文件未能写完，导出已取消（%1）").arg(system)
                : QStringLiteral("写入文件失败，导出已取消（%1）").arg(system);
}

} // namespace

QString CsvCell(const QString& text, CsvColumn kind)
{
    if (kind == CsvColumn::Number && isPlainNumber(text))
        return text;
    QString cell = StripBidiControls(text);
    if (readsAsFormula(cell))
        cell.prepend(QLatin1Char('\''));
    return cell;
}

QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows, const QList<CsvColumn>& kinds)
{
    QByteArray out("\xEF\xBB\xBF");
    appendLine(out, header, {});
    for (const QStringList& row : rows)
        appendLine(out, row, kinds);
    return out;
}

std::optional<QString> SaveWholeFile(const QString& path, const QByteArray& bytes)
{
    // Unbuffered: each write reaches the file system, so its count is what was written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 asked = std::min(WriteChunk, bytes.size() - done);
        const qint64 written = file.write(bytes.constData() + done, asked);
        // A short write is not done: the rest is written next, and that write fails with
        // the system's reason when the disk is full.
        if (written <= 0) {
            const QString reason = writeFailure(file);
            file.cancelWriting(); // the temporary file goes with `file`, the old file stays
            return reason;
        }
        done += written;
    }
    if (!file.commit())
        return writeFailure(file);
    return std::nullopt;
}

} // namespace kova
