// A frozen copy of the page path (see ReferenceSerializer.h). The code below is the
// serializer, the GBK converter and the text holder's split as they were, with only the
// names changed to live here; the tree is parsed with gumbo's own allocator.
#include "tests/service/ReferenceSerializer.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kova::reference {
namespace {

constexpr int MaxLineBytes = 4096;

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; an invalid or unconvertible input unit is replaced by
    // `replacement` and skipped (skipIn bytes of input).
    QByteArray run(const QByteArray& in, const QByteArray& replacement, size_t skipIn)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        QByteArray out;
        out.reserve(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = static_cast<size_t>(in.size());
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            const size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<qsizetype>(sizeof buf - dstLeft));
            if (rc != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
            out.append(replacement);
            const size_t step = std::min(srcLeft, skipIn == 0 ? utf8Length(*src) : skipIn);
            src += step;
            srcLeft -= step;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf, static_cast<qsizetype>(sizeof buf - dstLeft));
        return out;
    }

private:
    static size_t utf8Length(char lead)
    {
        const auto c = static_cast<unsigned char>(lead);
        if (c >= 0xF0)
            return 4;
        if (c >= 0xE0)
            return 3;
        if (c >= 0xC0)
            return 2;
        return 1;
    }

    iconv_t m_cd;
};

Converter& toGbk()
{
    thread_local Converter c("GBK", "UTF-8");
    return c;
}

Converter& fromGbk()
{
    thread_local Converter c("UTF-8", "GBK");
    return c;
}

bool isAscii(const QByteArray& bytes)
{
    for (char ch : bytes) {
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    }
    return true;
}

QByteArray gbkEncode(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8))
        return utf8;
    return toGbk().run(utf8, QByteArrayLiteral("?"), 0);
}

QString gbkDecode(const QByteArray& bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(fromGbk().run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1));
}

QString gbkDecode(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray cs = charset.trimmed().toUpper();
    if (cs.isEmpty() || cs == "GBK" || cs == "GB2312" || cs == "CP936" || cs == "X-GBK")
        return gbkDecode(bytes);
    if (cs == "UTF-8" || cs == "UTF8")
        return QString::fromUtf8(bytes);
    Converter conv("UTF-8", cs.constData());
    if (!conv.valid())
        return gbkDecode(bytes);
    return QString::fromUtf8(conv.run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1));
}

QString cutLine(const QString& line)
{
    // A character takes at most two bytes in GBK (one that GBK lacks becomes a one-byte
    // '?'), so a short line needs no conversion at all.
    if (line.size() * 2 <= MaxLineBytes)
        return line;
    const QByteArray bytes = gbkEncode(line);
    if (bytes.size() <= MaxLineBytes)
        return line;
    qsizetype end = 0;
    while (end < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[end]);
        const qsizetype width = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (end + width > MaxLineBytes)
            break;
        end += width;
    }
    return gbkDecode(bytes.left(end));
}

class Document {
public:
    explicit Document(const QByteArray& utf8) : m_input(utf8)
    {
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0;
        m_output =
            gumbo_parse_with_options(&options, m_input.constData(), static_cast<size_t>(m_input.size()));
        if (!m_output || !m_output->root)
            throw std::runtime_error("no tree");
    }
    ~Document()
    {
        if (m_output)
            gumbo_destroy_output(&kGumboDefaultOptions, m_output);
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    const GumboNode* root() const { return m_output->root; }

private:
    const QByteArray m_input;
    GumboOutput* m_output = nullptr;
};

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

QString errorDocument(const QString& reason)
{
    QString text = reason;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral(
               "<HTML><HEAD><TITLE>无法显示网页</TITLE></HEAD>\n<BODY>\n<H1>无法显示网页</H1>\n<P>") +
           text.toHtmlEscaped() + QStringLiteral("</P>\n</BODY></HTML>");
}

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

QString serializeDocument(const QByteArray& body, const QByteArray& contentType)
{
    const QByteArray charset = declaredCharset(body, contentType);
    QByteArray utf8;
    if (charset == "UTF-8" || charset == "UTF8") {
        utf8 = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body; // gumbo repairs bad sequences itself
    } else {
        utf8 = gbkDecode(body, charset).toUtf8();
    }
    const Document document(utf8);
    std::string out;
    out.reserve(static_cast<size_t>(utf8.size()) + utf8.size() / 8 + 64);
    Serializer(out).write(document.root());
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype len = end - start;
        if (len > 0 && text[start + len - 1] == QLatin1Char('\r'))
            --len;
        lines.append(cutLine(text.mid(start, len)));
        start = next;
    }
    return lines;
}

PageLines pageLines(const QByteArray& body, const QByteArray& contentType)
{
    try {
        return {splitLines(serializeDocument(body, contentType)), false};
    } catch (const std::exception&) {
        return {splitLines(errorDocument(QStringLiteral("无法读取网页内容。"))), true};
    }
}

} // namespace kova::reference
