#include "webconnector/Soap.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <array>

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

std::optional<Call> parseCall(const QByteArray &body, QString *error)
{
    QXmlStreamReader xml(body);
    const auto failed = [&](const QString &why) -> std::optional<Call> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Path of the elements open so far: 0 Envelope, 1 Header or Body, 2 operation, 3 argument.
    int depth = 0;
    bool inBody = false;
    std::optional<Call> call;
    QString argument;
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return failed(QStringLiteral("document type declarations are not accepted"));
        case QXmlStreamReader::EntityReference:
            return failed(QStringLiteral("entity references are not accepted"));
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth > kMaxDepth)
                return failed(QStringLiteral("the message is nested too deeply"));
            if (depth == 1) {
                if (xml.namespaceUri() != kEnvelopeNamespace || xml.name() != u"Envelope")
                    return failed(QStringLiteral("the message is not a SOAP 1.1 envelope"));
            } else if (depth == 2) {
                inBody = xml.namespaceUri() == kEnvelopeNamespace && xml.name() == u"Body";
            } else if (depth == 3 && inBody) {
                if (call)
                    return failed(QStringLiteral("the SOAP body holds more than one operation"));
                const auto op = operationNamed(xml.name());
                if (xml.namespaceUri() != kNamespace || !op)
                    return failed(QStringLiteral("unknown operation {%1}%2")
                                      .arg(xml.namespaceUri().toString(), xml.name().toString()));
                call = Call{*op, {}};
            } else if (depth == 4 && inBody) {
                argument = xml.namespaceUri() == kNamespace ? xml.name().toString() : QString();
                text.clear();
            } else if (depth == 5 && inBody && !argument.isEmpty()) {
                return failed(
                    QStringLiteral("the argument %1 holds markup, not text").arg(argument));
            }
            break;
        case QXmlStreamReader::Characters:
            if (depth == 4 && inBody && !argument.isEmpty())
                text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 4 && inBody && !argument.isEmpty() && call)
                call->arguments.insert(argument, text);
            if (depth == 2)
                inBody = false;
            --depth;
            break;
        default: break;
        }
    }
    if (xml.hasError())
        return failed(QStringLiteral("malformed XML at line %1, column %2: %3")
                          .arg(xml.lineNumber())
                          .arg(xml.columnNumber())
                          .arg(xml.errorString()));
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
