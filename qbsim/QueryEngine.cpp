#include "qbsim/QueryEngine.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbxml/ComErrors.h"

#include <QSet>
#include <QUuid>
#include <QXmlStreamReader>

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

// A refusal of the whole request document: the request processor's number and, for the log,
// what was wrong.
struct Refusal {
    std::int32_t number;
    QString detail;
};

[[noreturn]] void refuse(const QString &detail)
{
    throw Refusal{hr::kXmlParse, detail};
}

// ---------------------------------------------------------------------------------------------
// The request document, read into a small tree (requests are short).

struct Node {
    QString name;
    QString text;
    std::vector<Node> children;
    QXmlStreamAttributes attributes;
    qint64 line = 0;
};

enum class OnError { Stop, Continue, Rollback };

struct Envelope {
    QVersionNumber version;
    OnError onError = OnError::Stop;
    bool includeData = true;
    std::vector<Node> requests;
};

// Deeper nesting than any valid request has; refusing it keeps recursion bounded.
constexpr int kMaxDepth = 16;

class RequestReader {
public:
    RequestReader(QByteArrayView request, QList<QVersionNumber> accepted)
        : m_reader(QByteArray::fromRawData(request.data(), request.size())), m_accepted(std::move(accepted))
    {
    }

    Envelope read()
    {
        Envelope envelope;
        bool sawRoot = false;
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::ProcessingInstruction:
                if (!sawRoot && m_reader.processingInstructionTarget() == u"qbxml")
                    readVersion();
                break;
            case QXmlStreamReader::StartElement:
                if (!m_version)
                    throw Refusal{hr::kVersionUnsupported,
                                  u"the document has no <?qbxml version=\"…\"?> instruction."_s};
                if (m_reader.name() != u"QBXML")
                    refuse(u"the root element is <%1>, not <QBXML>."_s.arg(m_reader.name()));
                sawRoot = true;
                readRoot(envelope);
                break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        if (!sawRoot)
            refuse(u"the document has no <QBXML> element."_s);
        envelope.version = QVersionNumber::fromString(*m_version);
        return envelope;
    }

private:
    void failOnReaderError() const
    {
        if (m_reader.hasError())
            refuse(u"line %1, column %2: %3"_s.arg(QString::number(m_reader.lineNumber()),
                                                   QString::number(m_reader.columnNumber()),
                                                   m_reader.errorString()));
    }

    void readVersion()
    {
        if (m_version)
            refuse(u"a second <?qbxml?> instruction."_s);
        const QString data = m_reader.processingInstructionData().toString().simplified();
        QString version;
        for (const QChar quote : {u'"', u'\''}) {
            const QString prefix = u"version="_s + quote;
            if (data.startsWith(prefix) && data.endsWith(quote) && data.size() > prefix.size())
                version = data.sliced(prefix.size(), data.size() - prefix.size() - 1);
        }
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (version.isEmpty() || number.toString() != version.trimmed() || number.segmentCount() != 2
            || !m_accepted.contains(number))
            throw Refusal{hr::kVersionUnsupported,
                          u"the qbXML version instruction is \"%1\"."_s.arg(data)};
        m_version = version;
    }

    void readRoot(Envelope &envelope)
    {
        bool sawMessages = false;
        while (readChild()) {
            if (m_reader.name() != u"QBXMLMsgsRq" || sawMessages)
                refuse(u"<%1> is not expected in <QBXML>."_s.arg(m_reader.name()));
            sawMessages = true;
            readAttributes(envelope);
            while (readChild()) {
                if (!m_reader.name().endsWith(u"Rq"))
                    refuse(u"<%1> in <QBXMLMsgsRq> is not a request."_s.arg(m_reader.name()));
                envelope.requests.push_back(readElement(1));
            }
        }
    }

