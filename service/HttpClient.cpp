#include "service/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace kova {
namespace {

using Clock = std::chrono::steady_clock;

// Seconds; 0: HttpClient::DefaultLowSpeedTime.
std::atomic<long> lowSpeedSecondsForTesting{0};

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// The bytes put on the wire: non-ASCII characters (as UTF-8), blanks and control
// characters percent-encoded, everything else as given. Query values arrive already
// encoded from Requests; this only guards picture addresses taken from pages.
QByteArray wireAddress(const QString& url)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = url.trimmed().toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 || b <= 0x20 || b == 0x7F) {
            out.append('%');
            out.append(hex[b >> 4]);
            out.append(hex[b & 0x0F]);
        } else {
            out.append(ch);
        }
    }
    return out;
}

} // namespace

struct HttpClient::Impl {
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<CURLM, MultiDeleter> multi;
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    std::chrono::milliseconds connectTimeout = DefaultConnectTimeout;
    std::chrono::milliseconds stallTimeout = DefaultStallTimeout;
    qint64 maxBody = DefaultMaxBodyBytes;
    bool browserLike = false;
    std::atomic<bool> cancelled{false};

    // State of the transfer in progress.
    QByteArray body;
    bool tooLarge = false;
    bool connected = false;
    Clock::time_point lastActivity;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    static size_t onBody(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        const size_t n = size * count;
        self->lastActivity = Clock::now();
        if (self->body.size() + static_cast<qint64>(n) > self->maxBody) {
            self->tooLarge = true;
            return 0; // ends the transfer with CURLE_WRITE_ERROR
        }
        self->body.append(data, static_cast<qsizetype>(n));
        return n;
    }

    static size_t onHeader(char*, size_t size, size_t count, void* user)
    {
        static_cast<Impl*>(user)->lastActivity = Clock::now();
        return size * count;
    }

    // Called once the connection stands (new or reused), right before the request is sent:
    // from here on a silent server counts as a stall; before, the connect time-out rules.
    static int onConnected(void* user, char*, char*, int, int)
    {
        auto* self = static_cast<Impl*>(user);
        self->connected = true;
        self->lastActivity = Clock::now();
        return CURL_PREREQFUNC_OK;
    }
};

void HttpClient::globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpClient::HttpClient() : m_impl(std::make_unique<Impl>())
{
    globalInit();
    m_impl->easy.reset(curl_easy_init());
    m_impl->multi.reset(curl_multi_init());
    if (!m_impl->easy || !m_impl->multi)
        throw Error(QStringLiteral("无法初始化网络组件 (libcurl)"));

    curl_slist* list = nullptr;
    for (const char* header : {"Accept: text/html, */*", "Content-Type: text/html"}) {
        curl_slist* longer = curl_slist_append(list, header);
        if (!longer) {
            curl_slist_free_all(list);
            throw Error(QStringLiteral("无法初始化网络组件 (libcurl)"));
        }
        list = longer;
    }
    m_impl->headers.reset(list);

    CURL* h = m_impl->easy.get();
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, m_impl->headers.get());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, ""); // in-memory cookie engine, per host
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, MaxRedirects);
    setBrowserLike(false);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_impl->errorBuffer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, m_impl.get());
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, m_impl.get());
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Impl::onConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, m_impl.get());
}

HttpClient::~HttpClient() = default;

void HttpClient::setConnectTimeout(std::chrono::milliseconds t)
{
    m_impl->connectTimeout = std::max(t, std::chrono::milliseconds(1));
}

void HttpClient::setStallTimeout(std::chrono::milliseconds t)
{
    m_impl->stallTimeout = std::max(t, std::chrono::milliseconds(1));
}

void HttpClient::setMaxBodyBytes(qint64 bytes)
{
    m_impl->maxBody = std::max<qint64>(bytes, 0);
}

void HttpClient::setBrowserLike(bool on)
{
    m_impl->browserLike = on;
    CURL* h = m_impl->easy.get();
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, on ? 1L : 0L);
    // An empty proxy turns libcurl's reading of the proxy variables off; none (the default)
    // lets it read them at each transfer.
    curl_easy_setopt(h, CURLOPT_PROXY, on ? nullptr : "");
}

bool HttpClient::isBrowserLike() const
{
    return m_impl->browserLike;
}

void HttpClient::cancel()
{
    m_impl->cancelled = true;
    curl_multi_wakeup(m_impl->multi.get());
}

void HttpClient::resetCancel()
{
    m_impl->cancelled = false;
}

std::chrono::seconds HttpClient::lowSpeedTime()
{
    const long seconds = lowSpeedSecondsForTesting.load();
    return seconds > 0 ? std::chrono::seconds(seconds) : DefaultLowSpeedTime;
}

void setLowSpeedTimeForTesting(std::chrono::seconds t)
{
    lowSpeedSecondsForTesting = t.count() > 0 ? std::max<long>(static_cast<long>(t.count()), 1) : 0;
}

QString HttpClient::addressForMessage(const QString& url)
{
    QString address = url.trimmed();
    for (qsizetype i = 0; i < address.size(); ++i) {
        if (address[i] == u'?' || address[i] == u'#') {
            address.truncate(i);
            break;
        }
    }
    // Never show credentials written into the authority part either.
    const qsizetype scheme = address.indexOf(QStringLiteral("://"));
    const qsizetype authorityStart = scheme >= 0 ? scheme + 3 : 0;
    qsizetype authorityEnd = address.indexOf(QLatin1Char('/'), authorityStart);
    if (authorityEnd < 0)
        authorityEnd = address.size();
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    if (at >= authorityStart)
        address.remove(authorityStart, at + 1 - authorityStart);
    return address;
}

