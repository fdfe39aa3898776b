#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace kova {

// What OpenInBrowser makes of an address: the web address to open, or why it is refused.
struct BrowserAddress {
    QUrl url;        // valid when accepted
    QString refusal; // non-empty when refused
    bool accepted() const { return refusal.isEmpty(); }
};

// Only web pages go to the browser. The address is trimmed; one without a scheme is
// completed as a browser's address bar does ("//host/…" and "host/…" become "http://…");
// http and https are accepted, every other scheme (file:, javascript:, mailto:, a local
// program's handler) is refused, as is an address without a host.
BrowserAddress browserAddress(const QString& address);

// Opens the address in the desktop's default web browser. A refused address shows a "提示"
// message and opens nothing; when the desktop cannot open it, the standard error report
// says so, showing the address fully percent-encoded as it was sent, so that it can be
// copied into a browser. True when the address was handed to the browser.
bool OpenInBrowser(const QString& address);

// Test seam: while set, OpenInBrowser hands accepted addresses to `opener` instead of the
// desktop (its result stands for the desktop's). An empty function restores the desktop.
using BrowserOpener = std::function<bool(const QUrl&)>;
void setBrowserOpenerForTesting(BrowserOpener opener);

} // namespace kova
