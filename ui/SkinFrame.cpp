#include "ui/SkinFrame.h"

#include "ui/Fonts.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace kova {

SkinTitleButton::SkinTitleButton(TitleButton kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(TitleButtonSize);
}

void SkinTitleButton::setKind(TitleButton kind)
{
    m_kind = kind;
    update();
}

ButtonFace SkinTitleButton::face() const
{
    if (isDown())
        return ButtonFace::Pressed;
    return m_hovered ? ButtonFace::Hovered : ButtonFace::Normal;
}

void SkinTitleButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), titleButtonPicture(m_kind, face()));
}

void SkinTitleButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinTitleButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

SkinFrame::SkinFrame(QWidget* window)
    : QWidget(window), m_window(window), m_captionFont(songFont(16, true)),
      m_close(new SkinTitleButton(TitleButton::Close, this)),
      m_maximize(new SkinTitleButton(TitleButton::Maximize, this)),
      m_minimize(new SkinTitleButton(TitleButton::Minimize, this))
{
    m_close->setObjectName(QStringLiteral("suiForm1CloseButton"));
    m_maximize->setObjectName(QStringLiteral("suiForm1MaximizeButton"));
    m_minimize->setObjectName(QStringLiteral("suiForm1MinimizeButton"));
    for (auto [button, name] : {std::pair{m_close, "关闭"}, std::pair{m_minimize, "最小化"}}) {
        button->setToolTip(QString::fromUtf8(name));
        button->setAccessibleName(QString::fromUtf8(name));
    }
    showMaximizeState();
    for (Qt::Edges edges :
         {Qt::Edges(Qt::LeftEdge), Qt::Edges(Qt::RightEdge), Qt::Edges(Qt::TopEdge),
          Qt::Edges(Qt::BottomEdge), Qt::LeftEdge | Qt::TopEdge, Qt::RightEdge | Qt::TopEdge,
          Qt::LeftEdge | Qt::BottomEdge, Qt::RightEdge | Qt::BottomEdge})
        m_grips.push_back(new EdgeGrip(edges, m_window, this));
    connect(m_close, &QAbstractButton::clicked, m_window, &QWidget::close);
    connect(m_maximize, &QAbstractButton::clicked, this, &SkinFrame::toggleMaximized);
    connect(m_minimize, &QAbstractButton::clicked, m_window, &QWidget::showMinimized);

    m_window->setWindowFlag(Qt::FramelessWindowHint, true);
    m_window->installEventFilter(this);
    syncToWindow();
}

void SkinFrame::setCaption(const QString& caption)
{
    m_caption = caption;
    update(0, 0, width(), TitleHeight);
}

void SkinFrame::setCaptionFont(const QFont& font)
{
    m_captionFont = font;
    update(0, 0, width(), TitleHeight);
}

void SkinFrame::setToolBar(QWidget* toolBar, int height)
{
    m_toolBar = toolBar;
    m_toolBarHeight = height;
    placeChildren();
}

void SkinFrame::setStatusBar(QWidget* statusBar, int height)
{
    m_statusBar = statusBar;
    m_statusBarHeight = height;
    placeChildren();
}

void SkinFrame::addView(QWidget* view)
{
    m_views.push_back(view);
    placeChildren();
}

QRect SkinFrame::viewArea() const
{
    const int top = TitleHeight + m_toolBarHeight;
    const int bottom = height() - BorderWidth - m_statusBarHeight;
    return {BorderWidth, top, qMax(0, width() - 2 * BorderWidth), qMax(0, bottom - top)};
}

void SkinFrame::syncToWindow()
{
    setGeometry(m_window->rect());
    placeChildren();
}

