#include "service/NavigationQueue.h"

#include <algorithm>

namespace kova {

std::optional<NavigationQueue::Started> NavigationQueue::request(Navigation navigation)
{
    const bool search = navigation.purpose == NavigationPurpose::Search;
    if (!m_current || (search && m_current->purpose == NavigationPurpose::Search))
        return start(std::move(navigation));
    if (search)
        drop(NavigationPurpose::Search); // only the newest search is wanted
    m_waiting.push_back(std::move(navigation));
    return std::nullopt;
}

NavigationQueue::Navigation NavigationQueue::complete()
{
    Navigation done = m_current ? std::move(*m_current) : Navigation{};
    m_current.reset();
    return done;
}

void NavigationQueue::abandon()
{
    m_current.reset();
}

std::optional<NavigationQueue::Started> NavigationQueue::next()
{
    if (m_current || m_waiting.empty())
        return std::nullopt;
    Navigation navigation = std::move(m_waiting.front());
    m_waiting.pop_front();
    return start(std::move(navigation));
}

int NavigationQueue::drop(NavigationPurpose purpose)
{
    return static_cast<int>(
        std::erase_if(m_waiting, [purpose](const Navigation& n) { return n.purpose == purpose; }));
}

bool NavigationQueue::waiting(NavigationPurpose purpose) const
{
    return std::any_of(m_waiting.begin(), m_waiting.end(),
                       [purpose](const Navigation& n) { return n.purpose == purpose; });
}

NavigationQueue::Started NavigationQueue::start(Navigation navigation)
{
    const NavigationPurpose purpose = navigation.purpose;
    const QString url = navigation.address ? navigation.address() : QString();
    m_current = std::move(navigation);
    return {purpose, url};
}

} // namespace kova
