#include "ui/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace kova {
namespace {

// The boxes Qt's static functions make, but with plain text: an error's text can carry page
// text or a service's message, which a rich-text box would render.
int plainBox(QMessageBox::Icon icon, const Message& message, QMessageBox::StandardButtons buttons,
             QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, message.caption, message.text, buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return box.exec();
}

bool showBox(const Message& message)
{
    switch (message.kind) {
    case Message::Kind::Error:
        plainBox(QMessageBox::Critical, message, QMessageBox::Ok, QMessageBox::Ok);
        return true;
    case Message::Kind::Info:
        plainBox(QMessageBox::Information, message, QMessageBox::Ok, QMessageBox::Ok);
        return true;
    case Message::Kind::Question:
        return plainBox(QMessageBox::Question, message, QMessageBox::Ok | QMessageBox::Cancel,
                        QMessageBox::Ok) == QMessageBox::Ok;
    }
    return false;
}

} // namespace

void installMessageBoxes()
{
    setMessagePresenter(&showBox);
}

} // namespace kova
