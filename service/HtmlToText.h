#pragma once

#include <QString>

namespace kova {

// The plain text of a markup fragment: tags removed, character references resolved
// ("a.htm?x=1&amp;pid=mm_1_2_3" gives "a.htm?x=1&pid=mm_1_2_3").
QString HtmlToText(const QString& markup);

} // namespace kova
