#include "ui/MouseMoveWatcher.h"

#include "ui/EdgeResize.h"

#include <QMouseEvent>
#include <QWidget>

namespace kova {

MouseMoveWatcher::MouseMoveWatcher(QWidget* widget) : QObject(widget), m_widget(widget)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

MouseMoveWatcher* MouseMoveWatcher::watch(QWidget* widget)
{
    if (auto* existing = widget->findChild<MouseMoveWatcher*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new MouseMoveWatcher(widget);
}

bool MouseMoveWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_widget && event->type() == QEvent::MouseMove) {
        // A move that a child passed up to us happened over the child, not over us; an edge
        // grip is part of the frame's border.
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QWidget* child = m_widget->childAt(pos);
        if (child == nullptr || !child->isVisible() || qobject_cast<EdgeGrip*>(child))
            emit moved(pos);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kova
