#pragma once

#include "service/PictureDownload.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kova {

class HttpClient;
class ThumbnailFailures;

// The order in which a fetcher takes its pictures: the leading ones (the first twelve of a
// new keyword) first, then the products the grid shows, top to bottom, then the rest in
// the list's order. Each picture is handed out once. Thread-safe: the window tells what it
// shows while the fetcher's threads take.
class ThumbnailQueue {
public:
    explicit ThumbnailQueue(std::vector<PictureItem> items, size_t leading = 0);

    void setLeading(size_t count);
    // The products on screen, top to bottom; replaces the set told before. Products not in
    // the list are ignored.
    void showProducts(const QStringList& cphs);
    // Puts `more` after the items listed so far (a product listed already is left out); the
    // products on screen are looked for among them too.
    void append(std::vector<PictureItem> more);
    // The next picture to fetch; nothing once every one has been handed out.
    std::optional<PictureItem> take();
    size_t size() const { return m_items.size(); }

private:
    std::optional<PictureItem> takeAt(size_t index); // with the lock held

    void resolveShown(); // with the lock held

    mutable std::mutex m_mutex;
    std::vector<PictureItem> m_items;
    size_t m_leading;
    QHash<QString, size_t> m_indexOf;
    std::vector<bool> m_taken;
    size_t m_next = 0;           // below it every item of the list's order has been handed out
    QStringList m_shownProducts; // as told, for items appended later
    std::vector<size_t> m_shown;
    size_t m_shownNext = 0;
};

// The thumbnail fetcher: downloads every picture of a list that is not yet in the picture
// cache, on a few connections at once (as a browser does), in the order ThumbnailQueue
// gives. It works on a snapshot of the (cph, address) pairs taken when it starts and on
// HTTP clients of its own, so a new search that empties the result table never disturbs
// it. A picture that cannot be fetched is skipped and the run goes on; a host that does not
// answer is skipped for the rest of the run; until a host has answered once, one connection
// alone tries it. Its threads run at a lower priority than the window's, so drawing the grid
// goes first.
class TGetMM : public QThread {
    Q_OBJECT
public:
    using Item = PictureItem;

    // Connections used at once (one thread each); fewer for a shorter list.
    static constexpr int Connections = 6;
    // The nice value of the fetcher's threads: the window's thread (nice 0) wins the cores
    // when both want them. Not SCHED_IDLE (QThread::IdlePriority): with other programs busy
    // such a thread gets next to no time and the pictures would wait for them.
    static constexpr int ThreadNice = 10;
    // While pictures arrive the grid is repainted at most once in this time.
    static constexpr std::chrono::milliseconds RepaintInterval{50};

    // The rest of a list, made on the fetcher's thread when it starts.
    using ListMaker = std::function<std::vector<Item>()>;

    // Failed downloads are noted in `failures` (when given) for the grid to show.
    TGetMM(std::vector<Item> items, QString tempDir, std::shared_ptr<ThumbnailFailures> failures = {},
           QObject* parent = nullptr);
    ~TGetMM() override; // stops and joins

    // Another number of connections than Connections (at least one); before start(), and
    // before setTimeouts().
    void setConnections(int count);
    // Time-outs of the fetcher's requests; before start().
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);
    // Items after the ones given, made by `more` on the fetcher's own thread before its
    // first download (a list of every row of a long search costs the window nothing);
    // before start(). The fetcher then uses Connections connections, however few items
    // come. A maker that throws adds nothing.
    void setMoreItems(ListMaker more);
    // The first `count` items go before everything else, also before the rows on screen;
    // before start().
    void setLeadingCount(size_t count);
    // Thread-safe: the products the grid shows now, top to bottom; they are fetched next.
    void showProducts(const QStringList& cphs);

    // Asks the run to end; the downloads under way are cancelled.
    void requestStop();

    int downloadedCount() const { return m_downloaded; }
    int failedCount() const { return m_failed; }
    int silentHostCount() const { return m_silentHosts; }

signals:
    // Emitted from one of the fetcher's threads after a file has been saved.
    void pictureSaved(const QString& cph);
    // On the thread that owns the fetcher: time to repaint the grid. At most once per
    // RepaintInterval while pictures arrive, and once when the run has ended.
    void repaintDue();

protected:
    void run() override;

private:
    void work(HttpClient& http);

    ThumbnailQueue m_queue;
    ListMaker m_more;
    QString m_tempDir;
    std::shared_ptr<ThumbnailFailures> m_failures;
    std::vector<std::unique_ptr<HttpClient>> m_http; // one per connection, each on one thread
    SilentHosts m_silent;
    QTimer m_repaint;
    std::atomic_bool m_stop{false};
    std::atomic_int m_downloaded{0};
    std::atomic_int m_failed{0};
    std::atomic_int m_silentHosts{0};
    int m_traceSearch; // the search whose reading made this fetcher, for the trace; -1 for none
};

// Every result row with a product number as (product, picture address), in the order
// "order by jg" gives (null first, then the numeric order of the prices, texts that are no
// number after them; equal prices in the table's order); a product of several rows is
// listed at each (the fetcher's queue takes it once). Read on a connection of its own to
// the database at `databasePath`, so any thread may call it; throws Error.
std::vector<PictureItem> ResultPicturesInPriceOrder(const QString& databasePath);

// Gives the calling thread the nice value `nice` (Linux keeps one per thread) unless it runs
// lower already. False when the system refused.
bool lowerCurrentThreadPriority(int nice);

} // namespace kova
