#pragma once

#include "store/Report.h"

namespace kova {

// Makes the standard error report and the "提示" messages platform message boxes: a
// critical box for errors, an information box, and a question box with OK and Cancel,
// each over the active window. Every window of the program installs them; installing
// again changes nothing.
void installMessageBoxes();

} // namespace kova
