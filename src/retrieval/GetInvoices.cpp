#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/Records.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/PeriodText.h"
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

const QChar kCR(13);

// The dialog's texts as dates; a text that is not a date is named to the user and stops
// the retrieval before anything is asked of QuickBooks.
std::optional<Period> readPeriod(ProgramState &state, const RetrievalPeriod &texts)
{
    Period period;
    const std::pair<const QString *, std::optional<QDate> *> sides[] = {{&texts.from, &period.from},
                                                                        {&texts.to, &period.to}};
    for (const auto &[text, date] : sides) {
        if (text->trimmed().isEmpty())
            continue;
        *date = readTypedDate(*text, state.screen().now().date());
        if (!*date) {
            state.screen().message(
                QStringLiteral("\"%1\" is not a date. Enter dates as %2, or leave a box "
                               "empty to leave that side of the period open.")
                    .arg(*text, typedDateText(QDate(2024, 1, 31))),
                QStringLiteral("Period To Retrieve"), Buttons::Ok);
            return std::nullopt;
        }
    }
    return period;
}

enum class Outcome { Written, Stopped };

// Steps 5 to 12, from the retry point.
Outcome retrieve(ProgramState &state, const Period &period, bool &tableWasEmpty,
                 ProcedureStep &step)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();

    step.reach(50);
    PagedQuery pages(qb, qb::QueryKind::Invoice, period.from, period.to,
                     state.screen().now().date());
    step.reach(70);
    const qb::Response *response = pages.next();
    step.reach(80);
    if (reportStatus(state, *response))
        return Outcome::Stopped;

    step.reach(90);
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db); // every page or none: a failure part-way keeps the old rows
    tableWasEmpty = db.countRows(QStringLiteral("Invoices")) == 0;
    if (!tableWasEmpty)
        db.deleteAll(QStringLiteral("Invoices"));
    step.reach(100);
    const int count = pages.knownTotal().value_or(response->count());
    status.startRecords(count,
                        QStringLiteral("Writing %1 invoices to the QBData database...").arg(count));
    status.stopAnimation();
    step.reach(110);
    InvoiceRows rows(db);
    LatestTime latest;
    int done = 0;
    while (response) {
        for (int i = 0; i < response->count(); ++i) {
            const qb::InvoiceRet invoice(response->record(i));
            latest.see(invoice.timeModified());
            rows.write(invoice, status, ++done);
        }
        response = pages.next();
        if (response && reportStatus(state, *response))
            return Outcome::Stopped;
        if (response && pages.mode() == PagedQuery::Mode::DateWindows) {
            // Date windows tell their count one window at a time.
            done = 0;
            status.startRecords(response->count(),
                                QStringLiteral("Writing %1 invoices to the QBData database...")
                                    .arg(response->count()));
        }
    }
    step.reach(120);
    writeListState(db, lists::kInv,
                   {rememberedCompanyFile(state), latest.value(), period.from, period.to,
                    state.screen().now(), fingerprintOf(db, lists::kInv)});
    rewrite.commit();
    return Outcome::Written;
}

void finish(ProgramState &state, bool tableWasEmpty, ProcedureStep &step)
{
    Screen &screen = state.screen();
    step.reach(130);
    const QDateTime now = screen.now();
    stampRetrievalDate(state, QStringLiteral("Inv"), now);
    step.reach(140);
    screen.setBoxText(RetrievalBox::Inv, generalDateText(now));
    screen.enableEntry(MenuEntry::DispInv);
    GetItems(state);
    screen.enableEntry(MenuEntry::ItemAging);
    step.reach(150);
    if (tableWasEmpty) {
        screen.message(
            QStringLiteral("The Item Analyzer (far right menu) shows your first and last billing "
                           "to each customer "
                           "who purchased each of your inventory items. The age of the first and "
                           "last billing is "
                           "also displayed in days.") +
                kCR + kCR +
                QStringLiteral(
                    "When you select \"Show Customers\", all of your customers are shown alongside "
                    "the "
                    "Item Analyzer, so you can quickly see which customers have not purchased your "
                    "inventory items."),
            QStringLiteral("Hint"), Buttons::Ok);
    }
}

} // namespace

void GetInvoices(ProgramState &state)
{
    const auto texts = state.screen().askRetrievalPeriod();
    if (!texts)
        return;
    const auto period = readPeriod(state, *texts);
    if (!period)
        return;
    GetInvoicesOfPeriod(state, *period);
}

void GetInvoicesOfPeriod(ProgramState &state, const Period &period)
{
    StatusDisplay &status = state.status();
    QuickBooksLink &qb = state.quickBooks();
    ProcedureStep step(20);
    try {
        status.open();
        status.busyPointer();
        step.reach(30);
        if (!qb.sessionOpen) {
            status.step(QStringLiteral("Opening and logging into Quickbooks..."));
            if (!OpenQB(state)) {
                status.close();
                return;
            }
        }
        step.reach(40);
        status.step(QStringLiteral("Retrieving invoices from Quickbooks (this may take some time, "
                                   "so please be patient)..."));
        status.playAnimation();
        bool tableWasEmpty = false;
        Outcome outcome = Outcome::Stopped;
        const bool tried = retryWhileLocked(state, QStringLiteral("Invoices"), [&] {
            outcome = retrieve(state, period, tableWasEmpty, step);
        });
        if (tried && outcome == Outcome::Written)
            finish(state, tableWasEmpty, step);
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetInvoices"), step.number());
    }
    // Step 16: default pointer, status window unloaded if still open.
    status.close();
}

} // namespace corvina
