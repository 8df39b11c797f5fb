#include "qbxml/RequestSet.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace corvina::qb {

namespace {

QDate checkedDate(QDate date, const char *field)
{
    if (!date.isValid())
        throw Error(hr::kInvalidArgument,
                    QStringLiteral("%1: %2").arg(QLatin1String(field),
                                                 hr::description(hr::kInvalidArgument)));
    return date;
}

QString onErrorText(OnError onError)
{
    switch (onError) {
    case OnError::Stop: return QStringLiteral("stopOnError");
    case OnError::Continue: return QStringLiteral("continueOnError");
    case OnError::Rollback: return QStringLiteral("rollbackOnError");
    }
    return {};
}

QString elementOf(QueryKind kind)
{
    switch (kind) {
    case QueryKind::Customer: return QStringLiteral("CustomerQueryRq");
    case QueryKind::Invoice: return QStringLiteral("InvoiceQueryRq");
    case QueryKind::Item: return QStringLiteral("ItemQueryRq");
    case QueryKind::SalesRep: return QStringLiteral("SalesRepQueryRq");
    case QueryKind::TxnDeleted: return QStringLiteral("TxnDeletedQueryRq");
    case QueryKind::ListDeleted: return QStringLiteral("ListDeletedQueryRq");
    }
    return {};
}

void writeMaxReturned(QXmlStreamWriter &w, const Query &q)
{
    // First of the filters, in every query's schema.
    if (q.maxReturned())
        w.writeTextElement(QStringLiteral("MaxReturned"), QString::number(*q.maxReturned()));
}

[[noreturn]] void invalid(const QString &what)
{
    throw Error(hr::kInvalidArgument, what);
}

DateTime checkedDateTime(const DateTime &value, const char *field)
{
    if (!value.isValid())
        invalid(QStringLiteral("%1: %2").arg(QLatin1String(field),
                                             hr::description(hr::kInvalidArgument)));
    return value;
}

QString activeStatusText(ActiveStatus status)
{
    switch (status) {
    case ActiveStatus::ActiveOnly: return QStringLiteral("ActiveOnly");
    case ActiveStatus::InactiveOnly: return QStringLiteral("InactiveOnly");
    case ActiveStatus::All: return QStringLiteral("All");
    }
    return {};
}

// Customer, item and sales-rep queries: MaxReturned, ActiveStatus, FromModifiedDate,
// ToModifiedDate, in that order.
void writeListQuery(QXmlStreamWriter &w, const Query &q)
{
    writeMaxReturned(w, q);
    if (q.activeStatus())
        w.writeTextElement(QStringLiteral("ActiveStatus"), activeStatusText(*q.activeStatus()));
    if (q.fromModifiedDate())
        w.writeTextElement(QStringLiteral("FromModifiedDate"), q.fromModifiedDate()->text());
    if (q.toModifiedDate())
        w.writeTextElement(QStringLiteral("ToModifiedDate"), q.toModifiedDate()->text());
}

// The type list, then the deleted-date range.
void writeDeletedQuery(QXmlStreamWriter &w, const DeletedQuery &q)
{
    const bool txn = q.kind() == QueryKind::TxnDeleted;
    for (const QString &type : q.types())
        w.writeTextElement(txn ? QStringLiteral("TxnDelType") : QStringLiteral("ListDelType"),
                           type);
    if (q.fromDeletedDate() || q.toDeletedDate()) {
        w.writeStartElement(QStringLiteral("DeletedDateRangeFilter"));
        if (q.fromDeletedDate())
            w.writeTextElement(QStringLiteral("FromDeletedDate"), q.fromDeletedDate()->text());
        if (q.toDeletedDate())
            w.writeTextElement(QStringLiteral("ToDeletedDate"), q.toDeletedDate()->text());
        w.writeEndElement();
    }
}

QString iteratorText(Iterator iterator)
{
    return iterator == Iterator::Start ? QStringLiteral("Start") : QStringLiteral("Continue");
}

void writeInvoiceQuery(QXmlStreamWriter &w, const InvoiceQuery &q)
{
    writeMaxReturned(w, q);
    // The modified-date or the invoice-date range (never both) precedes IncludeLineItems.
    if (q.fromModifiedDate() || q.toModifiedDate()) {
        w.writeStartElement(QStringLiteral("ModifiedDateRangeFilter"));
        if (q.fromModifiedDate())
            w.writeTextElement(QStringLiteral("FromModifiedDate"), q.fromModifiedDate()->text());
        if (q.toModifiedDate())
            w.writeTextElement(QStringLiteral("ToModifiedDate"), q.toModifiedDate()->text());
        w.writeEndElement();
    }
    if (q.fromTxnDate() || q.toTxnDate()) {
        w.writeStartElement(QStringLiteral("TxnDateRangeFilter"));
        if (q.fromTxnDate())
            w.writeTextElement(QStringLiteral("FromTxnDate"),
                               q.fromTxnDate()->toString(Qt::ISODate));
        if (q.toTxnDate())
            w.writeTextElement(QStringLiteral("ToTxnDate"), q.toTxnDate()->toString(Qt::ISODate));
        w.writeEndElement();
    }
    if (q.includeLineItems())
        w.writeTextElement(QStringLiteral("IncludeLineItems"), *q.includeLineItems()
                                                                   ? QStringLiteral("true")
                                                                   : QStringLiteral("false"));
}

} // namespace

