#pragma once

#include <QByteArray>
#include <QString>

namespace kova {

class HttpClient;

// The picture download: when `target` exists nothing is fetched (returns false).
// Otherwise GET `url`; only a complete, successful body that starts with the JPEG
// signature is saved, written to a temporary name in the same folder and renamed, so a
// second writer never sees a torn file. Anything else throws kova::Error and leaves no
// file. Returns true when a file was written.
// A target whose file name is empty, "..", or holds a backslash, or whose path climbs
// with "..", is refused (kova::Error) before anything is fetched.
bool downloadPicture(HttpClient& http, const QString& url, const QString& target);

// True for a body that starts with the JPEG signature FF D8 FF and ends with the
// end-of-image marker (within its last 64 bytes).
bool isCompleteJpeg(const QByteArray& body);

} // namespace kova
