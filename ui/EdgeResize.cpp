#include "ui/EdgeResize.h"

#include <QMouseEvent>
#include <QWindow>

namespace kova {

Qt::CursorShape ResizeCursor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling =
            edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    if (horizontal)
        return Qt::SizeHorCursor;
    if (vertical)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

QRect ResizedGeometry(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum, QSize maximum)
{
    int left = start.left();
    int top = start.top();
    int right = start.left() + start.width();
    int bottom = start.top() + start.height();
    const auto clampSize = [](int size, int low, int high) { return qBound(low, size, qMax(low, high)); };
    if (edges & Qt::LeftEdge)
        left = right - clampSize(start.width() - delta.x(), minimum.width(), maximum.width());
    else if (edges & Qt::RightEdge)
        right = left + clampSize(start.width() + delta.x(), minimum.width(), maximum.width());
    if (edges & Qt::TopEdge)
        top = bottom - clampSize(start.height() - delta.y(), minimum.height(), maximum.height());
    else if (edges & Qt::BottomEdge)
        bottom = top + clampSize(start.height() + delta.y(), minimum.height(), maximum.height());
    return {left, top, right - left, bottom - top};
}

EdgeGrip::EdgeGrip(Qt::Edges edges, QWidget* window, QWidget* parent)
    : QWidget(parent), m_edges(edges), m_window(window)
{
    setObjectName(QStringLiteral("EdgeGrip"));
    setCursor(ResizeCursor(edges));
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("调整窗口大小"));
}

QRect EdgeGrip::placeIn(QSize window) const
{
    const int w = window.width();
    const int h = window.height();
    const bool horizontal = m_edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = m_edges & (Qt::TopEdge | Qt::BottomEdge);
    const int x = (m_edges & Qt::RightEdge) ? w - (vertical ? CornerSize : Thickness) : 0;
    const int y = (m_edges & Qt::BottomEdge) ? h - (horizontal ? CornerSize : Thickness) : 0;
    if (horizontal && vertical)
        return {x, y, CornerSize, CornerSize};
    if (horizontal)
        return {x, CornerSize, Thickness, qMax(0, h - 2 * CornerSize)};
    return {CornerSize, y, qMax(0, w - 2 * CornerSize), Thickness};
}

void EdgeGrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_window->isMaximized()) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (QWindow* handle = m_window->windowHandle(); handle && handle->startSystemResize(m_edges))
        return;
    m_dragging = true;
    m_pressGlobal = event->globalPosition().toPoint();
    m_startGeometry = m_window->geometry();
}

void EdgeGrip::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    followPointer(event->globalPosition().toPoint());
}

void EdgeGrip::followPointer(QPoint global)
{
    const QRect next = ResizedGeometry(m_startGeometry, m_edges, global - m_pressGlobal,
                                       m_window->minimumSize(), m_window->maximumSize());
    if (next != m_window->geometry())
        m_window->setGeometry(next);
}

void EdgeGrip::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        // The last moves may have been merged into the release.
        followPointer(event->globalPosition().toPoint());
        m_dragging = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace kova
