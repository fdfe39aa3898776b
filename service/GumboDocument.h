#pragma once

#include <QByteArray>

#include <gumbo.h>

#include <memory>

namespace kova {

// Owns a parsed HTML5 document (GumboOutput). The input must be UTF-8 and must outlive
// the document: gumbo's nodes point into it.
class GumboDocument {
public:
    explicit GumboDocument(const QByteArray& utf8);
    ~GumboDocument();
    GumboDocument(const GumboDocument&) = delete;
    GumboDocument& operator=(const GumboDocument&) = delete;

    const GumboNode* root() const { return m_output->root; } // the <html> element
    const GumboNode* body() const;

    class Arena;

private:
    const QByteArray m_input;
    std::unique_ptr<Arena> m_arena;
    GumboOutput* m_output = nullptr;
};

} // namespace kova
