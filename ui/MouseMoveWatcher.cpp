#include "ui/MouseMoveWatcher.h"

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
        // A move that a child passed up to us happened over the child, not over us.
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QWidget* child = m_widget->childAt(pos);
        if (child == nullptr || !child->isVisible())
            emit moved(pos);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kova
