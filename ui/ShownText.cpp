#include "ui/ShownText.h"

#include "store/PlainText.h"

#include <QTextDocument>

namespace kova {

QString PlainToolTip(const QString& text)
{
    if (text.isEmpty())
        return {};
    return Qt::convertFromPlainText(StripBidiControls(text), Qt::WhiteSpacePre);
}

QString PlainWindowTitle(const QString& text)
{
    QString title = StripBidiControls(text);
    if (title.size() > MaxTitleLength)
        title = title.left(MaxTitleLength - 1) + QChar(0x2026);
    for (QChar& c : title) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    // QWidget shows "[*][*]" as "[*]" and drops a single one.
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return title;
}

} // namespace kova
