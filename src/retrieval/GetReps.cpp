#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/ComErrors.h"
#include "qbxml/Records.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "state/ProgramState.h"

namespace corvina {

namespace {

enum RepColumn { ListID, Rep, Name };
const QStringList kColumns = {u"ListID"_qs, u"Rep"_qs, u"Name"_qs};

// Raised by the login-refused path, which ends the procedure at once.
struct LoginRefused {
    Error error;
};

// Steps 3 to 7. An unexpected error is reported and the procedure carries on with the
// steps that follow the failed part: a failed request skips the table, a failed rewrite
// keeps the table's previous rows. Nothing is retried, so nothing can loop.
void retrieve(ProgramState &state, ProcedureStep &step)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();

    step.reach(30);
    qb.requests->setOnError(qb::OnError::Continue);
    qb.requests->appendSalesRepQuery();
    const qb::ResponseSet answer = qb.sessionManager->doRequests(*qb.requests);
    const qb::Response &response = firstResponse(answer);
    step.reach(40);
    if (reportStatus(state, response))
        return;

    step.reach(50);
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db);
    db.deleteAll(QStringLiteral("Reps"));
    step.reach(60);
    const int count = response.count();
    status.startRecords(count, QStringLiteral("Saving Rep information..."));
    step.reach(70);
    RowInserter row(db, QStringLiteral("Reps"), kColumns);
    for (int i = 1; i <= count; ++i) {
        const qb::SalesRepRet rep(response.record(i - 1));
        row.set(ListID, rep.listId());
        row.setIf(Rep, rep.initial());
        if (const auto entity = rep.salesRepEntityRef())
            row.setIf(Name, entity->fullName);
        row.insert();
        status.progress(i);
    }
    rewrite.commit();
}

void report(ProgramState &state, const Error &e, int step)
{
    if (e.number() == qb::hr::kNoAutoLogin)
        throw LoginRefused{e};
    reportFailure(state, QStringLiteral("GetReps"), e, step);
}

} // namespace

void GetReps(ProgramState &state)
{
    StatusDisplay &status = state.status();
    Screen &screen = state.screen();
    ProcedureStep step(10);
    try {
        try {
            status.busyPointer();
            status.open();
            status.step(QStringLiteral("Retrieving Reps from your QB company file..."));
            step.reach(20);
            if (!OpenQB(state)) {
                status.close();
                return;
            }
            try {
                retrieve(state, step);
            } catch (const Error &e) {
                report(state, e, step.number());
            }
            step.reach(80);
            try {
                CloseQB(state);
            } catch (const Error &e) {
                report(state, e, step.number());
            }
        } catch (const Error &e) {
            report(state, e, step.number());
        } catch (...) {
            reportUnexpected(state, QStringLiteral("GetReps"), step.number());
        }
    } catch (const LoginRefused &refused) {
        screen.setBusyPointer(false);
        screen.message(
            refused.error.description() +
                QStringLiteral(
                    " In order for Fenwick to access your Quickbooks data, you must either "
                    "(a) have your company file already open in Quickbooks or (b) configure "
                    "Quickbooks to allow the automatic login of Fenwick. For more "
                    "information, select \"Configure Automatic Login\" from the Fenwick "
                    "Main Menu."),
            QStringLiteral("Login Failed"), Buttons::Ok);
        try {
            CloseQB(state);
        } catch (...) {
            reportUnexpected(state, QStringLiteral("GetReps"), step.number());
        }
        status.close();
        screen.showMainWindow();
        return;
    }
    // Step 9.
    status.close();
}

} // namespace corvina
