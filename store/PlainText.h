#pragma once

#include <QString>
#include <QStringView>

namespace kova {

// Texts from a page or from the stored tables are shown as they are, never as markup, and
// never with the direction controls that reorder what is drawn: a right-to-left override
// (U+202E) in a name would show "gpj.exe" as "exe.jpg".

// Whether `text` holds one of the bidirectional embedding, override or isolate controls
// U+202A–U+202E and U+2066–U+2069.
bool HoldsBidiControls(QStringView text);

// `text` without those controls; the text itself (no copy) when it holds none.
QString StripBidiControls(QString text);

} // namespace kova
