#include "webconnector/Soap.h"

#include "qbxml/XmlScanner.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <array>
#include <vector>

namespace corvina::wc::soap {

namespace {

struct OperationInfo {
    Operation operation;
    const char16_t *name;
    std::initializer_list<const char16_t *> arguments;
};

const std::array<OperationInfo, 8> &operations()
{
    static const std::array<OperationInfo, 8> table{{
        {Operation::ServerVersion, u"serverVersion", {}},
        {Operation::ClientVersion, u"clientVersion", {u"strVersion"}},
        {Operation::Authenticate, u"authenticate", {u"strUserName", u"strPassword"}},
        {Operation::SendRequestXml,
         u"sendRequestXML",
         {u"ticket", u"strHCPResponse", u"strCompanyFileName", u"qbXMLCountry", u"qbXMLMajorVers",
          u"qbXMLMinorVers"}},
        {Operation::ReceiveResponseXml,
         u"receiveResponseXML",
         {u"ticket", u"response", u"hresult", u"message"}},
        {Operation::ConnectionError, u"connectionError", {u"ticket", u"hresult", u"message"}},
        {Operation::GetLastError, u"getLastError", {u"ticket"}},
        {Operation::CloseConnection, u"closeConnection", {u"ticket"}},
    }};
    return table;
}

const OperationInfo &infoOf(Operation op)
{
    return operations()[static_cast<std::size_t>(op)];
}

// A SOAP request is small and flat: envelope, optional header, body, operation, arguments.
constexpr int kMaxDepth = 8;

// Writes the envelope around one element in the service's namespace; `writeContent` writes
// its children.
template <class Content> QByteArray envelope(const QString &element, Content writeContent)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kEnvelopeNamespace, QStringLiteral("soap"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Envelope"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Body"));
    xml.writeDefaultNamespace(kNamespace);
    xml.writeStartElement(kNamespace, element);
    writeContent(xml);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

QString resultName(Operation op)
{
    return operationName(op) + QStringLiteral("Result");
}

QString responseName(Operation op)
{
    return operationName(op) + QStringLiteral("Response");
}

} // namespace

QString operationName(Operation op)
{
    return QString::fromUtf16(infoOf(op).name);
}

QString soapAction(Operation op)
{
    return kNamespace + operationName(op);
}

std::optional<Operation> operationNamed(QStringView name)
{
    for (const OperationInfo &info : operations()) {
        if (name == QStringView(info.name))
            return info.operation;
    }
    return std::nullopt;
}

QStringList argumentNames(Operation op)
{
    QStringList names;
    for (const char16_t *name : infoOf(op).arguments)
        names << QString::fromUtf16(name);
    return names;
}

namespace {

// The namespace declarations of one element: (prefix, URI), the default namespace with an
// empty prefix.
using Scope = std::vector<std::pair<QByteArrayView, QByteArrayView>>;

// The URI a prefix stands for in the innermost scope declaring it.
std::optional<QByteArrayView> namespaceOf(const std::vector<Scope> &scopes, QByteArrayView prefix)
{
    for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
        for (const auto &[declared, uri] : *scope) {
            if (declared == prefix)
                return uri;
        }
    }
    if (prefix.isEmpty())
        return QByteArrayView(); // no default namespace
    return std::nullopt;
}

} // namespace

namespace {

// What comes before the root element's start tag: the first '<' outside a comment or
// processing instruction and followed by neither '?' nor '!', or the whole body without one.
QByteArrayView prologOf(const QByteArray &body)
{
    qsizetype at = body.indexOf('<');
    while (at >= 0 && at + 1 < body.size()) {
        const QByteArrayView rest = QByteArrayView(body).sliced(at);
        qsizetype skip = 1;
        if (rest.startsWith("<!--"))
            skip = rest.indexOf("-->");
        else if (rest.startsWith("<?"))
            skip = rest.indexOf("?>");
        else if (rest[1] != '!')
            return QByteArrayView(body).first(at);
        if (skip < 0)
            return body;
        at = body.indexOf('<', at + skip);
    }
    return body;
}

} // namespace

