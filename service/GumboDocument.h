#pragma once

#include <QByteArray>

#include <gumbo.h>

#include <memory>

namespace kova {

// Owns a parsed HTML5 document (GumboOutput) and its UTF-8 input, which gumbo's nodes
// point into. Give it the input by move when nothing else needs it: it goes with the tree.
class GumboDocument {
public:
    explicit GumboDocument(QByteArray utf8);
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
