#pragma once

#include <QColor>
#include <QToolButton>
#include <QWidget>

#include <vector>

namespace kova {

// A flat tool bar button: the icon above the caption, both centred; the caption is
// clipped, never shortened with an ellipsis (the bar's captions carry padding spaces). A
// separator draws an etched line. Hovered and pressed buttons get the bar's colours.
class SkinToolButton : public QToolButton {
    Q_OBJECT
public:
    static constexpr QColor HoverColor{238, 238, 238};
    static constexpr QColor BorderColor{51, 106, 188};
    static constexpr QColor PressedColor{203, 203, 203};

    explicit SkinToolButton(QWidget* parent = nullptr);
    void setSeparator(bool separator);
    bool isSeparator() const { return m_separator; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_separator = false;
};

// The tool bar: items laid out left to right at their own widths, full height. A
// transparent tool bar lets the frame's background show through.
class SkinToolBar : public QWidget {
    Q_OBJECT
public:
    explicit SkinToolBar(QWidget* parent = nullptr);

    static constexpr int ItemHeight = 55;

    // Adds a button (width × ItemHeight) or a separator of the given width, after the
    // items already there.
    void addItem(QToolButton* item, int width);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    void setTransparent(bool transparent);
    bool isTransparent() const { return m_transparent; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Item {
        QToolButton* button;
        int width;
    };
    std::vector<Item> m_items;
    QColor m_color{128, 255, 255};
    bool m_transparent = false;
};

} // namespace kova