QVersionNumber iteratorVersionFor(const QList<QVersionNumber> &hostVersions)
{
    QVersionNumber best;
    for (const QVersionNumber &v : hostVersions) {
        if (v.segmentCount() >= 1 && v <= kNewestWrittenVersion && (best.isNull() || v > best))
            best = v;
    }
    if (best.isNull() || best < kIteratorVersion)
        return {};
    return QVersionNumber(best.majorVersion(), best.minorVersion());
}

void Query::setMaxReturned(int count)
{
    if (isDeletedQuery())
        invalid(QStringLiteral("A deleted-records query takes no MaxReturned."));
    if (count < 1)
        throw Error(hr::kInvalidArgument,
                    QStringLiteral("MaxReturned: %1").arg(hr::description(hr::kInvalidArgument)));
    m_maxReturned = count;
}

void Query::setIterator(Iterator iterator, const QString &iteratorId)
{
    if (iterator != Iterator::None && m_kind == QueryKind::SalesRep)
        throw Error(hr::kInvalidArgument, QStringLiteral("A sales rep query takes no iterator."));
    if (iterator != Iterator::None && isDeletedQuery())
        invalid(QStringLiteral("A deleted-records query takes no iterator."));
    if (iterator == Iterator::Continue && iteratorId.isEmpty())
        throw Error(hr::kInvalidArgument, QStringLiteral("Continuing an iterator needs its id."));
    m_iterator = iterator;
    m_iteratorId = iterator == Iterator::Continue ? iteratorId : QString();
}

void Query::setActiveStatus(ActiveStatus status)
{
    if (!isListQuery())
        invalid(QStringLiteral("Only customer, item and sales rep queries take ActiveStatus."));
    m_activeStatus = status;
}

void Query::setFromModifiedDate(const DateTime &from)
{
    if (isDeletedQuery())
        invalid(QStringLiteral("A deleted-records query takes no modified-date range."));
    if (const auto *invoice = dynamic_cast<const InvoiceQuery *>(this);
        invoice && (invoice->fromTxnDate() || invoice->toTxnDate()))
        invalid(QStringLiteral("An invoice query takes a modified-date or an invoice-date range, "
                               "not both."));
    m_fromModified = checkedDateTime(from, "FromModifiedDate");
}

void Query::setToModifiedDate(const DateTime &to)
{
    if (isDeletedQuery())
        invalid(QStringLiteral("A deleted-records query takes no modified-date range."));
    if (const auto *invoice = dynamic_cast<const InvoiceQuery *>(this);
        invoice && (invoice->fromTxnDate() || invoice->toTxnDate()))
        invalid(QStringLiteral("An invoice query takes a modified-date or an invoice-date range, "
                               "not both."));
    m_toModified = checkedDateTime(to, "ToModifiedDate");
}

void InvoiceQuery::setFromTxnDate(QDate date)
{
    if (fromModifiedDate() || toModifiedDate())
        invalid(QStringLiteral("An invoice query takes a modified-date or an invoice-date range, "
                               "not both."));
    m_from = checkedDate(date, "FromTxnDate");
}

