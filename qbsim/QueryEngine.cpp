#include "qbsim/QueryEngine.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryRequest.h"
#include "qbxml/ComErrors.h"

#include <QSet>
#include <QUuid>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <vector>

namespace corvina::qbsim {

// An iterator's records: every match of the query that started it, handed out page by page.
struct QuerySession::Iterator {
    int kind;
    unsigned keep;
    std::vector<std::uint32_t> matches;
    std::size_t next = 0;
};

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
    const std::vector<ListRecord> *list = nullptr;       // null for invoices
    const std::vector<DeletedRecord> *deleted = nullptr; // deletion queries
    unsigned keep = 0;                                   // invoice parts kept
    std::vector<std::uint32_t> matches;                  // record indices, file order
    bool unlimited = false;                              // MaxReturned sizes pages, not the match
    std::optional<QString> iteratorId;
    std::optional<qsizetype> iteratorRemaining;
    const QuerySession *host = nullptr; // for a HostQuery
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
    return !answer.unlimited && answer.query->maxReturned &&
           static_cast<qsizetype>(answer.matches.size()) >= *answer.query->maxReturned;
}

// A date-time bound: kNoTime when absent; false after setting a 3020 status.
bool convertTime(const std::optional<QString> &text, QStringView field, bool endOfDay, qint64 &time,
                 Status &status)
{
    time = kNoTime;
    if (!text)
        return true;
    if (const auto instant = parseDateTime(*text, endOfDay)) {
        time = *instant;
        return true;
    }
    status = {3020, kError,
              u"There was an error when converting the date value \"%1\" in the field "
              "\"%2\"."_s.arg(*text, field)};
    return false;
}

// An inclusive range of instants from two optional bounds.
struct TimeRange {
    qint64 from = kNoTime;
    qint64 to = kNoTime;
    bool bounded() const { return from != kNoTime || to != kNoTime; }
    // A record without the time falls outside every bounded range.
    bool contains(qint64 time) const
    {
        if (!bounded())
            return true;
        return time != kNoTime && (from == kNoTime || time >= from) &&
               (to == kNoTime || time <= to);
    }
};

const Status kReversedRange = {3030, kError,
                               u"Invalid date range: From date is greater than To date."_s};

// Reads the bounds of a range; false after setting an error status.
bool convertRange(const std::optional<QString> &from, const std::optional<QString> &to,
                  QStringView fromField, QStringView toField, TimeRange &range, Status &status)
{
    if (!convertTime(from, fromField, false, range.from, status) ||
        !convertTime(to, toField, true, range.to, status))
        return false;
    if (range.from != kNoTime && range.to != kNoTime && range.from > range.to) {
        status = kReversedRange;
        return false;
    }
    return true;
}

void matchList(const std::vector<ListRecord> &records, Answer &answer)
{
    const Query &query = *answer.query;
    TimeRange modified;
    if (!convertRange(query.fromModified, query.toModified, u"FromModifiedDate", u"ToModifiedDate",
                      modified, answer.status))
        return;
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
            wanted = (query.active == ActiveStatus::All ||
                      record.active == (query.active == ActiveStatus::ActiveOnly)) &&
                     modified.contains(record.modified);
        if (wanted)
            answer.matches.push_back(static_cast<std::uint32_t>(i));
    }
}

// QuickBooks remembers deletions for this long before its latest time.
constexpr qint64 kDeletionsKeptSeconds = qint64(90) * 86400;

void matchDeleted(const CompanyFile &company, Answer &answer)
{
    const Query &query = *answer.query;
    TimeRange range;
    if (!convertRange(query.fromDeleted, query.toDeleted, u"FromDeletedDate", u"ToDeletedDate",
                      range, answer.status))
        return;
    answer.deleted =
        query.kind == QueryKind::TxnDeleted ? &company.deletedTxns() : &company.deletedLists();
    const qint64 horizon =
        company.latestTime() == kNoTime ? kNoTime : company.latestTime() - kDeletionsKeptSeconds;
    const QSet<QString> types(query.delTypes.begin(), query.delTypes.end());
    const auto &records = *answer.deleted;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DeletedRecord &record = records[i];
        if (types.contains(record.type) && record.deleted >= horizon &&
            range.contains(record.deleted))
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
        answer.status = kReversedRange;
        return;
    }
    TimeRange modified;
    if (!convertRange(query.fromModified, query.toModified, u"FromModifiedDate", u"ToModifiedDate",
                      modified, answer.status))
        return;
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
        else
            wanted = modified.contains(invoice.modified);
        if (wanted)
            answer.matches.push_back(static_cast<std::uint32_t>(i));
    }
}

const std::vector<ListRecord> *listOf(const CompanyFile &company, QueryKind kind)
{
    switch (kind) {
    case QueryKind::Customer: return &company.customers();
    case QueryKind::Item: return &company.items();
    case QueryKind::SalesRep: return &company.salesReps();
    default: return nullptr;
    }
}

