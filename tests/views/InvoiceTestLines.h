#pragma once

#include "localdb/Database.h"
#include "localdb/LocalDb.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <vector>

namespace corvina::test {

// One row of Invoices as tests write it; a null QVariant stays NULL. Memo serves as the
// line's tag, so tests can tell lines apart in any order.
struct InvoiceTestLine {
    QVariant memo{};
    QVariant customer{};
    QVariant invNo{};
    QVariant invDate{};
    QVariant cls{};
    QVariant salesRep{};
    QVariant shipDate{};
    QVariant amt{};
    QVariant custListId = QStringLiteral("C-1");
    QVariant rateAmt{};
    QVariant ratePct{};
    QVariant qty{};
    QVariant itemRefId{};
};

inline QVariant day(int year, int month, int dayOfMonth)
{
    return QDateTime(QDate(year, month, dayOfMonth), QTime(0, 0));
}

// Appends the lines, in order, to the Invoices table of the folder's QBData.mdb (made when
// missing).
inline void writeInvoiceLines(const QString &appFolder, const std::vector<InvoiceTestLine> &lines)
{
    ensureLocalDb(appFolder);
    Database db = openLocalDb(appFolder);
    Transaction transaction(db);
    Statement insert = db.prepare(QStringLiteral(
        "INSERT INTO Invoices (Memo, Customer, InvNo, InvDate, Class, SalesRep, ShipDate, Amt, "
        "CustListID, RateAmt, RatePct, Qty, ItemRefID, DueDate, Terms) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'Net 30')"));
    for (const InvoiceTestLine &line : lines) {
        insert.bindAll({line.memo, line.customer, line.invNo, line.invDate, line.cls, line.salesRep,
                        line.shipDate, line.amt, line.custListId, line.rateAmt, line.ratePct,
                        line.qty, line.itemRefId, line.invDate});
        insert.run();
    }
    transaction.commit();
}

} // namespace corvina::test
