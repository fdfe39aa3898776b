#pragma once

#include "service/PageText.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace kova {

// A hidden page loader (wbwebb, WebBrowser1). Navigate returns at once; the GET runs on a
// worker thread of the loader (one HttpClient, so cookies live as long as the loader, in
// its browser-like mode: redirects followed, the desktop's proxy used); the
// body is decoded by its declared charset (GBK when none), parsed as HTML5 and serialized
// from the root element with upper-case tag names, the page's own line breaks kept and
// character references in text re-escaped. DocumentComplete is emitted on the loader's
// (UI) thread once per navigation. A failed load completes with a small error page of the
// loader's own, marked failed. A new navigation supersedes one still loading: the stale
// transfer is cancelled and its reply dropped.
class PageLoader : public QObject {
    Q_OBJECT
public:
    // A result page of 300,000 rows fits; a long page that cannot be parsed in slices of
    // rows has a lower limit (DocumentWholeMaxBytes).
    static constexpr qint64 DefaultMaxBodyBytes = qint64{128} << 20;

    explicit PageLoader(QObject* parent = nullptr);
    ~PageLoader() override; // cancels a load still running, waits for the worker, drops its result

    void Navigate(const QString& url);
    // Stops the load under way: its document never completes. Nothing when none runs.
    void Stop();
    bool isLoading() const { return m_loading; }
    QString lastUrl() const { return m_lastUrl; }

    // The completed document as text and whether it is the loader's error page.
    bool hasDocument() const { return m_hasDocument; }
    QString documentText() const { return m_document.text(); }
    bool lastLoadFailed() const { return m_failed; }

    // Copies the document into a text holder (the memo beside the loader): the lines were
    // split and cut on the worker thread, so this shares them and costs no more for a long
    // page than for a short one. Before the first completed load there is no document and
    // the holder keeps its content.
    void readDocumentInto(PageText& text) const;

    // Time-outs and size limit of the loader's requests (from the next navigation on).
    void setConnectTimeout(std::chrono::milliseconds t);
    void setStallTimeout(std::chrono::milliseconds t);
    void setMaxBodyBytes(qint64 bytes);
    // Whether the loader's stages go to the search trace (the main loader's only).
    void setTraced(bool on) { m_traced = on; }

signals:
    void DocumentComplete();

private:
    struct Worker;
    void complete(quint64 generation, const PageText& document, bool failed);

    QString m_lastUrl;
    PageText m_document;
    bool m_failed = false;
    bool m_loading = false;
    bool m_hasDocument = false;
    bool m_traced = false;
    quint64 m_generation = 0;
    std::unique_ptr<Worker> m_worker; // made with the loader; its thread starts at the first Navigate
};

// A page at least twice this long is parsed a slice of rows at a time where it can be,
// which gives the same text as the whole parse for a small part of its memory.
inline constexpr qsizetype DocumentSliceBytes = qsizetype{1} << 20;
// A page longer than this that cannot be cut so is refused rather than parsed whole (its
// tree would take about fifteen times its length).
inline constexpr qsizetype DocumentWholeMaxBytes = qsizetype{64} << 20;

// Turns raw page bytes into the document text the readers see (decode, parse, serialize).
// Throws kova::Error when the body cannot be parsed, or is longer than
// DocumentWholeMaxBytes and cannot be parsed in slices. Pass the body by move when nothing
// else needs it: it is let go of as soon as it is decoded. sliceBytes is the size of a
// slice of rows (0: always parse the page whole); slices, when given, is told how many
// slices were parsed (0 when the page was parsed whole).
QString serializeDocument(QByteArray body, const QByteArray& contentType,
                          qsizetype sliceBytes = DocumentSliceBytes, int* slices = nullptr);
// The whole way from a reply's body to the finished lines (what the loader's worker does):
// serializeDocument, then the split and cut of PageText. A body that cannot be parsed
// gives the loader's error page, marked failed.
PageText pageTextOf(QByteArray body, const QByteArray& contentType);
// The charset a page declares: a byte-order mark, the Content-Type header's charset, else a
// <meta> charset in the first 1024 bytes, else "GBK".
QByteArray declaredCharset(const QByteArray& body, const QByteArray& contentType);
// The loader's own error page for a failed load. It never contains the address and holds
// no table rows; its "<BODY>" line carries no text.
QString errorDocument(const QString& reason);

} // namespace kova
