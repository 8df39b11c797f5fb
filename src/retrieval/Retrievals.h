#pragma once

namespace corvina {

class ProgramState;

// The retrievals that copy QuickBooks lists into QBData.mdb. Each traps its own errors: a
// locked table offers OK (try again) and Cancel, a QuickBooks status other than 0 is shown
// as QuickBooks' message, anything else goes to the error report with the procedure's name
// and the numbered step that failed. A table is replaced in one transaction, so a failure
// leaves its previous rows.

// Customers (top-level only) into Customers; stamps "Cust"; leaves the session open.
void GetCustomers(ProgramState &state);

} // namespace corvina

namespace corvina {

// Asks for the period, copies every item line of the period's invoices into Invoices,
// stamps "Inv", then runs GetItems (which ends the session and closes the status window).
void GetInvoices(ProgramState &state);

// Items of six kinds into Items; ends the session and closes the status window.
void GetItems(ProgramState &state);

// Bring Customers and CustomerJobs (RefreshCustomers), or Invoices and Items
// (RefreshInvoices, which ends the session as GetItems does) up to date by asking QuickBooks
// only for what changed since the last retrieval or refresh, and for what was deleted. The
// tables end up as a full retrieval would write them. Everything is asked first and written
// in one transaction with the refresh state, so a failure leaves copy and state as they
// were. When a refresh cannot be exact (no earlier retrieval, a database of an earlier
// version, more than 90 days since, another company file, tables changed meanwhile), the
// user is told in one sentence and the full retrieval runs instead: GetCustomers, or the
// invoice retrieval of the period last retrieved. Each stamps "Cust" or "Inv".
void RefreshCustomers(ProgramState &state);
void RefreshInvoices(ProgramState &state);

// Sales reps into Reps, on a session of its own that it ends.
void GetReps(ProgramState &state);

} // namespace corvina
