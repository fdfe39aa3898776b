#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace kova {

// The application's standard error report and the "提示" boxes.
//
// ShowError shows a critical message box captioned with the application title
// "Kova比价软件"; ShowInfo an information box and AskOkCancel a question box with OK and
// Cancel, both captioned "提示".
void ShowError(const QString& text);
void ShowInfo(const QString& text);
bool AskOkCancel(const QString& text); // true for OK

inline const QString ApplicationTitle = QStringLiteral("Kova比价软件");
inline const QString HintCaption = QStringLiteral("提示");

// Test seam: while a hook is set, no box is shown; the hook receives each message and
// answers questions (its return value; ignored for the other kinds).
struct Message {
    enum class Kind { Error, Info, Question };
    Kind kind;
    QString caption;
    QString text;
};
using MessageHook = std::function<bool(const Message&)>;
void setMessageHook(MessageHook hook); // empty restores the boxes

// Runs a handler; an error it leaves uncaught ends it and goes to the standard error
// report. The program goes on with the state reached so far.
template <class F>
void Guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}

} // namespace kova
