#include "service/HtmlToText.h"

#include "service/GumboDocument.h"

#include <string>
#include <vector>

namespace kova {

QString HtmlToText(const QString& markup)
{
    if (markup.isEmpty())
        return markup;
    const QByteArray utf8 = markup.toUtf8();
    const GumboDocument document(utf8);
    const GumboNode* body = document.body();
    if (!body)
        return {};

    std::string text;
    std::vector<const GumboNode*> pending{body};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            text.append(node->v.text.text);
            break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboTag tag = node->v.element.tag;
            if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE)
                break;
            if (tag == GUMBO_TAG_BR) {
                text.push_back('\n');
                break;
            }
            const GumboVector& children = node->v.element.children;
            for (unsigned i = children.length; i > 0; --i)
                pending.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
            break;
        }
        default:
            break;
        }
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kova
