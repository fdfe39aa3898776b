#include "app/KovaMain.h"

#include "app/SingleInstance.h"
#include "app/Uzjm.h"
#include "store/Error.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace kova {

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
