#include "store/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace kova::trace {

const bool detail::on = [] {
    const char* path = std::getenv("KOVA_TRACE");
    return path != nullptr && *path != '\0';
}();

namespace {

class TraceFile {
public:
    ~TraceFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Appends one line with a single write, so lines of several threads and processes never
    // mix. The first failure closes the file for good.
    void append(const char* line, size_t size)
    {
        if (m_broken)
            return;
        if (m_fd < 0) {
            m_fd = ::open(std::getenv("KOVA_TRACE"), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            if (m_fd < 0) {
                m_broken = true;
                return;
            }
        }
        if (::write(m_fd, line, size) != static_cast<ssize_t>(size)) {
            ::close(m_fd);
            m_fd = -1;
            m_broken = true;
        }
    }

private:
    int m_fd = -1;
    bool m_broken = false;
};

// What the current search has reached, so that each "shown" event is written once, at the
// first paint after the stage it waits for.
struct SearchStages {
    int search = 0;
    bool firstStored = false;
    bool firstShown = false;
    bool lastStored = false;
    bool fetcherClaimable = false;
    bool repainted = false;
    bool fetched = false;
    bool thumbnailsShown = false;
};

struct Trace {
    std::mutex mutex;
    TraceFile file;
    SearchStages stages;
};

Trace& state()
{
    static Trace trace;
    return trace;
}

void writeLine(Trace& t, Event event, long long count, int search)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[160];
    char countText[32] = "-";
    if (count >= 0)
        std::snprintf(countText, sizeof countText, "%lld", count);
    const int size =
        std::snprintf(line, sizeof line, "%lld.%06ld %d %s %d %s\n", static_cast<long long>(now.tv_sec),
                      now.tv_nsec / 1000, static_cast<int>(::getpid()), eventName(event), search, countText);
    if (size > 0 && static_cast<size_t>(size) < sizeof line)
        t.file.append(line, static_cast<size_t>(size));
}

} // namespace

const char* eventName(Event event)
{
    switch (event) {
    case Event::SearchStarted:
        return "search-started";
    case Event::RequestSent:
        return "request-sent";
    case Event::ReplyComplete:
        return "reply-complete";
    case Event::PageTextReady:
        return "page-text-ready";
    case Event::DocumentComplete:
        return "document-complete";
    case Event::FirstRowStored:
        return "first-row-stored";
    case Event::FirstRowShown:
        return "first-row-shown";
    case Event::LastRowStored:
        return "last-row-stored";
    case Event::GridRepainted:
        return "grid-repainted";
    case Event::ThumbnailsFetched:
        return "thumbnails-fetched";
    case Event::ThumbnailsShown:
        return "thumbnails-shown";
    case Event::ReadingLongestWait:
        return "reading-longest-wait";
    }
    return "unknown";
}

void detail::write(Event event, long long count, int search)
{
    Trace& t = state();
    std::lock_guard lock(t.mutex);
    SearchStages& s = t.stages;
    if (event == Event::SearchStarted)
        s = SearchStages{s.search + 1};
    if (search < 0)
        search = s.search;
    const bool current = search == s.search;
    switch (event) {
    case Event::FirstRowStored:
        s.firstStored = s.firstStored || current;
        break;
    case Event::LastRowStored:
        if (current) {
            s.lastStored = true;
            s.fetcherClaimable = true;
        }
        break;
    case Event::ThumbnailsFetched:
        s.fetched = s.fetched || current;
        break;
    default:
        break;
    }
    writeLine(t, event, count, search);
}

void detail::resultCellPainted()
{
    Trace& t = state();
    std::lock_guard lock(t.mutex);
    SearchStages& s = t.stages;
    const auto once = [&](bool reached, bool& written, Event event) {
        if (reached && !written) {
            written = true;
            writeLine(t, event, -1, s.search);
        }
    };
    once(s.firstStored, s.firstShown, Event::FirstRowShown);
    once(s.lastStored, s.repainted, Event::GridRepainted);
    once(s.fetched, s.thumbnailsShown, Event::ThumbnailsShown);
}

int detail::claimSearchFetcher()
{
    Trace& t = state();
    std::lock_guard lock(t.mutex);
    SearchStages& s = t.stages;
    if (!s.fetcherClaimable)
        return -1;
    s.fetcherClaimable = false;
    return s.search;
}

} // namespace kova::trace
