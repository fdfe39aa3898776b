#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace kova::standin {

// One offer of a result page, in the values the page carries. Addresses are paths on
// the directory host; the page puts the host in front.
struct Offer {
    int bh = 0;  // row number, from 1
    QString cph; // product number: keyword id (8 digits) + row index (5 digits)
    QString name;
    QString popularity; // digits, or empty
    QString price;      // as delivered: "58", "58.5", "58.50", "1299.00"
    QString linkPath;   // "/item.htm?id=...&pid=mm_..." with plain "&"
    QString merchant;
    QString updated;              // the row's text cell: time the offer was last seen
    QString promotion;            // may be empty
    bool brokenThumbnail = false; // the thumbnail address answers 404
    bool hugePicture = false;     // both picture addresses answer a JPEG no decoder should take

    QString thumbnailPath() const;
    QString largePicturePath() const;
};

// The deterministic catalogue: every keyword always yields the same offers. Keywords
// "test<N>" (N from 0 to 200000, no leading zero) yield exactly N rows;
// "test<N>-brokenpic" the same N rows with the thumbnail of row N/2 + 1 missing;
// "test<N>-badpic" the same N rows with both pictures of row N/2 + 1 undecodable;
// "test<N>-<tag>" (tag: 1-16 lower-case letters and digits) N rows of products of its own;
// "hostile<N>" and "junkprice<N>" (N from 0 to 10000) N rows with the names and promotions,
// or the prices, of HostileTexts.h. The hot keywords of the client's start page yield 20 to
// 300 rows; other keywords 0 to 300.
class Catalogue {
public:
    static int rowCount(const QString& word);
    static QList<Offer> offers(const QString& word);
    static std::optional<Offer> offer(const QString& word, int bh);

    // The first eight digits of every product number of the keyword.
    static QString keywordId(const QString& word);
    // Splits a product number into keyword id and row number; nullopt for anything else.
    static std::optional<std::pair<QString, int>> splitProductNumber(const QString& cph);

    // The current price of a saved favorite: `saved` itself, or when `dropped` (prices
    // moved on purpose) 5-20 % below it, by product. Never depends on the time.
    static QString currentPrice(const QString& saved, const QString& cph, bool dropped);
    // The same after `drops` drops, each one taken from the price the one before left.
    static QString currentPrice(const QString& saved, const QString& cph, int drops);

    // An offer's price on the catalogue's day `day`: day 0 is the price `base` itself; any
    // other day moves it up to 15 % either way, by product and day, keeping its form (a
    // price without a decimal point stays without one). Lets a test build a history of
    // several days in seconds.
    static QString priceOnDay(const QString& base, const QString& cph, int day);

    static constexpr int maxRows = 200000;       // test<N>
    static constexpr int maxHostileRows = 10000; // hostile<N>, junkprice<N>
};

// Deterministic 64-bit hash (FNV-1a) of the UTF-8 bytes of a text.
quint64 stableHash(const QString& text);

} // namespace kova::standin
