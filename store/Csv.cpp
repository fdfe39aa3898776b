#include "store/Csv.h"

namespace kova {
namespace {

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

void appendLine(QByteArray& out, const QStringList& fields)
{
    QStringList line;
    line.reserve(fields.size());
    for (const QString& f : fields)
        line.append(field(f));
    out += line.join(QLatin1Char(',')).toUtf8();
    out += "\r\n";
}

} // namespace

QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    appendLine(out, header);
    for (const QStringList& row : rows)
        appendLine(out, row);
    return out;
}

} // namespace kova
