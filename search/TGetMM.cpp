#include "search/TGetMM.h"

#include "service/HttpClient.h"
#include "service/PictureDownload.h"
#include "store/PictureCache.h"
#include "store/Trace.h"

namespace kova {

TGetMM::TGetMM(std::vector<Item> items, QString tempDir, std::shared_ptr<ThumbnailFailures> failures,
               QObject* parent)
    : QThread(parent), m_items(std::move(items)), m_tempDir(std::move(tempDir)),
      m_failures(std::move(failures)), m_http(std::make_unique<HttpClient>()),
      m_traceSearch(trace::claimSearchFetcher())
{
}

TGetMM::~TGetMM()
{
    requestStop();
    wait();
}

void TGetMM::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
{
    m_http->setConnectTimeout(connect);
    m_http->setStallTimeout(stall);
}

void TGetMM::requestStop()
{
    m_stop = true;
    m_http->cancel();
}

void TGetMM::run()
{
    const PictureCache cache(m_tempDir);
    SilentHosts silent;
    for (const Item& item : m_items) {
        if (m_stop)
            return;
        // A row whose picture cannot be fetched keeps its placeholder; a later search
        // tries it again.
        const ThumbnailFetch fetch =
            fetchMissingThumbnail(*m_http, cache, item.cph, item.url, m_failures.get(), &silent);
        m_silentHosts = silent.count();
        switch (fetch) {
        case ThumbnailFetch::Saved:
            ++m_downloaded;
            emit pictureSaved(item.cph);
            break;
        case ThumbnailFetch::Failed:
            ++m_failed;
            break;
        case ThumbnailFetch::Unnamed:
        case ThumbnailFetch::Present:
            break;
        }
    }
    if (m_traceSearch >= 0)
        trace::mark(trace::Event::ThumbnailsFetched, m_downloaded, m_traceSearch);
}

} // namespace kova
