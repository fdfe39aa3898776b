#pragma once

#include <QString>

namespace kova {

class HttpClient;

// The picture download: when `target` exists nothing is fetched (returns false).
// Otherwise GET `url`; only a complete, successful body that starts with the JPEG
// signature is saved, written to a temporary name in the same folder and renamed, so a
// second writer never sees a torn file. Anything else throws kova::Error and leaves no
// file. Returns true when a file was written.
bool downloadPicture(HttpClient& http, const QString& url, const QString& target);

} // namespace kova
