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
    }
    return {};
}

void writeMaxReturned(QXmlStreamWriter &w, const Query &q)
{
    // First of the filters, in every query's schema.
    if (q.maxReturned())
        w.writeTextElement(QStringLiteral("MaxReturned"), QString::number(*q.maxReturned()));
}

QString iteratorText(Iterator iterator)
{
    return iterator == Iterator::Start ? QStringLiteral("Start") : QStringLiteral("Continue");
}

void writeInvoiceQuery(QXmlStreamWriter &w, const InvoiceQuery &q)
{
    writeMaxReturned(w, q);
    // TxnDateRangeFilter must precede IncludeLineItems.
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
    if (count < 1)
        throw Error(hr::kInvalidArgument,
                    QStringLiteral("MaxReturned: %1").arg(hr::description(hr::kInvalidArgument)));
    m_maxReturned = count;
}

void Query::setIterator(Iterator iterator, const QString &iteratorId)
{
    if (iterator != Iterator::None && m_kind == QueryKind::SalesRep)
        throw Error(hr::kInvalidArgument, QStringLiteral("A sales rep query takes no iterator."));
    if (iterator == Iterator::Continue && iteratorId.isEmpty())
        throw Error(hr::kInvalidArgument, QStringLiteral("Continuing an iterator needs its id."));
    m_iterator = iterator;
    m_iteratorId = iterator == Iterator::Continue ? iteratorId : QString();
}

void InvoiceQuery::setFromTxnDate(QDate date)
{
    m_from = checkedDate(date, "FromTxnDate");
}

void InvoiceQuery::setToTxnDate(QDate date)
{
    m_to = checkedDate(date, "ToTxnDate");
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
        if (query->kind() == QueryKind::Invoice)
            writeInvoiceQuery(w, static_cast<const InvoiceQuery &>(*query));
        else
            writeMaxReturned(w, *query);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

} // namespace corvina::qb
