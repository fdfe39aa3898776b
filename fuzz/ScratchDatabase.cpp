#include "fuzz/ScratchDatabase.h"

#include "store/Error.h"
#include "store/Schema.h"

#include <QDir>

namespace kova::fuzz {

ScratchDatabase::ScratchDatabase() : m_folder(m_dir.path())
{
    if (!m_dir.isValid())
        throw Error(QStringLiteral("no temporary folder for the scratch database"));
    createDatabase(m_folder + QStringLiteral("/kvdb.dat"));
    QDir(m_folder).mkpath(QStringLiteral("tmp/kvpic"));
    m_connection = std::make_unique<Connection>(m_folder + QStringLiteral("/kvdb.dat"));
    m_connection->open();
}

void ScratchDatabase::clear()
{
    for (const char* table : {"word", "cxnr", "tpb", "scnr", "xxb"})
        m_connection->execute(QStringLiteral("delete from ") + QLatin1String(table));
}

int ScratchDatabase::count(const QString& table)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = (QStringLiteral("select count(*) from ") + table).toUtf8();
    if (sqlite3_prepare_v2(m_connection->handle(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        throw Error(QString::fromUtf8(sqlite3_errmsg(m_connection->handle())));
    int n = -1;
    if (sqlite3_step(statement) == SQLITE_ROW)
        n = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return n;
}

} // namespace kova::fuzz
