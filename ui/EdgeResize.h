#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace kova {

// Resizing a frameless window by its edges and corners. The decisions are plain functions;
// EdgeGrip is the thin control that lies along one edge or corner of the window.

// The cursor shape a user expects over those edges.
Qt::CursorShape ResizeCursor(Qt::Edges edges);
// The window's geometry after dragging `edges` of `start` by `delta`, never smaller than
// `minimum` nor larger than `maximum`; the edges not dragged stay where they were.
QRect ResizedGeometry(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum, QSize maximum);

// An invisible control along one edge or corner of a top-level window, with that edge's
// cursor. Dragging it asks the window manager to resize the window; where none offers that
// (a bare X server), the window resizes itself as the pointer moves. Hidden while the window
// is maximized.
class EdgeGrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int Thickness = 4;
    static constexpr int CornerSize = 8;

    EdgeGrip(Qt::Edges edges, QWidget* window, QWidget* parent);
    Qt::Edges edges() const { return m_edges; }
    // Its place in a parent that fills the window.
    QRect placeIn(QSize window) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void followPointer(QPoint global);

    Qt::Edges m_edges;
    QWidget* m_window;
    bool m_dragging = false;
    QPoint m_pressGlobal;
    QRect m_startGeometry;
};

} // namespace kova
