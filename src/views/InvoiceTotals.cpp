#include "views/InvoiceTotals.h"

#include <QVariant>

namespace corvina {

// CustListID has an index, so an invoice's lines are found without a scan.
InvoiceTotals::InvoiceTotals(Database &db)
    : m_lines(db.prepare(
          QStringLiteral("SELECT Amt FROM Invoices WHERE CustListID IS ?1 AND InvNo = ?2")))
{
}

InvoiceTotal InvoiceTotals::of(const InvoiceKey &key)
{
    InvoiceTotal total;
    if (!key.isInvoice())
        return total;
    m_lines.reset();
    m_lines.bind(1, key.customerListId.isNull() ? QVariant() : QVariant(key.customerListId));
    m_lines.bind(2, key.invNo);
    while (m_lines.step()) {
        const QVariant amount = m_lines.value(0);
        if (!amount.isNull())
            total.amount += toCurrency(amount.toDouble());
        ++total.lines;
    }
    m_lines.reset();
    return total;
}

} // namespace corvina
