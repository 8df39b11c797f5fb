// `qbsim webconnector` against a small scripted SOAP service on the loopback: the Web
// Connector's call order, strHCPResponse on the first sendRequestXML only, iterators within
// the update, 0x80040400 for a request out of the schema's order, and the failure paths.

#include "qbsim/WebConnectorClient.h"

#include "qbsim/CompanyFile.h"
#include "qbxml/HostVersions.h"
#include "qbxml/RequestSet.h"
#include "qbxml/ResponseSet.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace corvina;
using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Received {
    QString operation;
    QString soapAction;
    std::map<QString, QString> args;
};

// The service side, written independently of the client: a minimal HTTP/1.1 responder on
// the loopback (one request per connection) that reads the operation element and its
// arguments and answers with the result `reply` gives.
class FakeService {
public:
    using Reply = std::function<QStringList(const Received &)>; // one item, or several for an array

    explicit FakeService(Reply reply) : m_reply(std::move(reply))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        m_port = m_server.serverPort();
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    const QList<QByteArray> lines = buffer->left(end).split('\n');
                    QByteArray action;
                    qsizetype length = 0;
                    for (const QByteArray &line : lines) {
                        const qsizetype colon = line.indexOf(':');
                        const QByteArray name = line.left(colon).trimmed().toLower();
                        if (name == "content-length")
                            length = line.mid(colon + 1).trimmed().toLongLong();
                        else if (name == "soapaction")
                            action = line.mid(colon + 1).trimmed();
                    }
                    if (buffer->size() < end + 4 + length)
                        return;
                    const QByteArray body = answer(action, buffer->mid(end + 4, length));
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; "
                                  "charset=utf-8\r\nContent-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/qbwc"_s.arg(m_port)); }
    const std::vector<Received> &calls() const { return m_calls; }
    QStringList operations() const
    {
        QStringList out;
        for (const Received &r : m_calls)
            out << r.operation;
        return out;
    }

