// A page body on its way to the readers: charset detection, decoding, HTML5 parsing and
// serialization (serializeDocument), then the line cut of PageText. The page is parsed
// whole and again a slice of rows at a time (every row a slice): both must give one text.
//
// Input: an optional header block "Content-Type: <value>\r\n\r\n" followed by the body,
// as the corpus tool writes it; without the header the body is taken whole.

#include "fuzz/FuzzSupport.h"

#include "service/PageLoader.h"
#include "service/PageText.h"
#include "store/Error.h"
#include "store/Gbk.h"

namespace {

const QByteArray HeaderName = QByteArrayLiteral("Content-Type: ");
const QByteArray HeaderEnd = QByteArrayLiteral("\r\n\r\n");

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = kova::fuzz::bytes(data, size);
    QByteArray contentType;
    QByteArray body = input;
    if (input.startsWith(HeaderName)) {
        const qsizetype end = input.indexOf(HeaderEnd);
        if (end >= 0) {
            contentType = input.mid(HeaderName.size(), end - HeaderName.size());
            body = input.mid(end + HeaderEnd.size());
        }
    }

    (void)kova::declaredCharset(body, contentType);
    QString document;
    try {
        document = kova::serializeDocument(body, contentType, 0);
    } catch (const kova::Error&) {
        // A body the parser refuses: the loader shows its error page instead.
        return 0;
    }

    int slices = 0;
    if (kova::serializeDocument(body, contentType, 1, &slices) != document)
        kova::fuzz::fail("the sliced parse differs from the whole one", QString::number(slices));

    const kova::PageText page(document);
    for (int i = 0; i < page.count(); ++i) {
        const QString line = page.line(i);
        if (kova::gbk::encode(line).size() > kova::PageText::MaxLineBytes)
            kova::fuzz::fail("line longer than the cut", QString::number(i));
        if (line.contains(QLatin1Char('\n')))
            kova::fuzz::fail("line holds a line break", QString::number(i));
    }
    if (!page.line(page.count()).isEmpty())
        kova::fuzz::fail("line past the end is not empty");
    return 0;
}
