#include "Schema.h"

#include "Connection.h"
#include "Error.h"
#include "PriceHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

// The resource lives in a static library; it must be registered explicitly.
static void initSchemaResource()
{
    Q_INIT_RESOURCE(kova_schema);
}

namespace kova {
namespace {

// Removes the half-made file (and any journal SQLite left) unless the work completed.
class PendingFile {
public:
    explicit PendingFile(QString path) : m_path(std::move(path)) {}
    ~PendingFile()
    {
        if (m_keep)
            return;
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    void keep() { m_keep = true; }

private:
    QString m_path;
    bool m_keep = false;
};

struct DatabaseHandle {
    sqlite3* db = nullptr;
    ~DatabaseHandle() { sqlite3_close_v2(db); }
};

} // namespace

QString schemaSql()
{
    initSchemaResource();
    QFile file(QStringLiteral(":/kova/store/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("程序中缺少数据库结构"));
    return QString::fromUtf8(file.readAll());
}

void createDatabase(const QString& path)
{
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        throw Error(QStringLiteral("无法创建数据库 %1：文件已经存在").arg(path));
    const QString sql = schemaSql();

    // Built under a temporary name in the same folder and renamed when complete, so a
    // failure never leaves a half-made database at the path.
    QString temporaryPath;
    {
        QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                 QStringLiteral(".XXXXXX"));
        temporary.setAutoRemove(false);
        if (!temporary.open())
            throw Error(QStringLiteral("无法创建数据库 %1：%2").arg(path, temporary.errorString()));
        temporaryPath = temporary.fileName();
        // Temporary files are private to their owner; the database is an ordinary file.
        temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                 QFileDevice::ReadOther);
    }
    PendingFile pending(temporaryPath);

    {
        DatabaseHandle handle;
        const QByteArray file = QFile::encodeName(temporaryPath);
        auto fail = [&](const QString& why) {
            throw Error(QStringLiteral("无法创建数据库 %1：%2").arg(path, why));
        };
        if (sqlite3_open_v2(file.constData(), &handle.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail(handle.db ? QString::fromUtf8(sqlite3_errmsg(handle.db)) : QStringLiteral("out of memory"));
        try {
            Connection::registerCollations(handle.db);
        } catch (const Error& e) {
            fail(e.message());
        }
        const QByteArray script = "BEGIN;\n" + sql.toUtf8() + PriceHistorySchemaSql().toUtf8() + "\nCOMMIT;";
        char* err = nullptr;
        if (sqlite3_exec(handle.db, script.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            const QString why = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(handle.db));
            sqlite3_free(err);
            fail(why);
        }
        if (sqlite3_close(handle.db) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(handle.db)));
        handle.db = nullptr;
    }

    // QFile::rename never replaces an existing file, so a file that appeared meanwhile
    // stays untouched.
    QFile created(temporaryPath);
    if (!created.rename(path))
        throw Error(QStringLiteral("无法创建数据库 %1：%2").arg(path, created.errorString()));
    pending.keep();
}

} // namespace kova
