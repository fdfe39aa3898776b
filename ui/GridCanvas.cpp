#include "ui/GridCanvas.h"

#include "store/Dataset.h"
#include "ui/GridColumn.h"

#include <QPainter>

namespace kova {

GridCanvas::GridCanvas(QPainter* painter) : m_painter(painter)
{
    if (painter)
        m_font = painter->font();
}

GridCanvas::~GridCanvas() = default;

void GridCanvas::setRecord(const Dataset* dataset, int row)
{
    m_dataset = dataset;
    m_row = row;
}

QString GridCanvas::fieldText(const QString& field) const
{
    if (m_dataset == nullptr || !m_dataset->isActive() || m_row < 0 || m_row >= m_dataset->recordCount())
        return {};
    const int column = indexOfField(m_dataset->fieldNames(), field);
    if (column < 0)
        return {};
    const QVariant value = m_dataset->fieldAt(m_row, column);
    return value.isNull() ? QString() : value.toString();
}

void GridCanvas::fillRect(const QRect& rect)
{
    if (m_painter)
        m_painter->fillRect(rect, m_brushColor);
}

void GridCanvas::textRect(const QRect& clip, int x, int y, const QString& text)
{
    if (!m_painter)
        return;
    m_painter->save();
    m_painter->fillRect(clip, m_brushColor);
    m_painter->setClipRect(clip, Qt::IntersectClip);
    m_painter->setFont(m_font);
    m_painter->setPen(m_fontColor);
    m_painter->drawText(QRect(x, y, 0x3fff, 0x3fff), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    m_painter->restore();
}

void GridCanvas::drawText(const QRect& rect, int flags, const QString& text)
{
    if (!m_painter)
        return;
    m_painter->save();
    m_painter->setClipRect(rect, Qt::IntersectClip);
    m_painter->setFont(m_font);
    m_painter->setPen(m_fontColor);
    m_painter->drawText(rect, flags, text);
    m_painter->restore();
}

void GridCanvas::stretchDraw(const QRect& rect, const QImage& image)
{
    if (m_painter && !image.isNull()) {
        m_painter->save();
        m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
        m_painter->drawImage(rect, image);
        m_painter->restore();
    }
}

void RecordingGridCanvas::fillRect(const QRect& rect)
{
    m_ops.push_back({Op::Kind::Fill, rect, {}, {}, fontColor(), brushColor(), font(), 0, {}});
    GridCanvas::fillRect(rect);
}

void RecordingGridCanvas::textRect(const QRect& clip, int x, int y, const QString& text)
{
    m_ops.push_back({Op::Kind::TextRect, clip, QPoint(x, y), text, fontColor(), brushColor(), font(), 0, {}});
    GridCanvas::textRect(clip, x, y, text);
}

void RecordingGridCanvas::drawText(const QRect& rect, int flags, const QString& text)
{
    m_ops.push_back({Op::Kind::Text, rect, {}, text, fontColor(), brushColor(), font(), flags, {}});
    GridCanvas::drawText(rect, flags, text);
}

void RecordingGridCanvas::stretchDraw(const QRect& rect, const QImage& image)
{
    m_ops.push_back({Op::Kind::Picture, rect, {}, {}, fontColor(), brushColor(), font(), 0, image.size()});
    GridCanvas::stretchDraw(rect, image);
}

QString RecordingGridCanvas::visibleText(const QRect& cell, const QString& pictureText) const
{
    QStringList texts;
    bool picture = false;
    for (const Op& op : m_ops) {
        const bool covers = op.rect.contains(cell);
        if (covers && op.kind != Op::Kind::Text) {
            texts.clear();
            picture = op.kind == Op::Kind::Picture;
        }
        if ((op.kind == Op::Kind::Text || op.kind == Op::Kind::TextRect) && !op.text.isEmpty() &&
            (texts.isEmpty() || texts.last() != op.text))
            texts.append(op.text);
    }
    if (texts.isEmpty() && picture)
        return pictureText;
    return texts.join(QLatin1Char(' '));
}

const RecordingGridCanvas::Op* RecordingGridCanvas::lastText() const
{
    for (auto it = m_ops.rbegin(); it != m_ops.rend(); ++it)
        if (it->kind == Op::Kind::TextRect || it->kind == Op::Kind::Text)
            return &*it;
    return nullptr;
}

} // namespace kova
