#pragma once

#include <QString>

namespace kova {

// Texts that came from a page or from the stored tables, made safe for the widgets that
// would otherwise read them as markup or as commands.

// A tool tip that shows `text` literally: QToolTip takes a text that Qt::mightBeRichText
// calls rich as HTML (an <img src=…> would be loaded), so the text goes in as escaped rich
// text, its line breaks kept and its lines unwrapped as a plain tool tip's are.
QString PlainToolTip(const QString& text);

// A window title that shows `text` as it is: no direction controls, each line break or other
// control character a blank, "[*]" not taken as the modified-window placeholder, and at
// most MaxTitleLength characters (a longer text ends in "…").
inline constexpr int MaxTitleLength = 200;
QString PlainWindowTitle(const QString& text);

} // namespace kova
