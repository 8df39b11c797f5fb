// The records each supported query selects (list, invoice and deletion queries with their
// filters, converted and checked as the request processor does), and the iterators that
// hand those records out page by page.

#include "qbsim/QueryEngineAnswer.h"

#include <QSet>

#include <algorithm>

namespace corvina::qbsim::engine {

namespace {

using namespace Qt::Literals::StringLiterals;

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

} // namespace

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

namespace {

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

} // namespace

} // namespace corvina::qbsim::engine
