#include "ui/SkinButton.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

namespace kova {

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

void SkinButton::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SkinButton::setGlyph(const QPixmap& glyph)
{
    m_glyph = glyph;
    update();
}

void SkinButton::setGlyphSpacing(int pixels)
{
    m_spacing = pixels;
    update();
}

QSize SkinButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const int glyphWidth = m_glyph.isNull() ? 0 : m_glyph.width() + m_spacing;
    return {glyphWidth + fm.horizontalAdvance(text()) + 16,
            qMax(m_glyph.isNull() ? 0 : m_glyph.height(), fm.height()) + 10};
}

void SkinButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SkinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect r = rect().adjusted(0, 0, -1, -1);

    QColor top(250, 250, 250);
    QColor bottom(222, 226, 234);
    if (isDown()) {
        top = QColor(203, 203, 203);
        bottom = QColor(218, 218, 218);
    } else if (m_hovered && isEnabled()) {
        top = QColor(255, 255, 255);
        bottom = QColor(206, 222, 245);
    }
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0, top);
    face.setColorAt(1, bottom);
    p.fillRect(r, face);
    p.setPen(m_hovered || isDown() ? QColor(51, 106, 188) : QColor(104, 104, 104));
    p.drawRect(r);
    if (hasFocus()) {
        p.setPen(QPen(QColor(64, 64, 64), 1, Qt::DotLine));
        p.drawRect(r.adjusted(3, 3, -3, -3));
    }

    const QFontMetrics fm(font());
    const int textWidth = fm.horizontalAdvance(text());
    const int glyphWidth = m_glyph.isNull() ? 0 : m_glyph.width() / m_glyph.devicePixelRatio();
    const int glyphHeight = m_glyph.isNull() ? 0 : m_glyph.height() / m_glyph.devicePixelRatio();
    const int total = glyphWidth + (m_glyph.isNull() ? 0 : m_spacing) + textWidth;
    int x = (width() - total) / 2 + (isDown() ? 1 : 0);
    const int dy = isDown() ? 1 : 0;
    if (!m_glyph.isNull()) {
        p.drawPixmap(x, (height() - glyphHeight) / 2 + dy, m_glyph);
        x += glyphWidth + m_spacing;
    }
    p.setFont(font());
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(128, 128, 128));
    p.drawText(QRect(x, dy, textWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace kova
