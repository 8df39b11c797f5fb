#include "quickbooks/ResponseSet.h"

#include "localdb/Error.h"
#include "quickbooks/ComErrors.h"

#include <QXmlStreamReader>

namespace corvina::qb {

namespace {

[[noreturn]] void fail(const QXmlStreamReader &reader, const QString &what)
{
    throw Error(hr::kInvalidData,
                QStringLiteral("The answer from QuickBooks could not be read: %1 (line %2, column %3).")
                    .arg(what)
                    .arg(reader.lineNumber())
                    .arg(reader.columnNumber()));
}

bool nextStartElement(QXmlStreamReader &reader)
{
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            return true;
        if (token == QXmlStreamReader::EndElement)
            return false;
    }
    return false;
}

void skipElement(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

} // namespace

Response::Response(std::shared_ptr<const Document> document, QString type, QString requestId,
                   int statusCode, QString statusSeverity, QString statusMessage,
                   std::vector<std::uint32_t> records)
    : m_document(std::move(document))
    , m_type(std::move(type))
    , m_requestId(std::move(requestId))
    , m_statusCode(statusCode)
    , m_statusSeverity(std::move(statusSeverity))
    , m_statusMessage(std::move(statusMessage))
    , m_records(std::move(records))
{
}

Element Response::record(int index) const
{
    return Element(m_document, m_records.at(static_cast<std::size_t>(index)));
}

ResponseSet ResponseSet::parse(QByteArrayView qbxml)
{
    auto document = std::make_shared<Document>();
    // Read in place: the answer can be hundreds of megabytes.
    QXmlStreamReader reader(QByteArray::fromRawData(qbxml.data(), qbxml.size()));
    ResponseSet set;

    if (!nextStartElement(reader) || reader.name() != u"QBXML")
        fail(reader, reader.hasError() ? reader.errorString() : QStringLiteral("the document is not a qbXML answer"));
    while (nextStartElement(reader)) {
        if (reader.name() != u"QBXMLMsgsRs") {
            skipElement(reader);
            continue;
        }
        while (nextStartElement(reader)) {
            const auto attributes = reader.attributes();
            const QString type = reader.name().toString();
            bool ok = false;
            const int statusCode = attributes.value(QLatin1String("statusCode")).toInt(&ok);
            if (!ok)
                fail(reader, QStringLiteral("%1 has no valid statusCode").arg(type));
            std::vector<std::uint32_t> records;
            while (nextStartElement(reader))
                records.push_back(document->readElement(reader));
            if (reader.hasError())
                break;
            set.m_responses.emplace_back(document, type, attributes.value(QLatin1String("requestID")).toString(),
                                         statusCode, attributes.value(QLatin1String("statusSeverity")).toString(),
                                         attributes.value(QLatin1String("statusMessage")).toString(),
                                         std::move(records));
        }
    }
    while (!reader.atEnd() && !reader.hasError())
        reader.readNext();
    if (reader.hasError())
        fail(reader, reader.errorString());
    return set;
}

} // namespace corvina::qb
