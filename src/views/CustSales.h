#pragma once

#include "reporting/MemoryRows.h"

#include <QString>

#include <memory>

namespace corvina {

class ProgramState;

// Customer sales by state and zip: one parent row per customer (Name, BillAddr1–4, BillCity,
// BillState, BillZip, Contact, Phone, CustType, ListID) ordered by state, then zip; under
// "Child" one row per invoice of that customer (LDate, InvNo, TotAmt, LRep, CustListID), where
// LDate and LRep come from the invoice's last line in stored order and TotAmt sums its lines.
// A job's or sub-customer's invoices (CustomerJobs) come under its top-level customer. Lines
// whose customer or job is not in the local copy, or that have no customer ListID, are left
// out; a customer without a ListID has no invoices.
std::shared_ptr<reporting::MemoryRows> buildCustSales(const QString &appFolder);

// Builds the customer sales result afresh from QBData.mdb, replacing the one the program
// held, and returns it. Throws corvina::Error when the database cannot be read.
std::shared_ptr<reporting::MemoryRows> GetCustSales(ProgramState &state);

} // namespace corvina
