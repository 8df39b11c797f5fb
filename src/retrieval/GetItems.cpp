#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/Records.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/RefreshState.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "retrieval/TableRows.h"
#include "state/ProgramState.h"

namespace corvina {

namespace {

// Steps 4 to 9, from the retry point; false when QuickBooks answered with a non-zero status.
void retrieve(ProgramState &state, ProcedureStep &step)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();

    step.reach(40);
    PagedQuery pages(qb, qb::QueryKind::Item);
    const qb::Response *response = pages.next();
    step.reach(50);
    if (reportStatus(state, *response))
        return;

    step.reach(60);
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db); // every page or none: a failure part-way keeps the old rows
    db.deleteAll(QStringLiteral("Items"));
    db.deleteAll(QStringLiteral("KnownItems"));
    step.reach(70);
    const int count = pages.knownTotal().value_or(response->count());
    status.startRecords(count, QStringLiteral("Writing %1 items to the Items table...").arg(count));
    step.reach(80);
    ItemRows rows(db);
    KnownItemRows known(db);
    LatestTime latest;
    int done = 0;
    while (response) {
        for (int i = 0; i < response->count(); ++i) {
            const qb::ItemEntry entry(response->record(i));
            rows.write(entry);
            const qb::ItemRecord item(response->record(i));
            known.write(item);
            latest.see(item.timeModified());
            status.progress(done++); // the bar stops one entry short of full, as it always has
        }
        response = pages.next();
        if (response && reportStatus(state, *response))
            return;
    }
    step.reach(90);
    writeListState(db, lists::kItems,
                   {rememberedCompanyFile(state),
                    latest.value(),
                    {},
                    {},
                    state.screen().now(),
                    fingerprintOf(db, lists::kItems)});
    rewrite.commit();
}

} // namespace

void GetItems(ProgramState &state)
{
    StatusDisplay &status = state.status();
    ProcedureStep step(10);
    try {
        status.openOrContinue();
        step.reach(20);
        if (!state.quickBooks().sessionOpen) {
            status.step(QStringLiteral("Opening and logging into Quickbooks..."));
            if (!OpenQB(state)) {
                status.close();
                return;
            }
        }
        step.reach(30);
        status.step(QStringLiteral("Retrieving item list from Quickbooks..."));
        if (!retryWhileLocked(state, QStringLiteral("Items"), [&] { retrieve(state, step); })) {
            status.close(); // Cancel leaves the session as it is
            return;
        }
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetItems"), step.number());
    }
    // Steps 10 and 11, on the normal path and after a status or an error.
    step.reach(110);
    try {
        CloseQB(state);
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetItems"), step.number());
    }
    status.close();
}

} // namespace corvina
