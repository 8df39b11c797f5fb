#pragma once

#include "localdb/Database.h"

#include <QString>
#include <QStringList>

namespace corvina {

// QBData.mdb in the application folder.
QString localDbPath(const QString &appFolder);

// Makes QBData.mdb with every table when it does not exist or is empty (0 bytes); any other
// existing file is left as it is. A new file appears complete or not at all (built aside,
// then renamed into place); an empty one is filled in one transaction. Returns true when
// the tables were made. Throws Error on failure.
bool ensureLocalDb(const QString &appFolder);

// Adds to `db` each table of the layout it lacks, with that table's indexes, from the
// layout's own text; a table (or view) it has is never changed, except that a column the
// layout added at the end of a table later (Invoices.TxnID) is added in place when the table
// lacks it. Runs in the caller's transaction. Returns the names of the tables added. Throws
// Error on failure.
QStringList addMissingTables(Database &db);

// Brings an existing QBData.mdb up to the layout (addMissingTables in one transaction); a
// file that lacks nothing is only read. Returns the tables added. Throws Error on failure.
QStringList upgradeLocalDb(const QString &appFolder);

// Whether the database has a table or view of this name (compared without case).
bool hasTable(Database &db, const QString &name);
// Whether the table has a column of this name (compared without case).
bool hasColumn(Database &db, const QString &table, const QString &column);

// A connection to the application folder's QBData.mdb, which must exist.
Database openLocalDb(const QString &appFolder, Database::Mode mode = Database::Mode::ReadWrite);

} // namespace corvina
