#include "server/StandInServer.h"

#include "server/Catalogue.h"
#include "server/Pages.h"
#include "server/PicturePainter.h"
#include "server/QueryString.h"
#include "server/StandInStore.h"

#include "store/Gbk.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

namespace {

const std::array<std::pair<Fault, QString>, 9> faultNames = {{
    {Fault::None, u"None"_s},
    {Fault::DropMidBody, u"DropMidBody"_s},
    {Fault::Stall, u"Stall"_s},
    {Fault::ErrorStatus, u"ErrorStatus"_s},
    {Fault::TruncatedJpeg, u"TruncatedJpeg"_s},
    {Fault::HtmlAsPicture, u"HtmlAsPicture"_s},
    {Fault::InvalidGbk, u"InvalidGbk"_s},
    {Fault::Utf8Declared, u"Utf8Declared"_s},
    {Fault::HugePage, u"HugePage"_s},
}};

enum class HostKind { Service, Version, Directory };

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

enum class BodyKind { Page, Picture, Other };

// What a route answers, before faults, encoding and cookies are applied.
struct Reply {
    int status = 200;
    BodyKind kind = BodyKind::Page;
    QString html;     // pages, encoded as GBK on the way out
    QByteArray gbk;   // pages: the GBK form of `html` when already known
    QByteArray bytes; // pictures and other bodies
    QByteArray contentType;
    std::string location;
    bool control = false; // control paths never take faults

