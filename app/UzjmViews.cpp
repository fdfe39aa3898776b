// The main window's layout handlers: the resize step, the tool bar buttons that open web
// pages or the about window, the store pictures and the picture preview's hiding.
#include "app/Uzjm.h"

#include "links/Browser.h"
#include "links/StoreLinks.h"
#include "service/Requests.h"
#include "ui/FrmkovaLayout.h"
#include "ui/Messages.h"
#include "ui/MouseMoveWatcher.h"
#include "ui/Uabout.h"

namespace kova {

void Tfrmkova::wireLayoutHandlers()
{
    connect(ui.btn5, &QToolButton::clicked, this, [this] { Guarded([this] { btn5Click(); }); });
    connect(ui.btn7, &QToolButton::clicked, this, [this] { Guarded([this] { btn7Click(); }); });
    connect(ui.btn8, &QToolButton::clicked, this, [this] { Guarded([this] { btn8Click(); }); });
    connect(ui.btn9, &QToolButton::clicked, this, [this] { Guarded([this] { btn9Click(); }); });
    connect(ui.btn10, &QToolButton::clicked, this, [this] { Guarded([this] { btn10Click(); }); });
    for (int n = 1; n <= static_cast<int>(ui.storeImages.size()); ++n) {
        ui.storeImages[static_cast<size_t>(n - 1)]->setAccessibleName(storeEntryName(n));
        connect(ui.storeImages[static_cast<size_t>(n - 1)], &ClickLabel::clicked, this,
                [this, n] { Guarded([this, n] { ImageClick(n); }); });
    }

    // Pointer moves over these hide the picture preview (btn7 has no such handler).
    QWidget* const hiders[] = {ui.pnl1, ui.pnl3, ui.suiToolBar1, ui.btn1,  ui.btn2,    ui.btn3,
                               ui.btn5, ui.btn8, ui.btn9,        ui.btn10, ui.suiForm1};
    for (QWidget* w : hiders) {
        connect(MouseMoveWatcher::watch(w), &MouseMoveWatcher::moved, this, [this] { HidePreview(); });
    }
}

void Tfrmkova::FormResize()
{
    applyResizeStep(ui, width());
}

void Tfrmkova::btn5Click()
{
    OpenInBrowser(Requests().directoryPage());
}

void Tfrmkova::btn8Click()
{
    OpenInBrowser(Requests().homePage());
}

void Tfrmkova::btn7Click()
{
    OpenInBrowser(Requests().contactPage());
}

void Tfrmkova::btn9Click()
{
    showAboutWindow(this);
}

void Tfrmkova::ImageClick(int index)
{
    OpenInBrowser(storeEntryAddress(index));
}

void Tfrmkova::HidePreview()
{
    ui.BigPanel->lower();
    ui.BigImage->setVisible(false);
    ui.BigPanel->setVisible(false);
    ui.BigImage->repaint();
    ui.BigPanel->repaint();
}

} // namespace kova