void InvoiceQuery::setToTxnDate(QDate date)
{
    if (fromModifiedDate() || toModifiedDate())
        invalid(QStringLiteral("An invoice query takes a modified-date or an invoice-date range, "
                               "not both."));
    m_to = checkedDate(date, "ToTxnDate");
}

DeletedQuery::DeletedQuery(QueryKind kind, QStringList types)
    : Query(kind), m_types(std::move(types))
{
    if (m_types.isEmpty() || m_types.contains(QString()))
        invalid(QStringLiteral("A deleted-records query needs the types it asks for."));
}

void DeletedQuery::setFromDeletedDate(const DateTime &from)
{
    m_from = checkedDateTime(from, "FromDeletedDate");
}

void DeletedQuery::setToDeletedDate(const DateTime &to)
{
    m_to = checkedDateTime(to, "ToDeletedDate");
}

RequestSet::RequestSet(int majorVersion, int minorVersion)
    : m_major(majorVersion), m_minor(minorVersion)
{
}

Query &RequestSet::appendCustomerQuery()
{
    return *m_queries.emplace_back(std::make_unique<Query>(QueryKind::Customer));
}

InvoiceQuery &RequestSet::appendInvoiceQuery()
{
    auto query = std::make_unique<InvoiceQuery>();
    InvoiceQuery &ref = *query;
    m_queries.push_back(std::move(query));
    return ref;
}

Query &RequestSet::appendItemQuery()
{
    return *m_queries.emplace_back(std::make_unique<Query>(QueryKind::Item));
}

Query &RequestSet::appendSalesRepQuery()
{
    return *m_queries.emplace_back(std::make_unique<Query>(QueryKind::SalesRep));
}

DeletedQuery &RequestSet::appendTxnDeletedQuery(const QStringList &txnTypes)
{
    auto query = std::make_unique<DeletedQuery>(QueryKind::TxnDeleted, txnTypes);
    DeletedQuery &ref = *query;
    m_queries.push_back(std::move(query));
    return ref;
}

DeletedQuery &RequestSet::appendListDeletedQuery(const QStringList &listTypes)
{
    auto query = std::make_unique<DeletedQuery>(QueryKind::ListDeleted, listTypes);
    DeletedQuery &ref = *query;
    m_queries.push_back(std::move(query));
    return ref;
}

QByteArray RequestSet::toQbxml() const
{
    const bool iterators = std::any_of(m_queries.begin(), m_queries.end(), [](const auto &q) {
        return q->iterator() != Iterator::None;
    });
    if (iterators && QVersionNumber(m_major, m_minor) < kIteratorVersion)
        throw Error(
            hr::kInvalidArgument,
            QStringLiteral("Iterators need qbXML %1 or later; this request set is qbXML %2.%3.")
                .arg(kIteratorVersion.toString())
                .arg(m_major)
                .arg(m_minor));
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument(QStringLiteral("1.0"));
    w.writeProcessingInstruction(QStringLiteral("qbxml"),
                                 QStringLiteral("version=\"%1.%2\"").arg(m_major).arg(m_minor));
    w.writeStartElement(QStringLiteral("QBXML"));
    w.writeStartElement(QStringLiteral("QBXMLMsgsRq"));
    w.writeAttribute(QStringLiteral("onError"), onErrorText(m_onError));
    int requestId = 0;
    for (const auto &query : m_queries) {
        w.writeStartElement(elementOf(query->kind()));
        w.writeAttribute(QStringLiteral("requestID"), QString::number(++requestId));
        if (query->iterator() != Iterator::None) {
            w.writeAttribute(QStringLiteral("iterator"), iteratorText(query->iterator()));
            if (query->iterator() == Iterator::Continue)
                w.writeAttribute(QStringLiteral("iteratorID"), query->iteratorId());
        }
        switch (query->kind()) {
        case QueryKind::Invoice:
            writeInvoiceQuery(w, static_cast<const InvoiceQuery &>(*query));
            break;
        case QueryKind::TxnDeleted:
        case QueryKind::ListDeleted:
            writeDeletedQuery(w, static_cast<const DeletedQuery &>(*query));
            break;
        default: writeListQuery(w, *query); break;
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

} // namespace corvina::qb
