#include "webconnector/Soap.h"

#include "qbxml/HostVersions.h"

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

using namespace corvina::wc;
using corvina::qb::HostVersions;
using corvina::qb::readHostVersions;
using soap::Operation;

namespace {

const QString kWsdlNs = QStringLiteral("http://schemas.xmlsoap.org/wsdl/");
const QString kSchemaNs = QStringLiteral("http://www.w3.org/2001/XMLSchema");

const Operation kAll[] = {Operation::ServerVersion,      Operation::ClientVersion,
                          Operation::Authenticate,       Operation::SendRequestXml,
                          Operation::ReceiveResponseXml, Operation::ConnectionError,
                          Operation::GetLastError,       Operation::CloseConnection};

// The schema's top-level elements and the names of their sequence children, in order, and
// each binding operation's soapAction, read from the service description.
struct WsdlFacts {
    std::map<QString, QStringList> elementChildren;
    std::map<QString, QString> soapActions;
    QString address;
};

WsdlFacts readWsdl(const QByteArray &text)
{
    WsdlFacts facts;
    QXmlStreamReader xml(text);
    QString topElement;
    int elementDepth = 0;
    QString bindingOperation;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto attrs = xml.attributes();
            if (xml.namespaceUri() == kSchemaNs && xml.name() == u"element") {
                ++elementDepth;
                if (elementDepth == 1) {
                    topElement = attrs.value(QLatin1String("name")).toString();
                    facts.elementChildren[topElement];
                } else if (elementDepth == 2) {
                    facts.elementChildren[topElement]
                        << attrs.value(QLatin1String("name")).toString();
                }
            } else if (xml.namespaceUri() == kWsdlNs && xml.name() == u"operation") {
                bindingOperation = attrs.value(QLatin1String("name")).toString();
            } else if (xml.name() == u"operation" &&
                       attrs.hasAttribute(QLatin1String("soapAction"))) {
                facts.soapActions[bindingOperation] =
                    attrs.value(QLatin1String("soapAction")).toString();
            } else if (xml.name() == u"address") {
                facts.address = attrs.value(QLatin1String("location")).toString();
            }
        } else if (xml.isEndElement() && xml.namespaceUri() == kSchemaNs &&
                   xml.name() == u"element") {
            --elementDepth;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return facts;
}

// A request as a SOAP client writes it: the operation element in the service's namespace,
// one child per argument, text escaped.
QByteArray request(const QString &operation, const QList<std::pair<QString, QString>> &arguments)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(soap::kEnvelopeNamespace, QStringLiteral("soap"));
    xml.writeStartElement(soap::kEnvelopeNamespace, QStringLiteral("Envelope"));
    xml.writeEmptyElement(soap::kEnvelopeNamespace, QStringLiteral("Header"));
    xml.writeStartElement(soap::kEnvelopeNamespace, QStringLiteral("Body"));
    xml.writeDefaultNamespace(soap::kNamespace);
    xml.writeStartElement(soap::kNamespace, operation);
    for (const auto &[name, value] : arguments)
        xml.writeTextElement(soap::kNamespace, name, value);
    xml.writeEndDocument();
    return out;
}

// The texts of the elements named `element` (any namespace given) in an answer envelope,
// read back by a real XML reader; also checks that `wrapper` is the body's first child.
QStringList readAnswer(const QByteArray &envelope, const QString &wrapper, const QString &element)
{
    QXmlStreamReader xml(envelope);
    QStringList texts;
    bool sawWrapper = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == wrapper && xml.namespaceUri() == soap::kNamespace)
            sawWrapper = true;
        if (xml.name() == element && xml.namespaceUri() == soap::kNamespace)
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(sawWrapper) << wrapper.toStdString();
    return texts;
}

