#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdint>

namespace corvina::qbsim {

class CompanyFile;

struct ChangeOptions {
    std::uint64_t seed = 1;
    int edits = 5;     // records edited
    int deletions = 1; // invoices, or customers and items nothing uses, deleted
    int additions = 3; // invoices, customers and jobs added
};

// The next version of `company` after a day's work in QuickBooks, as a company file: the day
// after the company's latest time, every change at its own time through that day. Edits
// change an invoice's amounts, add or remove a line, move its date (by days or years), rename
// a customer or an item, make a customer and its jobs inactive, or make a customer a job of
// another; deletions remove invoices (remembered as TxnDeletedRet) or customers and items
// that nothing refers to (ListDeletedRet); additions make invoices, customers and jobs.
// Changed records get a new TimeModified and EditSequence; records that only show a renamed
// name (references, the names of jobs below a renamed customer) keep theirs, since QuickBooks
// resolves names as it answers. The same company and options always give the same bytes.
// `log`, when given, receives a line per change. Throws corvina::Error when the company holds
// no times to follow or nothing to change.
QByteArray changeCompany(const CompanyFile &company, const ChangeOptions &options,
                         QStringList *log = nullptr);

} // namespace corvina::qbsim
