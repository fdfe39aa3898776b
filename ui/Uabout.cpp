#include "ui/Uabout.h"

#include "store/Error.h"
#include "store/JpegLoader.h"
#include "ui/Accessibility.h"
#include "ui/Pictures.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace kova {

QPointer<Tfrmabout> frmabout;

Tfrmabout::Tfrmabout(QWidget* parent) : Tfrmabout(aboutPictureJpeg(), parent) {}

Tfrmabout::Tfrmabout(const QByteArray& jpeg, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), Image1(nullptr)
{
    const JpegResult picture = decodeJpeg(jpeg);
    if (picture.image.isNull())
        throw Error(QStringLiteral("关于软件的图片无法显示：%1").arg(picture.error));

    setObjectName(QStringLiteral("frmabout"));
    installAccessibleInterfaces();
    // Never drawn (the window has no title bar); it names the window to the desktop and to
    // screen readers.
    setWindowTitle(QStringLiteral("关于软件"));
    setAccessibleName(QStringLiteral("关于软件"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(ClientWidth, ClientHeight);

    Image1 = new ClickLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap::fromImage(picture.image));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setAccessibleName(QStringLiteral("关于软件"));
    connect(Image1, &ClickLabel::clicked, this, &Tfrmabout::Image1Click);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

void Tfrmabout::Image1Click()
{
    close();
}

void Tfrmabout::keyPressEvent(QKeyEvent* event)
{
    // Without a title bar there is no close box: Esc closes, as in a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

Tfrmabout* showAboutWindow(QWidget* owner)
{
    auto* window = new Tfrmabout(owner);
    frmabout = window;
    window->show();
    return window;
}

} // namespace kova
