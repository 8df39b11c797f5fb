#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "retrieval/RefreshState.h"
#include "retrieval/RefreshSupport.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "state/ProgramState.h"

namespace corvina {

namespace {

// Changed customers held at most; a refresh that finds more does the full retrieval.
constexpr int kMaxChanged = 50000;

const QString kInstead = QStringLiteral("all customers will be retrieved");

enum class Outcome { Done, Stopped, Full };

Outcome refresh(ProgramState &state, const ListState &last, ProcedureStep &step)
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
    status.step(QStringLiteral("Retrieving changed customers from Quickbooks..."));
    const qb::DateTime since = last.lastModified->addSecs(-kRefreshOverlapSeconds);
    const auto changed = askChanged(state, qb::QueryKind::Customer, since, kMaxChanged);
    if (!changed)
        return Outcome::Stopped;
    if (changed->tooMany) {
        state.screen().message(
            QStringLiteral("More than %1 customers changed since the last retrieval, so %2.")
                .arg(kMaxChanged)
                .arg(kInstead),
            kAppTitle, Buttons::Ok);
        return Outcome::Full;
    }
    step.reach(40);
    const auto deleted =
        askDeleted(state, qb::QueryKind::ListDeleted, {QStringLiteral("Customer")}, since);
    if (!deleted)
        return Outcome::Stopped;

    // Every answer is in: one transaction for the tables and the state.
    step.reach(50);
    status.step(QStringLiteral("Updating the Customers table in the QBData database..."));
    const QDateTime now = state.screen().now();
    const bool applied = retryWhileLocked(state, QStringLiteral("Customers"), [&] {
        Database db = openLocalDb(state.appFolder());
        Transaction transaction(db);
        addMissingTables(db);
        LatestTime latest(last.lastModified);
        applyCustomerChanges(db, changed->pages, *deleted, true, latest);
        writeListState(
            db, lists::kCust,
            {last.companyFile, latest.value(), {}, {}, now, fingerprintOf(db, lists::kCust)});
        transaction.commit();
    });
    if (!applied)
        return Outcome::Stopped;

    step.reach(60);
    showRefreshed(state, RetrievalBox::Cust, now,
                  {MenuEntry::DispCust, MenuEntry::LettersAndLabels});
    return Outcome::Done;
}

} // namespace

void RefreshCustomers(ProgramState &state)
{
    StatusDisplay &status = state.status();
    ProcedureStep step(10);
    Outcome outcome = Outcome::Stopped;
    try {
        upgradeLocalDb(state.appFolder());
        std::optional<ListState> last;
        {
            Database db = openLocalDb(state.appFolder());
            const auto why = whyNotRefreshable(db, lists::kCust, rememberedCompanyFile(state),
                                               state.screen().now(), kInstead);
            if (why)
                state.screen().message(*why, kAppTitle, Buttons::Ok);
            else
                last = readListState(db, lists::kCust);
        }
        if (!last) {
            GetCustomers(state);
            return;
        }
        status.open();
        status.busyPointer();
        outcome = refresh(state, *last, step);
    } catch (...) {
        reportUnexpected(state, QStringLiteral("RefreshCustomers"), step.number());
    }
    status.close(); // the session stays open, as after a retrieval
    if (outcome == Outcome::Full)
        GetCustomers(state);
}

} // namespace corvina
