#include "search/TGetMM.h"

#include "service/HttpClient.h"
#include "service/PictureDownload.h"
#include "store/Connection.h"
#include "store/PictureCache.h"
#include "store/Statement.h"
#include "store/Trace.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace kova {

ThumbnailQueue::ThumbnailQueue(std::vector<PictureItem> items, size_t leading)
    : m_items(std::move(items)), m_leading(std::min(leading, m_items.size())), m_taken(m_items.size(), false)
{
    m_indexOf.reserve(static_cast<qsizetype>(m_items.size()));
    for (size_t i = 0; i < m_items.size(); ++i)
        m_indexOf.insert(m_items[i].cph, i); // a product listed twice is found at its last place
}

void ThumbnailQueue::setLeading(size_t count)
{
    std::lock_guard lock(m_mutex);
    m_leading = std::min(count, m_items.size());
}

void ThumbnailQueue::showProducts(const QStringList& cphs)
{
    std::lock_guard lock(m_mutex);
    m_shownProducts = cphs;
    resolveShown();
}

void ThumbnailQueue::resolveShown()
{
    m_shown.clear();
    m_shownNext = 0;
    for (const QString& cph : std::as_const(m_shownProducts)) {
        const auto found = m_indexOf.constFind(cph);
        if (found != m_indexOf.constEnd() && !m_taken[*found])
            m_shown.push_back(*found);
    }
}

void ThumbnailQueue::append(std::vector<PictureItem> more)
{
    std::lock_guard lock(m_mutex);
    m_items.reserve(m_items.size() + more.size());
    m_indexOf.reserve(static_cast<qsizetype>(m_items.size() + more.size()));
    for (PictureItem& item : more) {
        if (m_indexOf.contains(item.cph))
            continue;
        m_indexOf.insert(item.cph, m_items.size());
        m_items.push_back(std::move(item));
    }
    m_taken.resize(m_items.size(), false);
    resolveShown();
}

std::optional<PictureItem> ThumbnailQueue::takeAt(size_t index)
{
    m_taken[index] = true;
    return m_items[index];
}

std::optional<PictureItem> ThumbnailQueue::take()
{
    std::lock_guard lock(m_mutex);
    while (m_next < m_items.size() && m_taken[m_next])
        ++m_next;
    if (m_next < m_leading)
        return takeAt(m_next);
    while (m_shownNext < m_shown.size()) {
        const size_t index = m_shown[m_shownNext++];
        if (!m_taken[index])
            return takeAt(index);
    }
    if (m_next < m_items.size())
        return takeAt(m_next);
    return std::nullopt;
}

std::vector<PictureItem> ResultPicturesInPriceOrder(const QString& databasePath)
{
    Connection connection(databasePath);
    connection.open();
    Statement select(connection.handle(), QByteArrayLiteral("select cph, xtp, jg from cxnr"));
    struct Row {
        bool noPrice; // null comes first, as in SQL
        QByteArray price;
        PictureItem item;
    };
    std::vector<Row> rows;
    const auto text = [&select](int column) {
        const QVariant value = select.value(column);
        return value.isNull() ? QString() : value.toString();
    };
    while (select.step()) {
        QString cph = text(0);
        if (cph.isEmpty())
            continue;
        const QVariant price = select.value(2);
        rows.push_back({price.isNull(), price.toString().toUtf8(), {std::move(cph), text(1)}});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.noPrice != b.noPrice)
            return a.noPrice;
        return compareNumericText(a.price.constData(), static_cast<int>(a.price.size()), b.price.constData(),
                                  static_cast<int>(b.price.size())) < 0;
    });
    std::vector<PictureItem> items;
    items.reserve(rows.size());
    for (Row& row : rows)
        items.push_back(std::move(row.item));
    return items;
}

bool lowerCurrentThreadPriority(int nice)
{
    // On Linux the "process" of setpriority is the thread whose id it is given. A program
    // started lower than `nice` keeps its lower priority.
    const auto thread = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, thread);
    if (errno != 0)
        return false;
    return now >= nice || setpriority(PRIO_PROCESS, thread, nice) == 0;
}