private:
    QByteArray answer(const QByteArray &action, const QByteArray &requestBody)
    {
        Received received;
        received.soapAction = QString::fromUtf8(action);
        QXmlStreamReader reader(requestBody);
        int depth = 0;
        QString current;
        while (!reader.atEnd()) {
            const auto token = reader.readNext();
            if (token == QXmlStreamReader::StartElement) {
                ++depth;
                if (depth == 3 && reader.namespaceUri() == u"http://developer.intuit.com/")
                    received.operation = reader.name().toString();
                else if (depth == 4) {
                    received.args[reader.name().toString()] = reader.readElementText();
                    --depth;
                }
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
        m_calls.push_back(received);
        const QStringList result = m_reply(received);
        QByteArray body;
        QXmlStreamWriter w(&body);
        w.writeStartDocument();
        w.writeStartElement(u"http://schemas.xmlsoap.org/soap/envelope/"_s, u"Envelope"_s);
        w.writeStartElement(u"http://schemas.xmlsoap.org/soap/envelope/"_s, u"Body"_s);
        w.writeDefaultNamespace(u"http://developer.intuit.com/"_s);
        w.writeStartElement(u"http://developer.intuit.com/"_s, received.operation + u"Response"_s);
        w.writeStartElement(u"http://developer.intuit.com/"_s, received.operation + u"Result"_s);
        if (received.operation == u"authenticate") {
            for (const QString &item : result)
                w.writeTextElement(u"http://developer.intuit.com/"_s, u"string"_s, item);
        } else {
            w.writeCharacters(result.value(0));
        }
        w.writeEndDocument();
        return body;
    }

    QTcpServer m_server;
    quint16 m_port = 0;
    Reply m_reply;
    std::vector<Received> m_calls;
};

std::shared_ptr<const CompanyFile> company()
{
    return std::make_shared<const CompanyFile>(
        CompanyFile::load(QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/company-small.qbxml")));
}

WebConnectorOptions options(const QUrl &url, const QString &password = u"secret"_s)
{
    WebConnectorOptions o;
    o.url = url;
    o.user = u"corvina"_s;
    o.password = password;
    return o;
}

QStringList logOf(WebConnectorClient &client, bool *ok)
{
    QStringList lines;
    *ok = client.runUpdate([&lines](const QString &line) { lines << line; });
    return lines;
}

QStringList authenticate(const Received &r)
{
    if (r.args.at(u"strUserName"_s) == u"corvina" && r.args.at(u"strPassword"_s) == u"secret")
        return {u"TICKET-1"_s, QString()};
    return {u"TICKET-0"_s, u"nvu"_s};
}

} // namespace

TEST(WebConnectorClient, AnUpdateCallsInTheWebConnectorsOrderAndPagesWithinIt)
{
    // Customers page by page, then a request out of the schema's order.
    QStringList hresults;
    QString iteratorId;
    int pages = 0;
    std::vector<QString> hcp;
    FakeService service([&](const Received &r) -> QStringList {
        if (r.operation == u"serverVersion")
            return {u"Corvina test"_s};
        if (r.operation == u"clientVersion")
            return {QString()};
        if (r.operation == u"authenticate")
            return authenticate(r);
        if (r.operation == u"sendRequestXML") {
            hcp.push_back(r.args.at(u"strHCPResponse"_s));
            EXPECT_EQ(r.args.at(u"ticket"_s), u"TICKET-1"_s);
            EXPECT_EQ(r.args.at(u"qbXMLMajorVers"_s), u"13"_s);
            if (pages < 0)
                return {QString::fromUtf8(
                    "<?xml version=\"1.0\"?><?qbxml version=\"13.0\"?><QBXML><QBXMLMsgsRq "
                    "onError=\"stopOnError\"><InvoiceQueryRq><IncludeLineItems>true"
                    "</IncludeLineItems><MaxReturned>5</MaxReturned></InvoiceQueryRq>"
                    "</QBXMLMsgsRq></QBXML>")};
            qb::RequestSet set(13, 0);
            qb::Query &q = set.appendCustomerQuery();
            q.setMaxReturned(1);
            q.setIterator(pages == 0 ? qb::Iterator::Start : qb::Iterator::Continue, iteratorId);
            return {QString::fromUtf8(set.toQbxml())};
        }
        if (r.operation == u"receiveResponseXML") {
            hresults << r.args.at(u"hresult"_s);
            if (pages < 0) {
                EXPECT_TRUE(r.args.at(u"response"_s).isEmpty());
                return {u"100"_s};
            }
            const auto answer = qb::ResponseSet::parse(r.args.at(u"response"_s).toUtf8());
            EXPECT_EQ(answer.response(0).count(), 1);
            iteratorId = answer.response(0).iteratorId().value_or(QString());
            ++pages;
            if (answer.response(0).iteratorRemainingCount().value_or(0) == 0)
                pages = -1; // next: the bad request
            return {u"50"_s};
        }
        if (r.operation == u"closeConnection")
            return {u"OK"_s};
        return {QString()};
    });
    const auto file = company();
    WebConnectorClient client(options(service.url()), file, file->path());
    bool ok = false;
    const QStringList log = logOf(client, &ok);
    EXPECT_TRUE(ok) << log.join(u'\n').toStdString();

    const QStringList ops = service.operations();
    ASSERT_GE(ops.size(), 8);
    EXPECT_EQ(ops.mid(0, 3),
              (QStringList{u"serverVersion"_s, u"clientVersion"_s, u"authenticate"_s}));
    EXPECT_EQ(ops.back(), u"closeConnection"_s);
    for (qsizetype i = 3; i + 1 < ops.size(); i += 2) {
        EXPECT_EQ(ops[i], u"sendRequestXML"_s);
        EXPECT_EQ(ops[i + 1], u"receiveResponseXML"_s);
    }
    for (const Received &r : service.calls())
        EXPECT_EQ(r.soapAction, u"\"http://developer.intuit.com/"_s + r.operation + u'"');
    // The small company's active customers, one page each, then the refused request.
    ASSERT_GE(hcp.size(), 3u);
    const qb::HostVersions host = qb::readHostVersions(hcp.front().toUtf8());
    EXPECT_TRUE(host.damage.isEmpty());
    ASSERT_FALSE(host.versions.isEmpty());
    EXPECT_EQ(host.versions.last(), QVersionNumber(13, 0));
    for (std::size_t i = 1; i < hcp.size(); ++i)
        EXPECT_TRUE(hcp[i].isEmpty());
    EXPECT_EQ(hresults.back(), u"0x80040400"_s);
    EXPECT_EQ(hresults.count(QString()), hresults.size() - 1);
}

TEST(WebConnectorClient, WrongPasswordMissingCompanyAndPlainHttpElsewhereEndTheUpdate)
{
    FakeService service([](const Received &r) -> QStringList {
        if (r.operation == u"authenticate")
            return authenticate(r);
        if (r.operation == u"connectionError")
            return {u"done"_s};
        return {QString()};
    });
    const auto file = company();
    bool ok = true;

    WebConnectorClient wrong(options(service.url(), u"guess"_s), file, file->path());
    QStringList log = logOf(wrong, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(service.operations().contains(u"sendRequestXML"_s));
    EXPECT_TRUE(log.join(u'\n').contains(u"not valid"_s));

    // QuickBooks cannot open the company: connectionError with 0x80040408, no requests.
    WebConnectorClient missing(options(service.url()), nullptr, u"/nowhere/Company.qbw"_s);
    log = logOf(missing, &ok);
    EXPECT_FALSE(ok);
    ASSERT_EQ(service.operations().back(), u"connectionError"_s);
    EXPECT_EQ(service.calls().back().args.at(u"hresult"_s), u"0x80040408"_s);
    EXPECT_EQ(service.calls().back().args.at(u"message"_s), u"Could not start QuickBooks."_s);
    EXPECT_FALSE(service.operations().contains(u"sendRequestXML"_s));

    // Plain http is for the loopback only, and a certificate file must hold a certificate.
    const auto calls = service.calls().size();
    WebConnectorClient remote(options(QUrl(u"http://example.com/qbwc"_s)), file, file->path());
    log = logOf(remote, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(log.join(u'\n').contains(u"QBWC1051"_s));
    WebConnectorOptions tls = options(QUrl(u"https://127.0.0.1:1/qbwc"_s));
    tls.caCertFile = QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/company-small.qbxml");
    WebConnectorClient untrusted(tls, file, file->path());
    log = logOf(untrusted, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(log.join(u'\n').contains(u"QBWC1048"_s));
    EXPECT_EQ(service.calls().size(), calls);
}
