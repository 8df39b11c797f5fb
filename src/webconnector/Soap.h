#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// The Web Connector's SOAP 1.1 document/literal messages: the eight operations' requests read,
// their answers written, the service description. Every argument and result is a child element
// of the operation element in the namespace kNamespace; qbXML travels as escaped text.
namespace corvina::wc::soap {

inline const QString kNamespace = QStringLiteral("http://developer.intuit.com/");
inline const QString kEnvelopeNamespace =
    QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");

enum class Operation {
    ServerVersion,
    ClientVersion,
    Authenticate,
    SendRequestXml,
    ReceiveResponseXml,
    ConnectionError,
    GetLastError,
    CloseConnection,
};

// The operation's element name ("sendRequestXML"), and its SOAPAction value
// ("http://developer.intuit.com/sendRequestXML").
QString operationName(Operation op);
QString soapAction(Operation op);
std::optional<Operation> operationNamed(QStringView name);
// The argument elements of an operation's request, in order.
QStringList argumentNames(Operation op);

// One incoming call: its operation and its arguments by element name (text, unescaped, in
// UTF-8). Arguments the call does not carry are absent; unknown children are ignored.
struct Call {
    Operation operation = Operation::ServerVersion;
    QHash<QString, QByteArray> arguments;

    QString argument(const QString &name) const { return QString::fromUtf8(arguments.value(name)); }
    // The argument as it came, for qbXML answers that are read as bytes.
    QByteArray bytes(const QString &name) const { return arguments.value(name); }
};

// Reads a SOAP request. Nothing, with `error` saying why, for a body that is not one of the
// eight operations in a well-formed SOAP envelope. Document type declarations are refused
// (no entity is ever expanded), and so are arguments holding markup instead of text.
std::optional<Call> parseCall(const QByteArray &body, QString *error);

// The answer envelopes. Strings are escaped by the writer.
QByteArray answer(Operation op, const QString &result);
QByteArray answer(Operation op, int result);                 // receiveResponseXML
QByteArray answer(Operation op, const QStringList &strings); // authenticate: ArrayOfString
// A SOAP fault (client or server side) with a short text.
QByteArray fault(bool clientFault, const QString &text);

// The service description for a service reached at `serviceUrl`.
QByteArray wsdl(const QString &serviceUrl);

} // namespace corvina::wc::soap
