#include "server/StandInStore.h"

#include "server/Catalogue.h"

#include <QDir>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <stdexcept>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {
namespace {

struct StatementFinalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// A prepared statement with positional binding of texts and integers.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("stand-in store: ") + sqlite3_errmsg(db));
        m_st.reset(st);
    }

    Statement& bind(const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_st.get(), ++m_index, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(qint64 value)
    {
        sqlite3_bind_int64(m_st.get(), ++m_index, value);
        return *this;
    }

    // True while a row is available.
    bool step()
    {
        const int rc = sqlite3_step(m_st.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw std::runtime_error(std::string("stand-in store: ") + sqlite3_errmsg(m_db));
        return false;
    }

    QString text(int column) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_st.get(), column));
        return p ? QString::fromUtf8(p) : QString();
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_st.get(), column); }

private:
    sqlite3* m_db;
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> m_st;
    int m_index = 0;
};

const char* const schema = R"sql(
create table if not exists accounts (user text primary key, password text not null, created text not null);
create table if not exists favorites (
    ufid integer primary key autoincrement,
    user text not null, scid text not null, cph text not null, name text not null,
    xtp text not null, dtp text not null, scsj text not null, scjg text not null,
    link text not null, merchant text not null, dropped integer not null default 0);
create index if not exists favorites_user on favorites(user);
create table if not exists last_search (user text primary key, word text not null);
create table if not exists keywords (kwid text primary key, word text not null);
)sql";

} // namespace

void StandInStore::Closer::operator()(sqlite3* db) const
{
    sqlite3_close(db);
}

StandInStore::StandInStore(const QString& dataDir)
{
    QString path = u":memory:"_s;
    if (!dataDir.isEmpty()) {
        if (!QDir().mkpath(dataDir))
            throw std::runtime_error("stand-in store: cannot create " + dataDir.toStdString());
        path = QDir(dataDir).filePath(u"standin.db"_s);
    }
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("stand-in store: cannot open " + path.toStdString() + ": " +
                                 (db ? sqlite3_errmsg(db) : "out of memory"));
    sqlite3_busy_timeout(db, 5000);
    exec("pragma journal_mode=wal");
    exec("pragma synchronous=normal");
    exec(schema);
}

StandInStore::~StandInStore() = default;

void StandInStore::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("stand-in store: " + text);
    }
}

QString StandInStore::createAccount()
{
    std::lock_guard lock(m_mutex);
    for (;;) {
        const QString user = u"k"_s + QString::number(QRandomGenerator::global()->bounded(1000000, 10000000));
        Statement st(m_db.get(),
                     "insert or ignore into accounts(user, password, created) values(?, ?, datetime('now'))");
        st.bind(user).bind(QString::fromLatin1(password)).step();
        if (sqlite3_changes(m_db.get()) == 1)
            return user;
    }
}

bool StandInStore::checkAccount(const QString& user, const QString& pass)
{
    if (user.isEmpty())
        return false;
    std::lock_guard lock(m_mutex);
    Statement st(m_db.get(), "select 1 from accounts where user = ? and password = ?");
    return st.bind(user).bind(pass).step();
}

void StandInStore::rememberSearch(const QString& user, const QString& word)
{
    std::lock_guard lock(m_mutex);
    Statement(m_db.get(), "insert or replace into last_search(user, word) values(?, ?)")
        .bind(user)
        .bind(word)
        .step();
}

std::optional<QString> StandInStore::lastSearch(const QString& user)
{
    std::lock_guard lock(m_mutex);
    Statement st(m_db.get(), "select word from last_search where user = ?");
    if (!st.bind(user).step())
        return std::nullopt;
    return st.text(0);
}

void StandInStore::rememberKeyword(const QString& keywordId, const QString& word)
{
    std::lock_guard lock(m_mutex);
    Statement(m_db.get(), "insert or replace into keywords(kwid, word) values(?, ?)")
        .bind(keywordId)
        .bind(word)
        .step();
}

std::optional<QString> StandInStore::keywordFor(const QString& keywordId)
{
    std::lock_guard lock(m_mutex);
    Statement st(m_db.get(), "select word from keywords where kwid = ?");
    if (!st.bind(keywordId).step())
        return std::nullopt;
    return st.text(0);
}

namespace {

constexpr const char* favoriteColumns =
    "select ufid, user, scid, cph, name, xtp, dtp, scsj, scjg, link, merchant, dropped from favorites ";

Favorite readFavorite(const Statement& st)
{
    Favorite f;
    f.ufid = st.integer(0);
    f.user = st.text(1);
    f.scid = st.text(2);
    f.cph = st.text(3);
    f.name = st.text(4);
    f.thumbnailPath = st.text(5);
    f.largePicturePath = st.text(6);
    f.savedAt = st.text(7);
    f.savedPrice = st.text(8);
    f.linkPath = st.text(9);
    f.merchant = st.text(10);
    f.drops = static_cast<int>(st.integer(11));
    return f;
}

} // namespace

Favorite StandInStore::addFavorite(const QString& user, const Offer& offer, const QString& savedAt)
{
    std::lock_guard lock(m_mutex);
    {
        Statement existing(m_db.get(), (std::string(favoriteColumns) + "where user = ? and cph = ?").c_str());
        if (existing.bind(user).bind(offer.cph).step())
            return readFavorite(existing);
    }
    Statement insert(m_db.get(),
                     "insert into favorites(user, scid, cph, name, xtp, dtp, scsj, scjg, link, merchant) "
                     "values(?, '', ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(user)
        .bind(offer.cph)
        .bind(offer.name)
        .bind(offer.thumbnailPath())
        .bind(offer.largePicturePath())
        .bind(savedAt)
        .bind(offer.price)
        .bind(offer.linkPath)
        .bind(offer.merchant)
        .step();
    const qint64 ufid = sqlite3_last_insert_rowid(m_db.get());
    Statement(m_db.get(), "update favorites set scid = ? where ufid = ?")
        .bind(u"SC%1"_s.arg(ufid, 8, 10, QLatin1Char('0')))
        .bind(ufid)
        .step();
    Statement read(m_db.get(), (std::string(favoriteColumns) + "where ufid = ?").c_str());
    read.bind(ufid).step();
    return readFavorite(read);
}

bool StandInStore::deleteFavorite(const QString& user, qint64 ufid)
{
    std::lock_guard lock(m_mutex);
    Statement(m_db.get(), "delete from favorites where user = ? and ufid = ?").bind(user).bind(ufid).step();
    return sqlite3_changes(m_db.get()) == 1;
}

QList<Favorite> StandInStore::favorites(const QString& user)
{
    std::lock_guard lock(m_mutex);
    Statement st(m_db.get(), (std::string(favoriteColumns) + "where user = ? order by ufid").c_str());
    st.bind(user);
    QList<Favorite> list;
    while (st.step())
        list.append(readFavorite(st));
    return list;
}

QSet<QString> StandInStore::favoriteProducts(const QString& user)
{
    std::lock_guard lock(m_mutex);
    Statement st(m_db.get(), "select cph from favorites where user = ?");
    st.bind(user);
    QSet<QString> set;
    while (st.step())
        set.insert(st.text(0));
    return set;
}

void StandInStore::dropAllPrices()
{
    std::lock_guard lock(m_mutex);
    exec("update favorites set dropped = dropped + 1");
}

} // namespace kova::standin