    void readAttributes(Envelope &envelope)
    {
        const QXmlStreamAttributes attributes = m_reader.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.qualifiedName();
            if (name != u"onError" && name != u"responseData" && name != u"oldMessageSetID" &&
                name != u"newMessageSetID")
                refuse(u"<QBXMLMsgsRq> has an unknown attribute %1."_s.arg(name));
        }
        const QStringView onError = attributes.value(QLatin1StringView("onError"));
        if (onError == u"stopOnError")
            envelope.onError = OnError::Stop;
        else if (onError == u"continueOnError")
            envelope.onError = OnError::Continue;
        else if (onError == u"rollbackOnError")
            envelope.onError = OnError::Rollback;
        else
            refuse(u"<QBXMLMsgsRq> needs onError=\"stopOnError\" or \"continueOnError\", not "
                   "\"%1\"."_s.arg(onError));
        if (attributes.hasAttribute(QLatin1StringView("responseData"))) {
            const QStringView data = attributes.value(QLatin1StringView("responseData"));
            if (data != u"includeAll" && data != u"includeNone")
                refuse(u"responseData=\"%1\" is not includeAll or includeNone."_s.arg(data));
            envelope.includeData = data == u"includeAll";
        }
    }

    // Moves to the next child start element; false at the parent's end. Text between the
    // children must be white space.
    bool readChild()
    {
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement: return true;
            case QXmlStreamReader::EndElement: return false;
            case QXmlStreamReader::Characters:
                if (!m_reader.isWhitespace())
                    refuse(u"line %1: text \"%2\" between elements."_s.arg(
                        QString::number(m_reader.lineNumber()), m_reader.text().trimmed()));
                break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        return false;
    }

    Node readElement(int depth)
    {
        if (depth > kMaxDepth)
            refuse(u"line %1: elements nested too deeply."_s.arg(m_reader.lineNumber()));
        Node node;
        node.name = m_reader.name().toString();
        node.attributes = m_reader.attributes();
        node.line = m_reader.lineNumber();
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement:
                node.children.push_back(readElement(depth + 1));
                break;
            case QXmlStreamReader::EndElement: return node;
            case QXmlStreamReader::Characters: node.text += m_reader.text(); break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        return node;
    }

    QXmlStreamReader m_reader;
    QList<QVersionNumber> m_accepted;
    std::optional<QString> m_version;
};

// ---------------------------------------------------------------------------------------------
// Content models of the supported queries.

enum class QueryKind { Customer, Item, SalesRep, Invoice, Host, Other };

enum class IteratorUse { None, Start, Continue, Stop };

enum class ActiveStatus { ActiveOnly, InactiveOnly, All };

struct Query {
    QueryKind kind = QueryKind::Other;
    QString responseName;
    std::optional<QString> requestId;
    QStringList ids;   // ListID+ or TxnID+
    QStringList names; // FullName+ or RefNumber+
    std::optional<qsizetype> maxReturned;
    ActiveStatus active = ActiveStatus::ActiveOnly;
    std::optional<QString> fromDate, toDate;
    std::optional<QString> includeLineItems, includeLinkedTxns;
    bool unsupported = false; // holds an element the stand-in does not implement
    IteratorUse iterator = IteratorUse::None;
    QString iteratorId;
};

enum class Occurs { Optional, Required, OneOrMore };

struct Particle {
    QStringView name;
    Occurs occurs;
};
using Sequence = std::initializer_list<Particle>;

QString describe(const Node &node)
{
    return u"<%1> (line %2)"_s.arg(node.name, QString::number(node.line));
}

// The text of a simple element; refuses an element with children.
QString leafText(const Node &node)
{
    if (!node.children.empty())
        refuse(u"%1 must not contain <%2>."_s.arg(describe(node), node.children.front().name));
    return node.text.trimmed();
}

void requireNoText(const Node &node)
{
    if (!node.text.trimmed().isEmpty())
        refuse(u"%1 holds text \"%2\"."_s.arg(describe(node), node.text.trimmed()));
}

bool matchesSequence(const Node &node, Sequence sequence)
{
    std::size_t pos = 0;
    const auto &children = node.children;
    for (const Particle &particle : sequence) {
        std::size_t count = 0;
        while (pos < children.size() && children[pos].name == particle.name) {
            ++pos;
            ++count;
            if (particle.occurs != Occurs::OneOrMore)
                break;
        }
        if (count == 0 && particle.occurs != Occurs::Optional)
            return false;
    }
    return pos == children.size();
}

// Checks a filter element whose children are simple elements in one of `alternatives`.
void expectContent(const Node &node, std::initializer_list<Sequence> alternatives)
{
    requireNoText(node);
    for (const Node &child : node.children)
        leafText(child);
    for (const Sequence &sequence : alternatives) {
        if (matchesSequence(node, sequence))
            return;
    }
    refuse(u"the content of %1 is not valid."_s.arg(describe(node)));
}

// Walks the children of a request element in order.
class Children {
public:
    explicit Children(const Node &parent) : m_parent(parent) {}

