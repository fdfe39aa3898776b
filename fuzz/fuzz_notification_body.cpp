// NotificationBody over any text (a favorite's name from a page): for a server that reads
// markup nothing is left that it could take as a tag or an entity of the page's, and the
// text reads back whole; for a plain server the text goes as it is. Neither carries a
// bidi control.

#include "fuzz/FuzzSupport.h"

#include "favorites/DesktopNotifier.h"

#include <algorithm>

namespace {

using kova::fuzz::fail;

bool isBidi(QChar c)
{
    return (c.unicode() >= 0x202A && c.unicode() <= 0x202E) ||
           (c.unicode() >= 0x2066 && c.unicode() <= 0x2069);
}

// The three references the body may hold, back to their characters; a bare "&" or any
// other reference is a failure.
QString unescape(const QString& body)
{
    QString out;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i) != u'&') {
            out += body.at(i);
            continue;
        }
        const QStringView rest = QStringView(body).mid(i);
        if (rest.startsWith(u"&amp;")) {
            out += u'&';
            i += 4;
        } else if (rest.startsWith(u"&lt;")) {
            out += u'<';
            i += 3;
        } else if (rest.startsWith(u"&gt;")) {
            out += u'>';
            i += 3;
        } else {
            fail("a bare ampersand", body);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = kova::fuzz::text(data, size);
    QString expected = text;
    expected.removeIf(isBidi);

    const QString markup = kova::NotificationBody(text, true);
    if (markup.contains(u'<') || markup.contains(u'>'))
        fail("an unescaped angle bracket", markup);
    if (std::any_of(markup.begin(), markup.end(), isBidi))
        fail("a bidi control in a markup body", markup);
    if (unescape(markup) != expected)
        fail("the markup body does not read back", markup);

    const QString plain = kova::NotificationBody(text, false);
    if (plain != expected)
        fail("the plain body changed", plain);
    return 0;
}
