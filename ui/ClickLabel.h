#pragma once

#include <QLabel>

namespace kova {

// A label or picture control that reports clicks (the hot keywords, the store pictures,
// the preview image). A picture set with setPixmap is stretched over the control; a text is
// shown as plain text, never as markup.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr);
    // What a click does (a screen reader's press action).
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

} // namespace kova
