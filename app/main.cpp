#include "app/KovaMain.h"
#include "service/HttpClient.h"
#include "ui/Messages.h"

#include <QApplication>

int main(int argc, char** argv)
{
    kova::HttpClient::globalInit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kova"));
    QApplication::setApplicationDisplayName(kova::ApplicationTitle);
    kova::installChineseTranslations(app);
    return kova::KovaMain();
}
