#include "app/KovaMain.h"
#include "app/SingleInstance.h"
#include "service/HttpClient.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    kova::HttpClient::globalInit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kova"));
    // No display name: Qt would append it to every window title, and the titles are exactly
    // the captions the program sets.
    kova::installChineseTranslations(app);

    // One window per data folder, decided before the window opens kvdb.dat.
    kova::SingleInstance instance(QDir::currentPath());
    switch (instance.role()) {
    case kova::SingleInstance::Role::Second:
        if (!instance.activateFirst())
            std::fprintf(stderr, "kova: this folder is already open in another window\n");
        return 0;
    case kova::SingleInstance::Role::Unlocked:
        std::fprintf(stderr, "kova: cannot lock this folder; another window may open it too\n");
        break;
    case kova::SingleInstance::Role::First:
        break;
    }
    return kova::KovaMain(true, &instance);
}