// Hands out the iterator's next page (MaxReturned of this request, or all that remain).
void nextPage(QuerySession &session, QuerySession::Iterator &iterator, const QString &id,
              Answer &answer);

Answer answer(const CompanyFile &company, QuerySession &session, const Query &query);

Answer continueIterator(const CompanyFile &company, QuerySession &session, const Query &query)
{
    Answer result;
    result.query = &query;
    result.status = ok();
    result.list = listOf(company, query.kind);
    QuerySession::Iterator *iterator = session.find(query.iteratorId);
    if (!iterator || iterator->kind != static_cast<int>(query.kind)) {
        result.status = {
            3391, kError,
            u"The iteratorID \"%1\" is not valid: no such iterator is open in this session."_s.arg(
                query.iteratorId)};
        return result;
    }
    result.keep = iterator->keep;
    if (query.iterator == IteratorUse::Stop) {
        session.erase(query.iteratorId);
        result.iteratorId = query.iteratorId;
        result.iteratorRemaining = 0;
        return result;
    }
    nextPage(session, *iterator, query.iteratorId, result);
    return result;
}

Answer answer(const CompanyFile &company, QuerySession &session, const Query &query)
{
    if (query.iterator == IteratorUse::Continue || query.iterator == IteratorUse::Stop)
        return continueIterator(company, session, query);
    Answer result;
    result.query = &query;
    result.status = ok();
    result.unlimited = query.iterator == IteratorUse::Start;
    switch (query.kind) {
    case QueryKind::Customer: result.list = &company.customers(); break;
    case QueryKind::Item: result.list = &company.items(); break;
    case QueryKind::SalesRep: result.list = &company.salesReps(); break;
    case QueryKind::Invoice: matchInvoices(company, result); break;
    case QueryKind::TxnDeleted:
    case QueryKind::ListDeleted: matchDeleted(company, result); break;
    case QueryKind::Host: result.host = &session; return result;
    case QueryKind::Other: result.status = notAvailable(); return result;
    }
    if (result.list) {
        if (query.unsupported) {
            result.status = notAvailable();
            return result;
        }
        matchList(*result.list, result);
    }
    if (result.unlimited && result.status.code == 0) {
        QString id;
        QuerySession::Iterator &iterator = session.start(static_cast<int>(query.kind), result.keep,
                                                         std::move(result.matches), &id);
        result.matches.clear();
        nextPage(session, iterator, id, result);
        return result;
    }
    if (result.status.code == 0 && result.matches.empty())
        result.status = noMatch();
    return result;
}

void nextPage(QuerySession &session, QuerySession::Iterator &iterator, const QString &id,
              Answer &answer)
{
    const std::size_t left = iterator.matches.size() - iterator.next;
    const std::size_t page =
        answer.query->maxReturned
            ? std::min(left, static_cast<std::size_t>(*answer.query->maxReturned))
            : left;
    const auto from = iterator.matches.begin() + static_cast<std::ptrdiff_t>(iterator.next);
    answer.matches.assign(from, from + static_cast<std::ptrdiff_t>(page));
    iterator.next += page;
    answer.iteratorId = id;
    answer.iteratorRemaining = static_cast<qsizetype>(iterator.matches.size() - iterator.next);
    if (answer.matches.empty())
        answer.status = noMatch();
    if (*answer.iteratorRemaining == 0)
        session.erase(id); // run out: continuing it again is an error
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
        size += answer.list      ? (*answer.list)[index].xml.size()
                : answer.deleted ? (*answer.deleted)[index].xml.size()
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
    if (answer.iteratorRemaining) {
        appendAttribute(out, "iteratorRemainingCount", QString::number(*answer.iteratorRemaining));
        appendAttribute(out, "iteratorID", *answer.iteratorId);
    }
    if (answer.host && includeData) {
        out.append(
            ">\n<HostRet><ProductName>QuickBooks stand-in (qbsim)</ProductName>"
            "<MajorVersion>1</MajorVersion><MinorVersion>0</MinorVersion><Country>US</Country>");
        for (const QVersionNumber &version : answer.host->supportedVersions())
            out.append("<SupportedQBXMLVersion>")
                .append(version.toString().toLatin1())
                .append("</SupportedQBXMLVersion>");
        out.append("<IsAutomaticLogin>false</IsAutomaticLogin><QBFileMode>SingleUser</QBFileMode></"
                   "HostRet>\n");
        out.append("</").append(name).append(">\n");
        return;
    }
    if (!includeData || answer.matches.empty()) {
        out.append("/>\n");
        return;
    }
    out.append(">\n");
    for (const std::uint32_t index : answer.matches) {
        if (answer.list)
            out.append(company.xml((*answer.list)[index].xml));
        else if (answer.deleted)
            out.append(company.xml((*answer.deleted)[index].xml));
        else
            company.appendInvoice(out, company.invoices()[index], answer.keep);
        out.append('\n');
    }
    out.append("</").append(name).append(">\n");
}

