#pragma once

namespace kova {

// The program entry after the application object exists: creates the main window and
// runs the message loop. When the database cannot be opened the error goes to the
// standard error report and the program ends with status 1. With `runLoop` false the
// window is created and shown but the loop is not entered (tests).
int KovaMain(bool runLoop = true);

} // namespace kova
