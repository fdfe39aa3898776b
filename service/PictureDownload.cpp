#include "service/PictureDownload.h"

#include "service/HttpClient.h"
#include "store/Error.h"
#include "store/JpegLoader.h"
#include "store/PictureCache.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace kova {

bool isCompleteJpeg(const QByteArray& body)
{
    if (body.size() < 4 || !body.startsWith("\xFF\xD8\xFF"))
        return false;
    // A picture cut short has no end-of-image marker; some encoders pad after it.
    constexpr qsizetype tail = 64;
    const qsizetype from = std::max<qsizetype>(2, body.size() - tail);
    return body.indexOf("\xFF\xD9", from) >= 0;
}

bool downloadPicture(HttpClient& http, const QString& url, const QString& target)
{
    const QFileInfo info(target);
    const QString name = info.fileName();
    const bool unsafe =
        name.isEmpty() || name.contains(QLatin1Char('\\')) || name == QLatin1String(".") ||
        name == QLatin1String("..") ||
        QDir::fromNativeSeparators(target).split(QLatin1Char('/')).contains(QStringLiteral(".."));
    if (unsafe)
        throw Error(QStringLiteral("图片文件名不合法：%1").arg(name));
    if (info.exists())
        return false;

    const HttpReply reply = http.get(url);
    if (!isCompleteJpeg(reply.body))
        throw Error(
            QStringLiteral("下载的内容不是完整的 JPEG 图片：%1").arg(HttpClient::addressForMessage(url)));
    // A picture the loader would refuse is not kept: it would stay in the cache for good.
    if (const QString problem = jpegHeaderProblem(reply.body); !problem.isEmpty())
        throw Error(
            QStringLiteral("下载的图片无法使用（%1）：%2").arg(problem, HttpClient::addressForMessage(url)));

    // Written under a temporary name and renamed, so a second writer of the same picture
    // (the thumbnail thread and the window) never leaves or reads a torn file.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("无法写入图片文件 %1：%2").arg(target, file.errorString()));
    if (file.write(reply.body) != reply.body.size() || !file.commit())
        throw Error(QStringLiteral("无法写入图片文件 %1：%2").arg(target, file.errorString()));
    return true;
}

namespace {

ThumbnailFetch fetchThumbnail(HttpClient& http, const QString& target, const QString& url,
                              SilentHosts* silent)
{
    if (target.isEmpty())
        return ThumbnailFetch::Unnamed;
    if (QFileInfo::exists(target))
        return ThumbnailFetch::Present;
    if (url.isEmpty() || (silent && (silent->contains(url) || !silent->awaitTurn(url))))
        return ThumbnailFetch::Failed;
    try {
        if (!downloadPicture(http, url, target)) {
            if (silent)
                silent->releaseTurn(url);
            return ThumbnailFetch::Present;
        }
        if (silent)
            silent->noteAnswer(url);
        return ThumbnailFetch::Saved;
    } catch (const std::exception& e) {
        if (silent)
            silent->noteFailure(url, e);
        return ThumbnailFetch::Failed;
    }
}

QString hostOf(const QString& url)
{
    const QUrl parsed(url);
    return parsed.isValid() ? parsed.host().toLower() + QLatin1Char(':') + QString::number(parsed.port(80))
                            : QString();
}

} // namespace

bool SilentHosts::contains(const QString& url) const
{
    const QString host = hostOf(url);
    std::lock_guard lock(m_mutex);
    return !host.isEmpty() && m_hosts.contains(host);
}

int SilentHosts::count() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_hosts.size());
}

bool SilentHosts::awaitTurn(const QString& url)
{
    const QString host = hostOf(url);
    std::unique_lock lock(m_mutex);
    if (host.isEmpty())
        return !m_stopped;
    for (;;) {
        if (m_stopped || m_hosts.contains(host))
            return false;
        if (m_answering.contains(host))
            return true;
        if (!m_trying.contains(host)) {
            m_trying.insert(host);
            return true;
        }
        m_changed.wait(lock);
    }
}

void SilentHosts::settle(const QString& host, bool answered, bool silent)
{
    if (host.isEmpty())
        return;
    m_trying.remove(host);
    if (answered)
        m_answering.insert(host);
    if (silent)
        m_hosts.insert(host);
    m_changed.notify_all();
}

void SilentHosts::noteAnswer(const QString& url)
{
    const QString host = hostOf(url);
    std::lock_guard lock(m_mutex);
    settle(host, true, false);
}

void SilentHosts::releaseTurn(const QString& url)
{
    const QString host = hostOf(url);
    std::lock_guard lock(m_mutex);
    settle(host, false, false);
}

void SilentHosts::stopWaiting()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    m_changed.notify_all();
}

void SilentHosts::noteFailure(const QString& url, const std::exception& error)
{
    const QString host = hostOf(url);
    std::lock_guard lock(m_mutex);
    const auto* http = dynamic_cast<const HttpError*>(&error);
    if (http == nullptr) {
        settle(host, true, false); // the picture was unusable or could not be written: the host answered
        return;
    }
    switch (http->kind()) {
    case HttpError::Kind::Connect:
    case HttpError::Kind::Stall:
    case HttpError::Kind::TooSlow:
    case HttpError::Kind::Transfer:
        settle(host, false, true);
        return;
    case HttpError::Kind::Status:
        settle(host, http->status() < 500, http->status() >= 500);
        return;
    case HttpError::Kind::Redirect:
    case HttpError::Kind::TooLarge:
        settle(host, true, false);
        return;
    case HttpError::Kind::Cancelled:
        settle(host, false, false);
        return;
    }
}

ThumbnailFetch fetchMissingThumbnail(HttpClient& http, const PictureCache& cache, const QString& cph,
                                     const QString& url, ThumbnailFailures* failures, SilentHosts* silent)
{
    const ThumbnailFetch fetch = fetchThumbnail(http, cache.thumbnailPath(cph), url, silent);
    if (failures)
        failures->record(cph, fetch);
    return fetch;
}

void ThumbnailFailures::record(const QString& cph, ThumbnailFetch fetch)
{
    std::lock_guard lock(m_mutex);
    if (fetch == ThumbnailFetch::Failed)
        m_failed.insert(cph);
    else if (fetch == ThumbnailFetch::Saved || fetch == ThumbnailFetch::Present)
        m_failed.remove(cph);
}

bool ThumbnailFailures::failed(const QString& cph) const
{
    std::lock_guard lock(m_mutex);
    return m_failed.contains(cph);
}

} // namespace kova