QString outcome(const Answer &answer)
{
    QString text = u"status %1"_s.arg(answer.status.code);
    if (answer.status.severity == kError)
        text += u" ("_s + answer.status.message + u')';
    else
        text += u", %1 records"_s.arg(answer.matches.size());
    if (answer.iteratorRemaining)
        text += u", %1 remaining"_s.arg(*answer.iteratorRemaining);
    return text;
}

QByteArray respond(const CompanyFile &company, QuerySession &session, const Envelope &envelope,
                   RequestReport &report)
{
    std::vector<Query> queries;
    queries.reserve(envelope.requests.size());
    for (const Node &request : envelope.requests)
        queries.push_back(readQuery(request, envelope.version));
    if (envelope.onError == OnError::Rollback)
        throw Refusal{hr::kRollbackUnsupported, u"onError=\"rollbackOnError\"."_s};

    std::vector<Answer> answers;
    qsizetype size = 256;
    for (const Query &query : queries) {
        answers.push_back(answer(company, session, query));
        size += 256 + (envelope.includeData ? recordsSize(company, answers.back()) : 0);
        if (envelope.onError == OnError::Stop && answers.back().status.severity == kError)
            break;
    }

    QByteArray out;
    out.reserve(size);
    out.append("<?xml version=\"1.0\" ?>\n<QBXML>\n<QBXMLMsgsRs>\n");
    for (const Answer &a : answers) {
        appendAnswer(out, company, a, envelope.includeData);
        report.requests.append(describeQuery(*a.query));
        report.outcomes.append(outcome(a));
        if (envelope.includeData)
            report.records += static_cast<qsizetype>(a.matches.size());
    }
    out.append("</QBXMLMsgsRs>\n</QBXML>\n");
    return out;
}

} // namespace

QList<QVersionNumber> knownQbxmlVersions()
{
    static const QList<QVersionNumber> versions = [] {
        QList<QVersionNumber> list;
        for (const char *text : {"1.0", "1.1", "2.0", "2.1", "3.0", "4.0", "4.1", "5.0", "6.0",
                                 "7.0", "8.0", "9.0", "10.0", "11.0", "12.0", "13.0"})
            list.append(QVersionNumber::fromString(QLatin1StringView(text)));
        return list;
    }();
    return versions;
}

QuerySession::QuerySession(QVersionNumber newest) : m_newest(std::move(newest)) {}
QuerySession::~QuerySession() = default;
QuerySession::QuerySession(QuerySession &&) noexcept = default;
QuerySession &QuerySession::operator=(QuerySession &&) noexcept = default;

QList<QVersionNumber> QuerySession::supportedVersions() const
{
    QList<QVersionNumber> versions;
    for (const QVersionNumber &v : knownQbxmlVersions()) {
        if (v <= m_newest)
            versions.append(v);
    }
    return versions;
}

int QuerySession::openIterators() const
{
    return static_cast<int>(m_iterators.size());
}

void QuerySession::clear()
{
    m_iterators.clear();
}

QuerySession::Iterator *QuerySession::find(const QString &id)
{
    const auto it = m_iterators.find(id);
    return it == m_iterators.end() ? nullptr : it->second.get();
}

QuerySession::Iterator &QuerySession::start(int kind, unsigned keep,
                                            std::vector<std::uint32_t> matches, QString *id)
{
    *id = QUuid::createUuid().toString(QUuid::WithBraces);
    auto iterator = std::make_unique<Iterator>(Iterator{kind, keep, std::move(matches), 0});
    Iterator &ref = *iterator;
    m_iterators[*id] = std::move(iterator);
    return ref;
}

void QuerySession::erase(const QString &id)
{
    m_iterators.erase(id);
}

QByteArray processRequest(const CompanyFile &company, QuerySession &session, QByteArrayView request,
                          RequestReport &report)
{
    try {
        return respond(company, session, readRequestDocument(request, session.supportedVersions()),
                       report);
    } catch (const Refusal &refusal) {
        report.diagnostic = refusal.detail;
        throw Error(refusal.number, hr::description(refusal.number));
    }
}

QByteArray processRequest(const CompanyFile &company, QuerySession &session, QByteArrayView request,
                          QString *diagnostic)
{
    RequestReport report;
    try {
        return processRequest(company, session, request, report);
    } catch (const Error &) {
        if (diagnostic)
            *diagnostic = report.diagnostic;
        throw;
    }
}

QByteArray processRequest(const CompanyFile &company, QByteArrayView request, QString *diagnostic)
{
    QuerySession session;
    return processRequest(company, session, request, diagnostic);
}

} // namespace corvina::qbsim