TGetMM::TGetMM(std::vector<Item> items, QString tempDir, std::shared_ptr<ThumbnailFailures> failures,
               QObject* parent)
    : QThread(parent), m_queue(std::move(items)), m_tempDir(std::move(tempDir)),
      m_failures(std::move(failures)), m_traceSearch(trace::claimSearchFetcher())
{
    const size_t connections = std::clamp<size_t>(m_queue.size(), 1, Connections);
    for (size_t i = 0; i < connections; ++i)
        m_http.push_back(std::make_unique<HttpClient>());

    // Pictures come faster than the eye follows; one repaint shows a batch of them.
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(RepaintInterval);
    connect(&m_repaint, &QTimer::timeout, this, &TGetMM::repaintDue);
    connect(
        this, &TGetMM::pictureSaved, this,
        [this] {
            if (!m_repaint.isActive())
                m_repaint.start();
        },
        Qt::QueuedConnection);
    // The last pictures, and a last failure drawn as such instead of "loading".
    connect(this, &QThread::finished, this, [this] {
        m_repaint.stop();
        emit repaintDue();
    });
}

TGetMM::~TGetMM()
{
    requestStop();
    wait();
}

void TGetMM::setConnections(int count)
{
    const auto wanted = static_cast<size_t>(std::max(count, 1));
    if (wanted < m_http.size())
        m_http.resize(wanted);
    while (m_http.size() < wanted)
        m_http.push_back(std::make_unique<HttpClient>());
}

void TGetMM::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
{
    for (auto& http : m_http) {
        http->setConnectTimeout(connect);
        http->setStallTimeout(stall);
    }
}

void TGetMM::setMoreItems(ListMaker more)
{
    m_more = std::move(more);
    setConnections(Connections);
}

void TGetMM::setLeadingCount(size_t count)
{
    m_queue.setLeading(count);
}

void TGetMM::showProducts(const QStringList& cphs)
{
    m_queue.showProducts(cphs);
}

void TGetMM::requestStop()
{
    m_stop = true;
    m_silent.stopWaiting();
    for (auto& http : m_http)
        http->cancel();
}

void TGetMM::work(HttpClient& http)
{
    lowerCurrentThreadPriority(ThreadNice);
    const PictureCache cache(m_tempDir);
    while (!m_stop) {
        const std::optional<Item> item = m_queue.take();
        if (!item)
            return;
        // A row whose picture cannot be fetched keeps its placeholder; a later search
        // tries it again.
        const ThumbnailFetch fetch =
            fetchMissingThumbnail(http, cache, item->cph, item->url, m_failures.get(), &m_silent);
        m_silentHosts = m_silent.count();
        switch (fetch) {
        case ThumbnailFetch::Saved:
            ++m_downloaded;
            emit pictureSaved(item->cph);
            break;
        case ThumbnailFetch::Failed:
            ++m_failed;
            break;
        case ThumbnailFetch::Unnamed:
        case ThumbnailFetch::Present:
            break;
        }
    }
}

void TGetMM::run()
{
    if (m_more) {
        try {
            m_queue.append(m_more());
        } catch (const std::exception&) {
            // the pictures given are still fetched; the next search lists the rest again
        }
        m_more = nullptr;
    }
    {
        // The first connection is this thread's; a thread that cannot be made leaves its
        // share to the others.
        std::vector<std::jthread> others;
        for (size_t i = 1; i < m_http.size(); ++i) {
            try {
                others.emplace_back([this, http = m_http[i].get()] { work(*http); });
            } catch (const std::system_error&) {
                break;
            }
        }
        work(*m_http.front());
    } // joins the others
    if (m_traceSearch >= 0)
        trace::mark(trace::Event::ThumbnailsFetched, m_downloaded, m_traceSearch);
}

} // namespace kova
