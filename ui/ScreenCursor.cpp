#include "ui/ScreenCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace kova {

void SetScreenCursor(ScreenCursor shape)
{
    // One application-wide shape, not a stack: a shape replaces the one before.
    while (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
    switch (shape) {
    case ScreenCursor::Default:
        break;
    case ScreenCursor::Hand:
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
        break;
    case ScreenCursor::Hourglass:
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        break;
    }
}

ScreenCursor CurrentScreenCursor()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    if (cursor == nullptr)
        return ScreenCursor::Default;
    switch (cursor->shape()) {
    case Qt::PointingHandCursor:
        return ScreenCursor::Hand;
    case Qt::WaitCursor:
        return ScreenCursor::Hourglass;
    default:
        return ScreenCursor::Default;
    }
}

} // namespace kova
