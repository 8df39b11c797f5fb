#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/Records.h"
#include "retrieval/RefreshState.h"
#include "retrieval/RefreshSupport.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "retrieval/TableRows.h"
#include "state/ProgramState.h"

namespace corvina {

namespace {

// Changed records of one kind held at most; a refresh that finds more does the full
// retrieval (its pages are written as they come, so memory stays bounded there).
constexpr int kMaxChanged = 50000;

// The item kinds Items holds, as QuickBooks names them in its deleted-list query.
const QStringList kDeletedItemTypes = {
    QStringLiteral("ItemService"),           QStringLiteral("ItemNonInventory"),
    QStringLiteral("ItemOtherCharge"),       QStringLiteral("ItemInventory"),
    QStringLiteral("ItemInventoryAssembly"), QStringLiteral("ItemSalesTaxGroup"),
};

enum class Outcome { Done, Stopped, Full };

struct Changes {
    ChangedRecords invoices, customers, items;
    std::vector<Deletion> deletedInvoices, deletedItems;
};

bool inPeriod(const std::optional<QDate> &date, const ListState &last)
{
    if (!date)
        return !last.periodFrom && !last.periodTo;
    return (!last.periodFrom || *date >= *last.periodFrom) &&
           (!last.periodTo || *date <= *last.periodTo);
}

// Items: renames reach the invoice lines, each changed entry replaces its row (an inactive
// one, like a deleted one, leaves: the retrieval asks for active items only).
void applyItemChanges(Database &db, const Changes &changes, LatestTime &latest)
{
    // The name an item had: as last seen in the item list, else as its invoice lines show it
    // (a copy retrieved before the list of names was kept).
    KnownItemRows known(db);
    Renames renames;
    {
        Statement invoiceName =
            db.prepare(QStringLiteral("SELECT ItemRef FROM Invoices WHERE ItemRefID = ? LIMIT 1"));
        const auto oldName = [&](const QString &id) -> std::optional<QString> {
            if (auto name = known.fullName(id))
                return name;
            invoiceName.bind(1, id);
            std::optional<QString> name;
            if (invoiceName.step() && !invoiceName.value(0).isNull())
                name = invoiceName.value(0).toString();
            invoiceName.reset();
            return name;
        };
        forEachRecord(changes.items.pages, [&](const qb::Element &element) {
            const qb::ItemRecord item(element);
            const auto fullName = item.fullName();
            if (item.listId().isEmpty() || !fullName)
                return;
            renames.newNameById.insert(item.listId(), *fullName);
            if (const auto old = oldName(item.listId());
                old && !old->isEmpty() && *old != *fullName)
                renames.newNameByOldName.insert(*old, *fullName);
        });
    }
    applyRenames(db, QStringLiteral("Invoices"), QStringLiteral("ItemRefID"),
                 QStringLiteral("ItemRef"), renames);

    ItemRows rows(db);
    const auto drop = [&db](const QString &id) {
        db.execute(QStringLiteral("DELETE FROM Items WHERE ListID = ?"), {id});
    };
    forEachRecord(changes.items.pages, [&](const qb::Element &element) {
        const qb::ItemRecord item(element);
        latest.see(item.timeModified());
        drop(item.listId());
        known.write(item);
        const qb::ItemEntry entry(element);
        if (ItemRows::copies(entry) && item.isActive().value_or(true))
            rows.write(entry);
    });
    for (const Deletion &deletion : changes.deletedItems) {
        latest.see(deletion.time);
        drop(deletion.id);
        known.drop(deletion.id);
    }
}

// Invoices: each changed invoice's lines are replaced whole when it lies in the period and
// dropped when not; a deleted invoice's lines are dropped.
void applyInvoiceChanges(Database &db, const Changes &changes, const ListState &last,
                         StatusDisplay &status, LatestTime &latest)
{
    InvoiceRows rows(db);
    Statement drop = db.prepare(QStringLiteral("DELETE FROM Invoices WHERE TxnID = ?"));
    const auto dropLines = [&drop](const QString &txnId) {
        if (txnId.isEmpty())
            return;
        drop.bind(1, txnId);
        drop.run();
        drop.reset();
    };
    status.startRecords(changes.invoices.count,
                        QStringLiteral("Writing %1 changed invoices to the QBData database...")
                            .arg(changes.invoices.count));
    int done = 0;
    forEachRecord(changes.invoices.pages, [&](const qb::Element &element) {
        const qb::InvoiceRet invoice(element);
        latest.see(invoice.timeModified());
        dropLines(invoice.txnId());
        if (inPeriod(invoice.txnDate(), last))
            rows.write(invoice, status, ++done);
        else
            status.progress(++done);
    });
    for (const Deletion &deletion : changes.deletedInvoices) {
        latest.see(deletion.time);
        dropLines(deletion.id);
    }
}

// Asks for every change; nothing when the refresh stops or falls back (`outcome`).
std::optional<Changes> askChanges(ProgramState &state, const ListState &invoices,
                                  const ListState &items, Outcome &outcome, ProcedureStep &step)
{
    const qb::DateTime invoicesSince = invoices.lastModified->addSecs(-kRefreshOverlapSeconds);
    const qb::DateTime itemsSince = items.lastModified->addSecs(-kRefreshOverlapSeconds);
    Changes changes;
    outcome = Outcome::Stopped;
    const auto take = [&](std::optional<ChangedRecords> asked, ChangedRecords &into,
                          const QString &what) {
        if (!asked)
            return false;
        if (asked->tooMany) {
            state.screen().message(
                QStringLiteral("More than %1 %2 changed since the last retrieval, so all "
                               "invoices of its period will be retrieved again.")
                    .arg(kMaxChanged)
                    .arg(what),
                kAppTitle, Buttons::Ok);
            outcome = Outcome::Full;
            return false;
        }
        into = std::move(*asked);
        return true;
    };
    step.reach(40);
    if (!take(askChanged(state, qb::QueryKind::Invoice, invoicesSince, kMaxChanged),
              changes.invoices, QStringLiteral("invoices")))
        return std::nullopt;
    step.reach(50);
    auto deletedInvoices =
        askDeleted(state, qb::QueryKind::TxnDeleted, {QStringLiteral("Invoice")}, invoicesSince);
    if (!deletedInvoices)
        return std::nullopt;
    changes.deletedInvoices = std::move(*deletedInvoices);
    // Customers renamed since change the names on their invoices and their jobs' invoices,
    // which QuickBooks does not count as a change of those invoices.
    step.reach(60);
    if (!take(askChanged(state, qb::QueryKind::Customer, invoicesSince, kMaxChanged),
              changes.customers, QStringLiteral("customers")))
        return std::nullopt;
    step.reach(70);
    state.status().step(QStringLiteral("Retrieving changed items from Quickbooks..."));
    if (!take(askChanged(state, qb::QueryKind::Item, itemsSince, kMaxChanged), changes.items,
              QStringLiteral("items")))
        return std::nullopt;
    step.reach(80);
    auto deletedItems =
        askDeleted(state, qb::QueryKind::ListDeleted, kDeletedItemTypes, itemsSince);
    if (!deletedItems)
        return std::nullopt;
    changes.deletedItems = std::move(*deletedItems);
    return changes;
}

Outcome refresh(ProgramState &state, const ListState &invoices, const ListState &items,
                ProcedureStep &step)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();
    step.reach(20);
    if (!qb.sessionOpen) {
        status.step(QStringLiteral("Opening and logging into Quickbooks..."));
        if (!OpenQB(state))
            return Outcome::Stopped;
    }
    step.reach(30);
    status.step(QStringLiteral("Retrieving changed invoices from Quickbooks..."));
    Outcome outcome = Outcome::Stopped;
    const auto changes = askChanges(state, invoices, items, outcome, step);
    if (!changes)
        return outcome;

