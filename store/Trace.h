#pragma once

// Timestamps of a search's stages for benchmarks, written only when the environment
// variable KOVA_TRACE names a file when the program starts. Each event appends one line:
//
//   <CLOCK_MONOTONIC seconds, 6 decimals> <pid> <event> <search> <count or ->
//
// where <search> numbers the searches of the process from 1 (0 before the first one).
// The variable is read once, at start; with it unset every call below costs one test of a
// constant. A file that cannot be opened or written turns the trace off and nothing else.

namespace kova::trace {

enum class Event {
    SearchStarted,      // the search command runs (button, Return, hot keyword)
    RequestSent,        // a page loader's GET goes out (any page loader)
    ReplyComplete,      // its whole body has arrived; count = bytes
    PageTextReady,      // decoded, parsed and serialized on the loader's thread; count = bytes of UTF-8
    DocumentComplete,   // the document reaches the window's thread
    FirstRowStored,     // the result reader has posted its first row
    FirstRowShown,      // the result grid paints a cell after that
    LastRowStored,      // the result reader has read its page; count = rows stored
    GridRepainted,      // the result grid paints a cell after that: the last row's data is in it
    ThumbnailsFetched,  // the thumbnail fetcher a search started has ended; count = pictures saved
    ThumbnailsShown,    // the result grid paints a cell after that
    ReadingLongestWait, // the reading of a result page ended; count = the longest time in ms
                        // the window's events waited while it was read (a step and what
                        // came between two steps)
};

// The event's name in the file ("search-started", "grid-repainted", ...).
const char* eventName(Event event);

namespace detail {
extern const bool on;
void write(Event event, long long count, int search);
void resultCellPainted();
int claimSearchFetcher();
} // namespace detail

inline bool enabled()
{
    return detail::on;
}

// Writes an event of the current search (or of `search` when given, from currentSearch()).
// SearchStarted begins a new search.
inline void mark(Event event, long long count = -1, int search = -1)
{
    if (detail::on) [[unlikely]]
        detail::write(event, count, search);
}

// Called at every paint of a result grid cell: writes the "shown" events that wait for one.
inline void resultCellPainted()
{
    if (detail::on) [[unlikely]]
        detail::resultCellPainted();
}

// For a thumbnail fetcher being made: the number of the current search when the fetcher is
// the first made since that search's reader ended (the one the reading starts), else -1.
inline int claimSearchFetcher()
{
    return detail::on ? detail::claimSearchFetcher() : -1;
}

} // namespace kova::trace
