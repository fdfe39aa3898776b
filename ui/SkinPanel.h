#pragma once

#include <QColor>
#include <QWidget>

namespace kova {

// A panel: a filled (or transparent) rectangle with an optional single border and an
// inner bevel, like the layout's panels and the progress and preview panels.
class SkinPanel : public QWidget {
    Q_OBJECT
public:
    enum class Bevel { None, Lowered, Raised };

    explicit SkinPanel(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    void setTransparent(bool transparent);
    bool isTransparent() const { return m_transparent; }
    void setInnerBevel(Bevel bevel);
    Bevel innerBevel() const { return m_bevel; }
    void setSingleBorder(bool on);
    bool singleBorder() const { return m_border; }

    // Width of what the border and bevel take on each side.
    int frameWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color{240, 240, 240};
    bool m_transparent = false;
    Bevel m_bevel = Bevel::None;
    bool m_border = false;
};

} // namespace kova
