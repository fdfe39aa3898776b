#include "store/Report.h"

#include "store/Error.h"
#include "store/PlainText.h"

#include <cstdio>

namespace kova {
namespace {

MessagePresenter& presenter()
{
    static MessagePresenter p;
    return p;
}

MessageHook& hook()
{
    static MessageHook h;
    return h;
}

// A terminal takes control characters as commands: a page's text written to standard error
// shows them as "?", line breaks and tabs kept.
QByteArray terminalText(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            c = QLatin1Char('?');
    }
    return text.toLocal8Bit();
}

bool deliver(Message::Kind kind, const QString& caption, const QString& text)
{
    // An error's text can quote a page or the service: shown in its own order.
    const Message message{kind, caption, StripBidiControls(text)};
    if (hook())
        return hook()(message);
    if (presenter())
        return presenter()(message);
    std::fprintf(stderr, "%s: %s\n", terminalText(caption).constData(),
                 terminalText(message.text).constData());
    return false;
}

} // namespace

QString UserErrorText(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Error*>(&e))
        return own->message();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("程序内部错误：内存不足（%1）").arg(QString::fromUtf8(e.what()));
    return QStringLiteral("程序内部错误：%1").arg(QString::fromUtf8(e.what()));
}

void setMessagePresenter(MessagePresenter p)
{
    presenter() = std::move(p);
}

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
