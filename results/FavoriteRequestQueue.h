#pragma once

#include <QString>

#include <deque>
#include <optional>

namespace kova {

class Dataset;

// One add-to-favorites request: the result row it is for (its `bh` with its product
// number, since row numbers repeat from search to search) and the address to load.
struct FavoriteRequest {
    QString bh;
    QString cph;
    QString url;
};

// The add-to-favorites requests of the result grid, sent one at a time through one page
// loader: a new navigation would cancel the one still loading, and its reply, which
// decides whether the row is marked, would be lost.
class FavoriteRequestQueue {
public:
    // Queues a request; false (nothing queued) when one for the same row is waiting.
    bool add(FavoriteRequest request);
    bool contains(const QString& bh, const QString& cph) const;
    bool inFlight() const { return m_sent; }
    bool isEmpty() const { return m_requests.empty(); }

    // The request to send now, when none is on its way; it counts as on its way after.
    std::optional<FavoriteRequest> startNext();
    // The reply of the request on its way has come: it leaves the queue.
    std::optional<FavoriteRequest> finish();

private:
    std::deque<FavoriteRequest> m_requests;
    bool m_sent = false;
};

// The 0-based row of `rows` (in its current order) whose bh and cph are these, or -1.
// The cursor does not move.
int FindResultRow(const Dataset& rows, const QString& bh, const QString& cph);

} // namespace kova
