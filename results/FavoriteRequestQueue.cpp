#include "results/FavoriteRequestQueue.h"

#include "store/Dataset.h"
#include "ui/GridColumn.h"

#include <algorithm>

namespace kova {

bool FavoriteRequestQueue::add(FavoriteRequest request)
{
    if (contains(request.bh, request.cph))
        return false;
    m_requests.push_back(std::move(request));
    return true;
}

bool FavoriteRequestQueue::contains(const QString& bh, const QString& cph) const
{
    return std::any_of(m_requests.begin(), m_requests.end(),
                       [&](const FavoriteRequest& r) { return r.bh == bh && r.cph == cph; });
}

std::optional<FavoriteRequest> FavoriteRequestQueue::startNext()
{
    if (m_sent || m_requests.empty())
        return std::nullopt;
    m_sent = true;
    return m_requests.front();
}

std::optional<FavoriteRequest> FavoriteRequestQueue::finish()
{
    if (!m_sent || m_requests.empty())
        return std::nullopt;
    m_sent = false;
    FavoriteRequest done = std::move(m_requests.front());
    m_requests.pop_front();
    return done;
}

int FindResultRow(const Dataset& rows, const QString& bh, const QString& cph)
{
    if (!rows.isActive())
        return -1;
    const QStringList names = rows.fieldNames();
    const int bhColumn = indexOfField(names, QStringLiteral("bh"));
    const int cphColumn = indexOfField(names, QStringLiteral("cph"));
    if (bhColumn < 0 || cphColumn < 0)
        return -1;
    for (int row = 0; row < rows.recordCount(); ++row) {
        if (rows.fieldAt(row, bhColumn).toString() == bh && rows.fieldAt(row, cphColumn).toString() == cph)
            return row;
    }
    return -1;
}

} // namespace kova
