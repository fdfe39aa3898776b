#pragma once

#include <QByteArray>

#include <gumbo.h>

#include <memory>
#include <vector>

namespace kova {

// Owns a parsed HTML5 document (GumboOutput) and its UTF-8 input, which gumbo's nodes
// point into. Give it the input by move when nothing else needs it: it goes with the tree.
class GumboDocument {
public:
    explicit GumboDocument(QByteArray utf8);
    // The input parsed as a fragment whose parent would be a `context` element (HTML
    // namespace): root() is then the html element that holds the fragment's nodes.
    GumboDocument(QByteArray utf8, GumboTag context);
    ~GumboDocument();
    GumboDocument(const GumboDocument&) = delete;
    GumboDocument& operator=(const GumboDocument&) = delete;

    const GumboNode* root() const { return m_output->root; } // the <html> element
    const GumboNode* body() const;
    // Whether the parser met a parse error. Only a fragment records them (the first one is
    // enough to know); a whole document records none.
    bool hasErrors() const { return m_output->errors.length > 0; }

    // Lets go of the input before the document goes. Texts and attributes are gumbo's own
    // copies; of the pieces that point into the input, the written form of an element's
    // tag (original_tag) is copied first for the elements gumbo does not know, where it is
    // the only name. Every other original_* piece must not be read afterwards.
    void releaseInput();

    class Arena;

private:
    void parse(GumboTag context, int maxErrors);

    QByteArray m_input;
    std::unique_ptr<Arena> m_arena;
    GumboOutput* m_output = nullptr;
};

} // namespace kova
