#include "retrieval/RefreshSupport.h"

#include "localdb/Database.h"
#include "qbxml/Records.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/RefreshState.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/TableRows.h"
#include "state/ProgramState.h"

#include <utility>

namespace corvina {

namespace {

QString quoted(const QString &identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The first column of the first row `statement` gives for `id`, as text.
std::optional<QString> firstText(Statement &statement, const QString &id)
{
    statement.reset();
    statement.bind(1, id);
    std::optional<QString> out;
    if (statement.step() && !statement.value(0).isNull())
        out = statement.value(0).toString();
    statement.reset();
    return out;
}

} // namespace

std::optional<ChangedRecords> askChanged(ProgramState &state, qb::QueryKind kind,
                                         const qb::DateTime &since, int limit)
{
    PagedQuery pages = PagedQuery::changedSince(state.quickBooks(), kind, since);
    ChangedRecords out;
    const qb::Response *response = pages.next();
    if (response->statusCode() == 1 && response->count() == 0)
        return out; // nothing changed
    if (reportStatus(state, *response))
        return std::nullopt;
    while (response) {
        out.count += response->count();
        if (out.count > limit) {
            out.pages.clear();
            out.tooMany = true;
            return out;
        }
        out.pages.push_back(*response); // keeps its page's document alive
        response = pages.next();
        if (response && reportStatus(state, *response))
            return std::nullopt;
    }
    return out;
}

std::optional<std::vector<Deletion>> askDeleted(ProgramState &state, qb::QueryKind kind,
                                                const QStringList &types, const qb::DateTime &since)
{
    QuickBooksLink &link = state.quickBooks();
    qb::RequestSet &set = *link.requests;
    set.clear();
    set.setOnError(qb::OnError::Continue);
    const bool txn = kind == qb::QueryKind::TxnDeleted;
    qb::DeletedQuery &query =
        txn ? set.appendTxnDeletedQuery(types) : set.appendListDeletedQuery(types);
    query.setFromDeletedDate(since);
    const qb::ResponseSet answer = link.sessionManager->doRequests(set);
    const qb::Response &response = firstResponse(answer);
    std::vector<Deletion> out;
    if (response.statusCode() == 1)
        return out; // none
    if (reportStatus(state, response))
        return std::nullopt;
    for (int i = 0; i < response.count(); ++i) {
        if (txn) {
            const qb::TxnDeletedRet record(response.record(i));
            out.push_back({record.txnId(), record.txnDelType(), record.timeDeleted()});
        } else {
            const qb::ListDeletedRet record(response.record(i));
            out.push_back({record.listId(), record.listDelType(), record.timeDeleted()});
        }
    }
    return out;
}

void showRefreshed(ProgramState &state, RetrievalBox box, const QDateTime &now,
                   std::initializer_list<MenuEntry> entries)
{
    stampRetrievalDate(
        state, box == RetrievalBox::Cust ? QStringLiteral("Cust") : QStringLiteral("Inv"), now);
    state.screen().setBoxText(box, generalDateText(now));
    for (const MenuEntry entry : entries)
        state.screen().enableEntry(entry);
}

void applyRenames(Database &db, const QString &table, const QString &idColumn,
                  const QString &nameColumn, const Renames &renames)
{
    if (renames.isEmpty())
        return;
    std::vector<std::pair<qint64, QString>> updates;
    {
        Statement rows = db.prepare(QStringLiteral("SELECT rowid, %1, %2 FROM %3")
                                        .arg(quoted(idColumn), quoted(nameColumn), quoted(table)));
        while (rows.step()) {
            const QVariant nameValue = rows.value(2);
            const QString name = nameValue.toString();
            std::optional<QString> target;
            if (const auto byId = renames.newNameById.constFind(rows.value(1).toString());
                byId != renames.newNameById.cend()) {
                target = *byId;
            } else {
                // The longest old name the name begins with, followed by ":".
                for (qsizetype cut = name.lastIndexOf(u':'); cut > 0;
                     cut = name.lastIndexOf(u':', cut - 1)) {
                    const auto byOld = renames.newNameByOldName.constFind(name.left(cut));
                    if (byOld != renames.newNameByOldName.cend()) {
                        target = *byOld + name.mid(cut);
                        break;
                    }
                }
            }
            if (target && (nameValue.isNull() || *target != name))
                updates.emplace_back(rows.value(0).toLongLong(), *target);
        }
    }
    Statement update = db.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                                      .arg(quoted(table), quoted(nameColumn)));
    for (const auto &[rowid, name] : updates) {
        update.bind(1, name);
        update.bind(2, rowid);
        update.run();
        update.reset();
    }
}

void applyCustomerChanges(Database &db, const std::vector<qb::Response> &changed,
                          const std::vector<Deletion> &deleted, bool customerTables,
                          LatestTime &latest)
{
    // The names as they were, before anything changes: the record last seen, or for a
    // customer never seen (inactive at the last retrieval) the name its invoices carry.
    Renames renames;
    {
        Statement knownName = db.prepare(QStringLiteral(
            "SELECT FullName FROM KnownCustomers WHERE ListID = ? ORDER BY rowid DESC LIMIT 1"));
        Statement invoiceName = db.prepare(
            QStringLiteral("SELECT Customer FROM Invoices WHERE CustListID = ? LIMIT 1"));
        forEachRecord(changed, [&](const qb::Element &element) {
            const qb::CustomerRet customer(element);
            const QString id = customer.listId();
            const auto fullName = customer.fullName();
            if (id.isEmpty() || !fullName)
                return;
            renames.newNameById.insert(id, *fullName);
            auto old = firstText(knownName, id);
            if (!old)
                old = firstText(invoiceName, id);
            if (old && *old != *fullName && !old->isEmpty())
                renames.newNameByOldName.insert(*old, *fullName);
        });
    }
    applyRenames(db, QStringLiteral("Invoices"), QStringLiteral("CustListID"),
                 QStringLiteral("Customer"), renames);
    applyRenames(db, QStringLiteral("KnownCustomers"), QStringLiteral("ListID"),
                 QStringLiteral("FullName"), renames);

    // Each changed record replaces the one of its ListID.
    KnownCustomerRows known(db);
    std::optional<CustomerRows> rows;
    if (customerTables)
        rows.emplace(db);
    const auto dropFrom = [&db](const QString &table, const QString &id) {
        db.execute(QStringLiteral("DELETE FROM %1 WHERE ListID = ?").arg(table), {id});
    };
    forEachRecord(changed, [&](const qb::Element &element) {
        const qb::CustomerRet customer(element);
        latest.see(customer.timeModified());
        const QString id = customer.listId();
        dropFrom(QStringLiteral("KnownCustomers"), id);
        known.write(customer);
        if (!customerTables)
            return;
        dropFrom(QStringLiteral("Customers"), id);
        // As the retrieval, which asks for active customers only: top-level ones get a row.
        if (!customer.parentRef() && customer.isActive().value_or(true))
            rows->write(customer);
    });
    for (const Deletion &deletion : deleted) {
        latest.see(deletion.time);
        dropFrom(QStringLiteral("KnownCustomers"), deletion.id);
        if (customerTables)
            dropFrom(QStringLiteral("Customers"), deletion.id);
    }
    if (!customerTables)
        return;

    // The job relation of the active customers, as the retrieval works it out.
    db.deleteAll(QStringLiteral("CustomerJobs"));
    CustomerTree tree;
    Statement active = db.prepare(
        QStringLiteral("SELECT ListID, FullName, ParentListID, ParentFullName FROM KnownCustomers "
                       "WHERE IsActive ORDER BY rowid"));
    while (active.step()) {
        QByteArray parentListId = active.value(2).toString().toUtf8();
        QByteArray parentFullName = active.value(3).toString().toUtf8();
        const bool isJob = !parentListId.isEmpty() || !parentFullName.isEmpty();
        tree.add(active.value(0).toString().toUtf8(), active.value(1).toString().toUtf8(),
                 std::move(parentListId), std::move(parentFullName), isJob);
    }
    tree.writeJobs(db);
}

} // namespace corvina
