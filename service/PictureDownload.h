#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <exception>
#include <mutex>

namespace kova {

class HttpClient;
class PictureCache;

// The picture download: when `target` exists nothing is fetched (returns false).
// Otherwise GET `url`; only a complete, successful body that starts with the JPEG
// signature is saved, written to a temporary name in the same folder and renamed, so a
// second writer never sees a torn file. Anything else throws kova::Error and leaves no
// file. Returns true when a file was written.
// A target whose file name is empty, "..", or holds a backslash, or whose path climbs
// with "..", is refused (kova::Error) before anything is fetched.
bool downloadPicture(HttpClient& http, const QString& url, const QString& target);

// The thumbnail of a product, fetched only when the cache lacks its file. Never throws:
// a download that fails (no address, a refused or broken reply, a file that cannot be
// written) leaves no file and is counted, and the caller goes on with the next row.
enum class ThumbnailFetch {
    Unnamed, // the product number names no file
    Present, // the file was there already
    Saved,
    Failed,
};
class ThumbnailFailures;
class SilentHosts;
// With `silent` given, a host that has already refused, stalled or failed costs no further
// attempt (the picture counts as failed), and a new such failure is noted there.
ThumbnailFetch fetchMissingThumbnail(HttpClient& http, const PictureCache& cache, const QString& cph,
                                     const QString& url, ThumbnailFailures* failures = nullptr,
                                     SilentHosts* silent = nullptr);

// A picture to fetch: the product number that names its file and its address.
struct PictureItem {
    QString cph;
    QString url;
};

// The picture hosts that did not answer during one run of downloads: one that refused the
// connection, stalled past the time-out, broke the transfer or answered with a server
// error. A run skips them for its rest, so a dead host costs one time-out, not one per
// picture. A host that answers "not found" for one picture is not silent.
class SilentHosts {
public:
    bool contains(const QString& url) const;
    void noteFailure(const QString& url, const std::exception& error);
    int count() const { return static_cast<int>(m_hosts.size()); }

private:
    QSet<QString> m_hosts;
};

// The products whose latest thumbnail download failed, so the grid can say that no picture
// is coming instead of "loading". A later download that saves the file takes a product off
// the list. Shared by the window's thread and the thumbnail fetchers.
class ThumbnailFailures {
public:
    void record(const QString& cph, ThumbnailFetch fetch);
    bool failed(const QString& cph) const;

private:
    mutable std::mutex m_mutex;
    QSet<QString> m_failed;
};

// True for a body that starts with the JPEG signature FF D8 FF and ends with the
// end-of-image marker (within its last 64 bytes).
bool isCompleteJpeg(const QByteArray& body);

} // namespace kova
