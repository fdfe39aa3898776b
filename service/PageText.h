#pragma once

#include <QString>
#include <QStringList>

namespace kova {

// The lines of a captured document (the hidden memo of a page loader). A line reads as at
// most 4096 bytes of its GBK form (a longer one is cut there, never inside a character);
// an index at or past the end reads as an empty line; a final empty line does not count.
class PageText {
public:
    PageText() = default;
    explicit PageText(const QString& initialText) { setText(initialText); }

    void setText(const QString& text); // replaces the whole content
    void clear();
    QString text() const { return m_text; }
    int count() const { return static_cast<int>(m_lines.size()); }
    QString line(int index) const;

    // Set when the content is a page loader's error page (a failed load), so that no
    // reader takes it for an account reply.
    bool failedLoad() const { return m_failedLoad; }
    void setFailedLoad(bool failed) { m_failedLoad = failed; }

    static constexpr int MaxLineBytes = 4096;

    // A line as read: cut at MaxLineBytes bytes of its GBK form, at a character boundary.
    static QString cutLine(const QString& line);

private:
    QString m_text;
    QStringList m_lines; // already cut
    bool m_failedLoad = false;
};

} // namespace kova
