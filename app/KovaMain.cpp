#include "app/KovaMain.h"

#include "app/SingleInstance.h"
#include "app/Uzjm.h"
#include "store/Error.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace kova {
namespace {

// For start-up benchmarks: creates the file KOVA_SHOWN_FILE names once the window's first
// paint has been done and flushed. Without the variable nothing is watched.
class FirstPaintFile final : public QObject {
public:
    FirstPaintFile(QWidget& window, QString path) : QObject(&window), m_path(std::move(path))
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: runs after this paint pass, the flush to the screen included.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QFile(m_path).open(QIODevice::WriteOnly);
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QString m_path;
};

} // namespace

int KovaMain(bool runLoop, SingleInstance* instance)
{
    std::unique_ptr<Tfrmkova> window;
    try {
        window = std::make_unique<Tfrmkova>();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kova: %s\n", e.what());
        ShowError(UserErrorText(e));
        return 1;
    }
    if (instance) {
        QObject::connect(instance, &SingleInstance::activationRequested, window.get(),
                         [w = window.get()] { bringToFront(*w); });
    }
    if (const QString shownFile = qEnvironmentVariable("KOVA_SHOWN_FILE"); !shownFile.isEmpty())
        new FirstPaintFile(*window, shownFile); // owned by the window
    window->show();
    if (!runLoop)
        return 0;
    return QApplication::exec();
}

void bringToFront(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

bool installChineseTranslations(QCoreApplication& app)
{
    return installChineseTranslations(app, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool installChineseTranslations(QCoreApplication& app, const QString& folder)
{
    // qtbase holds the texts of the widgets and dialogs the program shows.
    auto translator = std::make_unique<QTranslator>(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return false;
    translator.release(); // owned by the application from here on
    return true;
}

} // namespace kova