    bool next(QStringView name) const
    {
        return m_pos < m_parent.children.size() && m_parent.children[m_pos].name == name;
    }
    const Node *optional(QStringView name)
    {
        return next(name) ? &m_parent.children[m_pos++] : nullptr;
    }
    QStringList texts(QStringView name)
    {
        QStringList values;
        while (const Node *node = optional(name))
            values.append(leafText(*node));
        return values;
    }
    void expectEnd() const
    {
        if (m_pos < m_parent.children.size())
            refuse(u"%1 is not expected in %2 at this place."_s.arg(
                describe(m_parent.children[m_pos]), describe(m_parent)));
    }

private:
    const Node &m_parent;
    std::size_t m_pos = 0;
};

qsizetype parseMaxReturned(const Node &node)
{
    bool ok = false;
    const qlonglong value = leafText(node).toLongLong(&ok);
    if (!ok || value < 0)
        refuse(u"%1 is not a count."_s.arg(describe(node)));
    return static_cast<qsizetype>(value);
}

ActiveStatus parseActiveStatus(const Node &node)
{
    const QString text = leafText(node);
    if (text == u"ActiveOnly")
        return ActiveStatus::ActiveOnly;
    if (text == u"InactiveOnly")
        return ActiveStatus::InactiveOnly;
    if (text == u"All")
        return ActiveStatus::All;
    refuse(u"%1 has the unknown value \"%2\"."_s.arg(describe(node), text));
}

const Sequence kNameFilter = {{u"MatchCriterion", Occurs::Required}, {u"Name", Occurs::Required}};
const Sequence kNameRange = {{u"FromName", Occurs::Optional}, {u"ToName", Occurs::Optional}};
const Sequence kModifiedRange = {{u"FromModifiedDate", Occurs::Optional},
                                 {u"ToModifiedDate", Occurs::Optional}};
const Sequence kTxnDates = {{u"FromTxnDate", Occurs::Optional}, {u"ToTxnDate", Occurs::Optional}};
const Sequence kDateMacro = {{u"DateMacro", Occurs::Required}};
const Sequence kRefNumberFilter = {{u"MatchCriterion", Occurs::Required},
                                   {u"RefNumber", Occurs::Required}};
const Sequence kRefNumberRange = {{u"FromRefNumber", Occurs::Optional},
                                  {u"ToRefNumber", Occurs::Optional}};
const Sequence kBalanceFilter = {{u"Operator", Occurs::Required}, {u"Amount", Occurs::Required}};
const Sequence kByListId = {{u"ListID", Occurs::OneOrMore}};
const Sequence kByFullName = {{u"FullName", Occurs::OneOrMore}};
const Sequence kByListIdWithChildren = {{u"ListIDWithChildren", Occurs::Required}};
const Sequence kByFullNameWithChildren = {{u"FullNameWithChildren", Occurs::Required}};

// Consumes an optional filter that the stand-in does not implement.
void unsupportedFilter(Children &children, Query &query, QStringView name,
                       std::initializer_list<Sequence> alternatives)
{
    if (const Node *node = children.optional(name)) {
        expectContent(*node, alternatives);
        query.unsupported = true;
    }
}

void unsupportedLeaf(Children &children, Query &query, QStringView name)
{
    if (const Node *node = children.optional(name)) {
        leafText(*node);
        query.unsupported = true;
    }
}

void readOwnerIds(Children &children, Query &query)
{
    if (!children.texts(u"OwnerID").isEmpty())
        query.unsupported = true; // the stand-in does not select custom fields by owner
}

void readListQuery(const Node &request, Query &query)
{
    Children children(request);
    if (children.next(u"ListID")) {
        query.ids = children.texts(u"ListID");
    } else if (children.next(u"FullName")) {
        query.names = children.texts(u"FullName");
    } else {
        if (const Node *node = children.optional(u"MaxReturned"))
            query.maxReturned = parseMaxReturned(*node);
        if (const Node *node = children.optional(u"ActiveStatus"))
            query.active = parseActiveStatus(*node);
        unsupportedLeaf(children, query, u"FromModifiedDate");
        unsupportedLeaf(children, query, u"ToModifiedDate");
        if (children.next(u"NameFilter"))
            unsupportedFilter(children, query, u"NameFilter", {kNameFilter});
        else
            unsupportedFilter(children, query, u"NameRangeFilter", {kNameRange});
        if (query.kind == QueryKind::Customer)
            unsupportedFilter(children, query, u"TotalBalanceFilter", {kBalanceFilter});
    }
    if (query.kind != QueryKind::SalesRep)
        readOwnerIds(children, query);
    children.expectEnd();
}

