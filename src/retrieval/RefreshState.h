#pragma once

#include "qbxml/DateTime.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace corvina {

class Database;

// How far one list of the local copy has seen QuickBooks' changes (a row of RefreshStates),
// written by the full retrievals and the refreshes in the transaction that writes the
// list's tables, so the two always agree.
struct ListState {
    QString companyFile;
    // The largest TimeModified (or TimeDeleted) seen: QuickBooks' own clock.
    std::optional<qb::DateTime> lastModified;
    // The invoice period last retrieved ("Inv" only); either side may be open.
    std::optional<QDate> periodFrom, periodTo;
    // This machine's time of the last retrieval or refresh.
    QDateTime refreshedAt;
    // fingerprintOf() the list's tables when they were written.
    QString fingerprint;
};

// The names of the lists: customers (Customers, CustomerJobs), invoices, items.
namespace lists {
inline const QString kCust = QStringLiteral("Cust");
inline const QString kInv = QStringLiteral("Inv");
inline const QString kItems = QStringLiteral("Items");
} // namespace lists

// The state of a list, or nothing when none was written (or the table is missing).
std::optional<ListState> readListState(Database &db, const QString &list);
// Replaces the state of a list.
void writeListState(Database &db, const QString &list, const ListState &state);

// A cheap fingerprint of the tables of a list (row count and largest rowid of each): it
// changes when rows are added or deleted by anyone.
QString fingerprintOf(Database &db, const QString &list);

// The largest of the times seen.
class LatestTime {
public:
    explicit LatestTime(std::optional<qb::DateTime> start = {}) : m_latest(std::move(start)) {}
    void see(const std::optional<qb::DateTime> &time)
    {
        if (time && time->isValid() && (!m_latest || *m_latest < *time))
            m_latest = time;
    }
    const std::optional<qb::DateTime> &value() const noexcept { return m_latest; }

private:
    std::optional<qb::DateTime> m_latest;
};

// How far before the last change seen a refresh starts asking, so that a change recorded
// at the same second as the last one seen (or a little out of order) is not missed.
inline constexpr qint64 kRefreshOverlapSeconds = 5 * 60;
// QuickBooks forgets deletions after this many days, so an older copy cannot be refreshed.
inline constexpr qint64 kDeletionMemoryDays = 90;

// Why a list cannot be refreshed from its state, as one sentence for the user that ends by
// saying what is done instead (`instead`), or nothing when it can. `companyFile` is the
// company file the session will use; `now` the local time.
std::optional<QString> whyNotRefreshable(Database &db, const QString &list,
                                         const QString &companyFile, const QDateTime &now,
                                         const QString &instead);

} // namespace corvina
