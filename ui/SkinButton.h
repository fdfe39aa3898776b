#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace kova {

// A skinned push button: a picture to the left of the caption, the pair centred, with
// hovered and pressed faces. It takes the focus by Tab or a click; Space, Enter and Return
// press it, and a dotted frame shows that it has the focus.
class SkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SkinButton(QWidget* parent = nullptr);

    void setGlyph(const QPixmap& glyph);
    QPixmap glyph() const { return m_glyph; }
    void setGlyphSpacing(int pixels);
    int glyphSpacing() const { return m_spacing; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap m_glyph;
    int m_spacing = 4;
    bool m_hovered = false;
};

} // namespace kova
