#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/Records.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/RefreshState.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "retrieval/TableRows.h"
#include "state/ProgramState.h"

#include <QHash>

#include <vector>

namespace corvina {

namespace {

enum class Outcome { Done, Stopped };

// Steps 2 to 13; `step` follows the step being run.
Outcome retrieve(ProgramState &state, ProcedureStep &step)
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
    status.step(QStringLiteral("Retrieving customers from Quickbooks..."));
    step.reach(40);
    PagedQuery pages(qb, qb::QueryKind::Customer);
    step.reach(50);
    const qb::Response *response = pages.next();
    step.reach(60);
    if (reportStatus(state, *response))
        return Outcome::Stopped;

    step.reach(70);
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db); // every page or none: a failure part-way keeps the old rows
    step.reach(80);
    db.deleteAll(QStringLiteral("Customers"));
    addMissingTables(db); // a file start-up could not bring up to date
    db.deleteAll(QStringLiteral("CustomerJobs"));
    db.deleteAll(QStringLiteral("KnownCustomers"));
    step.reach(90);
    const int count = pages.knownTotal().value_or(response->count());
    status.startRecords(count,
                        QStringLiteral("Updating the Customers table in the QBData database..."));
    step.reach(100);
    CustomerRows rows(db);
    KnownCustomerRows known(db);
    LatestTime latest;
    CustomerTree tree;
    int done = 0;
    while (response) {
        for (int i = 0; i < response->count(); ++i) {
            const qb::CustomerRet customer(response->record(i));
            tree.add(customer);
            known.write(customer);
            latest.see(customer.timeModified());
            if (!customer.parentRef()) // jobs and sub-customers go to CustomerJobs only
                rows.write(customer);
            status.progress(++done);
        }
        response = pages.next();
        if (response && reportStatus(state, *response))
            return Outcome::Stopped;
    }
    tree.writeJobs(db);
    step.reach(110);
    const QDateTime now = state.screen().now();
    writeListState(db, lists::kCust,
                   {rememberedCompanyFile(state),
                    latest.value(),
                    {},
                    {},
                    now,
                    fingerprintOf(db, lists::kCust)});
    rewrite.commit();

    step.reach(120);
    stampRetrievalDate(state, QStringLiteral("Cust"), now);
    step.reach(130);
    state.screen().setBoxText(RetrievalBox::Cust, generalDateText(now));
    state.screen().enableEntry(MenuEntry::DispCust);
    state.screen().enableEntry(MenuEntry::LettersAndLabels);
    return Outcome::Done;
}

} // namespace

void GetCustomers(ProgramState &state)
{
    StatusDisplay &status = state.status();
    ProcedureStep step(10);
    try {
        status.open();
        status.busyPointer();
        retryWhileLocked(state, QStringLiteral("Customers"), [&] { retrieve(state, step); });
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetCustomers"), step.number());
    }
    // Exit steps: default pointer, status window unloaded; the session stays open.
    status.close();
}

} // namespace corvina
