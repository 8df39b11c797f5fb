#include "views/CustSales.h"

#include "localdb/LocalDb.h"
#include "localdb/TextRule.h"
#include "localdb/Value.h"
#include "state/ProgramState.h"

#include <QHash>

namespace corvina {

namespace {

const QStringList kParentFields = {u"Name"_qs,      u"BillAddr1"_qs, u"BillAddr2"_qs,
                                   u"BillAddr3"_qs, u"BillAddr4"_qs, u"BillCity"_qs,
                                   u"BillState"_qs, u"BillZip"_qs,   u"Contact"_qs,
                                   u"Phone"_qs,     u"CustType"_qs,  u"ListID"_qs};
const QStringList kChildFields = {u"LDate"_qs, u"InvNo"_qs, u"TotAmt"_qs, u"LRep"_qs,
                                  u"CustListID"_qs};

} // namespace

std::shared_ptr<reporting::MemoryRows> buildCustSales(const QString &appFolder)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    auto result = std::make_shared<reporting::MemoryRows>(kParentFields, QStringLiteral("Child"),
                                                          kChildFields);

    // Parents in state and zip order; customers with the same state and zip stay in the
    // order they are stored.
    Statement parents = db.prepare(QStringLiteral(
        "SELECT Name, BillAddr1, BillAddr2, BillAddr3, BillAddr4, BillCity, BillState, BillZip, "
        "Contact, Phone, CustType, ListID FROM Customers ORDER BY BillState, BillZip, rowid"));
    // Invoices relate by ListID, compared without case; a customer without a ListID
    // collects nothing, and with a repeated ListID the first customer that has it does.
    QHash<QString, int> parentOfListId;
    while (parents.step()) {
        const int row = result->addRow(parents.values());
        const QString listId = caseKey(parents.value(11).toString());
        if (!listId.isEmpty() && !parentOfListId.contains(listId))
            parentOfListId.insert(listId, row);
    }
    // A job's or sub-customer's invoices go to its top-level customer.
    if (hasTable(db, QStringLiteral("CustomerJobs"))) {
        Statement jobs = db.prepare(
            QStringLiteral("SELECT ListID, CustListID FROM CustomerJobs ORDER BY rowid"));
        QHash<QString, int> parentOfJob;
        while (jobs.step()) {
            const QString job = caseKey(jobs.value(0).toString());
            const auto customer = parentOfListId.constFind(caseKey(jobs.value(1).toString()));
            if (!job.isEmpty() && customer != parentOfListId.constEnd() &&
                !parentOfJob.contains(job))
                parentOfJob.insert(job, *customer);
        }
        for (auto it = parentOfJob.cbegin(); it != parentOfJob.cend(); ++it) {
            if (!parentOfListId.contains(it.key()))
                parentOfListId.insert(it.key(), it.value());
        }
    }

    // One row per invoice (customer and number); the last line in stored order gives the
    // date and the rep.
    Statement invoices = db.prepare(QStringLiteral(
        "SELECT Last(InvDate, rowid) AS LDate, InvNo, Sum(Amt) AS TotAmt, Last(SalesRep, rowid) AS "
        "LRep, "
        "CustListID FROM Invoices GROUP BY CustListID, InvNo ORDER BY CustListID, InvNo"));
    while (invoices.step()) {
        const QString customer = caseKey(invoices.value(4).toString());
        const auto it = parentOfListId.constFind(customer);
        if (customer.isEmpty() || it == parentOfListId.constEnd())
            continue;
        QVariantList row = invoices.values();
        // An aggregate's value carries no column type: read the date back from its stored form.
        if (!row[0].isNull())
            row[0] = dateFromStorage(row[0].toString());
        result->addChild(*it, row);
    }
    return result;
}

std::shared_ptr<reporting::MemoryRows> GetCustSales(ProgramState &state)
{
    state.custSales().reset();
    auto result = buildCustSales(state.appFolder());
    state.custSales() = result;
    return result;
}

} // namespace corvina
