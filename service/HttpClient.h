#pragma once

#include "store/Error.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace kova {

struct HttpReply {
    long status = 0;
    QByteArray contentType; // the Content-Type header value, as sent
    QByteArray body;
};

// What went wrong with a GET. The message names the address without its query, so the
// account values in a query never show in a message box.
class HttpError : public Error {
public:
    enum class Kind {
        Connect,   // refused, unreachable, name not resolved, connect time-out
        Stall,     // no bytes for the stall time-out
        TooSlow,   // fewer than LowSpeedLimit bytes a second for the low-speed time
        Status,    // a reply that is not 2xx (also a redirect that is not followed)
        Redirect,  // too many redirects in a row, or one to an address that is not http(s)
        TooLarge,  // the body passed the size limit
        Transfer,  // the connection broke during the reply
        Cancelled, // cancel() was called
    };
    HttpError(Kind kind, long status, const QString& message) : Error(message), m_kind(kind), m_status(status)
    {
    }
    Kind kind() const { return m_kind; }
    long status() const { return m_status; }

private:
    Kind m_kind;
    long m_status;
};

// The HTTP client (IdHTTP) on a libcurl easy handle: blocking GET into memory with the
// fixed headers (Accept "text/html, */*", Content-Type "text/html", User-Agent
// "Mozilla/3.0 (compatible; Indy Library)"), cookies kept in memory per host for the life
// of the client, by default no redirect followed and no proxy used. A connection failure,
// a stall (no bytes for the stall time-out), a trickle (under LowSpeedLimit bytes a second
// for the low-speed time), or a reply that is not 2xx throws kova::HttpError (a
// kova::Error).
// One instance per thread; only cancel() and resetCancel() may be called from another.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpReply get(const QString& url);

    void setConnectTimeout(std::chrono::milliseconds t);
    void setStallTimeout(std::chrono::milliseconds t);
    // Upper bound for one body (pictures and pages); larger replies fail.
    void setMaxBodyBytes(qint64 bytes);

    // Behaves as a web browser does (the page loaders): follows up to MaxRedirects
    // redirects, to http and https addresses only, and goes through the proxy the desktop
    // names in the environment (http_proxy, https_proxy, all_proxy, no_proxy, read at each
    // GET). Off by default: the picture client goes straight to the address it is given.
    void setBrowserLike(bool on);
    bool isBrowserLike() const;

    // Thread-safe: makes the GET in progress (or the next one) end at once with
    // HttpError::Kind::Cancelled, until resetCancel().
    void cancel();
    void resetCancel();

    static void globalInit(); // curl_global_init once, before any thread starts

    static constexpr std::chrono::milliseconds DefaultConnectTimeout{10'000};
    static constexpr std::chrono::milliseconds DefaultStallTimeout{20'000};
    static constexpr qint64 DefaultMaxBodyBytes = 64LL * 1024 * 1024;
    // A server that keeps sending a byte now and then never stalls: a transfer slower than
    // this many bytes a second over the low-speed time is given up (libcurl's low-speed
    // check), so a page or a picture that trickles ends.
    static constexpr long LowSpeedLimit = 1024;
    static constexpr std::chrono::seconds DefaultLowSpeedTime{30};
    // The low-speed time every client uses at its next GET.
    static std::chrono::seconds lowSpeedTime();
    static constexpr long MaxRedirects = 5;

    // The address as shown in messages: scheme, host and path, without query or fragment.
    static QString addressForMessage(const QString& url);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// For tests: another low-speed time for every client from its next GET on (at least one
// second); zero puts DefaultLowSpeedTime back.
void setLowSpeedTimeForTesting(std::chrono::seconds t);

} // namespace kova
