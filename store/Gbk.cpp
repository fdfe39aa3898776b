#include "Gbk.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <optional>

namespace kova::gbk {
namespace {

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

} // namespace

QByteArray encode(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8))
        return utf8;
    return toGbk().run(utf8, QByteArrayLiteral("?"), 0);
}

QString decode(const QByteArray& bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(fromGbk().run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1));
}

QString decode(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray cs = charset.trimmed().toUpper();
    if (cs.isEmpty() || cs == "GBK" || cs == "GB2312" || cs == "CP936" || cs == "X-GBK")
        return decode(bytes);
    if (cs == "UTF-8" || cs == "UTF8")
        return QString::fromUtf8(bytes);
    Converter conv("UTF-8", cs.constData());
    if (!conv.valid())
        return decode(bytes);
    return QString::fromUtf8(conv.run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1));
}

QByteArray decodeToUtf8(const QByteArray& bytes, const QByteArray& charset)
{
    static const QByteArray replacement = QByteArrayLiteral("\xEF\xBF\xBD");
    const QByteArray cs = charset.trimmed().toUpper();
    if (cs == "UTF-8" || cs == "UTF8")
        return QString::fromUtf8(bytes).toUtf8(); // repairs bad sequences as decode does
    std::optional<Converter> other;
    if (!(cs.isEmpty() || cs == "GBK" || cs == "GB2312" || cs == "CP936" || cs == "X-GBK"))
        other.emplace("UTF-8", cs.constData());
    QByteArray utf8;
    if (other && other->valid())
        utf8 = other->run(bytes, replacement, 1);
    else if (isAscii(bytes))
        return bytes;
    else
        utf8 = fromGbk().run(bytes, replacement, 1);
    // QString::fromUtf8 drops a leading byte-order mark; decode's text has none either.
    if (utf8.startsWith("\xEF\xBB\xBF"))
        utf8.remove(0, 3);
    // run() reserved for the worst case; the text is kept for as long as its parse runs.
    utf8.squeeze();
    return utf8;
}

} // namespace kova::gbk
