#include "search/TGetMM.h"

#include "service/HttpClient.h"
#include "service/PictureDownload.h"
#include "store/PictureCache.h"

#include <QFileInfo>

namespace kova {

TGetMM::TGetMM(std::vector<Item> items, QString tempDir, QObject* parent)
    : QThread(parent), m_items(std::move(items)), m_tempDir(std::move(tempDir)),
      m_http(std::make_unique<HttpClient>())
{
}

TGetMM::~TGetMM()
{
    requestStop();
    wait();
    (void)m_ranToEnd.load(std::memory_order_acquire);
}

void TGetMM::requestStop()
{
    m_stop = true;
    m_http->cancel();
}

void TGetMM::run()
{
    struct Finished {
        std::atomic_bool& flag;
        ~Finished() { flag.store(true, std::memory_order_release); }
    } finished{m_ranToEnd};
    const PictureCache cache(m_tempDir);
    for (const Item& item : m_items) {
        if (m_stop)
            return;
        const QString target = cache.thumbnailPath(item.cph);
        if (target.isEmpty() || QFileInfo::exists(target))
            continue;
        try {
            if (downloadPicture(*m_http, item.xtp, target)) {
                ++m_downloaded;
                emit pictureSaved(item.cph);
            }
        } catch (const std::exception&) {
            // This row keeps its placeholder; a later search tries it again.
            ++m_failed;
        }
    }
}

} // namespace kova
