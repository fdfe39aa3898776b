// A reply on its way out: the active fault, GBK encoding, the session cookie, the log
// line; and the control paths that switch faults and move prices.
#include "server/Pages.h"
#include "server/ServerImpl.h"

#include "store/Gbk.h"

#include <QRandomGenerator>

#include <httplib.h>

#include <chrono>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

namespace {

const std::array<std::pair<Fault, QString>, 10> faultNames = {{
    {Fault::None, u"None"_s},
    {Fault::DropMidBody, u"DropMidBody"_s},
    {Fault::Stall, u"Stall"_s},
    {Fault::ErrorStatus, u"ErrorStatus"_s},
    {Fault::TruncatedJpeg, u"TruncatedJpeg"_s},
    {Fault::HtmlAsPicture, u"HtmlAsPicture"_s},
    {Fault::InvalidGbk, u"InvalidGbk"_s},
    {Fault::Utf8Declared, u"Utf8Declared"_s},
    {Fault::HugePage, u"HugePage"_s},
    {Fault::Trickle, u"Trickle"_s},
}};

QString hostKindName(HostKind kind)
{
    switch (kind) {
    case HostKind::Service:
        return u"service"_s;
    case HostKind::Version:
        return u"version"_s;
    case HostKind::Directory:
        return u"directory"_s;
    }
    return {};
}

// About 10 MB of filler lines in an HTML comment; the same bytes for every huge page.
const QByteArray& hugeFiller()
{
    static const QByteArray filler = [] {
        QByteArray line(98, 'x');
        line += "\r\n";
        QByteArray out = "<!-- filler\r\n";
        out.reserve(10 * 1024 * 1024 + 64);
        while (out.size() < 10 * 1024 * 1024)
            out += line;
        out += "-->\r\n";
        return out;
    }();
    return filler;
}

// Invalid GBK: a lone 0xFF is no lead byte; two of them never swallow a following "<".
void insertInvalidGbk(QByteArray& body)
{
    static const QByteArray bad("\xFF\xFF", 2);
    const qsizetype title = body.indexOf("<title>");
    if (title >= 0)
        body.insert(title + 7, bad);
    qsizetype at = body.indexOf("<TR>");
    for (int cell = 0; at >= 0 && cell < 3; ++cell)
        at = body.indexOf("</TD>", at + 1);
    if (at >= 0)
        body.insert(at, bad);
}

void insertAfterBodyLine(QByteArray& body, const QByteArray& insert)
{
    qsizetype at = body.indexOf("<body>");
    if (at < 0)
        at = body.indexOf("<BODY>");
    at = at < 0 ? -1 : body.indexOf('\n', at);
    if (at < 0)
        body.prepend(insert);
    else
        body.insert(at + 1, insert);
}

// GBK in slices, so that a page of many megabytes never has a whole UTF-8 copy beside it.
QByteArray encodePage(const QString& html)
{
    constexpr qsizetype slice = 1 << 20;
    if (html.size() <= slice)
        return gbk::encode(html);
    QByteArray out;
    out.reserve(html.size() + html.size() / 4);
    for (qsizetype at = 0; at < html.size();) {
        qsizetype length = std::min(slice, html.size() - at);
        if (at + length < html.size() && html.at(at + length - 1).isHighSurrogate())
            --length;
        out += gbk::encode(QStringView(html).sliced(at, length).toString());
        at += length;
    }
    return out;
}

std::string sessionId()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz012345";
    std::string id;
    for (int i = 0; i < 24; ++i)
        id += alphabet[QRandomGenerator::global()->bounded(32)];
    return id;
}

} // namespace