QString sample(const char *name)
{
    QFile file(QStringLiteral(CORVINA_TEST_DATA_DIR "/webconnector/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

} // namespace

// Every operation of the service description is one the codec knows, with the same argument
// elements in the same order, the same SOAPAction, and answer elements named <op>Result.
TEST(SoapCodec, AgreesWithTheServiceDescription)
{
    const WsdlFacts facts =
        readWsdl(soap::wsdl(QStringLiteral("https://pc.example:8443/qbwc?a=1&b=2")));
    EXPECT_EQ(facts.address, QStringLiteral("https://pc.example:8443/qbwc?a=1&b=2"));
    EXPECT_EQ(facts.soapActions.size(), 8u);
    for (Operation op : kAll) {
        const QString name = soap::operationName(op);
        ASSERT_TRUE(facts.elementChildren.count(name)) << name.toStdString();
        EXPECT_EQ(facts.elementChildren.at(name), soap::argumentNames(op)) << name.toStdString();
        EXPECT_EQ(facts.elementChildren.at(name + QStringLiteral("Response")),
                  QStringList{name + QStringLiteral("Result")});
        EXPECT_EQ(facts.soapActions.at(name), soap::soapAction(op));
        EXPECT_EQ(soap::soapAction(op), QStringLiteral("http://developer.intuit.com/") + name);
    }
}

// Each operation's request, written with the description's element names, comes back with its
// arguments unescaped; each answer reads back as the described result element.
TEST(SoapCodec, ParsesEveryRequestAndWritesEveryAnswer)
{
    const WsdlFacts facts = readWsdl(soap::wsdl(QStringLiteral("https://h/qbwc")));
    for (Operation op : kAll) {
        const QString name = soap::operationName(op);
        QList<std::pair<QString, QString>> arguments;
        int i = 0;
        for (const QString &arg : facts.elementChildren.at(name))
            arguments.push_back(
                {arg,
                 QStringLiteral("<?xml version=\"1.0\"?><QBXML a=\"%1\">&amp;</QBXML>").arg(++i)});
        QString error;
        const auto call = soap::parseCall(request(name, arguments), &error);
        ASSERT_TRUE(call) << name.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(call->operation, op);
        EXPECT_EQ(call->arguments.size(), arguments.size());
        for (const auto &[arg, value] : arguments)
            EXPECT_EQ(call->argument(arg), value) << arg.toStdString();

        const QString result = name + QStringLiteral("Result");
        if (op == Operation::Authenticate) {
            const QStringList strings{QStringLiteral("t<&>"), QString(), QStringLiteral("5")};
            EXPECT_EQ(readAnswer(soap::answer(op, strings), name + QStringLiteral("Response"),
                                 QStringLiteral("string")),
                      strings);
        } else if (op == Operation::ReceiveResponseXml) {
            EXPECT_EQ(readAnswer(soap::answer(op, -101), name + QStringLiteral("Response"), result),
                      QStringList{QStringLiteral("-101")});
        } else {
            const QString text = QStringLiteral("<?xml version=\"1.0\"?><QBXML>&</QBXML>");
            EXPECT_EQ(readAnswer(soap::answer(op, text), name + QStringLiteral("Response"), result),
                      QStringList{text});
        }
    }
}

TEST(SoapCodec, RefusesWhatIsNotOneOfTheOperations)
{
    const QByteArray good =
        request(QStringLiteral("getLastError"), {{QStringLiteral("ticket"), QStringLiteral("t")}});
    QString error;
    ASSERT_TRUE(soap::parseCall(good, &error));

    struct Case {
        const char *what;
        QByteArray body;
    };
    QByteArray wrongNs = good;
    wrongNs.replace("http://developer.intuit.com/", "http://example.com/");
    QByteArray notEnvelope = good;
    notEnvelope.replace("http://schemas.xmlsoap.org/soap/envelope/",
                        "http://www.w3.org/2003/05/soap-envelope");
    const Case cases[] = {
        {"empty", QByteArray()},
        {"not xml", QByteArrayLiteral("hello")},
        {"truncated", good.left(good.size() - 20)},
        {"unknown operation", request(QStringLiteral("deleteEverything"), {})},
        {"wrong namespace", wrongNs},
        {"SOAP 1.2 envelope", notEnvelope},
        {"entity declaration",
         QByteArrayLiteral("<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaa\">]>") +
             good.mid(good.indexOf('<', 2))},
        {"entity declaration after a comment with markup in it",
         QByteArrayLiteral("<?xml version=\"1.0\"?><!-- <b> --><!DOCTYPE x []>") +
             good.mid(good.indexOf('<', 2))},
        {"document type after the root element",
         good + QByteArrayLiteral("<!DOCTYPE x [<!ENTITY a \"aaaa\">]>")},
        {"markup in an argument",
         QByteArrayLiteral(
             "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
             "<getLastError xmlns=\"http://developer.intuit.com/\"><ticket><b>x</b></ticket>"
             "</getLastError></s:Body></s:Envelope>")},
        {"empty body",
         QByteArrayLiteral(
             "<s:Envelope "
             "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body/></s:Envelope>")},
    };
    for (const Case &c : cases) {
        error.clear();
        EXPECT_FALSE(soap::parseCall(c.body, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
}

// The captured first-call answer of a real host: its versions come before the damaged element
// and are all read; the newest is 13.0.
TEST(HostInfoReader, ReadsTheCapturedHostAnswerDespiteItsDamage)
{
    const QString hcp = sample("hcp-response.xml");
    ASSERT_TRUE(hcp.contains(QStringLiteral("<yzer/DataExtType>")));
    // The whole text is not well-formed, as the sample says.
    QXmlStreamReader whole(hcp);
    while (!whole.atEnd())
        whole.readNext();
    EXPECT_TRUE(whole.hasError());

    const HostVersions info = readHostVersions(hcp);
    EXPECT_EQ(info.productName, QStringLiteral("QuickBooks Pro 2014"));
    ASSERT_EQ(info.versions.size(), 16);
    EXPECT_EQ(info.versions.first(), QVersionNumber(1, 0));
    EXPECT_EQ(info.newest(), QVersionNumber(13, 0));
    EXPECT_TRUE(info.damage.isEmpty()) << info.damage.toStdString();

    // It also arrives escaped inside a sendRequestXML and comes out whole.
    QString error;
    const auto call = soap::parseCall(
        request(QStringLiteral("sendRequestXML"), {{QStringLiteral("strHCPResponse"), hcp}}),
        &error);
    ASSERT_TRUE(call) << error.toStdString();
    EXPECT_EQ(call->argument(QStringLiteral("strHCPResponse")), hcp);
}

// Damage inside the host's own record: what came before is kept and the damage is named.
TEST(HostInfoReader, ReportsDamageInsideTheHostRecordAndKeepsWhatCameBefore)
{
    QString hcp = sample("hcp-response.xml");
    hcp.replace(QStringLiteral("<SupportedQBXMLVersion>5.0</SupportedQBXMLVersion>"),
                QStringLiteral("<SupportedQBXMLVersion>5.0<x/SupportedQBXMLVersion>"));
    const HostVersions info = readHostVersions(hcp);
    EXPECT_EQ(info.versions.size(), 7); // 1.0 to 4.1
    EXPECT_EQ(info.newest(), QVersionNumber(4, 1));
    EXPECT_TRUE(info.damage.contains(QStringLiteral("damaged at line")))
        << info.damage.toStdString();

    EXPECT_FALSE(readHostVersions(QString()).newest());
    EXPECT_TRUE(readHostVersions(QString()).damage.isEmpty());
    EXPECT_FALSE(readHostVersions(QStringLiteral("<QBXML/>")).damage.isEmpty());
}
