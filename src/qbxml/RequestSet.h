#pragma once

#include <QByteArray>
#include <QDate>

#include <memory>
#include <optional>
#include <vector>

namespace corvina::qb {

// What QuickBooks does with the rest of a request set after a request fails.
enum class OnError { Stop = 0, Continue = 1, Rollback = 2 };

enum class QueryKind { Customer, Invoice, Item, SalesRep };

// One query of a request set. Customer, item and sales-rep queries carry no settings, which
// asks QuickBooks for every active record.
class Query {
public:
    explicit Query(QueryKind kind) : m_kind(kind) {}
    virtual ~Query() = default;
    QueryKind kind() const noexcept { return m_kind; }

private:
    QueryKind m_kind;
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

// A message set of queries, written as qbXML for the request processor.
class RequestSet {
public:
    RequestSet(int majorVersion, int minorVersion);

    void clear() { m_queries.clear(); }
    void setOnError(OnError onError) { m_onError = onError; }
    OnError onError() const noexcept { return m_onError; }

    Query &appendCustomerQuery();
    InvoiceQuery &appendInvoiceQuery();
    Query &appendItemQuery();
    Query &appendSalesRepQuery();

    int count() const noexcept { return static_cast<int>(m_queries.size()); }
    const Query &query(int index) const { return *m_queries[static_cast<std::size_t>(index)]; }

    // The request document: the qbXML version instruction, then one query element per
    // query with requestID 1, 2, … in order, elements in the order the schema demands.
    QByteArray toQbxml() const;

private:
    int m_major;
    int m_minor;
    OnError m_onError = OnError::Stop;
    std::vector<std::unique_ptr<Query>> m_queries;
};

} // namespace corvina::qb
