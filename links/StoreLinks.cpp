#include "links/StoreLinks.h"

#include "StoreLinksConfig.h"

#include <QList>
#include <QUrl>

#include <utility>

namespace kova {
namespace {

using Query = QList<std::pair<QString, QString>>;

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

// Host + path + "?key=value&…"; values go in as given (some carry an address unescaped,
// as the stores expect).
QString entry(const char* host, const char* path, const Query& query)
{
    QString address = u8(host);
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    address += QLatin1String(path);
    QChar separator = QLatin1Char('?');
    for (const auto& [key, value] : query) {
        address += separator + key + QLatin1Char('=') + value;
        separator = QLatin1Char('&');
    }
    return address;
}

QString percentEncoded(const char* address)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(u8(address)));
}

} // namespace

QString storeEntryName(int n)
{
    static const QString names[StoreEntryCount] = {
        QStringLiteral("淘宝网"),   QStringLiteral("天猫商城"), QStringLiteral("京东商城"),
        QStringLiteral("当当网"),   QStringLiteral("亚马逊"),   u8(KOVA_STORE6_NAME),
        QStringLiteral("苏宁易购"), QStringLiteral("1号店"),
    };
    return n >= 1 && n <= StoreEntryCount ? names[n - 1] : QString();
}

QString storeEntryAddress(int n)
{
    switch (n) {
    case 1:
        return entry(KOVA_TAOBAO_HOST, "/go/chn/tbk_channel/channelcode.php",
                     {{QStringLiteral("pid"), u8(KOVA_TAOBAO_PID)},
                      {QStringLiteral("eventid"), u8(KOVA_TAOBAO_EVENTID)}});
    case 2:
        return entry(KOVA_TMALL_HOST, "/go/chn/tbk_channel/tmall_new.php",
                     {{QStringLiteral("pid"), u8(KOVA_TAOBAO_PID)},
                      {QStringLiteral("eventid"), u8(KOVA_TMALL_EVENTID)}});
    case 3:
        return entry(KOVA_JD_UNION_HOST, "/JdClick/",
                     {{QStringLiteral("unionId"), u8(KOVA_JD_UNIONID)},
                      {QStringLiteral("t"), QStringLiteral("1")},
                      {QStringLiteral("to"), u8(KOVA_JD_HOME)}});
    case 4:
        return entry(KOVA_DANGDANG_UNION_HOST, "/transfer.php",
                     {{QStringLiteral("from"), u8(KOVA_DANGDANG_FROM)},
                      {QStringLiteral("ad_type"), QStringLiteral("10")},
                      {QStringLiteral("sys_id"), QStringLiteral("1")},
                      {QStringLiteral("backurl"), percentEncoded(KOVA_DANGDANG_HOME)}});
    case 5:
        return entry(KOVA_AMAZON_HOST, "/",
                     {{QStringLiteral("_encoding"), QStringLiteral("UTF8")},
                      {QStringLiteral("tag"), u8(KOVA_AMAZON_TAG)},
                      {QStringLiteral("linkCode"), QStringLiteral("ur2")},
                      {QStringLiteral("camp"), QStringLiteral("536")},
                      {QStringLiteral("creative"), QStringLiteral("3200")}});
    case 6:
        return entry(KOVA_STORE6_HOST, "/",
                     {{QStringLiteral("source"), u8(KOVA_STORE6_SOURCE)},
                      {QStringLiteral("sourcesuninfo"), u8(KOVA_STORE6_AD_CODE)}});
    case 7:
        return entry(KOVA_SUNING_UNION_HOST, "/aas/open/vistorAd.action",
                     {{QStringLiteral("userId"), u8(KOVA_SUNING_USERID)},
                      {QStringLiteral("webSiteId"), QStringLiteral("0")},
                      {QStringLiteral("adInfoId"), QStringLiteral("00")},
                      {QStringLiteral("adBookId"), QStringLiteral("0")},
                      {QStringLiteral("vistURL"), u8(KOVA_SUNING_HOME)}});
    case 8:
        return entry(KOVA_YHD_HOST, "/", {{QStringLiteral("tracker_u"), u8(KOVA_YHD_TRACKER)}});
    default:
        return {};
    }
}

} // namespace kova
