#pragma once

#include <QByteArray>
#include <QString>

namespace kova::gbk {

// Code page 936 (GBK) through iconv. Characters GBK cannot hold become '?';
// byte sequences that are not GBK decode to U+FFFD. Both never fail.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

// Decodes bytes in the named charset ("GBK", "GB2312", "UTF-8", ...); an unknown
// charset falls back to GBK.
QString decode(const QByteArray& bytes, const QByteArray& charset);

// The same text as decode(bytes, charset), as UTF-8 bytes: for a parser that reads UTF-8,
// without the trip through UTF-16 and back.
QByteArray decodeToUtf8(const QByteArray& bytes, const QByteArray& charset);

} // namespace kova::gbk
