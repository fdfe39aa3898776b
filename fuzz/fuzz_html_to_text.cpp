// HtmlToText over an arbitrary fragment (the product link cell of a result or list row).

#include "fuzz/FuzzSupport.h"

#include "service/HtmlToText.h"
#include "store/Error.h"

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString markup = kova::fuzz::text(data, size);
    try {
        const QString plain = kova::HtmlToText(markup);
        // Printable text without markup or references comes back as it went in (the parser
        // replaces control characters and drops a byte-order mark and leading white space).
        const bool printable = std::all_of(markup.begin(), markup.end(), [](QChar c) {
            return c.unicode() >= 32 && (c.unicode() < 0x7F || c.unicode() > 0x9F) && !c.isSurrogate() &&
                   !c.isNonCharacter() && c != QLatin1Char('<') && c != QLatin1Char('&') &&
                   c != QChar(QChar::ReplacementCharacter) && c != QChar(QChar::ByteOrderMark);
        });
        if (printable && !markup.isEmpty() && markup.at(0) != QLatin1Char(' ') && plain != markup)
            kova::fuzz::fail("plain text changed", markup + QStringLiteral(" -> ") + plain);
        // The shortcut for plain fragments gives what the parser gives.
        const QString parsed = kova::HtmlToTextByParser(markup);
        if (plain != parsed)
            kova::fuzz::fail("shortcut differs from the parser",
                             markup + QStringLiteral(" -> ") + plain + QStringLiteral(" / ") + parsed);
    } catch (const kova::Error&) {
        // A failing parser call is reported to the caller, as documented.
    }
    return 0;
}
