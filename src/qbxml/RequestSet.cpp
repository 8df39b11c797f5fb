#include "qbxml/RequestSet.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include <QXmlStreamWriter>

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

void writeInvoiceQuery(QXmlStreamWriter &w, const InvoiceQuery &q)
{
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
        if (query->kind() == QueryKind::Invoice)
            writeInvoiceQuery(w, static_cast<const InvoiceQuery &>(*query));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

} // namespace corvina::qb
