#pragma once

#include "localdb/Database.h"

#include <QString>

namespace corvina {

// QBData.mdb in the application folder.
QString localDbPath(const QString &appFolder);

// Makes QBData.mdb with every table when it does not exist or is empty (0 bytes); any other
// existing file is left as it is. A new file appears complete or not at all (built aside,
// then renamed into place); an empty one is filled in one transaction. Returns true when
// the tables were made. Throws Error on failure.
bool ensureLocalDb(const QString &appFolder);

// A connection to the application folder's QBData.mdb, which must exist.
Database openLocalDb(const QString &appFolder, Database::Mode mode = Database::Mode::ReadWrite);

} // namespace corvina
