#pragma once

#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

struct sqlite3;

namespace kova::standin {

struct Offer;

struct Favorite {
    qint64 ufid = 0;
    QString user;
    QString scid;
    QString cph;
    QString name;
    QString thumbnailPath; // paths on the directory host
    QString largePicturePath;
    QString savedAt; // "YYYY-MM-DD hh:mm:ss"
    QString savedPrice;
    QString linkPath; // plain "&"
    QString merchant;
    int drops = 0; // times the price was dropped by the control switch
};

// The server's state in SQLite ("standin.db" in the data folder, or in memory when no
// folder is given): accounts, favorites, each account's last search, and the keywords
// behind product numbers (so a picture can show its product's name after a restart).
// One connection, serialised by a mutex: requests arrive on several threads.
class StandInStore {
public:
    explicit StandInStore(const QString& dataDir); // throws std::runtime_error
    ~StandInStore();
    StandInStore(const StandInStore&) = delete;
    StandInStore& operator=(const StandInStore&) = delete;

    QString createAccount(); // a new user id ("k" + 7 digits) with the password "mivra"
    bool checkAccount(const QString& user, const QString& password);

    void rememberSearch(const QString& user, const QString& word);
    std::optional<QString> lastSearch(const QString& user);

    void rememberKeyword(const QString& keywordId, const QString& word);
    std::optional<QString> keywordFor(const QString& keywordId);

    // Adds the offer; an offer already among the account's favorites is not added twice.
    Favorite addFavorite(const QString& user, const Offer& offer, const QString& savedAt);
    bool deleteFavorite(const QString& user, qint64 ufid);
    QList<Favorite> favorites(const QString& user);
    QSet<QString> favoriteProducts(const QString& user);
    void dropAllPrices();

    static constexpr const char* password = "mivra";

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    void exec(const char* sql);

    std::mutex m_mutex;
    std::unique_ptr<sqlite3, Closer> m_db;
};

} // namespace kova::standin