    static Reply page(QString html, int status = 200)
    {
        Reply r;
        r.status = status;
        r.html = std::move(html);
        return r;
    }
};

const QByteArray gbkHtml = "text/html; charset=gbk";

QByteArray hugeFiller()
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

qint64 todayDayNumber()
{
    return QDate(1899, 12, 30).daysTo(QDate::currentDate());
}

bool isPictureName(const QString& name)
{
    static const QRegularExpression pattern(u"^[0-9A-Za-z]{1,40}$"_s);
    return pattern.match(name).hasMatch();
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

struct StandInServer::Impl {
    struct Listener {
        HostKind kind;
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
        int port = 0;
    };

    ServerOptions options;
    std::unique_ptr<StandInStore> store;
    std::unique_ptr<PicturePainter> painter;
    std::array<Listener, 3> listeners{{{HostKind::Service, nullptr, {}, 0},
                                       {HostKind::Version, nullptr, {}, 0},
                                       {HostKind::Directory, nullptr, {}, 0}}};
    bool running = false;
    std::atomic<bool> stopping{false};

    std::mutex faultMutex;
    Fault fault = Fault::None;
    QString faultPrefix;

    mutable std::mutex logMutex;
    QStringList logLines;

    std::mutex catalogueMutex;
    QList<std::pair<QString, std::shared_ptr<const QList<Offer>>>> recentCatalogues;
    QHash<QString, QString> knownKeywords; // keyword id -> keyword
    // Result pages without favorites, the common case of repeated (benchmark) searches.
    QList<std::pair<QString, std::pair<QString, QByteArray>>> recentPages;

    QString url(int port) const
    {
        QString host = options.advertisedHost.isEmpty() ? options.bindHost : options.advertisedHost;
        if (host == u"0.0.0.0")
            host = u"127.0.0.1"_s;
        return u"http://"_s + host + u':' + QString::number(port);
    }
    QString directoryUrl() const { return url(listeners[2].port); }

    void start(const ServerOptions& opts);
    void stop();
    void handle(HostKind kind, const httplib::Request& req, httplib::Response& res);
    Reply route(HostKind kind, const httplib::Request& req);
    Reply serviceRoute(const QString& path, const QueryString& query);
    Reply versionRoute(const QString& path);
    Reply directoryRoute(const QString& path, const QueryString& query);
    Reply controlRoute(const QString& path, const QueryString& query);
    Reply listAll(const QueryString& query);
    Reply opFav(const QueryString& query);
    Reply listAllMyFav(const QueryString& query);
    Reply picture(const QString& file);
    std::shared_ptr<const QList<Offer>> catalogue(const QString& word);
    std::optional<Offer> offerForProduct(const QString& cph);
    void setFault(Fault f, const QString& prefix)
    {
        std::lock_guard lock(faultMutex);
        fault = f;
        faultPrefix = prefix;
    }
    void addLog(const QString& line)
    {
        std::lock_guard lock(logMutex);
        logLines.append(line);
        if (options.echoLog) {
            std::fputs(line.toUtf8().constData(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        }
    }
};

void StandInServer::Impl::start(const ServerOptions& opts)
{
    if (running)
        throw std::runtime_error("stand-in server: already running");
    PicturePainter::checkJpegSupport();
    options = opts;
    stopping = false;
    store = std::make_unique<StandInStore>(options.dataDir);
    painter = std::make_unique<PicturePainter>(
        options.dataDir.isEmpty() ? QString() : QDir(options.dataDir).filePath(u"pictures"_s));
    {
        std::lock_guard lock(catalogueMutex);
        recentCatalogues.clear();
        knownKeywords.clear();
        recentPages.clear();
    }
    const std::array<int, 3> ports = {options.servicePort, options.versionPort, options.directoryPort};
    const std::string host = options.bindHost.toStdString();
    try {
        for (size_t i = 0; i < listeners.size(); ++i) {
            Listener& l = listeners[i];
            l.server = std::make_unique<httplib::Server>();
            // SO_REUSEADDR only: a second server on a taken port must fail, not share it.
            l.server->set_socket_options([](socket_t sock) {
                int yes = 1;
                setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
                // Small pages go out at once instead of waiting for the peer's ACK.
                setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            });
            // Idle keep-alive connections hold a worker, and stop() waits for the workers.
            l.server->set_keep_alive_timeout(1);
            l.server->set_read_timeout(5);
            l.server->set_payload_max_length(1024 * 1024);
            const HostKind kind = l.kind;
            l.server->Get(".*", [this, kind](const httplib::Request& req, httplib::Response& res) {
                handle(kind, req, res);
            });
            if (ports[i] == 0) {
                l.port = l.server->bind_to_any_port(host);
                if (l.port <= 0)
                    throw std::runtime_error("stand-in server: cannot bind " + host);
            } else {
                if (!l.server->bind_to_port(host, ports[i]))
                    throw std::runtime_error("stand-in server: cannot bind " + host + ":" +
                                             std::to_string(ports[i]));
                l.port = ports[i];
            }
        }
        for (Listener& l : listeners) {
            httplib::Server* server = l.server.get();
            l.thread = std::thread([server] { server->listen_after_bind(); });
        }
        // stop() is only safe once every server runs its accept loop.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (Listener& l : listeners) {
            while (!l.server->is_running()) {
                if (std::chrono::steady_clock::now() > deadline)
                    throw std::runtime_error("stand-in server: a listener did not start");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    } catch (...) {
        running = true;
        stop();
        throw;
    }
    running = true;
}

void StandInServer::Impl::stop()
{
    if (!running)
        return;
    stopping = true;
    for (Listener& l : listeners) {
        if (l.server && l.thread.joinable()) {
            // A listener thread may not have entered its loop yet (failed start); stopping
            // before that would leave it listening for ever.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!l.server->is_running() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            l.server->stop();
        }
    }
    for (Listener& l : listeners) {
        if (l.thread.joinable())
            l.thread.join();
        l.server.reset();
        l.port = 0;
    }
    painter.reset();
    store.reset();
    running = false;
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
            body = reply.gbk.isEmpty() ? gbk::encode(reply.html) : reply.gbk;
            contentType = gbkHtml;
            if (active == Fault::InvalidGbk)
                insertInvalidGbk(body);
        }
        if (active == Fault::HugePage)
            insertAfterBodyLine(body, hugeFiller());
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
    if (kind == HostKind::Service && cookie.find("ASP.NET_SessionId=") == std::string::npos) {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz012345";
        std::string id;
        for (int i = 0; i < 24; ++i)
            id += alphabet[QRandomGenerator::global()->bounded(32)];
        res.set_header("Set-Cookie", "ASP.NET_SessionId=" + id + "; path=/");
    }
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
    } else {
        res.set_content(body.constData(), static_cast<size_t>(body.size()), type);
    }
}

Reply StandInServer::Impl::route(HostKind kind, const httplib::Request& req)
{
    const QString path = QString::fromStdString(req.path);
    const QueryString query(req.target);
    if (kind == HostKind::Service && path.startsWith(u"/__control/"_s)) {
        Reply reply = controlRoute(path, query);
        reply.control = true;
        return reply;
    }
    switch (kind) {
    case HostKind::Service:
        return serviceRoute(path, query);
    case HostKind::Version:
        return versionRoute(path);
    case HostKind::Directory:
        return directoryRoute(path, query);
    }
    return Reply::page(pages::message(u"页面不存在"_s, u"页面不存在"_s), 404);
}

Reply StandInServer::Impl::controlRoute(const QString& path, const QueryString& query)
{
    if (path == u"/__control/drop-prices") {
        store->dropAllPrices();
        return Reply::page(pages::message(u"control"_s, u"OK"_s));
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

Reply StandInServer::Impl::serviceRoute(const QString& path, const QueryString& query)
{
    const QString lower = path.toLower();
    if (lower == u"/" || lower == u"/default.aspx")
        return Reply::page(pages::home(url(listeners[0].port)));
    if (lower == u"/contact.html")
        return Reply::page(pages::contact());
    if (lower == u"/list.aspx") {
        const QString word = query.value(u"k");
        return Reply::page(pages::comparison(word, *catalogue(word), directoryUrl()));
    }
    if (lower == u"/randomuser.aspx")
        return Reply::page(pages::account(store->createAccount()));
    if (lower == u"/listall.aspx")
        return listAll(query);
    if (lower == u"/opfav.aspx")
        return opFav(query);
    if (lower == u"/listallmyfav.aspx")
        return listAllMyFav(query);
    return Reply::page(pages::message(u"页面不存在"_s, u"您访问的页面不存在。"_s), 404);
}

Reply StandInServer::Impl::listAll(const QueryString& query)
{
    const QString word = query.value(u"word");
    const QString user = query.value(u"u");
    const auto offers = catalogue(word);
    QSet<QString> favorites;
    if (store->checkAccount(user, query.value(u"p"))) {
        favorites = store->favoriteProducts(user);
        store->rememberSearch(user, word);
    }
    if (!favorites.isEmpty())
        return Reply::page(pages::results(word, *offers, favorites, directoryUrl()));
    {
        std::lock_guard lock(catalogueMutex);
        for (const auto& [cachedWord, page] : recentPages) {
            if (cachedWord == word) {
                Reply reply = Reply::page(page.first);
                reply.gbk = page.second;
                return reply;
            }
        }
    }
    Reply reply = Reply::page(pages::results(word, *offers, favorites, directoryUrl()));
    reply.gbk = gbk::encode(reply.html);
    std::lock_guard lock(catalogueMutex);
    recentPages.prepend({word, {reply.html, reply.gbk}});
    while (recentPages.size() > 4)
        recentPages.removeLast();
    return reply;
}

Reply StandInServer::Impl::opFav(const QueryString& query)
{
    const QString user = query.value(u"u");
    if (!store->checkAccount(user, query.value(u"p")))
        return Reply::page(pages::message(u"操作失败"_s, u"用户验证失败"_s), 403);
    bool ok = false;
    if (query.has(u"uf")) {
        const qint64 ufid = query.value(u"uf").trimmed().toLongLong(&ok);
        if (!ok)
            return Reply::page(pages::message(u"操作失败"_s, u"收藏编号无效"_s), 400);
        if (!store->deleteFavorite(user, ufid))
            return Reply::page(pages::message(u"操作失败"_s, u"收藏不存在"_s), 404);
        return Reply::page(pages::message(u"删除收藏"_s, u"OK"_s));
    }
    if (query.has(u"i")) {
        const int bh = query.value(u"i").trimmed().toInt(&ok);
        if (!ok)
            return Reply::page(pages::message(u"操作失败"_s, u"序号无效"_s), 400);
        const auto word = store->lastSearch(user);
        const auto offer = word ? Catalogue::offer(*word, bh) : std::nullopt;
        if (!offer)
            return Reply::page(pages::message(u"操作失败"_s, u"没有这条搜索结果"_s), 404);
        store->addFavorite(user, *offer, QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s));
        return Reply::page(pages::message(u"添加收藏"_s, u"OK"_s));
    }
    return Reply::page(pages::message(u"操作失败"_s, u"缺少参数"_s), 400);
}

Reply StandInServer::Impl::listAllMyFav(const QueryString& query)
{
    const QString user = query.value(u"u");
    const bool dropsOnly = query.value(u"d") == u"down";
    const QString title = dropsOnly ? u"商品降价通知"_s : u"商品收藏夹"_s;
    if (!store->checkAccount(user, query.value(u"p")))
        return Reply::page(pages::message(title, u"用户验证失败，无法读取收藏。"_s));
    const QList<Favorite> favorites = store->favorites(user);
    const qint64 day = todayDayNumber();
    QList<pages::FavoriteRow> rows;
    for (const Favorite& f : favorites) {
        const QString current =
            Catalogue::currentPrice(f.savedPrice, f.cph, day, f.dropped || options.dropPrices);
        if (dropsOnly && !(current.toDouble() < f.savedPrice.toDouble()))
            continue;
        rows.append({&f, current});
    }
    return Reply::page(pages::favorites(user, rows, dropsOnly, directoryUrl()));
}

Reply StandInServer::Impl::versionRoute(const QString& path)
{
    static const QRegularExpression pattern(u"^/Ver/Ver[0-9A-Za-z._-]{1,32}\\.html$"_s);
    if (pattern.match(path).hasMatch())
        return Reply::page(pages::version(options.pid, options.unionId));
    return Reply::page(pages::message(u"页面不存在"_s, u"您访问的页面不存在。"_s), 404);
}

Reply StandInServer::Impl::directoryRoute(const QString& path, const QueryString& query)
{
    if (path == u"/") {
        if (query.has(u"_encoding") || query.has(u"tag"))
            return Reply::page(pages::storeEntry(u"亚马逊"_s, query.items()));
        if (query.has(u"source"))
            return Reply::page(pages::storeEntry(u"凡客诚品"_s, query.items()));
        if (query.has(u"tracker_u"))
            return Reply::page(pages::storeEntry(u"1号店"_s, query.items()));
        return Reply::page(pages::directory(directoryUrl()));
    }
    static const QList<std::pair<QString, QString>> entries = {
        {u"/go/chn/tbk_channel/channelcode.php"_s, u"淘宝网"_s},
        {u"/go/chn/tbk_channel/tmall_new.php"_s, u"天猫商城"_s},
        {u"/JdClick/"_s, u"京东商城"_s},
        {u"/JdClick"_s, u"京东商城"_s},
        {u"/transfer.php"_s, u"当当网"_s},
        {u"/aas/open/vistorAd.action"_s, u"苏宁易购"_s},
    };
    for (const auto& [entryPath, store] : entries) {
        if (path == entryPath)
            return Reply::page(pages::storeEntry(store, query.items()));
    }
    if (path == u"/item.htm") {
        const QString cph = query.value(u"id");
        const auto offer = offerForProduct(cph);
        return Reply::page(pages::product(cph, offer ? &*offer : nullptr, directoryUrl()), offer ? 200 : 404);
    }
    if (path.startsWith(u"/pic/"_s) && path.endsWith(u".jpg"_s))
        return picture(path.mid(5, path.size() - 9));
    return Reply::page(pages::message(u"页面不存在"_s, u"您访问的页面不存在。"_s), 404);
}

Reply StandInServer::Impl::picture(const QString& file)
{
    const bool large = file.endsWith(u"_b"_s);
    const QString cph = large ? file.left(file.size() - 2) : file;
    if (!isPictureName(cph)) {
        Reply missing = Reply::page(pages::message(u"图片不存在"_s, u"您访问的图片不存在。"_s), 404);
        missing.kind = BodyKind::Other;
        missing.bytes = gbk::encode(missing.html);
        missing.contentType = gbkHtml;
        return missing;
    }
    Reply reply;
    reply.kind = BodyKind::Picture;
    reply.contentType = "image/jpeg";
    reply.bytes = painter->cached(cph, large);
    if (!reply.bytes.isEmpty())
        return reply;
    PictureSubject subject{cph, {}, {}, {}};
    if (const auto offer = offerForProduct(cph)) {
        subject.name = offer->name;
        subject.merchant = offer->merchant;
        subject.price = offer->price;
    }
    reply.bytes = large ? painter->largePicture(subject) : painter->thumbnail(subject);
    return reply;
}

std::shared_ptr<const QList<Offer>> StandInServer::Impl::catalogue(const QString& word)
{
    const QString key = word.trimmed();
    const QString id = Catalogue::keywordId(key);
    bool newKeyword = false;
    {
        std::lock_guard lock(catalogueMutex);
        newKeyword = knownKeywords.value(id) != key;
        if (newKeyword)
            knownKeywords.insert(id, key);
        for (qsizetype i = 0; i < recentCatalogues.size(); ++i) {
            if (recentCatalogues.at(i).first == key) {
                auto found = recentCatalogues.at(i).second;
                recentCatalogues.move(i, 0);
                if (!newKeyword)
                    return found;
                break;
            }
        }
    }
    if (newKeyword)
        store->rememberKeyword(id, key);
    auto offers = std::make_shared<const QList<Offer>>(Catalogue::offers(key));
    std::lock_guard lock(catalogueMutex);
    recentCatalogues.prepend({key, offers});
    while (recentCatalogues.size() > 8)
        recentCatalogues.removeLast();
    return offers;
}

std::optional<Offer> StandInServer::Impl::offerForProduct(const QString& cph)
{
    const auto parts = Catalogue::splitProductNumber(cph);
    if (!parts)
        return std::nullopt;
    std::optional<QString> word;
    {
        std::lock_guard lock(catalogueMutex);
        const auto it = knownKeywords.constFind(parts->first);
        if (it != knownKeywords.constEnd())
            word = *it;
    }
    if (!word) {
        word = store->keywordFor(parts->first);
        if (!word)
            return std::nullopt;
        std::lock_guard lock(catalogueMutex);
        knownKeywords.insert(parts->first, *word);
    }
    return Catalogue::offer(*word, parts->second);
}

StandInServer::StandInServer() : m_impl(std::make_unique<Impl>()) {}

StandInServer::~StandInServer()
{
    stop();
}

void StandInServer::start(const ServerOptions& options)
{
    m_impl->start(options);
}

void StandInServer::stop()
{
    m_impl->stop();
}

int StandInServer::servicePort() const
{
    return m_impl->listeners[0].port;
}

int StandInServer::versionPort() const
{
    return m_impl->listeners[1].port;
}

int StandInServer::directoryPort() const
{
    return m_impl->listeners[2].port;
}

QString StandInServer::serviceUrl() const
{
    return m_impl->url(servicePort());
}

QString StandInServer::versionUrl() const
{
    return m_impl->url(versionPort());
}

QString StandInServer::directoryUrl() const
{
    return m_impl->url(directoryPort());
}

void StandInServer::setFault(Fault fault, const QString& pathPrefix)
{
    m_impl->setFault(fault, pathPrefix);
}

void StandInServer::dropPricesNow()
{
    if (!m_impl->store)
        throw std::runtime_error("stand-in server: not running");
    m_impl->store->dropAllPrices();
}

QStringList StandInServer::log() const
{
    std::lock_guard lock(m_impl->logMutex);
    return m_impl->logLines;
}

void StandInServer::clearLog()
{
    std::lock_guard lock(m_impl->logMutex);
    m_impl->logLines.clear();
}

} // namespace kova::standin
