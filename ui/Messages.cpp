#include "ui/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace kova {
namespace {

bool showBox(const Message& message)
{
    QWidget* parent = QApplication::activeWindow();
    switch (message.kind) {
    case Message::Kind::Error:
        QMessageBox::critical(parent, message.caption, message.text);
        return true;
    case Message::Kind::Info:
        QMessageBox::information(parent, message.caption, message.text);
        return true;
    case Message::Kind::Question:
        return QMessageBox::question(parent, message.caption, message.text,
                                     QMessageBox::Ok | QMessageBox::Cancel,
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
