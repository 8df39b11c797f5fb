#pragma once

#include "analysis/LineGroups.h"

#include <QString>

#include <functional>

namespace corvina::itemaging {

// Reads and groups every invoice line into `groups` (made over the listed items) as if in
// one pass in stored order: the two halves of the rowid range are read at once, the later
// half on a connection of its own in a second thread, and the two groupings joined.
// `meanwhile` runs on this thread while the later half is being read, before the earlier
// half is; `db` should be in a read transaction so that both see one state of the file.
void readLineGroups(Database &db, const QString &appFolder, LineGroups &groups,
                    const std::function<void()> &meanwhile);

} // namespace corvina::itemaging