void readTxnDateRange(const Node &filter, Query &query)
{
    expectContent(filter, {kTxnDates, kDateMacro});
    for (const Node &child : filter.children) {
        const QString text = leafText(child);
        if (child.name == u"DateMacro")
            query.unsupported = true;
        else if (text.isEmpty())
            continue; // an empty date leaves that side open
        else if (child.name == u"FromTxnDate")
            query.fromDate = text;
        else
            query.toDate = text;
    }
}

void readInvoiceQuery(const Node &request, Query &query)
{
    Children children(request);
    if (children.next(u"TxnID")) {
        query.ids = children.texts(u"TxnID");
    } else if (children.next(u"RefNumber")) {
        query.names = children.texts(u"RefNumber");
    } else {
        if (const Node *node = children.optional(u"MaxReturned"))
            query.maxReturned = parseMaxReturned(*node);
        if (children.next(u"ModifiedDateRangeFilter"))
            unsupportedFilter(children, query, u"ModifiedDateRangeFilter", {kModifiedRange});
        else if (const Node *node = children.optional(u"TxnDateRangeFilter"))
            readTxnDateRange(*node, query);
        const std::initializer_list<Sequence> byRef = {
            kByListId, kByFullName, kByListIdWithChildren, kByFullNameWithChildren};
        unsupportedFilter(children, query, u"EntityFilter", byRef);
        unsupportedFilter(children, query, u"AccountFilter", byRef);
        if (children.next(u"RefNumberFilter"))
            unsupportedFilter(children, query, u"RefNumberFilter", {kRefNumberFilter});
        else
            unsupportedFilter(children, query, u"RefNumberRangeFilter", {kRefNumberRange});
        unsupportedLeaf(children, query, u"PaidStatus");
    }
    if (const Node *node = children.optional(u"IncludeLineItems"))
        query.includeLineItems = leafText(*node);
    if (const Node *node = children.optional(u"IncludeLinkedTxns"))
        query.includeLinkedTxns = leafText(*node);
    readOwnerIds(children, query);
    children.expectEnd();
}

QueryKind kindOf(QStringView requestName)
{
    if (requestName == u"CustomerQueryRq")
        return QueryKind::Customer;
    if (requestName == u"ItemQueryRq")
        return QueryKind::Item;
    if (requestName == u"SalesRepQueryRq")
        return QueryKind::SalesRep;
    if (requestName == u"InvoiceQueryRq")
        return QueryKind::Invoice;
    if (requestName == u"HostQueryRq")
        return QueryKind::Host;
    return QueryKind::Other;
}

// The iterator attributes, which the customer, item and invoice queries take from 5.0 on.
void readIterator(const Node &request, Query &query)
{
    const QStringView use = request.attributes.value(QLatin1StringView("iterator"));
    const bool hasId = request.attributes.hasAttribute(QLatin1StringView("iteratorID"));
    if (use.isEmpty() && !request.attributes.hasAttribute(QLatin1StringView("iterator"))) {
        if (hasId)
            refuse(u"%1 has an iteratorID but no iterator."_s.arg(describe(request)));
        return;
    }
    if (use == u"Start")
        query.iterator = IteratorUse::Start;
    else if (use == u"Continue")
        query.iterator = IteratorUse::Continue;
    else if (use == u"Stop")
        query.iterator = IteratorUse::Stop;
    else
        refuse(u"%1 has the unknown iterator value \"%2\"."_s.arg(describe(request), use));
    query.iteratorId = request.attributes.value(QLatin1StringView("iteratorID")).toString();
    if (query.iterator != IteratorUse::Start && query.iteratorId.isEmpty())
        refuse(u"%1 continues or stops an iterator without its iteratorID."_s.arg(describe(request)));
}

void readHostQuery(const Node &request, const QVersionNumber &version)
{
    Children children(request);
    if (version >= QVersionNumber(6, 0)) {
        if (const Node *node = children.optional(u"IncludeListMetaData"))
            expectContent(*node, {{{u"IncludeMaxCapacity", Occurs::Required}}});
    }
    if (version >= QVersionNumber(4, 0))
        children.texts(u"IncludeRetElement");
    children.expectEnd();
}

