#pragma once

#include "ui/EdgeResize.h"
#include "ui/Pictures.h"

#include <QAbstractButton>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <vector>

namespace kova {

// One of the title bar's buttons: a picture for each of normal, hovered and pressed.
class SkinTitleButton : public QAbstractButton {
    Q_OBJECT
public:
    SkinTitleButton(TitleButton kind, QWidget* parent);
    void setKind(TitleButton kind);
    TitleButton kind() const { return m_kind; }
    ButtonFace face() const;
    QSize sizeHint() const override { return TitleButtonSize; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TitleButton m_kind;
    bool m_hovered = false;
};

// The skinned frame of a frameless top-level window: it fills the window, draws the
// border, the background and a title bar of three pictures with the caption and the
// close, maximise/restore and minimise buttons. Dragging the title bar moves the window,
// a double click on it maximises or restores, dragging an edge or corner resizes the window
// (EdgeGrip), and the window is centred on the desktop when it is first shown. The title bar
// buttons carry their names for screen readers ("最小化", "最大化" or "还原", "关闭").
//
// Below the title bar the frame stacks a tool bar, the views (each filling the same
// area, whether shown or not) and a status bar.
class SkinFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int TitleHeight = 20;
    static constexpr int BorderWidth = 1;
    static constexpr QColor BorderColor{38, 67, 121};
    static constexpr QColor BackgroundColor{241, 241, 241};

    explicit SkinFrame(QWidget* window);

    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }
    void setCaptionFont(const QFont& font);
    QFont captionFont() const { return m_captionFont; }

    void setToolBar(QWidget* toolBar, int height);
    void setStatusBar(QWidget* statusBar, int height);
    void addView(QWidget* view);
    QRect viewArea() const;

    // Fills the window and places the bars and views now, also while the window is
    // hidden (its resize events are then still pending).
    void syncToWindow();

    SkinTitleButton* closeButton() const { return m_close; }
    SkinTitleButton* maximizeButton() const { return m_maximize; }
    SkinTitleButton* minimizeButton() const { return m_minimize; }
    const std::vector<EdgeGrip*>& edgeGrips() const { return m_grips; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void placeChildren();
    void toggleMaximized();
    void centreOnScreen();
    void showMaximizeState();
    bool inTitleBar(QPoint pos) const;

    QWidget* m_window;
    QString m_caption;
    QFont m_captionFont;
    QWidget* m_toolBar = nullptr;
    int m_toolBarHeight = 0;
    QWidget* m_statusBar = nullptr;
    int m_statusBarHeight = 0;
    std::vector<QWidget*> m_views;
    SkinTitleButton* m_close;
    SkinTitleButton* m_maximize;
    SkinTitleButton* m_minimize;
    std::vector<EdgeGrip*> m_grips;
    bool m_dragging = false;
    QPoint m_dragOffset;
    bool m_centred = false;
    bool m_centring = false;
};

} // namespace kova
