#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <exception>
#include <mutex>

namespace kova {

class HttpClient;
class PictureCache;

// The picture download: when `target` exists nothing is fetched (returns false).
// Otherwise GET `url`; only a complete, successful body that starts with the JPEG
// signature and whose header the JPEG loader accepts (jpegHeaderProblem) is saved, written to a temporary
// name in the same folder and renamed, so a second writer never sees a torn file. Anything else throws
// kova::Error and leaves no file. Returns true when a file was written. A target whose file name is empty,
// "..", or holds a backslash, or whose path climbs with "..", is refused (kova::Error) before anything is
// fetched.
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
//
// Thread-safe: the connections of one run share it, and it lets the first request to a host
// go alone: the others to that host wait until it has been answered, so a host that does
// not answer costs one attempt however many connections there are.
class SilentHosts {
public:
    bool contains(const QString& url) const;
    void noteFailure(const QString& url, const std::exception& error);
    int count() const;

    // Returns at once for a host that has answered; for a host not tried yet it makes the
    // caller the one to try it; while another caller tries it, waits for the outcome.
    // False when the host is silent, or once stopWaiting() has been called.
    bool awaitTurn(const QString& url);
    // The host answered with a picture.
    void noteAnswer(const QString& url);
    // The caller's turn ended without a request (the picture was there already).
    void releaseTurn(const QString& url);
    // Every wait ends, now and later (the run is stopping).
    void stopWaiting();

private:
    void settle(const QString& host, bool answered, bool silent); // with the lock held

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QSet<QString> m_hosts;     // silent
    QSet<QString> m_answering; // answered at least once
    QSet<QString> m_trying;    // a first request is under way
    bool m_stopped = false;
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
