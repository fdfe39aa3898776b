// Page bytes to the document text of a page loader: decode by the declared charset, parse
// as HTML5, and write the tree back out from the root element the way the browser control
// showed outerHTML (upper-case tag names, the page's own whitespace kept).
#include "service/GumboDocument.h"
#include "service/PageLoader.h"

#include "store/Error.h"
#include "store/Gbk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
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

    // A node written as nothing; where it would have stood is kept (holePosition).
    void setHole(const GumboNode* hole) { m_hole = hole; }
    size_t holePosition() const { return m_holePosition; }

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
            if (node == m_hole && node) {
                m_holePosition = m_out.size();
                node = nullptr;
            }
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
    const GumboNode* m_hole = nullptr;
    size_t m_holePosition = std::string::npos;
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

// A long result page is one table of many rows, and its tree costs about fifteen bytes per
// byte of page. Such a page is parsed in pieces instead: the document with the rows between
// its first and last one taken out and a marker row in their place, and the rows taken out
// as fragments of a table body, one slice of about a megabyte at a time. That gives the
// same text as the whole parse only when each row parses the same without the rows before
// it, so the rows taken out must be plain: nothing but start and end tags of the inline and
// cell elements below (no comment, script, form, table or anything the parser treats
// specially) and text, a slice must parse without a single parse error and hold nothing but
// rows and white space, and the marker must land as a row of a table body. Anything else,
// and the page is parsed whole.
constexpr char SliceMarker[] = "kova-row-slice";

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool containsNoCase(const QByteArray& text, const char* needle)
{
    const qsizetype length = static_cast<qsizetype>(std::strlen(needle));
    for (qsizetype at = 0; at + length <= text.size(); ++at) {
        qsizetype i = 0;
        while (i < length && lowerAscii(text[at + i]) == needle[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

bool isRowMarkup(std::string_view name)
{
    static constexpr std::array<std::string_view, 24> allowed = {
        "a", "b",     "big",  "br",     "del",    "div", "em",  "font", "i",  "img", "ins", "p",
        "s", "small", "span", "strike", "strong", "sub", "sup", "td",   "th", "tr",  "u"};
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
}

// A plain tag at `at` (which holds '<'): its name (lower case), whether it is an end tag and
// where it ends; no name when the markup there is anything but a start or end tag of the
// plainest form (quoted or simple values, no stray quote, '<', '=' or '/').
struct PlainTag {
    std::string name;
    bool end = false;
    qsizetype next = -1; // past the '>'; -1 when not a plain tag
};

PlainTag plainTagAt(const QByteArray& text, qsizetype at)
{
    PlainTag tag;
    const qsizetype size = text.size();
    qsizetype i = at + 1;
    if (i < size && text[i] == '/') {
        tag.end = true;
        ++i;
    }
    if (i >= size || !isAsciiLetter(text[i]))
        return tag;
    while (i < size && (isAsciiLetter(text[i]) || (text[i] >= '0' && text[i] <= '9')))
        tag.name.push_back(lowerAscii(text[i++]));
    const auto isBreak = [&](qsizetype k) { return k < size && (isSpace(text[k]) || text[k] == '>'); };
    if (!isBreak(i) && !(i + 1 < size && text[i] == '/' && text[i + 1] == '>'))
        return {};
    for (;;) {
        while (i < size && isSpace(text[i]))
            ++i;
        if (i >= size)
            return {};
        if (text[i] == '>') {
            tag.next = i + 1;
            return tag;
        }
        if (text[i] == '/') {
            if (i + 1 < size && text[i + 1] == '>' && !tag.end) {
                tag.next = i + 2;
                return tag;
            }
            return {};
        }
        if (tag.end)
            return {}; // an end tag with attributes is an error
        const qsizetype nameStart = i;
        while (i < size && !isSpace(text[i]) && text[i] != '>' && text[i] != '/' && text[i] != '=') {
            if (text[i] == '"' || text[i] == '\'' || text[i] == '<')
                return {};
            ++i;
        }
        if (i == nameStart)
            return {};
        while (i < size && isSpace(text[i]))
            ++i;
        if (i < size && text[i] == '=') {
            ++i;
            while (i < size && isSpace(text[i]))
                ++i;
            if (i >= size)
                return {};
            if (text[i] == '"' || text[i] == '\'') {
                const qsizetype close = text.indexOf(text[i], i + 1);
                if (close < 0)
                    return {};
                i = close + 1;
                if (!isBreak(i) && !(i < size && text[i] == '/'))
                    return {};
            } else {
                const qsizetype valueStart = i;
                while (i < size && !isSpace(text[i]) && text[i] != '>') {
                    const char c = text[i];
                    if (c == '"' || c == '\'' || c == '<' || c == '=' || c == '`')
                        return {};
                    ++i;
                }
                if (i == valueStart)
                    return {};
            }
        }
    }
}

bool isRowStart(const PlainTag& tag)
{
    return tag.next > 0 && !tag.end && tag.name == "tr";
}

// The cuts of the longest run of plain rows: where its first row begins, where each slice
// of the rows taken out begins (the first at the second row, each at least sliceBytes after
// the one before) and where the run's last row begins (the last entry). Empty when the page
// has no row to take out.
std::vector<qsizetype> sliceCuts(const QByteArray& utf8, qsizetype sliceBytes)
{
    if (containsNoCase(utf8, SliceMarker) || containsNoCase(utf8, "<frameset"))
        return {};
    std::vector<qsizetype> best;
    std::vector<qsizetype> run; // the run under way: its first row and the slices so far
    qsizetype newest = -1;      // where its newest row begins
    const auto endRun = [&] {
        if (!run.empty() && run.back() == newest)
            run.pop_back(); // the newest row stays in the document
        if (run.size() >= 2 && (best.empty() || newest - run.front() > best.back() - best.front())) {
            best = run;
            best.push_back(newest);
        }
        run.clear();
    };
    qsizetype at = utf8.indexOf('<');
    while (at >= 0) {
        const PlainTag tag = plainTagAt(utf8, at);
        if (isRowStart(tag)) {
            // The second row begins the first slice; a later one begins the next slice once
            // the one under way is long enough.
            if (run.size() < 2 || at - run.back() >= sliceBytes)
                run.push_back(at);
            newest = at;
        } else if (tag.next < 0 || !isRowMarkup(tag.name)) {
            endRun(); // the newest row is not plain: it is the run's last row
        }
        at = utf8.indexOf('<', tag.next > 0 ? tag.next : at + 1);
    }
    endRun();
    return best;
}

bool isHtml(const GumboNode* node, GumboTag tag)
{
    return node && node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

// The marker row of the document whose rows were taken out: exactly one, an empty row of a
// table body; null otherwise.
const GumboNode* markerRow(const GumboNode* root)
{
    const GumboNode* found = nullptr;
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement& element = node->v.element;
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
            if (std::strcmp(attribute->name, SliceMarker) != 0)
                continue;
            if (found || !isHtml(node, GUMBO_TAG_TR) || !isHtml(node->parent, GUMBO_TAG_TBODY) ||
                element.children.length > 0 || element.attributes.length != 1)
                return nullptr;
            found = node;
        }
        for (unsigned i = 0; i < element.children.length; ++i)
            pending.push_back(static_cast<const GumboNode*>(element.children.data[i]));
    }
    return found;
}

// Parses a slice of rows as a table body's content and writes it out; false when it gives
// a parse error or anything but rows and white space at its top.
bool writeSlice(std::string& out, QByteArray rows)
{
    GumboDocument fragment(std::move(rows), GUMBO_TAG_TBODY);
    if (fragment.hasErrors())
        return false;
    const GumboVector& top = fragment.root()->v.element.children;
    for (unsigned i = 0; i < top.length; ++i) {
        const auto* node = static_cast<const GumboNode*>(top.data[i]);
        if (node->type != GUMBO_NODE_WHITESPACE && !isHtml(node, GUMBO_TAG_TR))
            return false;
    }
    Serializer serializer(out);
    for (unsigned i = 0; i < top.length; ++i)
        serializer.write(static_cast<const GumboNode*>(top.data[i]));
    return true;
}

// The document's text from slices (see SliceMarker), or nothing when the page cannot be
// cut so that it gives the text of the whole parse.
std::optional<std::string> serializeInSlices(const QByteArray& utf8, qsizetype sliceBytes, int* slices)
{
    const std::vector<qsizetype> cuts = sliceCuts(utf8, sliceBytes);
    if (cuts.size() < 3)
        return std::nullopt;
    std::string rest; // the document without the rows taken out; the marker written as nothing
    size_t hole = std::string::npos;
    {
        QByteArray markup = utf8.left(cuts[1]);
        markup.append("<tr ").append(SliceMarker).append("=\"\">");
        markup.append(utf8.constData() + cuts.back(), utf8.size() - cuts.back());
        GumboDocument document(std::move(markup));
        document.releaseInput();
        const GumboNode* marker = markerRow(document.root());
        if (!marker)
            return std::nullopt;
        Serializer serializer(rest);
        serializer.setHole(marker);
        serializer.write(document.root());
        hole = serializer.holePosition();
    }
    if (hole == std::string::npos)
        return std::nullopt;
    std::string out;
    out.reserve(static_cast<size_t>(utf8.size()) + utf8.size() / 8 + 64);
    out.append(rest, 0, hole);
    for (size_t i = 1; i + 1 < cuts.size(); ++i) {
        if (!writeSlice(out, utf8.mid(cuts[i], cuts[i + 1] - cuts[i])))
            return std::nullopt;
    }
    out.append(rest, hole);
    if (slices)
        *slices = static_cast<int>(cuts.size() - 2);
    return out;
}

// The document as UTF-8 markup. Each stage lets go of its input as soon as the next has
// what it needs: the page bytes once decoded, the tree and its input once written out.
std::string serializeToUtf8(QByteArray body, const QByteArray& contentType, qsizetype sliceBytes, int* slices)
{
    const QByteArray charset = declaredCharset(body, contentType);
    const qsizetype bodyBytes = body.size();
    QByteArray utf8;
    if (charset == "UTF-8" || charset == "UTF8") {
        // gumbo repairs bad sequences itself
        utf8 = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : std::move(body);
    } else {
        utf8 = gbk::decodeToUtf8(body, charset);
    }
    body = QByteArray();
    if (slices)
        *slices = 0;
    if (sliceBytes > 0 && utf8.size() >= 2 * sliceBytes) {
        if (std::optional<std::string> out = serializeInSlices(utf8, sliceBytes, slices))
            return std::move(*out);
    }
    if (bodyBytes > DocumentWholeMaxBytes)
        throw Error(QStringLiteral("网页内容过长（%1 字节），无法读取").arg(bodyBytes));
    std::string out;
    out.reserve(static_cast<size_t>(utf8.size()) + utf8.size() / 8 + 64);
    GumboDocument document(std::move(utf8));
    document.releaseInput(); // the tree is all the serializer reads
    Serializer(out).write(document.root());
    return out;
}

} // namespace

QString serializeDocument(QByteArray body, const QByteArray& contentType, qsizetype sliceBytes, int* slices)
{
    const std::string out = serializeToUtf8(std::move(body), contentType, sliceBytes, slices);
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

PageText pageTextOf(QByteArray body, const QByteArray& contentType)
{
    PageText text;
    try {
        std::string utf8 = serializeToUtf8(std::move(body), contentType, DocumentSliceBytes, nullptr);
        QByteArray bytes(utf8.data(), static_cast<qsizetype>(utf8.size()));
        utf8 = std::string();
        text.setUtf8(std::move(bytes));
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
