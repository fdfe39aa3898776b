#include "ui/SkinToolBar.h"

#include <QPainter>
#include <QToolButton>

namespace kova {

SkinToolButton::SkinToolButton(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setAttribute(Qt::WA_Hover);
}

void SkinToolButton::setSeparator(bool separator)
{
    m_separator = separator;
    setEnabled(!separator);
    update();
}

void SkinToolButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_separator) {
        const int x = width() / 2 - 1;
        p.setPen(QColor(160, 160, 160));
        p.drawLine(x, 4, x, height() - 5);
        p.setPen(QColor(255, 255, 255));
        p.drawLine(x + 1, 4, x + 1, height() - 5);
        return;
    }
    const QRect r = rect().adjusted(0, 0, -1, -1);
    const bool hovered = isEnabled() && underMouse();
    if (isDown() || isChecked()) {
        p.fillRect(r, PressedColor);
        p.setPen(BorderColor);
        p.drawRect(r);
    } else if (hovered) {
        p.fillRect(r, HoverColor);
        p.setPen(BorderColor);
        p.drawRect(r);
    }
    const int shift = isDown() ? 1 : 0;
    const QSize iconSz = iconSize();
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap pixmap = icon().pixmap(iconSz, devicePixelRatio(), mode);
    p.drawPixmap((width() - iconSz.width()) / 2 + shift, 4 + shift, pixmap);

    p.setFont(font());
    p.setPen(isEnabled() ? QColor(0, 0, 0) : QColor(128, 128, 128));
    const QRect textRect(shift, 4 + iconSz.height() + 1 + shift, width(), height() - iconSz.height() - 6);
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text());
}

SkinToolBar::SkinToolBar(QWidget* parent) : QWidget(parent) {}

void SkinToolBar::addItem(QToolButton* item, int width)
{
    int x = 0;
    for (const Item& existing : m_items)
        x += existing.width;
    item->setParent(this);
    item->setGeometry(x, 0, width, ItemHeight);
    m_items.push_back({item, width});
}

void SkinToolBar::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void SkinToolBar::setTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

QSize SkinToolBar::sizeHint() const
{
    int w = 0;
    for (const Item& item : m_items)
        w += item.width;
    return {w, ItemHeight};
}

void SkinToolBar::paintEvent(QPaintEvent*)
{
    if (m_transparent)
        return;
    QPainter p(this);
    p.fillRect(rect(), m_color);
}

} // namespace kova
