#pragma once

// The inside of StandInServer, shared by the files that answer its requests:
//   StandInServer.cpp  start, stop, listeners, the public interface
//   Delivery.cpp       faults, cookies and the log applied to a reply on its way out;
//                      the control paths
//   ServicePages.cpp   routing, the result and comparison pages, the version page
//   FavoritePages.cpp  accounts and favorites (OpFav.aspx, ListAllMyFav.aspx)
//   DirectoryPages.cpp the directory host: store entries, product pages, pictures

#include "server/Catalogue.h"
#include "server/PicturePainter.h"
#include "server/QueryString.h"
#include "server/StandInServer.h"
#include "server/StandInStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace kova::standin {

enum class HostKind { Service, Version, Directory };

enum class BodyKind { Page, Picture, Other };

// What a route answers, before faults, encoding and cookies are applied.
struct Reply {
    int status = 200;
    BodyKind kind = BodyKind::Page;
    QString html;     // pages, encoded as GBK on the way out
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
    static Reply notFound();
};

inline const QByteArray gbkHtml = "text/html; charset=gbk";

struct StandInServer::Impl {
    struct Listener {
        HostKind kind;
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
        int port = 0;
    };

    Impl();
    ~Impl();

    ServerOptions options;
    std::unique_ptr<StandInStore> store;
    std::unique_ptr<PicturePainter> painter;
    std::array<Listener, 3> listeners;
    bool running = false;
    std::atomic<bool> stopping{false};
    std::atomic<int> priceDay{0}; // the catalogue's day of prices (Catalogue::priceOnDay)

    std::mutex faultMutex;
    Fault fault = Fault::None;
    QString faultPrefix;

    mutable std::mutex logMutex;
    QStringList logLines;

    // Keyword id -> keyword, as in the state file: a product number names its keyword.
    std::mutex keywordMutex;
    QHash<QString, QString> knownKeywords;

    QString url(int port) const;
    QString serviceUrl() const { return url(listeners[0].port); }
    QString directoryUrl() const { return url(listeners[2].port); }
    QDateTime now() const;

    // StandInServer.cpp
    void start(const ServerOptions& opts);
    void stop();
    void addLog(const QString& line);

    // Delivery.cpp
    void handle(HostKind kind, const httplib::Request& req, httplib::Response& res);
    Reply controlRoute(const QString& path, const QueryString& query);
    void setFault(Fault f, const QString& prefix);

    // ServicePages.cpp
    Reply route(HostKind kind, const httplib::Request& req);
    Reply serviceRoute(const QString& path, const QueryString& query);
    Reply versionRoute(const QString& path);
    Reply listAll(const QueryString& query);
    QList<Offer> catalogue(const QString& word); // the keyword's offers; remembers its id
    std::optional<Offer> offerForProduct(const QString& cph);

    // FavoritePages.cpp
    Reply opFav(const QueryString& query);
    Reply listAllMyFav(const QueryString& query);

    // DirectoryPages.cpp
    Reply directoryRoute(const QString& path, const QueryString& query);
    Reply picture(const QString& file);
};

} // namespace kova::standin
