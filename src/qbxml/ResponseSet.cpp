#include "qbxml/ResponseSet.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include "qbxml/XmlScanner.h"

namespace corvina::qb {

namespace {

[[noreturn]] void fail(const QString &what)
{
    throw Error(hr::kInvalidData,
                QStringLiteral("The answer from QuickBooks could not be read: %1.").arg(what));
}

[[noreturn]] void fail(const XmlScanner &scanner)
{
    fail(scanner.errorString());
}

// Moves to the next child element of the current element; false at its end.
bool nextStartElement(XmlScanner &scanner)
{
    for (;;) {
        switch (scanner.next()) {
        case XmlScanner::Token::StartElement: return true;
        case XmlScanner::Token::Characters: continue;
        case XmlScanner::Token::Error: fail(scanner);
        default: return false;
        }
    }
}

} // namespace

Response::Response(std::shared_ptr<const Document> document, QString type, QString requestId,
                   int statusCode, QString statusSeverity, QString statusMessage,
                   std::vector<std::uint32_t> records)
    : m_document(std::move(document)), m_type(std::move(type)), m_requestId(std::move(requestId)),
      m_statusCode(statusCode), m_statusSeverity(std::move(statusSeverity)),
      m_statusMessage(std::move(statusMessage)), m_records(std::move(records))
{
}

Element Response::record(int index) const
{
    return Element(m_document, m_records.at(static_cast<std::size_t>(index)));
}

std::optional<ResponseSet::Head> ResponseSet::peekFirst(QByteArrayView qbxml)
{
    XmlScanner scanner(qbxml);
    // The next start tag; false at an end tag, the end or a fault.
    const auto nextStart = [&scanner] {
        for (;;) {
            switch (scanner.next()) {
            case XmlScanner::Token::StartElement: return true;
            case XmlScanner::Token::Characters: continue;
            default: return false;
            }
        }
    };
    if (!nextStart() || scanner.name() != "QBXML")
        return std::nullopt;
    while (nextStart()) {
        if (scanner.name() != "QBXMLMsgsRs") {
            scanner.skipElement();
            if (scanner.hasError())
                return std::nullopt;
            continue;
        }
        if (!nextStart())
            return std::nullopt;
        Head head;
        bool ok = false;
        head.statusCode = scanner.attribute("statusCode").toInt(&ok);
        if (!ok)
            return std::nullopt;
        if (const QByteArrayView id = scanner.attribute("iteratorID"); !id.isEmpty())
            head.iteratorId = QString::fromUtf8(id);
        if (const QByteArrayView text = scanner.attribute("iteratorRemainingCount");
            !text.isEmpty()) {
            const int value = text.toInt(&ok);
            if (!ok || value < 0)
                return std::nullopt;
            head.iteratorRemainingCount = value;
        }
        return head;
    }
    return std::nullopt;
}

ResponseSet ResponseSet::parse(QByteArrayView qbxml)
{
    auto document = std::make_shared<Document>();
    XmlScanner scanner(qbxml);
    ResponseSet set;

    if (!nextStartElement(scanner) || scanner.name() != "QBXML")
        fail(QStringLiteral("the document is not a qbXML answer"));
    while (nextStartElement(scanner)) {
        if (scanner.name() != "QBXMLMsgsRs") {
            scanner.skipElement();
            continue;
        }
        while (nextStartElement(scanner)) {
            const QString type = QString::fromUtf8(scanner.name());
            bool ok = false;
            const int statusCode = scanner.attribute("statusCode").toInt(&ok);
            if (!ok)
                fail(QStringLiteral("%1 has no valid statusCode").arg(type));
            const QString requestId = QString::fromUtf8(scanner.attribute("requestID"));
            const QString severity = QString::fromUtf8(scanner.attribute("statusSeverity"));
            const QString message = QString::fromUtf8(scanner.attribute("statusMessage"));
            std::optional<QString> iteratorId;
            std::optional<int> remaining;
            if (const QByteArrayView id = scanner.attribute("iteratorID"); !id.isEmpty())
                iteratorId = QString::fromUtf8(id);
            if (const QByteArrayView text = scanner.attribute("iteratorRemainingCount");
                !text.isEmpty()) {
                bool valid = false;
                const int value = text.toInt(&valid);
                if (!valid || value < 0)
                    fail(QStringLiteral("%1 has no valid iteratorRemainingCount").arg(type));
                remaining = value;
            }
            std::vector<std::uint32_t> records;
            while (nextStartElement(scanner)) {
                records.push_back(document->readElement(scanner));
                if (scanner.hasError())
                    fail(scanner);
            }
            Response &response = set.m_responses.emplace_back(
                document, type, requestId, statusCode, severity, message, std::move(records));
            response.m_iteratorId = std::move(iteratorId);
            response.m_iteratorRemaining = remaining;
        }
    }
    while (scanner.next() != XmlScanner::Token::EndDocument) {
        if (scanner.hasError())
            fail(scanner);
    }
    return set;
}

} // namespace corvina::qb
