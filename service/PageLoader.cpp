#include "service/PageLoader.h"

#include "service/HttpClient.h"
#include "store/Trace.h"

#include <QMetaObject>

#include <malloc.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace kova {
namespace {

// Why a load failed, in words for the error page; never the address (it can carry the
// account in its query).
// What a failure the service caused is called in a message; empty for a failure on the way.
QString serviceErrorOf(const HttpError& e)
{
    switch (e.kind()) {
    case HttpError::Kind::Status:
        return QStringLiteral("HTTP %1").arg(e.status());
    case HttpError::Kind::Redirect:
        return QStringLiteral("网页转向出错");
    case HttpError::Kind::TooLarge:
        return QStringLiteral("网页过大");
    case HttpError::Kind::Connect:
    case HttpError::Kind::Stall:
    case HttpError::Kind::TooSlow:
    case HttpError::Kind::Transfer:
    case HttpError::Kind::Cancelled:
        break;
    }
    return {};
}

QString failureReason(const HttpError& e)
{
    switch (e.kind()) {
    case HttpError::Kind::Connect:
        return QStringLiteral("无法连接到服务器，请检查网络连接。");
    case HttpError::Kind::Stall:
        return QStringLiteral("服务器长时间没有响应。");
    case HttpError::Kind::TooSlow:
        return QStringLiteral("服务器发送数据太慢，已停止接收。");
    case HttpError::Kind::Status:
        return QStringLiteral("服务器返回错误（状态 %1）。").arg(e.status());
    case HttpError::Kind::Redirect:
        return QStringLiteral("网页转到的地址无法打开。");
    case HttpError::Kind::TooLarge:
        return QStringLiteral("网页内容过大，无法显示。");
    case HttpError::Kind::Transfer:
    case HttpError::Kind::Cancelled:
        break;
    }
    return QStringLiteral("接收网页时连接中断。");
}

// A reply that came but could not be read as a page.
const QString UnreadablePageError = QStringLiteral("网页无法读取");

} // namespace

// The loader's worker thread: takes the newest request, GETs it with the loader's own
// client and posts the document back to the loader's thread.
struct PageLoader::Worker {
    struct Request {
        quint64 generation = 0;
        QString url;
        std::chrono::milliseconds connectTimeout = HttpClient::DefaultConnectTimeout;
        std::chrono::milliseconds stallTimeout = HttpClient::DefaultStallTimeout;
        qint64 maxBodyBytes = DefaultMaxBodyBytes;
        bool traced = false;
    };

    // The loader stands for a browser: its client follows redirects and uses the
    // desktop's proxy.
    explicit Worker(PageLoader* owner) : owner(owner) { http.setBrowserLike(true); }

