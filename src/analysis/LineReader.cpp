#include "analysis/LineReader.h"

#include "localdb/LocalDb.h"

#include <future>

namespace corvina::itemaging {

void readLineGroups(Database &db, const QString &appFolder, LineGroups &groups,
                    const std::function<void()> &meanwhile)
{
    qint64 firstRowid = 0;
    qint64 lastRowid = -1;
    {
        Statement range = db.prepare(QStringLiteral("Select Min(rowid), Max(rowid) From Invoices"));
        if (range.step() && !range.isNull(0)) {
            firstRowid = range.integer(0);
            lastRowid = range.integer(1);
        }
    }
    const qint64 middle = firstRowid + (lastRowid - firstRowid) / 2;
    LineGroups laterGroups(groups.listedItems());
    // Declared after laterGroups: leaving early waits for the thread before it goes.
    auto later = std::async(std::launch::async, [&] {
        Database own = openLocalDb(appFolder, Database::Mode::ReadOnly);
        laterGroups.read(own, middle + 1, lastRowid);
    });
    meanwhile();
    groups.read(db, firstRowid, middle);
    later.get();
    groups.absorb(laterGroups);
}

} // namespace corvina::itemaging
