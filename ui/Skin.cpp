#include "ui/Skin.h"

#include "store/Error.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

namespace kova {
namespace {

// Qt reports a style sheet it cannot parse only as a warning; it is caught here while the
// sheet is being applied, and every other message goes on to the handler before.
QtMessageHandler previousHandler = nullptr;
bool* rejectedFlag = nullptr;

void watchForRejection(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (rejectedFlag && type == QtWarningMsg &&
        message.startsWith(QLatin1String("Could not parse application stylesheet"))) {
        *rejectedFlag = true;
        return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void ApplySkinStyleSheet(const QString& path, const QString& sheet)
{
    bool rejected = false;
    rejectedFlag = &rejected;
    previousHandler = qInstallMessageHandler(watchForRejection);
    qApp->setStyleSheet(sheet);
    {
        // The sheet is parsed when a widget is polished; without one it would be later.
        QWidget probe;
        probe.ensurePolished();
    }
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    rejectedFlag = nullptr;
    if (!rejected)
        return;
    qApp->setStyleSheet(QString());
    throw Error(
        QStringLiteral("无法读取皮肤文件 %1：样式表有错误，无法使用").arg(QDir::toNativeSeparators(path)));
}

} // namespace kova
