#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace corvina::qbsim {

class CompanyFile;

// The qbXML versions QuickBooks has published, oldest first, up to the newest the stand-in
// reads (13.0).
QList<QVersionNumber> knownQbxmlVersions();

// What one QuickBooks session keeps between requests: the qbXML versions the host speaks
// and the iterators started in it. An iterator lives only within its session; continuing
// one that this session does not hold is answered with status 3391.
class QuerySession {
public:
    // A host speaking every known version up to `newest` (13.0 by default; 2.1 for a host
    // without iterators).
    explicit QuerySession(QVersionNumber newest = QVersionNumber(13, 0));
    ~QuerySession();
    QuerySession(QuerySession &&) noexcept;
    QuerySession &operator=(QuerySession &&) noexcept;

    const QVersionNumber &newestVersion() const noexcept { return m_newest; }
    QList<QVersionNumber> supportedVersions() const;
    // Iterators started and not yet run out or stopped.
    int openIterators() const;
    // Forgets every iterator, as the end of a session does.
    void clear();

    struct Iterator;
    Iterator *find(const QString &id);
    Iterator &start(int kind, unsigned keep, std::vector<std::uint32_t> matches, QString *id);
    void erase(const QString &id);

private:
    QVersionNumber m_newest;
    std::map<QString, std::unique_ptr<Iterator>> m_iterators;
};

// What processRequest did, for a log.
struct RequestReport {
    QString diagnostic;    // what exactly was wrong, when the document was refused
    QStringList requests;  // per request answered: its name and filters
    QStringList outcomes;  // and beside it, its status and the records it carries
    qsizetype records = 0; // records the answer carries
};

// Answers a qbXML request document from a company file, as QuickBooks' request processor
// does: one …Rs per …Rq, in request order, each carrying a status and the matching records.
//
// Supported: CustomerQueryRq, ItemQueryRq, SalesRepQueryRq (ListID+, FullName+, MaxReturned,
// ActiveStatus, FromModifiedDate, ToModifiedDate) and InvoiceQueryRq (TxnID+, RefNumber+,
// MaxReturned, TxnDateRangeFilter with FromTxnDate/ToTxnDate or ModifiedDateRangeFilter,
// IncludeLineItems, IncludeLinkedTxns); from qbXML 5.0 the iterator attributes of the
// customer, item and invoice queries (MaxReturned is then the page size); TxnDeletedQueryRq
// and ListDeletedQueryRq with DeletedDateRangeFilter, answering the deletions of the last 90
// days before the company's latest time; HostQueryRq, answered with the session's versions.
// Modified and deleted bounds are date-times compared as instants, both ends inclusive; a
// ToModifiedDate that is a date alone takes in that whole day. Other schema-valid filters and
// other requests are answered with status 3250 ("feature not available").
//
// Throws corvina::Error with the request processor's number and description when the
// document as a whole is refused: not well-formed, outside the content models (elements
// out of the schema's order, attributes the version lacks), a qbXML version the session
// does not speak, or onError="rollbackOnError". When `diagnostic` is given, it receives what
// exactly was wrong (for the server's log).
QByteArray processRequest(const CompanyFile &company, QuerySession &session, QByteArrayView request,
                          QString *diagnostic = nullptr);
// The same, telling `report` what was asked and answered.
QByteArray processRequest(const CompanyFile &company, QuerySession &session, QByteArrayView request,
                          RequestReport &report);
// The same in a session of its own, for a single request.
QByteArray processRequest(const CompanyFile &company, QByteArrayView request,
                          QString *diagnostic = nullptr);

} // namespace corvina::qbsim
