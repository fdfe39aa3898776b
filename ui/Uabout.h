#pragma once

#include "ui/ClickLabel.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

namespace kova {

// The about window: one picture, borderless, always on top, centred on the desktop. A
// click on the picture, or Esc, closes the window, which deletes itself.
class Tfrmabout : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 468;
    static constexpr int ClientHeight = 294;

    // With the bundled picture. Throws kova::Error when the JPEG cannot be decoded.
    explicit Tfrmabout(QWidget* parent = nullptr);
    // With the given JPEG bytes (the same checks).
    explicit Tfrmabout(const QByteArray& jpeg, QWidget* parent = nullptr);

    ClickLabel* Image1;

    void Image1Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The newest about window (null once it has closed).
extern QPointer<Tfrmabout> frmabout;

// Creates a new about window, stores it in frmabout and shows it, not modal. With an
// owner (the main window) it stays above it and ends with it.
Tfrmabout* showAboutWindow(QWidget* owner = nullptr);

} // namespace kova