    void run()
    {
        for (;;) {
            Request request;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || pending.has_value(); });
                if (stopping)
                    return;
                request = std::move(*pending);
                pending.reset();
                http.resetCancel(); // under the lock: a newer Navigate's cancel is never lost
            }

            PageText page;
            bool bigPage = false;
            try {
                http.setConnectTimeout(request.connectTimeout);
                http.setStallTimeout(request.stallTimeout);
                http.setMaxBodyBytes(request.maxBodyBytes);
                if (request.traced)
                    trace::mark(trace::Event::RequestSent);
                HttpReply reply = http.get(request.url);
                const qint64 bodyBytes = reply.body.size();
                if (request.traced)
                    trace::mark(trace::Event::ReplyComplete, bodyBytes);
                page = pageTextOf(std::move(reply.body), reply.contentType);
                if (page.failedLoad())
                    page.setServiceError(UnreadablePageError);
                if (request.traced)
                    trace::mark(trace::Event::PageTextReady, page.utf8Size());
                bigPage = bodyBytes >= BigPageBytes;
            } catch (const HttpError& e) {
                if (e.kind() == HttpError::Kind::Cancelled)
                    continue; // superseded or stopping: nobody waits for this one
                page.setText(errorDocument(failureReason(e)));
                page.setFailedLoad(true);
                page.setServiceError(serviceErrorOf(e));
            } catch (const std::exception&) {
                page.setText(errorDocument(QStringLiteral("无法读取网页内容。")));
                page.setFailedLoad(true);
                page.setServiceError(UnreadablePageError);
            }

            post(request.generation, std::move(page));
            if (bigPage) {
                // The parse of a long page took tens of megabytes that are free again now;
                // give back what the heap still keeps of them.
                ::malloc_trim(0);
            }
        }
    }

    void post(quint64 generation, PageText page)
    {
        std::lock_guard lock(mutex);
        if (stopping || pending.has_value())
            return; // a newer navigation is waiting: this reply is stale
        const bool failed = page.failedLoad();
        // The owner outlives this thread (its destructor joins it); a call still queued
        // when the owner is destroyed is discarded with the owner.
        QMetaObject::invokeMethod(
            owner,
            [owner = owner, generation, page = std::move(page), failed] {
                owner->complete(generation, page, failed);
            },
            Qt::QueuedConnection);
    }

    static constexpr qint64 BigPageBytes = qint64{1} << 20;

    PageLoader* const owner;
    HttpClient http; // used by the worker thread only, apart from cancel()
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    bool stopping = false;
    std::chrono::milliseconds connectTimeout = HttpClient::DefaultConnectTimeout;
    std::chrono::milliseconds stallTimeout = HttpClient::DefaultStallTimeout;
    qint64 maxBodyBytes = DefaultMaxBodyBytes;
    std::thread thread;
};

PageLoader::PageLoader(QObject* parent) : QObject(parent)
{
    HttpClient::globalInit();
    m_worker = std::make_unique<Worker>(this);
}

PageLoader::~PageLoader()
{
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->stopping = true;
        m_worker->pending.reset();
        m_worker->http.cancel();
    }
    m_worker->wake.notify_all();
    if (m_worker->thread.joinable())
        m_worker->thread.join();
}

void PageLoader::setConnectTimeout(std::chrono::milliseconds t)
{
    std::lock_guard lock(m_worker->mutex);
    m_worker->connectTimeout = t;
}

void PageLoader::setStallTimeout(std::chrono::milliseconds t)
{
    std::lock_guard lock(m_worker->mutex);
    m_worker->stallTimeout = t;
}

void PageLoader::setMaxBodyBytes(qint64 bytes)
{
    std::lock_guard lock(m_worker->mutex);
    m_worker->maxBodyBytes = bytes;
}

void PageLoader::Navigate(const QString& url)
{
    m_lastUrl = url;
    m_loading = true;
    const quint64 generation = ++m_generation;
    Worker& worker = *m_worker;
    {
        std::lock_guard lock(worker.mutex);
        worker.pending = Worker::Request{
            generation, url, worker.connectTimeout, worker.stallTimeout, worker.maxBodyBytes, m_traced};
        worker.http.cancel(); // a load still running is superseded
        if (!worker.thread.joinable())
            worker.thread = std::thread([w = &worker] { w->run(); });
    }
    worker.wake.notify_one();
}

void PageLoader::Stop()
{
    if (!m_loading)
        return;
    ++m_generation; // a reply already queued is dropped as stale
    m_loading = false;
    std::lock_guard lock(m_worker->mutex);
    m_worker->pending.reset();
    m_worker->http.cancel();
}

void PageLoader::complete(quint64 generation, const PageText& document, bool failed)
{
    if (generation != m_generation)
        return; // a reply to an older navigation
    m_document = document;
    m_failed = failed;
    m_hasDocument = true;
    m_loading = false;
    if (m_traced)
        trace::mark(trace::Event::DocumentComplete);
    emit DocumentComplete();
}

void PageLoader::readDocumentInto(PageText& text) const
{
    if (!m_hasDocument)
        return;
    text = m_document; // shares the lines
    text.setFailedLoad(m_failed);
}

} // namespace kova
