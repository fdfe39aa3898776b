// Page bytes to the document text of a page loader: decode by the declared charset, parse
// as HTML5, and write the tree back out from the root element the way the browser control
// showed outerHTML (upper-case tag names, the page's own whitespace kept).
#include "service/GumboDocument.h"
#include "service/PageLoader.h"

#include "store/Gbk.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kova {
namespace {

bool isTokenEnd(char c)
{
    return c == '"' || c == '\'' || c == ';' || c == '>' || c == '/' || c == ',' || c == ' ' || c == '\t' ||
           c == '\r' || c == '\n' || c == '\f';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The value after "charset" in lower-cased text, or empty.
QByteArray charsetAfter(const QByteArray& lower, qsizetype from, qsizetype to)
{
    qsizetype pos = lower.indexOf("charset", from);
    while (pos >= 0 && pos < to) {
        qsizetype i = pos + 7;
        while (i < to && isSpace(lower[i]))
            ++i;
        if (i < to && lower[i] == '=') {
            ++i;
            while (i < to && (isSpace(lower[i]) || lower[i] == '"' || lower[i] == '\''))
                ++i;
            const qsizetype start = i;
            while (i < to && !isTokenEnd(lower[i]))
                ++i;
            if (i > start)
                return lower.mid(start, i - start);
        }
        pos = lower.indexOf("charset", pos + 7);
    }
    return {};
}

const std::array<std::string, GUMBO_TAG_LAST + 1>& upperTagNames()
{
    static const auto names = [] {
        std::array<std::string, GUMBO_TAG_LAST + 1> all;
        for (int t = 0; t < GUMBO_TAG_LAST; ++t) {
            std::string name = gumbo_normalized_tagname(static_cast<GumboTag>(t));
            for (char& c : name) {
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            }
            all[static_cast<size_t>(t)] = std::move(name);
        }
        return all;
    }();
    return names;
}

// The element's tag name, upper case; unknown tags keep the name they were written with.
std::string tagName(const GumboElement& element)
{
    if (element.tag != GUMBO_TAG_UNKNOWN && element.tag < GUMBO_TAG_LAST)
        return upperTagNames()[static_cast<size_t>(element.tag)];
    std::string name;
    const GumboStringPiece& original = element.original_tag;
    if (original.data && original.length >= 2 && original.data[0] == '<') {
        size_t i = original.data[1] == '/' ? 2 : 1;
        for (; i < original.length; ++i) {
            const char c = original.data[i];
            if (isSpace(c) || c == '/' || c == '>')
                break;
            name.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        }
    }
    return name;
}

bool isVoid(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
        return true;
    default:
        return false;
    }
}

bool keepsRawText(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
        return true;
    default:
        return false;
    }
}

// Text as markup: & < > and the no-break space written as references again.
void appendEscaped(std::string& out, const char* text, bool attribute)
{
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            if (attribute)
                out.push_back(c);
            else
                out.append("&lt;");
            break;
        case '>':
            if (attribute)
                out.push_back(c);
            else
                out.append("&gt;");
            break;
        case '"':
            if (attribute)
                out.append("&quot;");
            else
                out.push_back(c);
            break;
        case '\xC2':
            if (p[1] == '\xA0') {
                out.append("&nbsp;");
                ++p;
            } else {
                out.push_back(c);
            }
            break;
        default:
            out.push_back(c);
        }
    }
}

class Serializer {
public:
    explicit Serializer(std::string& out) : m_out(out) {}

    // Iterative, so a deeply nested page cannot exhaust the stack.
    void write(const GumboNode* root)
    {
        struct Frame {
            const GumboNode* node;
            unsigned next;
            std::string endTag;
        };
        std::vector<Frame> stack;
        const GumboNode* node = root;
        for (;;) {
            if (node) {
                if (std::string endTag = writeNode(node); !endTag.empty() || hasChildren(node))
                    stack.push_back({node, 0, std::move(endTag)});
                node = nullptr;
            }
            if (stack.empty())
                break;
            Frame& top = stack.back();
            const GumboVector& children = top.node->v.element.children;
            if (top.next < children.length) {
                node = static_cast<const GumboNode*>(children.data[top.next++]);
                continue;
            }
            m_out.append(top.endTag);
            stack.pop_back();
        }
    }

private:
    static bool hasChildren(const GumboNode* node)
    {
        return (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) &&
               node->v.element.children.length > 0 && !isVoid(node->v.element.tag);
    }