std::optional<Fault> faultFromName(const QString& name)
{
    for (const auto& [fault, text] : faultNames) {
        if (text.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return fault;
    }
    return std::nullopt;
}

QString faultName(Fault fault)
{
    for (const auto& [f, text] : faultNames) {
        if (f == fault)
            return text;
    }
    return {};
}

void StandInServer::Impl::setFault(Fault f, const QString& prefix)
{
    std::lock_guard lock(faultMutex);
    fault = f;
    faultPrefix = prefix;
}

void StandInServer::Impl::handle(HostKind kind, const httplib::Request& req, httplib::Response& res)
{
    Reply reply;
    try {
        reply = route(kind, req);
    } catch (const std::exception& e) {
        reply = Reply::page(pages::message(u"服务器错误"_s, QString::fromUtf8(e.what())), 500);
    }

    Fault active = Fault::None;
    if (!reply.control) {
        std::lock_guard lock(faultMutex);
        if (faultPrefix.isEmpty() || QString::fromStdString(req.path).startsWith(faultPrefix))
            active = fault;
    }

    QByteArray body;
    QByteArray contentType = reply.contentType;
    if (reply.kind == BodyKind::Page) {
        if (active == Fault::Utf8Declared) {
            body = QString(reply.html).replace(u"charset=gbk"_s, u"charset=utf-8"_s).toUtf8();
            contentType = "text/html; charset=utf-8";
        } else {
            body = encodePage(reply.html);
            contentType = gbkHtml;
            if (active == Fault::InvalidGbk)
                insertInvalidGbk(body);
        }
        if (active == Fault::HugePage)
            insertAfterBodyLine(body, hugeFiller());
        reply.html = QString(); // a 200,000-row page is held once, not twice
    } else {
        body = reply.bytes;
    }
    int status = reply.status;
    if (active == Fault::ErrorStatus) {
        status = 500;
        body = gbk::encode(pages::message(u"服务器错误"_s, u"服务器内部错误，请稍后再试。"_s));
        contentType = gbkHtml;
    } else if (reply.kind == BodyKind::Picture && status == 200) {
        if (active == Fault::TruncatedJpeg) {
            body.truncate(body.size() / 2);
        } else if (active == Fault::HtmlAsPicture) {
            body = gbk::encode(pages::message(u"图片不存在"_s, u"您访问的图片不存在。"_s));
            contentType = gbkHtml;
        }
    }

    const std::string cookie = req.get_header_value("Cookie");
    if (kind == HostKind::Service && cookie.find("ASP.NET_SessionId=") == std::string::npos)
        res.set_header("Set-Cookie", "ASP.NET_SessionId=" + sessionId() + "; path=/");
    if (!reply.location.empty())
        res.set_header("Location", reply.location);
    res.status = status;
    addLog(hostKindName(kind) + u' ' + QString::fromStdString(req.target) + u' ' + QString::number(status) +
           u" cookie="_s + QString::fromStdString(cookie));

    const std::string type = contentType.toStdString();
    if (active == Fault::DropMidBody) {
        auto data = std::make_shared<QByteArray>(body);
        const size_t half = static_cast<size_t>(body.size()) / 2;
        res.set_content_provider(static_cast<size_t>(body.size()), type,
                                 [data, half](size_t offset, size_t length, httplib::DataSink& sink) {
                                     if (offset >= half)
                                         return false; // closes the connection mid-body
                                     sink.write(data->constData() + offset, std::min(length, half - offset));
                                     return true;
                                 });
    } else if (active == Fault::Stall) {
        auto data = std::make_shared<QByteArray>(body);
        const size_t part = static_cast<size_t>(body.size()) / 3;
        res.set_content_provider(
            static_cast<size_t>(body.size()), type,
            [this, data, part](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset < part) {
                    sink.write(data->constData() + offset, std::min(length, part - offset));
                    return true;
                }
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                while (!stopping && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return false;
            });
    } else if (active == Fault::Trickle) {
        auto data = std::make_shared<QByteArray>(body);
        res.set_content_provider(static_cast<size_t>(body.size()), type,
                                 [this, data](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) {
                                         const auto next =
                                             std::chrono::steady_clock::now() + std::chrono::seconds(1);
                                         while (!stopping && std::chrono::steady_clock::now() < next)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                         if (stopping)
                                             return false;
                                     }
                                     // False once the client has gone: the reply ends there.
                                     return sink.write(data->constData() + offset, 1);
                                 });
    } else {
        res.set_content(body.constData(), static_cast<size_t>(body.size()), type);
    }
}

Reply StandInServer::Impl::controlRoute(const QString& path, const QueryString& query)
{
    if (path == u"/__control/drop-prices") {
        store->dropAllPrices();
        return Reply::page(pages::message(u"control"_s, u"OK"_s));
    }
    if (path == u"/__control/price-day") {
        bool ok = false;
        const int day = query.value(u"n").toInt(&ok);
        if (!ok)
            return Reply::page(pages::message(u"control"_s, u"price-day needs n=<whole number>"_s), 400);
        priceDay = day;
        return Reply::page(pages::message(u"control"_s, u"OK day "_s + QString::number(day)));
    }
    if (path == u"/__control/fault") {
        const auto f = faultFromName(query.value(u"name"));
        if (!f)
            return Reply::page(pages::message(u"control"_s, u"unknown fault: "_s + query.value(u"name")),
                               400);
        setFault(*f, query.value(u"prefix"));
        return Reply::page(pages::message(u"control"_s, u"OK "_s + faultName(*f)));
    }
    if (path == u"/__control/redirect") {
        Reply reply = Reply::page(pages::message(u"Moved"_s, u"Moved to /"_s), 302);
        reply.location = "/";
        return reply;
    }
    return Reply::page(pages::message(u"control"_s, u"unknown control path"_s), 404);
}

} // namespace kova::standin
