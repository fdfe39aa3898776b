#include "app/KovaMain.h"

#include "app/Uzjm.h"
#include "store/Error.h"
#include "ui/Messages.h"

#include <QApplication>

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

} // namespace kova
