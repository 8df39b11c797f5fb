#pragma once

#include "qbxml/DateTime.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <memory>
#include <optional>
#include <vector>

namespace corvina::qb {

// What QuickBooks does with the rest of a request set after a request fails.
enum class OnError { Stop = 0, Continue = 1, Rollback = 2 };

// The list queries, and the two queries for records deleted in QuickBooks (its last 90 days).
enum class QueryKind { Customer, Invoice, Item, SalesRep, TxnDeleted, ListDeleted };

// Which list entries a list query returns by their active flag; QuickBooks' default is
// ActiveOnly.
enum class ActiveStatus { ActiveOnly, InactiveOnly, All };

// How a query takes part in paging with an iterator (qbXML 5.0 and later): the first page
// starts one, each later page continues it by the id QuickBooks gave.
enum class Iterator { None, Start, Continue };

// The oldest qbXML version with iterators, and the newest version this library writes.
inline const QVersionNumber kIteratorVersion(5, 0);
inline const QVersionNumber kNewestWrittenVersion(13, 0);

// The version a paged retrieval writes for a host speaking `hostVersions`: the newest of
// them this library writes, when that has iterators; a null version otherwise (an empty
// list, or a host of qbXML 4.1 or older).
QVersionNumber iteratorVersionFor(const QList<QVersionNumber> &hostVersions);

// One query of a request set. Without settings a customer, item or sales-rep query asks
// QuickBooks for every active record.
class Query {
public:
    explicit Query(QueryKind kind) : m_kind(kind) {}
    virtual ~Query() = default;
    QueryKind kind() const noexcept { return m_kind; }

    // At most this many records in the answer (1 or more); an invalid count raises
    // corvina::Error (hr::kInvalidArgument).
    void setMaxReturned(int count);
    std::optional<int> maxReturned() const { return m_maxReturned; }
    // Starts or continues an iterator. Sales-rep queries take none, and Continue needs the
    // id of the iterator; either mistake raises corvina::Error (hr::kInvalidArgument).
    void setIterator(Iterator iterator, const QString &iteratorId = {});
    Iterator iterator() const noexcept { return m_iterator; }
    const QString &iteratorId() const noexcept { return m_iteratorId; }

    // List queries (customers, items, sales reps): entries of this status only.
    void setActiveStatus(ActiveStatus status);
    std::optional<ActiveStatus> activeStatus() const { return m_activeStatus; }
    // Records modified at or after `from` and at or before `to`, each optional. An invoice
    // query writes them as its modified-date range, which cannot go with an invoice-date
    // range. Invalid values, and the deleted queries, raise corvina::Error
    // (hr::kInvalidArgument).
    void setFromModifiedDate(const DateTime &from);
    void setToModifiedDate(const DateTime &to);
    const std::optional<DateTime> &fromModifiedDate() const { return m_fromModified; }
    const std::optional<DateTime> &toModifiedDate() const { return m_toModified; }

protected:
    bool isListQuery() const
    {
        return m_kind == QueryKind::Customer || m_kind == QueryKind::Item ||
               m_kind == QueryKind::SalesRep;
    }
    bool isDeletedQuery() const
    {
        return m_kind == QueryKind::TxnDeleted || m_kind == QueryKind::ListDeleted;
    }

private:
    QueryKind m_kind;
    std::optional<int> m_maxReturned;
    Iterator m_iterator = Iterator::None;
    QString m_iteratorId;
    std::optional<ActiveStatus> m_activeStatus;
    std::optional<DateTime> m_fromModified, m_toModified;
};

class InvoiceQuery : public Query {
public:
    InvoiceQuery() : Query(QueryKind::Invoice) {}

    void setIncludeLineItems(bool include) { m_includeLineItems = include; }
    // Bounds of the invoice-date range, each inclusive and each optional. An invalid date
    // raises corvina::Error (hr::kInvalidArgument).
    void setFromTxnDate(QDate date);
    void setToTxnDate(QDate date);

    std::optional<bool> includeLineItems() const { return m_includeLineItems; }
    std::optional<QDate> fromTxnDate() const { return m_from; }
    std::optional<QDate> toTxnDate() const { return m_to; }

private:
    std::optional<bool> m_includeLineItems;
    std::optional<QDate> m_from;
    std::optional<QDate> m_to;
};

// Records deleted in QuickBooks: transactions (TxnDeleted; types such as "Invoice") or list
// entries (ListDeleted; "Customer", "ItemService", …), optionally only those deleted within
// a range. Neither takes MaxReturned nor an iterator.
class DeletedQuery : public Query {
public:
    // At least one type; an empty list raises corvina::Error (hr::kInvalidArgument).
    DeletedQuery(QueryKind kind, QStringList types);

    const QStringList &types() const noexcept { return m_types; }
    void setFromDeletedDate(const DateTime &from);
    void setToDeletedDate(const DateTime &to);
    const std::optional<DateTime> &fromDeletedDate() const { return m_from; }
    const std::optional<DateTime> &toDeletedDate() const { return m_to; }

private:
    QStringList m_types;
    std::optional<DateTime> m_from, m_to;
};

// A message set of queries, written as qbXML for the request processor.
class RequestSet {
public:
    RequestSet(int majorVersion, int minorVersion);

    int majorVersion() const noexcept { return m_major; }
    int minorVersion() const noexcept { return m_minor; }

    void clear() { m_queries.clear(); }
    void setOnError(OnError onError) { m_onError = onError; }
    OnError onError() const noexcept { return m_onError; }

    Query &appendCustomerQuery();
    InvoiceQuery &appendInvoiceQuery();
    Query &appendItemQuery();
    Query &appendSalesRepQuery();
    DeletedQuery &appendTxnDeletedQuery(const QStringList &txnTypes);
    DeletedQuery &appendListDeletedQuery(const QStringList &listTypes);

    int count() const noexcept { return static_cast<int>(m_queries.size()); }
    const Query &query(int index) const { return *m_queries[static_cast<std::size_t>(index)]; }

    // The request document: the qbXML version instruction, then one query element per
    // query with requestID 1, 2, … in order, elements in the order the schema demands.
    // A query with an iterator in a set older than qbXML 5.0 raises corvina::Error
    // (hr::kInvalidArgument): QuickBooks would refuse the whole document.
    QByteArray toQbxml() const;

private:
    int m_major;
    int m_minor;
    OnError m_onError = OnError::Stop;
    std::vector<std::unique_ptr<Query>> m_queries;
};

} // namespace corvina::qb
