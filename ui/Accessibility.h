#pragma once

#include <QAccessible>
#include <QWidget>

namespace kova {

// What a screen reader finds of the controls that paint their own texts. Qt's AT-SPI
// bridge asks the installed factory for the interfaces below:
//  - AccessibleText: an invisible stand-in for a painted text (a status bar panel): its
//    role, with the text as its accessible name (set with setAccessibleName, which tells
//    the screen reader of every change);
//  - ClickLabel: a hot keyword reads as a link with its caption, a picture as a button
//    with its accessible name; both can be pressed, as a click does;
//  - StatusBar: a status bar, whose panels are AccessibleText children;
//  - EdgeGrip: a grip, which a screen reader passes over (it is for the pointer);
//  - the program's own top-level windows: windows, named by their titles.
void installAccessibleInterfaces();

class AccessibleText : public QWidget {
    Q_OBJECT
public:
    AccessibleText(QAccessible::Role role, QWidget* parent);
    QAccessible::Role role() const { return m_role; }

private:
    QAccessible::Role m_role;
};

} // namespace kova
