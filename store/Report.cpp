#include "store/Report.h"

#include "store/Error.h"

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

bool deliver(Message::Kind kind, const QString& caption, const QString& text)
{
    const Message message{kind, caption, text};
    if (hook())
        return hook()(message);
    if (presenter())
        return presenter()(message);
    std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
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
