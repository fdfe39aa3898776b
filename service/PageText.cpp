#include "service/PageText.h"

#include "store/Gbk.h"

namespace kova {

QString PageText::cutLine(const QString& line)
{
    // A character takes at most two bytes in GBK (one that GBK lacks becomes a one-byte
    // '?'), so a short line needs no conversion at all.
    if (line.size() * 2 <= MaxLineBytes)
        return line;
    const QByteArray bytes = gbk::encode(line);
    if (bytes.size() <= MaxLineBytes)
        return line;
    qsizetype end = 0;
    while (end < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[end]);
        const qsizetype width = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (end + width > MaxLineBytes)
            break;
        end += width;
    }
    return gbk::decode(bytes.left(end));
}

void PageText::setText(const QString& text)
{
    m_text = text;
    m_lines.clear();
    m_failedLoad = false;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype len = end - start;
        if (len > 0 && text[start + len - 1] == QLatin1Char('\r'))
            --len;
        m_lines.append(cutLine(text.mid(start, len)));
        start = next;
    }
}

void PageText::clear()
{
    m_text.clear();
    m_lines.clear();
    m_failedLoad = false;
}

QString PageText::line(int index) const
{
    if (index < 0 || index >= m_lines.size())
        return {};
    return m_lines.at(index);
}

} // namespace kova
