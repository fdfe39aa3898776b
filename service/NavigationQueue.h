#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace kova {

// What a navigation of the main page loader is for. Its completion is read for that
// purpose alone, whatever the view shows by then.
enum class NavigationPurpose {
    None,           // a completion nobody asked for: read by nobody
    AccountRequest, // the first-run account request
    Search,         // a result page
    DeleteFavorite, // a favorite's delete at the service
};

// The navigations of one page loader, one at a time. A loader drops a page still loading
// when it navigates again, so a request for a different purpose waits for the one under
// way instead of cancelling it; only a newer search replaces a search (the older one's
// page would be read into the rows the newer one has just emptied). The address is built
// when the navigation starts, so a search waiting behind the account request is sent with
// the account that request brought.
class NavigationQueue {
public:
    struct Navigation {
        NavigationPurpose purpose = NavigationPurpose::None;
        std::function<QString()> address;
        QString tag; // what the completion needs to know (a delete's product number)
    };
    struct Started {
        NavigationPurpose purpose;
        QString url;
    };

    // The navigation to start now, if the request does not have to wait.
    std::optional<Started> request(Navigation navigation);
    // The loader's document completed: the purpose and tag it was for; the loader is free.
    Navigation complete();
    // The navigation under way was stopped without a completion (a stopped search): the
    // loader is free.
    void abandon();
    // The next waiting navigation, now under way; none while one runs or none waits.
    std::optional<Started> next();
    // Takes every waiting navigation of `purpose` out of the queue; how many.
    int drop(NavigationPurpose purpose);

    NavigationPurpose current() const { return m_current ? m_current->purpose : NavigationPurpose::None; }
    bool waiting(NavigationPurpose purpose) const;
    int waitingCount() const { return static_cast<int>(m_waiting.size()); }

private:
    Started start(Navigation navigation);

    std::optional<Navigation> m_current;
    std::deque<Navigation> m_waiting;
};

} // namespace kova