HttpReply HttpClient::get(const QString& url)
{
    Impl& d = *m_impl;
    CURL* h = d.easy.get();
    const QString shown = addressForMessage(url);
    const QByteArray wire = wireAddress(url);

    d.body.clear();
    d.tooLarge = false;
    d.connected = false;
    d.lastActivity = Clock::now();
    d.errorBuffer[0] = '\0';

    const std::chrono::seconds lowSpeed = lowSpeedTime();
    curl_easy_setopt(h, CURLOPT_URL, wire.constData());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(d.connectTimeout.count()));
    // A trickle of bytes never stalls: libcurl gives up on it by itself.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, LowSpeedLimit);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(lowSpeed.count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(d.maxBody));

    CURLM* m = d.multi.get();
    if (curl_multi_add_handle(m, h) != CURLM_OK)
        throw HttpError(HttpError::Kind::Transfer, 0, QStringLiteral("无法开始网络请求：%1").arg(shown));
    struct Remove {
        CURLM* m;
        CURL* h;
        ~Remove() { curl_multi_remove_handle(m, h); }
    } remove{m, h};

    bool stalled = false;
    for (;;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(m, &running);
        if (mc != CURLM_OK)
            throw HttpError(HttpError::Kind::Transfer, 0,
                            QStringLiteral("网络请求失败：%1（%2）")
                                .arg(shown, QString::fromUtf8(curl_multi_strerror(mc))));
        if (running == 0)
            break;
        if (d.cancelled)
            throw HttpError(HttpError::Kind::Cancelled, 0, QStringLiteral("网络请求已取消：%1").arg(shown));
        auto wait = std::chrono::milliseconds(1000);
        if (d.connected) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - d.lastActivity);
            if (idle >= d.stallTimeout) {
                stalled = true;
                break;
            }
            wait = std::min(wait, d.stallTimeout - idle);
        }
        curl_multi_poll(m, nullptr, 0, static_cast<int>(std::max<long long>(wait.count(), 1)), nullptr);
        if (d.cancelled)
            throw HttpError(HttpError::Kind::Cancelled, 0, QStringLiteral("网络请求已取消：%1").arg(shown));
    }

    const auto stallText = [&] {
        return QStringLiteral("服务器在 %1 秒内没有发来数据，已放弃：%2")
            .arg(QString::number(static_cast<double>(d.stallTimeout.count()) / 1000.0), shown);
    };
    if (stalled)
        throw HttpError(HttpError::Kind::Stall, 0, stallText());

    CURLcode result = CURLE_OK;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == h)
            result = msg->data.result;
    }

    if (result != CURLE_OK) {
        QString detail = QString::fromUtf8(d.errorBuffer[0] ? d.errorBuffer : curl_easy_strerror(result));
        const qsizetype query = url.indexOf(QLatin1Char('?'));
        if (query >= 0)
            detail.replace(url.mid(query), QString());
        detail = detail.trimmed();
        if (d.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
            throw HttpError(
                HttpError::Kind::TooLarge, 0,
                QStringLiteral("回复超过 %1 字节，已放弃：%2").arg(QString::number(d.maxBody), shown));
        // With the connection standing only the low-speed check times a transfer out.
        if (result == CURLE_OPERATION_TIMEDOUT && d.connected)
            throw HttpError(
                HttpError::Kind::TooSlow, 0,
                QStringLiteral("服务器发送数据太慢（%1 秒内每秒不足 %2 字节），已放弃：%3")
                    .arg(QString::number(lowSpeed.count()), QString::number(LowSpeedLimit), shown));
        long lastStatus = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &lastStatus);
        if (result == CURLE_TOO_MANY_REDIRECTS)
            throw HttpError(HttpError::Kind::Redirect, lastStatus,
                            QStringLiteral("服务器转到别的地址超过 %1 次，已放弃：%2")
                                .arg(QString::number(MaxRedirects), shown));
        // A redirect to a scheme other than http(s) stops at the reply that asked for it.
        if (result == CURLE_UNSUPPORTED_PROTOCOL && lastStatus >= 300 && lastStatus < 400)
            throw HttpError(HttpError::Kind::Redirect, lastStatus,
                            QStringLiteral("服务器要求转到不能打开的地址（状态 %1），不跟随：%2")
                                .arg(QString::number(lastStatus), shown));
        switch (result) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_SSL_CONNECT_ERROR:
            throw HttpError(HttpError::Kind::Connect, 0,
                            QStringLiteral("无法连接到 %1（%2）").arg(shown, detail));
        default:
            throw HttpError(HttpError::Kind::Transfer, 0,
                            QStringLiteral("接收 %1 时连接中断（%2）").arg(shown, detail));
        }
    }

    HttpReply reply;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.status);
    const char* contentType = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        reply.contentType = QByteArray(contentType);
    if (reply.status >= 300 && reply.status < 400)
        throw HttpError(HttpError::Kind::Status, reply.status,
                        QStringLiteral("服务器要求转到别的地址（状态 %1），不跟随：%2")
                            .arg(QString::number(reply.status), shown));
    if (reply.status < 200 || reply.status >= 300)
        throw HttpError(
            HttpError::Kind::Status, reply.status,
            QStringLiteral("服务器返回错误状态 %1：%2").arg(QString::number(reply.status), shown));
    reply.body = std::move(d.body);
    d.body = QByteArray();
    return reply;
}

} // namespace kova
