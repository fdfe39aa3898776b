#include "ui/SkinPanel.h"

#include <QPainter>

namespace kova {

SkinPanel::SkinPanel(QWidget* parent) : QWidget(parent) {}

void SkinPanel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void SkinPanel::setTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void SkinPanel::setInnerBevel(Bevel bevel)
{
    m_bevel = bevel;
    update();
}

void SkinPanel::setSingleBorder(bool on)
{
    m_border = on;
    update();
}

int SkinPanel::frameWidth() const
{
    return (m_border ? 1 : 0) + (m_bevel != Bevel::None ? 1 : 0);
}

void SkinPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    if (!m_transparent)
        p.fillRect(r, m_color);
    if (m_border) {
        p.setPen(QColor(128, 128, 128));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (m_bevel != Bevel::None) {
        const QColor light(255, 255, 255);
        const QColor dark(160, 160, 160);
        const QColor& topLeft = m_bevel == Bevel::Raised ? light : dark;
        const QColor& bottomRight = m_bevel == Bevel::Raised ? dark : light;
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
}

} // namespace kova
