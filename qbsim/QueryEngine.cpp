#include "qbsim/QueryEngine.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryRequest.h"
#include "qbxml/ComErrors.h"

#include <QSet>

#include <initializer_list>
#include <optional>
#include <vector>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;
namespace hr = qb::hr;

// ---------------------------------------------------------------------------------------------
// Answers.

struct Status {
    int code = 0;
    QLatin1StringView severity;
    QString message;
};

const QLatin1StringView kInfo("Info");
const QLatin1StringView kError("Error");

Status ok()
{
    return {0, kInfo, u"Status OK"_s};
}
Status noMatch()
{
    return {1, kInfo, u"A query request did not find a matching object in QuickBooks"_s};
}
Status notAvailable()
{
    return {3250, kError,
            u"This feature is not enabled or not available in this version of QuickBooks."_s};
}

struct Answer {
    const Query *query = nullptr;
    Status status;
    const std::vector<ListRecord> *list = nullptr; // null for invoices
    unsigned keep = 0;                             // invoice parts kept
    std::vector<std::uint32_t> matches;            // record indices, file order
};

QSet<QString> foldedSet(const QStringList &values)
{
    QSet<QString> set;
    for (const QString &value : values)
        set.insert(value.toCaseFolded());
    return set;
}

bool limitReached(const Answer &answer)
{
    return answer.query->maxReturned &&
           static_cast<qsizetype>(answer.matches.size()) >= *answer.query->maxReturned;
}

void matchList(const std::vector<ListRecord> &records, Answer &answer)
{
    const Query &query = *answer.query;
    const QSet<QString> ids(query.ids.begin(), query.ids.end());
    const QSet<QString> names = foldedSet(query.names);
    for (std::size_t i = 0; i < records.size() && !limitReached(answer); ++i) {
        const ListRecord &record = records[i];
        bool wanted = false;
        if (!ids.isEmpty())
            wanted = ids.contains(record.listId);
        else if (!names.isEmpty())
            wanted = names.contains(record.fullName.toCaseFolded());
        else
            wanted = query.active == ActiveStatus::All ||
                     record.active == (query.active == ActiveStatus::ActiveOnly);
        if (wanted)
            answer.matches.push_back(static_cast<std::uint32_t>(i));
    }
}

// Converts a boolean field; nullopt after setting a 3010 status.
std::optional<bool> convertBool(const std::optional<QString> &text, QStringView field,
                                Status &status)
{
    if (!text || *text == u"false")
        return false;
    if (*text == u"true")
        return true;
    status = {3010, kError,
              u"There was an error when converting the boolean value \"%1\" in the field "
              "\"%2\"."_s.arg(*text, field)};
    return std::nullopt;
}

// Converts a date field (absent: null date); false after setting a 3020 status.
bool convertDate(const std::optional<QString> &text, QStringView field, QDate &date, Status &status)
{
    if (!text)
        return true;
    date = parseDate(*text);
    if (date.isValid())
        return true;
    status = {3020, kError,
              u"There was an error when converting the date value \"%1\" in the field "
              "\"%2\"."_s.arg(*text, field)};
    return false;
}

void matchInvoices(const CompanyFile &company, Answer &answer)
{
    const Query &query = *answer.query;
    QDate from, to;
    if (!convertDate(query.fromDate, u"FromTxnDate", from, answer.status) ||
        !convertDate(query.toDate, u"ToTxnDate", to, answer.status))
        return;
    if (from.isValid() && to.isValid() && from > to) {
        answer.status = {3030, kError, u"Invalid date range: From date is greater than To date."_s};
        return;
    }
    const auto lines = convertBool(query.includeLineItems, u"IncludeLineItems", answer.status);
    if (!lines)
        return;
    const auto linked = convertBool(query.includeLinkedTxns, u"IncludeLinkedTxns", answer.status);
    if (!linked)
        return;
    if (query.unsupported) {
        answer.status = notAvailable();
        return;
    }
    answer.keep = (*lines ? static_cast<unsigned>(InvoicePart::Lines) : 0u) |
                  (*linked ? static_cast<unsigned>(InvoicePart::LinkedTxns) : 0u);

    const QSet<QString> ids(query.ids.begin(), query.ids.end());
    const QSet<QString> refNumbers = foldedSet(query.names);
    const bool byDate = from.isValid() || to.isValid();
    const auto &invoices = company.invoices();
    for (std::size_t i = 0; i < invoices.size() && !limitReached(answer); ++i) {
        const InvoiceRecord &invoice = invoices[i];
        bool wanted = true;
        if (!ids.isEmpty())
            wanted = ids.contains(invoice.txnId);
        else if (!refNumbers.isEmpty())
            wanted = refNumbers.contains(invoice.refNumber.toCaseFolded());
        else if (byDate)
            wanted = invoice.txnDate.isValid() && (!from.isValid() || invoice.txnDate >= from) &&
                     (!to.isValid() || invoice.txnDate <= to);
        if (wanted)
            answer.matches.push_back(static_cast<std::uint32_t>(i));
    }
}

