#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace corvina::qbsim {

class CompanyFile;

// Answers a qbXML request document from a company file, as QuickBooks' request processor
// does: one …Rs per …Rq, in request order, each carrying a status and the matching records.
//
// Supported: CustomerQueryRq, ItemQueryRq, SalesRepQueryRq (ListID+, FullName+, MaxReturned,
// ActiveStatus) and InvoiceQueryRq (TxnID+, RefNumber+, MaxReturned, TxnDateRangeFilter with
// FromTxnDate/ToTxnDate, IncludeLineItems, IncludeLinkedTxns). Other schema-valid filters and
// other requests are answered with status 3250 ("feature not available").
//
// Throws corvina::Error with the request processor's number and description when the
// document as a whole is refused: not well-formed, outside the qbXML 2.1 content models,
// a qbXML version other than 1.0-2.1, or onError="rollbackOnError". When `diagnostic` is given,
// it receives what exactly was wrong (for the server's log).
QByteArray processRequest(const CompanyFile &company, QByteArrayView request,
                          QString *diagnostic = nullptr);

} // namespace corvina::qbsim