    // Writes the node (an element's start tag); returns the end tag to write after the
    // children, empty for text, comments and void elements.
    std::string writeNode(const GumboNode* node)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE: {
            const GumboNode* parent = node->parent;
            const bool raw =
                parent && parent->type == GUMBO_NODE_ELEMENT && keepsRawText(parent->v.element.tag);
            if (raw)
                m_out.append(node->v.text.text);
            else
                appendEscaped(m_out, node->v.text.text, false);
            return {};
        }
        case GUMBO_NODE_CDATA:
            m_out.append("<![CDATA[").append(node->v.text.text).append("]]>");
            return {};
        case GUMBO_NODE_COMMENT:
            m_out.append("<!--").append(node->v.text.text).append("-->");
            return {};
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            return writeStartTag(node->v.element);
        default:
            return {};
        }
    }

    std::string writeStartTag(const GumboElement& element)
    {
        const std::string name = tagName(element);
        if (name.empty())
            return {}; // nameless: its children still appear
        m_out.push_back('<');
        m_out.append(name);
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
            m_out.push_back(' ');
            m_out.append(attribute->name);
            m_out.append("=\"");
            appendEscaped(m_out, attribute->value, true);
            m_out.push_back('"');
        }
        m_out.push_back('>');
        // The parser drops a newline right after these start tags; write it back so the
        // text keeps its lines.
        if ((element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_TEXTAREA ||
             element.tag == GUMBO_TAG_LISTING) &&
            element.children.length > 0) {
            const auto* first = static_cast<const GumboNode*>(element.children.data[0]);
            if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) &&
                first->v.text.text[0] == '\n')
                m_out.push_back('\n');
        }
        if (isVoid(element.tag))
            return {};
        return "</" + name + ">";
    }

    std::string& m_out;
};

} // namespace

QByteArray declaredCharset(const QByteArray& body, const QByteArray& contentType)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return QByteArrayLiteral("UTF-8");
    const QByteArray header = contentType.toLower();
    if (QByteArray fromHeader = charsetAfter(header, 0, header.size()); !fromHeader.isEmpty())
        return fromHeader.toUpper();
    const QByteArray head = body.left(1024).toLower();
    qsizetype pos = head.indexOf("<meta");
    while (pos >= 0) {
        qsizetype end = head.indexOf('>', pos);
        if (end < 0)
            end = head.size();
        if (QByteArray fromMeta = charsetAfter(head, pos, end); !fromMeta.isEmpty())
            return fromMeta.toUpper();
        pos = head.indexOf("<meta", end);
    }
    return QByteArrayLiteral("GBK");
}

namespace {

// The document as UTF-8 markup. Each stage lets go of its input as soon as the next has
// what it needs: the page bytes once decoded, the tree and its input once written out.
std::string serializeToUtf8(QByteArray body, const QByteArray& contentType)
{
    const QByteArray charset = declaredCharset(body, contentType);
    QByteArray utf8;
    if (charset == "UTF-8" || charset == "UTF8") {
        // gumbo repairs bad sequences itself
        utf8 = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : std::move(body);
    } else {
        utf8 = gbk::decodeToUtf8(body, charset);
    }
    body = QByteArray();
    std::string out;
    out.reserve(static_cast<size_t>(utf8.size()) + utf8.size() / 8 + 64);
    GumboDocument document(std::move(utf8));
    document.releaseInput(); // the tree is all the serializer reads
    Serializer(out).write(document.root());
    return out;
}

} // namespace

QString serializeDocument(QByteArray body, const QByteArray& contentType)
{
    const std::string out = serializeToUtf8(std::move(body), contentType);
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

PageText pageTextOf(QByteArray body, const QByteArray& contentType)
{
    PageText text;
    try {
        text.setText(serializeDocument(std::move(body), contentType));
    } catch (const std::exception&) {
        text.setText(errorDocument(QStringLiteral("无法读取网页内容。")));
        text.setFailedLoad(true);
    }
    return text;
}

QString errorDocument(const QString& reason)
{
    QString text = reason;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral(
               "<HTML><HEAD><TITLE>无法显示网页</TITLE></HEAD>\n<BODY>\n<H1>无法显示网页</H1>\n<P>") +
           text.toHtmlEscaped() + QStringLiteral("</P>\n</BODY></HTML>");
}

} // namespace kova