Answer answer(const CompanyFile &company, const Query &query)
{
    Answer result;
    result.query = &query;
    result.status = ok();
    switch (query.kind) {
    case QueryKind::Customer: result.list = &company.customers(); break;
    case QueryKind::Item: result.list = &company.items(); break;
    case QueryKind::SalesRep: result.list = &company.salesReps(); break;
    case QueryKind::Invoice: matchInvoices(company, result); break;
    case QueryKind::Other: result.status = notAvailable(); return result;
    }
    if (result.list) {
        if (query.unsupported) {
            result.status = notAvailable();
            return result;
        }
        matchList(*result.list, result);
    }
    if (result.status.code == 0 && result.matches.empty())
        result.status = noMatch();
    return result;
}

// ---------------------------------------------------------------------------------------------
// The response document, assembled from the stored record bytes.

void appendEscaped(QByteArray &out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case '"': out.append("&quot;"); break;
        case '\t': out.append("&#9;"); break;
        case '\n': out.append("&#10;"); break;
        case '\r': out.append("&#13;"); break;
        default: out.append(c); break;
        }
    }
}

void appendAttribute(QByteArray &out, const char *name, QStringView value)
{
    out.append(' ').append(name).append("=\"");
    appendEscaped(out, value);
    out.append('"');
}

qsizetype recordsSize(const CompanyFile &company, const Answer &answer)
{
    qsizetype size = 0;
    for (const std::uint32_t index : answer.matches) {
        size += answer.list ? (*answer.list)[index].xml.size()
                            : company.invoiceSize(company.invoices()[index], answer.keep);
        size += 1; // newline
    }
    return size;
}

void appendAnswer(QByteArray &out, const CompanyFile &company, const Answer &answer,
                  bool includeData)
{
    const QByteArray name = answer.query->responseName.toUtf8();
    out.append('<').append(name);
    if (answer.query->requestId)
        appendAttribute(out, "requestID", *answer.query->requestId);
    appendAttribute(out, "statusCode", QString::number(answer.status.code));
    appendAttribute(out, "statusSeverity", QString(answer.status.severity));
    appendAttribute(out, "statusMessage", answer.status.message);
    if (!includeData || answer.matches.empty()) {
        out.append("/>\n");
        return;
    }
    out.append(">\n");
    for (const std::uint32_t index : answer.matches) {
        if (answer.list)
            out.append(company.xml((*answer.list)[index].xml));
        else
            company.appendInvoice(out, company.invoices()[index], answer.keep);
        out.append('\n');
    }
    out.append("</").append(name).append(">\n");
}

QByteArray respond(const CompanyFile &company, const Envelope &envelope)
{
    std::vector<Query> queries;
    queries.reserve(envelope.requests.size());
    for (const Node &request : envelope.requests)
        queries.push_back(readQuery(request));
    if (envelope.onError == OnError::Rollback)
        throw Refusal{hr::kRollbackUnsupported, u"onError=\"rollbackOnError\"."_s};

    std::vector<Answer> answers;
    qsizetype size = 256;
    for (const Query &query : queries) {
        answers.push_back(answer(company, query));
        size += 256 + (envelope.includeData ? recordsSize(company, answers.back()) : 0);
        if (envelope.onError == OnError::Stop && answers.back().status.severity == kError)
            break;
    }

    QByteArray out;
    out.reserve(size);
    out.append("<?xml version=\"1.0\" ?>\n<QBXML>\n<QBXMLMsgsRs>\n");
    for (const Answer &a : answers)
        appendAnswer(out, company, a, envelope.includeData);
    out.append("</QBXMLMsgsRs>\n</QBXML>\n");
    return out;
}

} // namespace

QByteArray processRequest(const CompanyFile &company, QByteArrayView request, QString *diagnostic)
{
    try {
        return respond(company, readRequestDocument(request));
    } catch (const Refusal &refusal) {
        if (diagnostic)
            *diagnostic = refusal.detail;
        throw Error(refusal.number, hr::description(refusal.number));
    }
}

} // namespace corvina::qbsim
