#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace kova::standin {

// Faults the server can be switched into, for fault tests and demos.
enum class Fault {
    None,
    DropMidBody,   // send half of the body, then close the connection
    Stall,         // send the headers and part of the body, then stall without closing
    ErrorStatus,   // answer 500 with a short HTML body
    TruncatedJpeg, // pictures: a JPEG cut in the middle, status 200
    HtmlAsPicture, // pictures: an HTML error page, status 200
    InvalidGbk,    // pages: bytes that are not valid GBK inside the body
    Utf8Declared,  // pages: UTF-8 body declared as charset=utf-8
    HugePage,      // pages: about 10 MB of filler (an HTML comment) after the body start line
    Trickle,       // the headers at once, then the body at one byte a second
};

struct ServerOptions {
    QString dataDir; // holds the server's SQLite state file (created when missing)
    QString bindHost = QStringLiteral("127.0.0.1");
    QString advertisedHost; // host name in the *Url() values and in page addresses; "" = bindHost
    int servicePort = 0;    // 0: any free port
    int versionPort = 0;
    int directoryPort = 0; // shopping-site directory, store entry/product pages, pictures
    QString pid = QStringLiteral("mm_12345678_0_0"); // served by the version page
    QString unionId = QStringLiteral("1000123456");
    bool dropPrices = false; // every favorite's current price is below its saved price
    int priceDay = 0;        // the catalogue's day of prices (StandInServer::setPriceDay)
    bool echoLog = false;    // also print each log line to stdout (the program does)
    // The server's clock (a favorite's saved time); empty: the local time. Tests move it.
    std::function<QDateTime()> clock;
};

// "DropMidBody", "Stall", ... as in the enum, and "None"; case-insensitive.
std::optional<Fault> faultFromName(const QString& name);
QString faultName(Fault fault);

// The stand-in for the comparison service, the version-page host and the stores' hosts.
// Serves GBK pages in the shapes the client reads. Runs its listeners on threads of its
// own; start() returns once all three ports accept connections.
class StandInServer {
public:
    StandInServer();
    ~StandInServer(); // stops
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    void start(const ServerOptions& options); // throws std::runtime_error
    void stop();

    int servicePort() const;
    int versionPort() const;
    int directoryPort() const;
    QString serviceUrl() const; // "http://127.0.0.1:<port>"
    QString versionUrl() const;
    QString directoryUrl() const;

    // Fault switch; applies to the requests that match `pathPrefix` ("" = all).
    void setFault(Fault fault, const QString& pathPrefix = {});
    // Makes every existing favorite's current price drop now (for the price-drop list).
    // Prices move only through this, /__control/drop-prices and ServerOptions::dropPrices.
    void dropPricesNow();
    // Moves every offer's price to the catalogue's day `day` (0: the prices as first
    // served), as /__control/price-day?n=N does. Favorites keep their saved prices.
    void setPriceDay(int day);

    // One line per request handled so far: "<host-kind> <path?query> <status> cookie=<...>".
    QStringList log() const;
    void clearLog();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kova::standin