Query readQuery(const Node &request, const QVersionNumber &version)
{
    Query query;
    query.kind = kindOf(request.name);
    query.responseName = request.name.chopped(2) + u"Rs"_s;
    if (request.attributes.hasAttribute(QLatin1StringView("requestID")))
        query.requestId = request.attributes.value(QLatin1StringView("requestID")).toString();
    if (query.kind == QueryKind::Other)
        return query; // answered as unsupported, whatever it holds
    const bool iterates = version >= QVersionNumber(5, 0) && query.kind != QueryKind::SalesRep
                          && query.kind != QueryKind::Host;
    for (const QXmlStreamAttribute &attribute : request.attributes) {
        const QStringView name = attribute.qualifiedName();
        if (name != u"requestID" && !(iterates && (name == u"iterator" || name == u"iteratorID")))
            refuse(u"%1 has an unknown attribute %2."_s.arg(describe(request), name));
    }
    requireNoText(request);
    if (iterates)
        readIterator(request, query);
    if (query.kind == QueryKind::Host) {
        readHostQuery(request, version);
        return query;
    }
    if (query.kind == QueryKind::Invoice)
        readInvoiceQuery(request, query);
    else
        readListQuery(request, query);
    return query;
}

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
    bool unlimited = false;                        // MaxReturned sizes pages, not the match
    std::optional<QString> iteratorId;
    std::optional<qsizetype> iteratorRemaining;
    const QuerySession *host = nullptr;            // for a HostQuery
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
void nextPage(QuerySession &session, QuerySession::Iterator &iterator, const QString &id, Answer &answer);

Answer answer(const CompanyFile &company, QuerySession &session, const Query &query);

Answer continueIterator(const CompanyFile &company, QuerySession &session, const Query &query)
{
    Answer result;
    result.query = &query;
    result.status = ok();
    result.list = listOf(company, query.kind);
    QuerySession::Iterator *iterator = session.find(query.iteratorId);
    if (!iterator || iterator->kind != static_cast<int>(query.kind)) {
        result.status = {3391, kError,
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
        QuerySession::Iterator &iterator =
            session.start(static_cast<int>(query.kind), result.keep, std::move(result.matches), &id);
        result.matches.clear();
        nextPage(session, iterator, id, result);
        return result;
    }
    if (result.status.code == 0 && result.matches.empty())
        result.status = noMatch();
    return result;
}

void nextPage(QuerySession &session, QuerySession::Iterator &iterator, const QString &id, Answer &answer)
{
    const std::size_t left = iterator.matches.size() - iterator.next;
    const std::size_t page = answer.query->maxReturned
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
    if (answer.iteratorRemaining) {
        appendAttribute(out, "iteratorRemainingCount", QString::number(*answer.iteratorRemaining));
        appendAttribute(out, "iteratorID", *answer.iteratorId);
    }
    if (answer.host && includeData) {
        out.append(">\n<HostRet><ProductName>QuickBooks stand-in (qbsim)</ProductName>"
                   "<MajorVersion>1</MajorVersion><MinorVersion>0</MinorVersion><Country>US</Country>");
        for (const QVersionNumber &version : answer.host->supportedVersions())
            out.append("<SupportedQBXMLVersion>").append(version.toString().toLatin1()).append("</SupportedQBXMLVersion>");
        out.append("<IsAutomaticLogin>false</IsAutomaticLogin><QBFileMode>SingleUser</QBFileMode></HostRet>\n");
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
        else
            company.appendInvoice(out, company.invoices()[index], answer.keep);
        out.append('\n');
    }
    out.append("</").append(name).append(">\n");
}

QByteArray respond(const CompanyFile &company, QuerySession &session, const Envelope &envelope)
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
    for (const Answer &a : answers)
        appendAnswer(out, company, a, envelope.includeData);
    out.append("</QBXMLMsgsRs>\n</QBXML>\n");
    return out;
}

} // namespace

QList<QVersionNumber> knownQbxmlVersions()
{
    static const QList<QVersionNumber> versions = [] {
        QList<QVersionNumber> list;
        for (const char *text : {"1.0", "1.1", "2.0", "2.1", "3.0", "4.0", "4.1", "5.0", "6.0", "7.0", "8.0",
                                 "9.0", "10.0", "11.0", "12.0", "13.0"})
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

QuerySession::Iterator &QuerySession::start(int kind, unsigned keep, std::vector<std::uint32_t> matches, QString *id)
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
                          QString *diagnostic)
{
    try {
        return respond(company, session, RequestReader(request, session.supportedVersions()).read());
    } catch (const Refusal &refusal) {
        if (diagnostic)
            *diagnostic = refusal.detail;
        throw Error(refusal.number, hr::description(refusal.number));
    }
}

QByteArray processRequest(const CompanyFile &company, QByteArrayView request, QString *diagnostic)
{
    QuerySession session;
    return processRequest(company, session, request, diagnostic);
}

} // namespace corvina::qbsim
