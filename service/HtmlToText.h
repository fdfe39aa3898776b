#pragma once

#include <QString>

namespace kova {

// The plain text of a markup fragment: tags removed, character references resolved
// ("a.htm?x=1&amp;pid=mm_1_2_3" gives "a.htm?x=1&pid=mm_1_2_3").
// A fragment of printable text whose only references are "&amp;" (a product link, as a rule)
// is resolved without the parser, with the parser's result.
QString HtmlToText(const QString& markup);

// The same through the HTML parser always.
QString HtmlToTextByParser(const QString& markup);

} // namespace kova
