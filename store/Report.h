#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace kova {

// The application's standard error report and the "提示" boxes, as every layer reports
// them. ShowError reports an error under the application title "Kova比价软件"; ShowInfo
// gives information and AskOkCancel asks a question with OK and Cancel, both captioned
// "提示". How a message reaches the user is the presenter's business: the window layer
// installs message boxes (ui/Messages.h); without a presenter the text goes to standard
// error and a question is answered Cancel.
void ShowError(const QString& text);
void ShowInfo(const QString& text);
bool AskOkCancel(const QString& text); // true for OK

inline const QString ApplicationTitle = QStringLiteral("Kova比价软件");
inline const QString HintCaption = QStringLiteral("提示");

struct Message {
    enum class Kind { Error, Info, Question };
    Kind kind;
    QString caption;
    QString text;
};
// Shows a message; the return value answers a question (ignored for the other kinds).
using MessagePresenter = std::function<bool(const Message&)>;
void setMessagePresenter(MessagePresenter presenter);

// Test seam: while a hook is set, it takes every message in place of the presenter.
using MessageHook = MessagePresenter;
void setMessageHook(MessageHook hook); // empty restores the presenter

// The text the standard error report shows for an error: a kova::Error's own message, and
// for anything else "程序内部错误：" followed by the library's text.
QString UserErrorText(const std::exception& e);

// Runs a handler; an error it leaves uncaught ends it and goes to the standard error
// report. The program goes on with the state reached so far.
// The program's own errors read in Chinese; any other failure gets a Chinese text before the
// library's own.
template <class F> void Guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(UserErrorText(e));
    }
}

} // namespace kova
