#include "ui/StatusBar.h"

#include "ui/Accessibility.h"

#include <QPainter>

namespace kova {

StatusBar::StatusBar(QWidget* parent) : QWidget(parent)
{
    installAccessibleInterfaces();
}

void StatusBar::addPanel(int width, const QString& text)
{
    auto* standIn = new AccessibleText(QAccessible::StaticText, this);
    standIn->setObjectName(QStringLiteral("%1Panel%2").arg(objectName()).arg(panelCount()));
    standIn->setAccessibleName(text);
    m_panels.push_back({width, text, standIn});
    placeStandIns();
    update();
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= panelCount())
        return;
    Panel& p = m_panels[static_cast<size_t>(panel)];
    p.text = text;
    if (p.restore)
        p.restore->stop();
    showText(panel);
}

void StatusBar::showPassingText(int panel, const QString& text, std::chrono::milliseconds duration)
{
    if (panel < 0 || panel >= panelCount())
        return;
    Panel& p = m_panels[static_cast<size_t>(panel)];
    if (!p.restore) {
        p.restore = new QTimer(this);
        p.restore->setSingleShot(true);
        connect(p.restore, &QTimer::timeout, this, [this, panel] { showText(panel); });
    }
    p.passing = text;
    p.restore->start(duration);
    showText(panel);
}

QString StatusBar::panelText(int panel) const
{
    if (panel < 0 || panel >= panelCount())
        return {};
    const Panel& p = m_panels[static_cast<size_t>(panel)];
    return p.restore && p.restore->isActive() ? p.passing : p.text;
}

void StatusBar::showText(int panel)
{
    m_panels[static_cast<size_t>(panel)].standIn->setAccessibleName(panelText(panel));
    update(panelRect(panel));
}

QRect StatusBar::panelRect(int panel) const
{
    int x = 0;
    for (int i = 0; i < panelCount(); ++i) {
        const int w = m_panels[static_cast<size_t>(i)].width;
        const bool last = i == panelCount() - 1 || w < 0;
        const int width = last ? qMax(0, this->width() - x) : w;
        if (i == panel)
            return {x, 0, width, height()};
        x += width;
    }
    return {};
}

void StatusBar::resizeEvent(QResizeEvent*)
{
    placeStandIns();
}

void StatusBar::placeStandIns()
{
    for (int i = 0; i < panelCount(); ++i)
        m_panels[static_cast<size_t>(i)].standIn->setGeometry(panelRect(i));
}

void StatusBar::setColor(const QColor& color)
{
    m_color = color;
    update();
}

QSize StatusBar::sizeHint() const
{
    return {400, 21};
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_color);
    p.setFont(font());
    for (int i = 0; i < panelCount(); ++i) {
        const QRect r = panelRect(i).adjusted(0, 2, -2, -1);
        // Each panel sits sunken in the bar.
        p.setPen(QColor(160, 160, 160));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(QColor(255, 255, 255));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignCenter | Qt::TextSingleLine, panelText(i));
    }
}

} // namespace kova
