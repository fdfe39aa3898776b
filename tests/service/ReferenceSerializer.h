#pragma once

// The page path as it stood before the rewrite for speed and memory, frozen: charset
// detection, decoding (iconv), gumbo's HTML5 parse, the serializer and the line split and
// cut of the text holder. The differential test holds today's path to it byte for byte.
// Do not "fix" this copy: it is the oracle.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kova::reference {

struct PageLines {
    QStringList lines; // split and cut as the text holder reads them
    bool failedLoad = false;
};

QByteArray declaredCharset(const QByteArray& body, const QByteArray& contentType);
// The document text; throws std::runtime_error when gumbo gives no tree.
QString serializeDocument(const QByteArray& body, const QByteArray& contentType);
// The lines of a text, as the text holder had them.
QStringList splitLines(const QString& text);
// The whole way from a reply to the lines: a body that cannot be parsed gives the lines
// of the loader's error page, marked failed.
PageLines pageLines(const QByteArray& body, const QByteArray& contentType);

} // namespace kova::reference
