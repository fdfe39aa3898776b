#include "ui/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace kova {
namespace {

MessageHook& hook()
{
    static MessageHook h;
    return h;
}

bool deliver(Message::Kind kind, const QString& caption, const QString& text)
{
    if (hook())
        return hook()(Message{kind, caption, text});
    QWidget* parent = QApplication::activeWindow();
    switch (kind) {
    case Message::Kind::Error:
        QMessageBox::critical(parent, caption, text);
        return true;
    case Message::Kind::Info:
        QMessageBox::information(parent, caption, text);
        return true;
    case Message::Kind::Question:
        return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    }
    return false;
}

} // namespace

void setMessageHook(MessageHook h)
{
    hook() = std::move(h);
}

void ShowError(const QString& text)
{
    deliver(Message::Kind::Error, ApplicationTitle, text);
}

void ShowInfo(const QString& text)
{
    deliver(Message::Kind::Info, HintCaption, text);
}

bool AskOkCancel(const QString& text)
{
    return deliver(Message::Kind::Question, HintCaption, text);
}

} // namespace kova