std::optional<Call> parseCall(const QByteArray &body, QString *error)
{
    const auto failed = [&](const QString &why) -> std::optional<Call> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // The scanner never expands entities of a document type; refusing one outright keeps the
    // message plain SOAP. A document type may stand only before the root element (the scanner
    // refuses one anywhere else), so only that prolog is searched, not a megabyte of answer.
    // (A "<!DOCTYPE" in a comment of the prolog is refused as well.)
    if (prologOf(body).contains("<!DOCTYPE"))
        return failed(QStringLiteral("document type declarations are not accepted"));
    // qbXML answers of a megabyte travel in receiveResponseXML: the project's own scanner
    // reads them several times faster than QXmlStreamReader, with the same well-formedness
    // checks and only the five predefined entities and character references.
    qb::XmlScanner xml(body);
    const QByteArray envelopeNs = kEnvelopeNamespace.toUtf8();
    const QByteArray serviceNs = kNamespace.toUtf8();
    std::vector<Scope> scopes;
    // Path of the elements open so far: 1 Envelope, 2 Header or Body, 3 operation, 4 argument.
    bool inBody = false;
    std::optional<Call> call;
    QString argument;
    QByteArray text;
    for (;;) {
        const auto token = xml.next();
        if (token == qb::XmlScanner::Token::EndDocument || token == qb::XmlScanner::Token::Error)
            break;
        const int depth = xml.depth();
        if (token == qb::XmlScanner::Token::StartElement) {
            if (depth > kMaxDepth)
                return failed(QStringLiteral("the message is nested too deeply"));
            Scope scope;
            for (const auto &a : xml.attributes()) {
                if (a.name == "xmlns")
                    scope.emplace_back(QByteArrayView(), a.value);
                else if (a.name.startsWith("xmlns:"))
                    scope.emplace_back(a.name.sliced(6), a.value);
            }
            scopes.push_back(std::move(scope));
            const QByteArrayView qname = xml.name();
            const qsizetype colon = qname.indexOf(':');
            const QByteArrayView local = colon < 0 ? qname : qname.sliced(colon + 1);
            const auto ns = namespaceOf(scopes, colon < 0 ? QByteArrayView() : qname.first(colon));
            if (!ns)
                return failed(QStringLiteral("the prefix of %1 is not declared")
                                  .arg(QString::fromUtf8(qname)));
            if (depth == 1) {
                if (*ns != envelopeNs || local != "Envelope")
                    return failed(QStringLiteral("the message is not a SOAP 1.1 envelope"));
            } else if (depth == 2) {
                inBody = *ns == envelopeNs && local == "Body";
            } else if (depth == 3 && inBody) {
                if (call)
                    return failed(QStringLiteral("the SOAP body holds more than one operation"));
                const auto op = operationNamed(QString::fromUtf8(local));
                if (*ns != serviceNs || !op)
                    return failed(QStringLiteral("unknown operation {%1}%2")
                                      .arg(QString::fromUtf8(*ns), QString::fromUtf8(local)));
                call = Call{*op, {}};
            } else if (depth == 4 && inBody) {
                argument = *ns == serviceNs ? QString::fromUtf8(local) : QString();
                text.clear();
            } else if (depth == 5 && inBody && !argument.isEmpty()) {
                return failed(
                    QStringLiteral("the argument %1 holds markup, not text").arg(argument));
            }
        } else if (token == qb::XmlScanner::Token::Characters) {
            if (depth == 4 && inBody && !argument.isEmpty())
                text += xml.text();
        } else if (token == qb::XmlScanner::Token::EndElement) {
            const int ended = depth + 1; // depth() no longer counts the element that ends
            if (ended == 4 && inBody && !argument.isEmpty() && call)
                call->arguments.insert(argument, std::exchange(text, {}));
            if (ended == 2)
                inBody = false;
            scopes.pop_back();
        }
    }
    if (xml.hasError())
        return failed(QStringLiteral("malformed XML: %1").arg(xml.errorString()));
    if (!call)
        return failed(QStringLiteral("the SOAP body holds no operation"));
    return call;
}

QByteArray answer(Operation op, const QString &result)
{
    return envelope(responseName(op), [&](QXmlStreamWriter &xml) {
        xml.writeTextElement(kNamespace, resultName(op), result);
    });
}

QByteArray answer(Operation op, int result)
{
    return answer(op, QString::number(result));
}

QByteArray answer(Operation op, const QStringList &strings)
{
    return envelope(responseName(op), [&](QXmlStreamWriter &xml) {
        xml.writeStartElement(kNamespace, resultName(op));
        for (const QString &s : strings)
            xml.writeTextElement(kNamespace, QStringLiteral("string"), s);
        xml.writeEndElement();
    });
}

QByteArray fault(bool clientFault, const QString &text)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kEnvelopeNamespace, QStringLiteral("soap"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Envelope"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Body"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Fault"));
    xml.writeTextElement(QStringLiteral("faultcode"), clientFault ? QStringLiteral("soap:Client")
                                                                  : QStringLiteral("soap:Server"));
    xml.writeTextElement(QStringLiteral("faultstring"), text);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace corvina::wc::soap
