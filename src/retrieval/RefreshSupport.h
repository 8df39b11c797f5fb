#pragma once

#include "base/Screen.h"
#include "qbxml/DateTime.h"
#include "qbxml/RequestSet.h"
#include "qbxml/ResponseSet.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <vector>

namespace corvina {

class Database;
class ProgramState;
class LatestTime;

// An invoice period; either side may be open.
struct Period {
    std::optional<QDate> from, to;
};

// After a refresh has committed: the list's stamp in Dates.adtg ("Cust" or "Inv"), the time in
// the main window's box, and the menu entries that need the list, as after its retrieval.
void showRefreshed(ProgramState &state, RetrievalBox box, const QDateTime &now,
                   std::initializer_list<MenuEntry> entries);

// The invoice retrieval of a period already known (GetInvoices without its dialog).
void GetInvoicesOfPeriod(ProgramState &state, const Period &period);

// The answers of a changed-since query, every page held (the changes of a day are few).
struct ChangedRecords {
    std::vector<qb::Response> pages;
    int count = 0;
    bool tooMany = false; // more than the limit: the pages were let go
};

// Asks for the records of `kind` modified at or after `since`, page by page, holding at most
// `limit` records. Nothing when QuickBooks answered with a status, which was shown.
std::optional<ChangedRecords> askChanged(ProgramState &state, qb::QueryKind kind,
                                         const qb::DateTime &since, int limit);

// A record deleted in QuickBooks.
struct Deletion {
    QString id; // TxnID or ListID
    QString type;
    std::optional<qb::DateTime> time;
};

// Asks for the transactions (TxnDeleted) or list entries (ListDeleted) of `types` deleted at
// or after `since`. Nothing when QuickBooks answered with a status other than 0 or 1 (none),
// which was shown.
std::optional<std::vector<Deletion>> askDeleted(ProgramState &state, qb::QueryKind kind,
                                                const QStringList &types,
                                                const qb::DateTime &since);

// Calls `each` for every record of the pages.
template <class Each> void forEachRecord(const std::vector<qb::Response> &pages, Each each)
{
    for (const qb::Response &page : pages) {
        for (int i = 0; i < page.count(); ++i)
            each(page.record(i));
    }
}

// Renames in a name column that refers to records by id (Invoices.Customer by CustListID,
// Invoices.ItemRef by ItemRefID, KnownCustomers.FullName by ListID): rows of a renamed record
// take its new name, and rows whose name begins with an old name and ":" (a job's, or a
// sub-item's) take the new name in its place. Every row is matched against its name as it
// was, so renames that swap or reuse names within one refresh do not run into each other.
struct Renames {
    QHash<QString, QString> newNameById;
    QHash<QString, QString> newNameByOldName;
    bool isEmpty() const { return newNameById.isEmpty() && newNameByOldName.isEmpty(); }
};
void applyRenames(Database &db, const QString &table, const QString &idColumn,
                  const QString &nameColumn, const Renames &renames);

// Applies changed customer records (any status) and deletions to KnownCustomers and to the
// customer names in Invoices. With `customerTables` also to Customers and, rebuilt from
// KnownCustomers, CustomerJobs, so they hold what a customer retrieval would write.
void applyCustomerChanges(Database &db, const std::vector<qb::Response> &changed,
                          const std::vector<Deletion> &deleted, bool customerTables,
                          LatestTime &latest);

} // namespace corvina
