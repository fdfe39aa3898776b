#pragma once

#include "service/PageText.h"

#include <QObject>
#include <QString>

#include <memory>

namespace kova {

// A hidden page loader (wbwebb, WebBrowser1). Navigate returns at once; the GET runs on a
// worker thread; the body is decoded by its declared charset (GBK when none), parsed as
// HTML5 and serialized from the root element with upper-case tag names, the page's own
// line breaks kept and character references in text re-escaped. DocumentComplete is
// emitted on the loader's (UI) thread once per navigation. A failed load completes with a
// small error page of the loader's own, marked failed. A new navigation supersedes one
// still loading: the stale reply is dropped.
class PageLoader : public QObject {
    Q_OBJECT
public:
    explicit PageLoader(QObject* parent = nullptr);
    ~PageLoader() override; // waits for a load still running, drops its result

    void Navigate(const QString& url);
    bool isLoading() const;
    QString lastUrl() const { return m_lastUrl; }

    // The completed document as text and whether it is the loader's error page.
    const QString& documentText() const { return m_documentText; }
    bool lastLoadFailed() const { return m_failed; }

    // Copies the document into a text holder (the memo beside the loader).
    void readDocumentInto(PageText& text) const;

signals:
    void DocumentComplete();

private:
    struct Worker;
    QString m_lastUrl;
    QString m_documentText;
    bool m_failed = false;
    quint64 m_generation = 0;
    std::shared_ptr<Worker> m_worker;
};

// Turns raw page bytes into the document text the readers see (decode, parse, serialize).
QString serializeDocument(const QByteArray& body, const QByteArray& contentType);
// The loader's own error page for a failed load. It never contains the address.
QString errorDocument(const QString& reason);

} // namespace kova
