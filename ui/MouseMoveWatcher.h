#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace kova {

// Reports pointer moves over a widget itself, not over its child controls, the way a
// control's own mouse-move event fires. Switches on mouse tracking for the widget; owned
// by the widget.
class MouseMoveWatcher : public QObject {
    Q_OBJECT
public:
    static MouseMoveWatcher* watch(QWidget* widget);

signals:
    void moved(QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit MouseMoveWatcher(QWidget* widget);
    QWidget* m_widget;
};

} // namespace kova
