#include "links/Browser.h"

#include "store/Report.h"

#include <QDesktopServices>
#include <QRegularExpression>

namespace kova {
namespace {

BrowserOpener& opener()
{
    static BrowserOpener o;
    return o;
}

// "scheme:" at the start, unless it is really "host:port" (localhost:8080/…) or a host
// name with dots before a port (www.example.com:81/…).
QString schemeOf(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression port(QStringLiteral("^[0-9]+(?:[/?#].*)?$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = scheme.match(text);
    if (!m.hasMatch())
        return {};
    if (port.match(m.captured(2)).hasMatch())
        return {};
    return m.captured(1).toLower();
}

} // namespace

BrowserAddress browserAddress(const QString& address)
{
    QString text = address.trimmed();
    if (text.isEmpty())
        return {{}, QStringLiteral("没有要打开的网页地址。")};

    if (text.startsWith(QLatin1String("//")))
        text.prepend(QLatin1String("http:"));
    const QString scheme = schemeOf(text);
    if (scheme.isEmpty())
        text.prepend(QLatin1String("http://"));
    else if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {{},
                QStringLiteral("只能在浏览器中打开网页地址（http 或 https），此地址不会被打开：\n%1")
                    .arg(address.trimmed())};

    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return {{}, QStringLiteral("网页地址无效，无法打开：\n%1").arg(address.trimmed())};
    return {url, {}};
}

bool OpenInBrowser(const QString& address)
{
    const BrowserAddress target = browserAddress(address);
    if (!target.accepted()) {
        ShowInfo(target.refusal);
        return false;
    }
    const bool opened = opener() ? opener()(target.url) : QDesktopServices::openUrl(target.url);
    // The address as it went to the desktop, percent-escapes kept: decoding would turn the
    // service's GBK escapes into stray characters that no browser can take back.
    if (!opened)
        ShowError(
            QStringLiteral("无法启动网页浏览器打开地址：%1").arg(target.url.toString(QUrl::FullyEncoded)));
    return opened;
}

void setBrowserOpenerForTesting(BrowserOpener o)
{
    opener() = std::move(o);
}

} // namespace kova