void SkinFrame::placeChildren()
{
    const int inner = qMax(0, width() - 2 * BorderWidth);
    if (m_toolBar)
        m_toolBar->setGeometry(BorderWidth, TitleHeight, inner, m_toolBarHeight);
    if (m_statusBar)
        m_statusBar->setGeometry(BorderWidth, height() - BorderWidth - m_statusBarHeight, inner,
                                 m_statusBarHeight);
    const QRect area = viewArea();
    for (QWidget* view : m_views)
        view->setGeometry(area);

    const int buttonTop = (TitleHeight - TitleButtonSize.height()) / 2 + 1;
    int x = width() - BorderWidth - 3 - TitleButtonSize.width();
    for (SkinTitleButton* button : {m_close, m_maximize, m_minimize}) {
        button->move(x, buttonTop);
        x -= TitleButtonSize.width() + 1;
    }

    // Above everything else, so an edge can be gripped wherever it is.
    const bool resizable = !m_window->isMaximized();
    for (EdgeGrip* grip : m_grips) {
        grip->setGeometry(grip->placeIn(size()));
        grip->setVisible(resizable);
        grip->raise();
    }
    for (SkinTitleButton* button : {m_close, m_maximize, m_minimize})
        button->raise();
}

void SkinFrame::showMaximizeState()
{
    const bool maximized = m_window->isMaximized();
    const QString name = maximized ? QStringLiteral("还原") : QStringLiteral("最大化");
    m_maximize->setKind(maximized ? TitleButton::Restore : TitleButton::Maximize);
    m_maximize->setToolTip(name);
    m_maximize->setAccessibleName(name);
}

void SkinFrame::resizeEvent(QResizeEvent*)
{
    placeChildren();
}

bool SkinFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            // Before the window's own resize handler runs, so it sees the views placed.
            syncToWindow();
            if (m_centring)
                centreOnScreen();
            break;
        case QEvent::Show:
            if (!m_centred) {
                m_centred = true;
                m_centring = true;
                centreOnScreen();
                // Size changes made while the window is being shown keep it centred.
                QTimer::singleShot(0, this, [this] { m_centring = false; });
            }
            break;
        case QEvent::WindowStateChange:
            showMaximizeState();
            placeChildren();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SkinFrame::centreOnScreen()
{
    QScreen* screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr || m_window->isMaximized())
        return;
    const QRect available = screen->availableGeometry();
    QRect frame = m_window->frameGeometry();
    frame.moveCenter(available.center());
    m_window->move(frame.topLeft());
}

void SkinFrame::toggleMaximized()
{
    if (m_window->isMaximized())
        m_window->showNormal();
    else
        m_window->showMaximized();
}

bool SkinFrame::inTitleBar(QPoint pos) const
{
    return pos.y() >= 0 && pos.y() < TitleHeight && childAt(pos) == nullptr;
}

void SkinFrame::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && inTitleBar(pos)) {
        event->accept();
        if (m_window->isMaximized())
            return;
        if (QWindow* handle = m_window->windowHandle(); handle && handle->startSystemMove())
            return;
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SkinFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        m_window->move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void SkinFrame::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void SkinFrame::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && inTitleBar(event->position().toPoint())) {
        event->accept();
        toggleMaximized();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void SkinFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), BackgroundColor);

    const QPixmap left = titleBarPicture(TitlePicture::Left);
    const QPixmap middle = titleBarPicture(TitlePicture::Middle);
    const QPixmap right = titleBarPicture(TitlePicture::Right);
    const int leftWidth = left.isNull() ? 0 : left.width();
    const int rightWidth = right.isNull() ? 0 : right.width();
    if (!middle.isNull())
        p.drawPixmap(QRect(leftWidth, 0, qMax(0, width() - leftWidth - rightWidth), TitleHeight), middle);
    if (!left.isNull())
        p.drawPixmap(QRect(0, 0, leftWidth, TitleHeight), left);
    if (!right.isNull())
        p.drawPixmap(QRect(width() - rightWidth, 0, rightWidth, TitleHeight), right);

    p.setFont(m_captionFont);
    p.setPen(Qt::black);
    const int captionRight = m_minimize->x() - 4;
    p.drawText(QRect(6, 0, qMax(0, captionRight - 6), TitleHeight),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);

    p.setPen(BorderColor);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kova
