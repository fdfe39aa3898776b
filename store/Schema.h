#pragma once

#include <QString>

namespace kova {

// The schema of kvdb.dat (store/schema.sql, compiled into the program as a resource).
QString schemaSql();

// Creates a new database with the five empty tables, and the price history's tables, at
// `path`. Refuses (kova::Error) when
// a file already exists there; on failure no file is left behind.
void createDatabase(const QString& path);

} // namespace kova
