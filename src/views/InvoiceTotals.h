#pragma once

#include "localdb/Database.h"
#include "views/InvoiceFormat.h"

#include <QString>

namespace corvina {

// The invoice an invoice line belongs to: its customer and its invoice number. A line
// without a number (NULL or empty) belongs to no invoice.
struct InvoiceKey {
    QString customerListId;
    QString invNo;

    bool isInvoice() const { return !invNo.isEmpty(); }
};

// An invoice's total (a currency amount) and number of lines.
struct InvoiceTotal {
    CurrencyUnits amount = 0;
    int lines = 0;
};

// Totals of invoices over the Invoices table of one connection. Lines compare without case,
// as the columns do; a line without an amount counts as a line of 0.00.
class InvoiceTotals {
public:
    // Prepares the lookup on `db`, which must outlive this object. Throws Error.
    explicit InvoiceTotals(Database &db);

    // The lines of `key`'s invoice; 0.00 and no lines for a line without a number or an
    // invoice that has no lines. Throws Error.
    InvoiceTotal of(const InvoiceKey &key);

private:
    Statement m_lines;
};

} // namespace corvina
