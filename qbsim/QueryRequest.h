#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVersionNumber>
#include <QXmlStreamAttributes>

#include <cstdint>
#include <optional>
#include <vector>

// The request document of the QuickBooks stand-in, read and checked against the content
// models of the supported queries.
namespace corvina::qbsim {

// A refusal of the whole request document: the request processor's number and, for the log,
// what was wrong.
struct Refusal {
    std::int32_t number;
    QString detail;
};

[[noreturn]] void refuse(const QString &detail);

// The request document, read into a small tree (requests are short).

struct Node {
    QString name;
    QString text;
    std::vector<Node> children;
    QXmlStreamAttributes attributes;
    qint64 line = 0;
};

enum class OnError { Stop, Continue, Rollback };

struct Envelope {
    QVersionNumber version;
    OnError onError = OnError::Stop;
    bool includeData = true;
    std::vector<Node> requests;
};

// The supported queries.
enum class QueryKind { Customer, Item, SalesRep, Invoice, TxnDeleted, ListDeleted, Host, Other };

enum class IteratorUse { None, Start, Continue, Stop };

enum class ActiveStatus { ActiveOnly, InactiveOnly, All };

struct Query {
    QueryKind kind = QueryKind::Other;
    QString responseName;
    std::optional<QString> requestId;
    QStringList ids;   // ListID+ or TxnID+
    QStringList names; // FullName+ or RefNumber+
    std::optional<qsizetype> maxReturned;
    ActiveStatus active = ActiveStatus::ActiveOnly;
    std::optional<QString> fromDate, toDate;         // TxnDateRangeFilter
    std::optional<QString> fromModified, toModified; // list queries, ModifiedDateRangeFilter
    QStringList delTypes;                            // TxnDelType+ or ListDelType+
    std::optional<QString> fromDeleted, toDeleted;   // DeletedDateRangeFilter
    std::optional<QString> includeLineItems, includeLinkedTxns;
    bool unsupported = false; // holds an element the stand-in does not implement
    IteratorUse iterator = IteratorUse::None;
    QString iteratorId;
};

// The request document as a tree; throws Refusal when it is not well formed, not qbXML, or
// of a version not in `accepted`.
Envelope readRequestDocument(QByteArrayView request, const QList<QVersionNumber> &accepted);
// One request of the document checked against its content model in `version` (the iterator
// attributes from 5.0 on); throws Refusal.
Query readQuery(const Node &request, const QVersionNumber &version);
// The request's name and the filters it carries, on one line for a log.
QString describeQuery(const Query &query);

} // namespace corvina::qbsim
