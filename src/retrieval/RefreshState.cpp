#include "retrieval/RefreshState.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "localdb/Value.h"

#include <QStringList>

namespace corvina {

namespace {

QStringList tablesOf(const QString &list)
{
    if (list == lists::kCust)
        return {QStringLiteral("Customers"), QStringLiteral("CustomerJobs")};
    if (list == lists::kInv)
        return {QStringLiteral("Invoices")};
    return {QStringLiteral("Items")};
}

QVariant dateValue(const std::optional<QDate> &date)
{
    return date ? QVariant(date->toString(Qt::ISODate) + QStringLiteral(" 00:00:00")) : QVariant();
}

// A DATETIME column's value, which the connection may already hand back as a date-time.
QDateTime dateTimeOf(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    return dateFromStorage(value.toString());
}

std::optional<QDate> dateOf(const QVariant &value)
{
    const QDateTime when = dateTimeOf(value);
    if (!when.isValid())
        return std::nullopt;
    return when.date();
}

} // namespace

std::optional<ListState> readListState(Database &db, const QString &list)
{
    if (!hasTable(db, QStringLiteral("RefreshStates")))
        return std::nullopt;
    Statement read = db.prepare(QStringLiteral(
        "SELECT CompanyFile, LastModified, PeriodFrom, PeriodTo, RefreshedAt, "
        "Fingerprint FROM RefreshStates WHERE List = ? ORDER BY rowid DESC LIMIT 1"));
    read.bind(1, list);
    if (!read.step())
        return std::nullopt;
    ListState state;
    state.companyFile = read.value(0).toString();
    if (!read.value(1).isNull())
        state.lastModified = qb::DateTime::fromText(read.value(1).toString());
    state.periodFrom = dateOf(read.value(2));
    state.periodTo = dateOf(read.value(3));
    state.refreshedAt = dateTimeOf(read.value(4));
    state.fingerprint = read.value(5).toString();
    return state;
}

void writeListState(Database &db, const QString &list, const ListState &state)
{
    db.execute(QStringLiteral("DELETE FROM RefreshStates WHERE List = ?"), {list});
    db.execute(
        QStringLiteral("INSERT INTO RefreshStates (List, CompanyFile, LastModified, "
                       "PeriodFrom, PeriodTo, RefreshedAt, Fingerprint) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {list, state.companyFile,
         state.lastModified ? QVariant(state.lastModified->text()) : QVariant(),
         dateValue(state.periodFrom), dateValue(state.periodTo),
         state.refreshedAt.isValid() ? QVariant(dateToStorage(state.refreshedAt)) : QVariant(),
         state.fingerprint});
}

QString fingerprintOf(Database &db, const QString &list)
{
    QStringList parts;
    for (const QString &table : tablesOf(list)) {
        Statement shape =
            db.prepare(QStringLiteral("SELECT count(*), coalesce(max(rowid), 0) FROM ") + table);
        shape.step();
        parts << QStringLiteral("%1:%2")
                     .arg(shape.value(0).toLongLong())
                     .arg(shape.value(1).toLongLong());
    }
    return parts.join(u';');
}

std::optional<QString> whyNotRefreshable(Database &db, const QString &list,
                                         const QString &companyFile, const QDateTime &now,
                                         const QString &instead)
{
    const QString earlierVersion =
        QStringLiteral("The last retrieval was made by an earlier version of Corvina, which kept "
                       "no note of QuickBooks' changes, so %1.")
            .arg(instead);
    if (list == lists::kInv) {
        Statement old = db.prepare(
            QStringLiteral("SELECT 1 FROM Invoices WHERE TxnID IS NULL OR TxnID = '' LIMIT 1"));
        if (old.step())
            return earlierVersion;
    }
    const auto state = readListState(db, list);
    if (!state || !state->lastModified || !state->refreshedAt.isValid()) {
        for (const QString &table : tablesOf(list)) {
            if (!state && db.countRows(table) > 0)
                return earlierVersion;
        }
        return QStringLiteral("There is no earlier retrieval to refresh from, so %1.").arg(instead);
    }
    if (state->refreshedAt.daysTo(now) > kDeletionMemoryDays)
        return QStringLiteral("The last retrieval was more than %1 days ago, longer than "
                              "QuickBooks remembers deletions, so %2.")
            .arg(kDeletionMemoryDays)
            .arg(instead);
    if (state->companyFile != companyFile)
        return QStringLiteral("The database holds a copy of another company file, so %1.")
            .arg(instead);
    if (state->fingerprint != fingerprintOf(db, list))
        return QStringLiteral("The database's tables were changed since the last retrieval, "
                              "so %1.")
            .arg(instead);
    return std::nullopt;
}

} // namespace corvina
