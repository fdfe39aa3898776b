#include "service/PageText.h"

#include "store/Gbk.h"

#include <stdexcept>

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
    setUtf8(text.toUtf8());
}

void PageText::setUtf8(QByteArray text)
{
    m_failedLoad = false;
    auto content = std::make_shared<Content>();
    const char* const data = text.constData();
    const qsizetype size = text.size();
    if (size >= qsizetype{CutLine})
        throw std::length_error("page text too long");
    content->lines.reserve(static_cast<size_t>(text.count('\n')) + 1);
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype length = end - start;
        if (length > 0 && data[start + length - 1] == '\r')
            --length;
        Line line{static_cast<quint32>(start), static_cast<quint32>(length)};
        // A character takes no more bytes in GBK than in UTF-8, so only a line longer than
        // the cut in UTF-8 is looked at again (see cutLine).
        if (length > MaxLineBytes) {
            const QString whole = QString::fromUtf8(data + start, length);
            const QString cut = cutLine(whole);
            if (cut != whole) {
                line = Line{static_cast<quint32>(content->cutLines.size()), CutLine};
                content->cutLines.push_back(cut.toUtf8());
            }
        }
        content->lines.push_back(line);
        start = next;
    }
    content->text = std::move(text);
    m_content = std::move(content);
}

void PageText::clear()
{
    m_content.reset();
    m_failedLoad = false;
    m_serviceError.clear();
}

QString PageText::text() const
{
    return m_content ? QString::fromUtf8(m_content->text) : QString();
}

QString PageText::line(int index) const
{
    return QString::fromUtf8(lineUtf8(index));
}

QByteArrayView PageText::lineUtf8(int index) const
{
    if (!m_content || index < 0 || static_cast<size_t>(index) >= m_content->lines.size())
        return {};
    const Line& line = m_content->lines[static_cast<size_t>(index)];
    if (line.length == CutLine)
        return m_content->cutLines[line.start];
    return QByteArrayView(m_content->text.constData() + line.start, line.length);
}

} // namespace kova
