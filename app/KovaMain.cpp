#include "app/KovaMain.h"

#include "app/Uzjm.h"
#include "store/Error.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace kova {

int KovaMain(bool runLoop)
{
    std::unique_ptr<Tfrmkova> window;
    try {
        window = std::make_unique<Tfrmkova>();
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        std::fprintf(stderr, "kova: %s\n", e.what());
        ShowError(text);
        return 1;
    }
    window->show();
    if (!runLoop)
        return 0;
    return QApplication::exec();
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
