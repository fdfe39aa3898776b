#include "service/HtmlToText.h"

#include "service/GumboDocument.h"

#include <optional>
#include <string>
#include <vector>

namespace kova {
namespace {

// A character the parser hands on as it stands in text: no markup, no reference, no white
// space or control character it drops or replaces, no byte-order mark.
bool keptAsIs(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x20 && (u < 0x7F || u > 0x9F) && !c.isSurrogate() && !c.isNonCharacter() && u != u'<' &&
           u != u'&' && c != QChar(QChar::ReplacementCharacter) && c != QChar(QChar::ByteOrderMark);
}

// The text of a fragment made only of such characters and "&amp;", or nothing.
std::optional<QString> plainText(const QString& markup)
{
    static const QString Amp = QStringLiteral("&amp;");
    // Leading white space is dropped by the parser.
    if (markup.at(0) == QLatin1Char(' '))
        return std::nullopt;
    QString text;
    text.reserve(markup.size());
    const qsizetype size = markup.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = markup.at(i);
        if (c == QLatin1Char('&')) {
            if (!QStringView(markup).sliced(i).startsWith(Amp))
                return std::nullopt;
            text.append(c);
            i += Amp.size() - 1;
        } else if (keptAsIs(c)) {
            text.append(c);
        } else {
            return std::nullopt;
        }
    }
    return text;
}

} // namespace

QString HtmlToText(const QString& markup)
{
    if (markup.isEmpty())
        return markup;
    if (auto text = plainText(markup))
        return *std::move(text);
    return HtmlToTextByParser(markup);
}

QString HtmlToTextByParser(const QString& markup)
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
