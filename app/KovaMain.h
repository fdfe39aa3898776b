#pragma once

#include <QString>

class QCoreApplication;
class QWidget;

namespace kova {

class SingleInstance;

// The program entry after the application object exists: creates the main window and
// runs the message loop. When the database cannot be opened the error goes to the
// standard error report and the program ends with status 1. With `runLoop` false the
// window is created and shown but the loop is not entered (tests). With `instance` (the
// start that holds the data folder), a later start's request brings the window to the front.
int KovaMain(bool runLoop = true, SingleInstance* instance = nullptr);

// Shows the window in front of the others and gives it the focus; a minimized window is
// restored to the state it had (normal or maximized).
void bringToFront(QWidget& window);

// Gives Qt's own texts in Chinese (the standard buttons "确定", "取消", "是", "否" of message
// boxes and dialogs): loads Qt's zh_CN catalogue from Qt's translations folder into a
// translator owned by `app`. True when it was loaded; when the catalogue is missing or
// unreadable nothing is installed and Qt keeps its English texts.
bool installChineseTranslations(QCoreApplication& app);
// The same from another folder.
bool installChineseTranslations(QCoreApplication& app, const QString& folder);

} // namespace kova
