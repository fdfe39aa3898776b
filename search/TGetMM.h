#pragma once

#include "service/PictureDownload.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace kova {

class HttpClient;
class ThumbnailFailures;

// The thumbnail fetcher: a thread that downloads every picture of a list that is not yet in
// the picture cache, in the list's order. It works on a snapshot of the (cph, address)
// pairs taken when it starts and on an HTTP client of its own, so a new search that empties
// the result table never disturbs it. A picture that cannot be fetched is skipped and the
// run goes on; a host that does not answer is skipped for the rest of the run.
class TGetMM : public QThread {
    Q_OBJECT
public:
    using Item = PictureItem;

    // Failed downloads are noted in `failures` (when given) for the grid to show.
    TGetMM(std::vector<Item> items, QString tempDir, std::shared_ptr<ThumbnailFailures> failures = {},
           QObject* parent = nullptr);
    ~TGetMM() override; // stops and joins

    // Time-outs of the fetcher's requests; before start().
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);

    // Asks the run to end; a download under way is cancelled.
    void requestStop();

    int downloadedCount() const { return m_downloaded; }
    int failedCount() const { return m_failed; }
    int silentHostCount() const { return m_silentHosts; }

signals:
    // Emitted from the fetcher's thread after a file has been saved.
    void pictureSaved(const QString& cph);

protected:
    void run() override;

private:
    std::vector<Item> m_items;
    QString m_tempDir;
    std::shared_ptr<ThumbnailFailures> m_failures;
    std::unique_ptr<HttpClient> m_http; // used on the fetcher's thread only
    std::atomic_bool m_stop{false};
    std::atomic_int m_downloaded{0};
    std::atomic_int m_failed{0};
    std::atomic_int m_silentHosts{0};
    int m_traceSearch; // the search whose reading made this fetcher, for the trace; -1 for none
};

} // namespace kova
