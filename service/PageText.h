#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <utility>
#include <vector>

namespace kova {

// The lines of a captured document (the hidden memo of a page loader). A line reads as at
// most 4096 bytes of its GBK form (a longer one is cut there, never inside a character);
// an index at or past the end reads as an empty line; a final empty line does not count.
//
// The text is held once, as UTF-8 (a result page is mostly markup: half the room of its
// UTF-16 form): a line is a span of it (only a cut line has a copy of its own), and copies
// share the whole content, so a copy costs a pointer however long the page.
class PageText {
public:
    PageText() = default;
    explicit PageText(const QString& initialText) { setText(initialText); }
    // Replace the whole content; std::length_error past 4 GB of UTF-8.
    void setText(const QString& text);
    void setUtf8(QByteArray text); // valid UTF-8, as the page serializer writes it
    void clear();
    QString text() const; // the whole content, decoded
    qsizetype utf8Size() const { return m_content ? m_content->text.size() : 0; }
    int count() const { return m_content ? static_cast<int>(m_content->lines.size()) : 0; }
    QString line(int index) const;
    // The line's UTF-8 without a copy; valid while this text (or a copy of it) lives. What
    // looks for markup (ASCII) can search it as it is.
    QByteArrayView lineUtf8(int index) const;

    // Set when the content is a page loader's error page (a failed load), so that no
    // reader takes it for an account reply.
    bool failedLoad() const { return m_failedLoad; }
    void setFailedLoad(bool failed) { m_failedLoad = failed; }
    // For a failed load the service itself answered wrongly: what went wrong, as a message
    // names it ("HTTP 500"). Empty for a page that loaded and for a load that failed on the
    // way (no connection, no answer in time, the connection broken).
    const QString& serviceError() const { return m_serviceError; }
    void setServiceError(QString what) { m_serviceError = std::move(what); }

    static constexpr int MaxLineBytes = 4096;

    // A line as read: cut at MaxLineBytes bytes of its GBK form, at a character boundary.
    static QString cutLine(const QString& line);

private:
    // Eight bytes a line: a page of 200,000 rows has nearly three million of them.
    struct Line {
        quint32 start;  // in the text; for a cut line, its index in Content::cutLines
        quint32 length; // without the line break; CutLine: the line was cut
    };
    static constexpr quint32 CutLine = 0xFFFFFFFFu;
    struct Content {
        QByteArray text;
        std::vector<Line> lines;
        std::vector<QByteArray> cutLines; // UTF-8
    };

    std::shared_ptr<const Content> m_content; // never changed once made: shared by copies
    bool m_failedLoad = false;
    QString m_serviceError;
};

} // namespace kova
