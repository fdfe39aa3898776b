#include "server/QueryString.h"

#include "store/Gbk.h"

namespace kova::standin {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QByteArray percentDecode(std::string_view text)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.append(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

QueryString::QueryString(std::string_view target)
{
    const size_t question = target.find('?');
    if (question == std::string_view::npos)
        return;
    std::string_view query = target.substr(question + 1);
    const size_t hash = query.find('#');
    if (hash != std::string_view::npos)
        query = query.substr(0, hash);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
        m_items.append({gbk::decode(percentDecode(key)), gbk::decode(percentDecode(value))});
    }
}

bool QueryString::has(QStringView key) const
{
    for (const auto& [k, v] : m_items) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString QueryString::value(QStringView key) const
{
    for (const auto& [k, v] : m_items) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

} // namespace kova::standin
