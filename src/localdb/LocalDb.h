#pragma once

#include "localdb/Database.h"

#include <QString>

namespace corvina {

// QBData.mdb in the application folder.
QString localDbPath(const QString &appFolder);

// Makes QBData.mdb with every table when it does not exist; an existing file is left as it
// is. The file appears complete or not at all (built aside, then renamed into place).
// Returns true when it was created. Throws Error on failure.
bool ensureLocalDb(const QString &appFolder);

// A connection to the application folder's QBData.mdb, which must exist.
Database openLocalDb(const QString &appFolder, Database::Mode mode = Database::Mode::ReadWrite);

} // namespace corvina
