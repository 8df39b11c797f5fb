#include "analysis/ItemAging.h"

#include "analysis/CustomerOrder.h"
#include "analysis/ItemAgingRows.h"
#include "analysis/ItemTypeStore.h"
#include "analysis/LineReader.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "localdb/Value.h"
#include "state/ProgramState.h"

#include <QDateTime>

namespace corvina {

using namespace itemaging;

namespace {

// A date as stored, read back; null when empty or unreadable.
QVariant storedDate(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    const QDateTime date = dateFromStorage(stored.toString());
    return date.isValid() ? QVariant(date) : QVariant();
}

// The items of the result, and which of them each ListID relates lines to. ListIDs compare
// without case, as the column does; a repeated ListID relates the same children to each of
// its items. An item without ListID relates to nothing.
struct ListedItems {
    CaseKeyIds ids;
    std::vector<std::vector<int>> rowsOfItem; // by item id
};

ListedItems readItems(Database &db, const ItemKindClause &clause, ItemAgingRows &result,
                      const std::shared_ptr<const SharedValues> &shared)
{
    Statement parents =
        db.prepare(QStringLiteral("Select Name, \"Desc\", ListID From Items Where IsActive <> 0") +
                   clause.sql + QStringLiteral(" Order By rowid"));
    parents.bindAll(clause.values);
    ListedItems items;
    while (parents.step()) {
        const int row = result.addItem(parents.values(), shared);
        const QVariant listId = parents.value(2);
        if (listId.isNull())
            continue;
        const auto item = static_cast<size_t>(items.ids.idOf(listId.toString()));
        if (item >= items.rowsOfItem.size())
            items.rowsOfItem.resize(item + 1);
        items.rowsOfItem[item].push_back(row);
    }
    return items;
}

// With no item to relate lines to, the period still covers every line.
void readPeriodOnly(Database &db, ItemAgingRows &result)
{
    Statement period = db.prepare(QStringLiteral(
        "Select Cast(Min(InvDate) As Text), Cast(Max(InvDate) As Text) From Invoices"));
    if (period.step())
        result.setPeriod(storedDate(period.value(0)), storedDate(period.value(1)));
}

// Customers by name, each with its state and type.
struct KnownCustomers {
    CaseKeyIds ids;
    std::vector<CustomerFacts> facts; // by id
};

// With a repeated name the first stored row speaks for it, so a line is never counted twice.
// A job's lines carry its full name ("Customer:Job"); it takes the state and type of its
// top-level customer. A customer's own name wins over a job's.
KnownCustomers readCustomers(Database &db)
{
    KnownCustomers known;
    Statement custs = db.prepare(
        QStringLiteral("Select Name, BillState, CustType From Customers Order By rowid"));
    while (custs.step()) {
        if (custs.isNull(0))
            continue;
        const int id = known.ids.idOf(custs.value(0).toString());
        if (static_cast<size_t>(id) == known.facts.size())
            known.facts.push_back({custs.value(1), custs.value(2)});
    }
    if (hasTable(db, QStringLiteral("CustomerJobs"))) {
        Statement jobs = db.prepare(QStringLiteral(
            "Select j.FullName, c.BillState, c.CustType From CustomerJobs j "
            "Join Customers c On c.ListID = j.CustListID Where j.FullName Is Not Null "
            "Order By j.rowid, c.rowid"));
        while (jobs.step()) {
            const int id = known.ids.idOf(jobs.value(0).toString());
            if (static_cast<size_t>(id) == known.facts.size())
                known.facts.push_back({jobs.value(1), jobs.value(2)});
        }
    }
    return known;
}

std::vector<QVariant> textValues(const TextDictionary &texts)
{
    std::vector<QVariant> out(static_cast<size_t>(texts.size()));
    for (int t = 1; t < texts.size(); ++t)
        out[static_cast<size_t>(t)] = texts.text(t);
    return out;
}

// Values shared by many rows are made once: dates, classes, ListIDs, customer facts.
void shareValues(const LineGroups &lines, const KnownCustomers &customers, SharedValues &shared,
                 ItemAgingRows &result)
{
    const TextDictionary &dateTexts = lines.dateTexts;
    shared.dates.resize(static_cast<size_t>(dateTexts.size()));
    for (int d = 1; d < dateTexts.size(); ++d)
        shared.dates[static_cast<size_t>(d)] = storedDate(dateTexts.text(d));
    const auto dateOf = [&](int id) {
        return id > 0 ? shared.dates[static_cast<size_t>(id)] : QVariant();
    };
    result.setPeriod(dateOf(lines.period.first), dateOf(lines.period.last));
    const TextDictionary &customerTexts = lines.customerTexts;
    shared.facts.resize(static_cast<size_t>(customerTexts.size()));
    for (int c = 1; c < customerTexts.size(); ++c) {
        const int known = customers.ids.find(customerTexts.text(c));
        if (known >= 0)
            shared.facts[static_cast<size_t>(c)] = customers.facts[static_cast<size_t>(known)];
    }
    shared.customers = textValues(customerTexts);
    shared.listIds = textValues(lines.itemTexts);
    shared.classes = textValues(lines.classTexts);
}

// Each item's customers in name order.
void attachChildren(const LineGroups &lines, const ListedItems &items, ItemAgingRows &result)
{
    for (const int g : groupsByCustomerName(lines.groups, lines.customerTexts)) {
        const int item = lines.groups[static_cast<size_t>(g)].itemId;
        for (const int parent : items.rowsOfItem[static_cast<size_t>(item)])
            result.childrenOf(parent).add(g);
    }
}

} // namespace

std::shared_ptr<reporting::ReportRows> buildItemAging(const QString &appFolder,
                                                      const ItemKindClause &clause)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    // Every read below sees one state of the file: the first read takes a shared lock, held
    // until the end, so no writer can commit while the second connection starts reading.
    ReadTransaction snapshot(db);
    auto result = std::make_shared<ItemAgingRows>();
    auto shared = std::make_shared<SharedValues>();

    const ListedItems items = readItems(db, clause, *result, shared);
    if (items.rowsOfItem.empty()) {
        readPeriodOnly(db, *result);
        return result;
    }
    LineGroups lines(items.ids);
    KnownCustomers customers;
    readLineGroups(db, appFolder, lines, [&] { customers = readCustomers(db); });
    shareValues(lines, customers, *shared, *result);
    attachChildren(lines, items, *result);
    shared->groups = std::move(lines.groups);
    return result;
}

} // namespace corvina
