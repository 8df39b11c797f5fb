// The query engine's entry points: the response document written from the answers to a
// request document's queries, the session that keeps a host's versions and iterators, and the
// refusal of a whole document turned into the request processor's error.

#include "qbsim/QueryEngine.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngineAnswer.h"
#include "qbsim/QueryRequest.h"
#include "qbxml/ComErrors.h"

#include <QUuid>

#include <initializer_list>
#include <vector>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;
namespace hr = qb::hr;
using namespace engine;

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