    // Every answer is in: one transaction for the tables and the state.
    step.reach(90);
    const QDateTime now = state.screen().now();
    const bool applied = retryWhileLocked(state, QStringLiteral("Invoices"), [&] {
        Database db = openLocalDb(state.appFolder());
        Transaction transaction(db);
        addMissingTables(db);
        LatestTime customersSeen; // the customer refresh keeps its own point
        applyCustomerChanges(db, changes->customers.pages, {}, false, customersSeen);
        LatestTime itemsLatest(items.lastModified);
        applyItemChanges(db, *changes, itemsLatest);
        LatestTime invoicesLatest(invoices.lastModified);
        applyInvoiceChanges(db, *changes, invoices, status, invoicesLatest);
        writeListState(db, lists::kInv,
                       {invoices.companyFile, invoicesLatest.value(), invoices.periodFrom,
                        invoices.periodTo, now, fingerprintOf(db, lists::kInv)});
        writeListState(db, lists::kItems,
                       {items.companyFile,
                        itemsLatest.value(),
                        {},
                        {},
                        now,
                        fingerprintOf(db, lists::kItems)});
        transaction.commit();
    });
    if (!applied)
        return Outcome::Stopped;

    step.reach(100);
    showRefreshed(state, RetrievalBox::Inv, now, {MenuEntry::DispInv, MenuEntry::ItemAging});
    return Outcome::Done;
}

} // namespace

void RefreshInvoices(ProgramState &state)
{
    StatusDisplay &status = state.status();
    ProcedureStep step(10);
    Outcome outcome = Outcome::Stopped;
    std::optional<ListState> invoices, items;
    try {
        upgradeLocalDb(state.appFolder());
        {
            Database db = openLocalDb(state.appFolder());
            invoices = readListState(db, lists::kInv);
            const QString instead =
                invoices ? QStringLiteral("all invoices of the period last retrieved will be "
                                          "retrieved again")
                         : QStringLiteral("all invoices will be retrieved");
            const QString company = rememberedCompanyFile(state);
            const QDateTime now = state.screen().now();
            auto why = whyNotRefreshable(db, lists::kInv, company, now, instead);
            if (!why)
                why = whyNotRefreshable(db, lists::kItems, company, now, instead);
            if (why) {
                state.screen().message(*why, kAppTitle, Buttons::Ok);
                outcome = Outcome::Full;
            } else {
                items = readListState(db, lists::kItems);
            }
        }
        if (outcome != Outcome::Full) {
            status.open();
            status.busyPointer();
            outcome = refresh(state, *invoices, *items, step);
        }
    } catch (...) {
        reportUnexpected(state, QStringLiteral("RefreshInvoices"), step.number());
    }
    if (outcome == Outcome::Full) {
        status.close();
        if (invoices)
            GetInvoicesOfPeriod(state, {invoices->periodFrom, invoices->periodTo});
        else
            GetInvoices(state);
        return;
    }
    // As the item retrieval: the session ends here, on every way out.
    step.reach(110);
    try {
        if (state.quickBooks().sessionOpen || state.quickBooks().sessionManager)
            CloseQB(state);
    } catch (...) {
        reportUnexpected(state, QStringLiteral("RefreshInvoices"), step.number());
    }
    status.close();
}

} // namespace corvina
