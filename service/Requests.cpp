#include "service/Requests.h"

#include "store/Gbk.h"

#include "KovaConfig.h"

#include <mutex>

namespace kova {
namespace {

struct HostOverride {
    std::mutex mutex;
    QString service;
    QString version;
    QString directory;
};

HostOverride& hostOverride()
{
    static HostOverride hosts;
    return hosts;
}

QString withoutTrailingSlash(QString url)
{
    url = url.trimmed();
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString buildHost(const QString& overridden, const char* configured)
{
    return withoutTrailingSlash(overridden.isEmpty() ? QString::fromUtf8(configured) : overridden);
}

} // namespace

void setRequestHostsForTesting(const QString& service, const QString& version, const QString& directory)
{
    HostOverride& hosts = hostOverride();
    std::lock_guard lock(hosts.mutex);
    hosts.service = service;
    hosts.version = version;
    hosts.directory = directory;
}

Requests::Requests()
{
    HostOverride& hosts = hostOverride();
    std::lock_guard lock(hosts.mutex);
    m_service = buildHost(hosts.service, KOVA_SERVICE_URL);
    m_version = buildHost(hosts.version, KOVA_VERSION_URL);
    m_directory = buildHost(hosts.directory, KOVA_DIRECTORY_URL);
}

Requests::Requests(QString serviceUrl, QString versionUrl, QString directoryUrl)
    : m_service(withoutTrailingSlash(std::move(serviceUrl))),
      m_version(withoutTrailingSlash(std::move(versionUrl))),
      m_directory(withoutTrailingSlash(std::move(directoryUrl)))
{
}

QString Requests::encodeQueryValue(const QString& value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    static const bool utf8Wire =
        QByteArray(KOVA_QUERY_ENCODING).trimmed().toUpper().replace('_', '-') == "UTF-8";
    const QByteArray bytes = utf8Wire ? value.toUtf8() : gbk::encode(value);
    QString out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                b == '-' || b == '_' || b == '.' || b == '~';
        if (unreserved) {
            out.append(QLatin1Char(ch));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[b >> 4]));
            out.append(QLatin1Char(hex[b & 0x0F]));
        }
    }
    return out;
}

QString Requests::randomUser() const
{
    return m_service + QStringLiteral("/RandomUser.aspx");
}

QString Requests::listAll(const QString& word, const QString& u, const QString& p) const
{
    return m_service + QStringLiteral("/ListAll.aspx?word=") + encodeQueryValue(word) +
           QStringLiteral("&u=") + encodeQueryValue(u) + QStringLiteral("&p=") + encodeQueryValue(p);
}

QString Requests::addFavorite(const QString& u, const QString& p, const QString& bh) const
{
    return m_service + QStringLiteral("/OpFav.aspx?u=") + encodeQueryValue(u) + QStringLiteral("&p=") +
           encodeQueryValue(p) + QStringLiteral("&i=") + encodeQueryValue(bh);
}

QString Requests::deleteFavorite(const QString& u, const QString& p, const QString& ufid) const
{
    return m_service + QStringLiteral("/OpFav.aspx?u=") + encodeQueryValue(u) + QStringLiteral("&p=") +
           encodeQueryValue(p) + QStringLiteral("&uf=") + encodeQueryValue(ufid);
}

QString Requests::listFavorites(const QString& u, const QString& p) const
{
    return m_service + QStringLiteral("/ListAllMyFav.aspx?u=") + encodeQueryValue(u) + QStringLiteral("&p=") +
           encodeQueryValue(p);
}

QString Requests::listPriceDrops(const QString& u, const QString& p) const
{
    return listFavorites(u, p) + QStringLiteral("&d=down");
}

QString Requests::versionPage(const QString& versionCode) const
{
    return m_version + QStringLiteral("/Ver/Ver") + encodeQueryValue(versionCode) + QStringLiteral(".html");
}

QString Requests::preciseComparison(const QString& cpmc) const
{
    return m_service + QStringLiteral("/list.aspx?k=") + encodeQueryValue(cpmc);
}

QString Requests::homePage() const
{
    return m_service + QStringLiteral("/");
}

QString Requests::contactPage() const
{
    return m_service + QStringLiteral("/contact.html");
}

QString Requests::directoryPage() const
{
    return m_directory + QStringLiteral("/");
}

} // namespace kova
