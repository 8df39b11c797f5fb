#pragma once

#include "qbxml/Document.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace corvina::qb {

// One answer of a response set: QuickBooks' status and the records it returned, in order.
class Response {
public:
    Response(std::shared_ptr<const Document> document, QString type, QString requestId,
             int statusCode, QString statusSeverity, QString statusMessage,
             std::vector<std::uint32_t> records);

    // The answer's element name, e.g. "InvoiceQueryRs".
    const QString &type() const noexcept { return m_type; }
    const QString &requestId() const noexcept { return m_requestId; }
    // 0 is success; 1–999 returned data or none with a notice; 1000 and up are errors.
    int statusCode() const noexcept { return m_statusCode; }
    const QString &statusSeverity() const noexcept { return m_statusSeverity; }
    const QString &statusMessage() const noexcept { return m_statusMessage; }

    // Paging with an iterator (qbXML 5.0 and later): the id to continue with and how many
    // records remain after this answer's. Absent in answers to queries without an iterator.
    const std::optional<QString> &iteratorId() const noexcept { return m_iteratorId; }
    std::optional<int> iteratorRemainingCount() const noexcept { return m_iteratorRemaining; }

    int count() const noexcept { return static_cast<int>(m_records.size()); }
    // Record `index` (0 to count − 1); wrap it in CustomerRet, InvoiceRet, ItemEntry or
    // SalesRepRet as the query asked.
    Element record(int index) const;

private:
    std::shared_ptr<const Document> m_document;
    QString m_type;
    QString m_requestId;
    int m_statusCode;
    QString m_statusSeverity;
    QString m_statusMessage;
    std::vector<std::uint32_t> m_records;
    std::optional<QString> m_iteratorId;
    std::optional<int> m_iteratorRemaining;
    friend class ResponseSet;
};

// The parsed answer to a request set: one response per request, in request order.
class ResponseSet {
public:
    // Parses a qbXML response document. Text that is not a well-formed qbXML answer raises
    // corvina::Error (hr::kInvalidData) naming the line and column of the fault.
    static ResponseSet parse(QByteArrayView qbxml);

    // What the start tag of the first response says, read without parsing the records: enough
    // to ask for the next page while the answer is still being read. Nothing when the document
    // does not begin as a qbXML answer with a response.
    struct Head {
        int statusCode = 0;
        std::optional<QString> iteratorId;
        std::optional<int> iteratorRemainingCount;
    };
    static std::optional<Head> peekFirst(QByteArrayView qbxml);

    int count() const noexcept { return static_cast<int>(m_responses.size()); }
    const Response &response(int index) const
    {
        return m_responses.at(static_cast<std::size_t>(index));
    }

private:
    std::vector<Response> m_responses;
};

} // namespace corvina::qb
