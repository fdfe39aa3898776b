#include "service/GumboDocument.h"

#include "store/Error.h"

#include <QString>

namespace kova {

GumboDocument::GumboDocument(const QByteArray& utf8) : m_input(utf8)
{
    m_output = gumbo_parse_with_options(&kGumboDefaultOptions, m_input.constData(),
                                        static_cast<size_t>(m_input.size()));
    if (!m_output || !m_output->root)
        throw Error(QStringLiteral("无法解析网页内容"));
}

GumboDocument::~GumboDocument()
{
    if (m_output)
        gumbo_destroy_output(&kGumboDefaultOptions, m_output);
}

const GumboNode* GumboDocument::body() const
{
    const GumboNode* root = m_output->root;
    if (root->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    const GumboVector& children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY)
            return child;
    }
    return nullptr;
}

} // namespace kova
