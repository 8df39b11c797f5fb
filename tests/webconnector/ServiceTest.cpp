#include "SoapTestClient.h"

#include "support/TempAppFolder.h"
#include "webconnector/Certificate.h"
#include "webconnector/WebConnectorService.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSslKey>
#include <QSslSocket>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::wc;
using corvina::test::SoapTestClient;
using soap::Operation;

namespace {

const QString kUser = QStringLiteral("corvina");
const QString kPassword = QStringLiteral("horse battery");

// A service over real TLS on the loopback, with a certificate made here, and a client that
// trusts exactly that certificate.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        files =
            makeSelfSignedCertificate(QStringLiteral("localhost"), {QStringLiteral("127.0.0.1")});
        const QSslCertificate cert(files.certificatePem, QSsl::Pem);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(cert);
        tls.setPrivateKey(QSslKey(files.keyPem, QSsl::Ec, QSsl::Pem));
        WebConnectorService::Options options;
        options.userName = kUser;
        options.password = PasswordHash::make(kPassword, 1000);
        options.maxBodyBytes = 64 * 1024;
        service = std::make_unique<WebConnectorService>(std::move(options));
        QString error;
        port = service->start(QHostAddress::LocalHost, 0, tls, &error);
        ASSERT_NE(port, 0) << error.toStdString();
        client = std::make_unique<SoapTestClient>(url(QStringLiteral("/qbwc")),
                                                  QList<QSslCertificate>{cert});
    }

    QUrl url(const QString &path, const QString &query = {}) const
    {
        QUrl u(QStringLiteral("https://localhost:%1%2").arg(port).arg(path));
        if (!query.isEmpty())
            u.setQuery(query);
        return u;
    }

    CertificateFiles files;
    std::unique_ptr<WebConnectorService> service;
    std::unique_ptr<SoapTestClient> client;
    quint16 port = 0;
};

} // namespace

TEST_F(ServiceTest, AnswersTheWebConnectorsCallsOverTls)
{
    EXPECT_TRUE(client->callAndWait(Operation::ServerVersion, {})
                    .values.value(0)
                    .startsWith(QStringLiteral("Corvina")));
    const auto version = client->callAndWait(
        Operation::ClientVersion, {{QStringLiteral("strVersion"), QStringLiteral("2.3.0.215")}});
    EXPECT_EQ(version.httpStatus, 200);
    EXPECT_EQ(version.values, QStringList{QString()});

    // No update wanted: "none"; wrong password: "nvu".
    auto auth =
        client->callAndWait(Operation::Authenticate, {{QStringLiteral("strUserName"), kUser},
                                                      {QStringLiteral("strPassword"), kPassword}});
    ASSERT_EQ(auth.values.size(), 2);
    EXPECT_EQ(auth.values[1], QStringLiteral("none"));
    auth = client->callAndWait(Operation::Authenticate,
                               {{QStringLiteral("strUserName"), kUser},
                                {QStringLiteral("strPassword"), QStringLiteral("x")}});
    EXPECT_EQ(auth.values, (QStringList{QString(), QStringLiteral("nvu")}));

    // A call with a ticket nobody was given is refused with a fault.
    const auto refused = client->callAndWait(Operation::SendRequestXml,
                                             {{QStringLiteral("ticket"), QStringLiteral("abc")}});
    EXPECT_EQ(refused.httpStatus, 500);
    EXPECT_FALSE(refused.fault.isEmpty());

    // An update: the request goes out through sendRequestXML, the answer comes back.
    service->wantUpdate(true);
    auth =
        client->callAndWait(Operation::Authenticate, {{QStringLiteral("strUserName"), kUser},
                                                      {QStringLiteral("strPassword"), kPassword}});
    ASSERT_EQ(auth.values.size(), 2);
    EXPECT_EQ(auth.values[1], QString());
    const QString ticket = auth.values[0];
    EXPECT_TRUE(service->updateRunning());
    service->sendRequest("<?xml version=\"1.0\"?><QBXML><CustomerQueryRq/></QBXML>");
    const auto request = client->callAndWait(
        Operation::SendRequestXml,
        {{QStringLiteral("ticket"), ticket},
         {QStringLiteral("strHCPResponse"), QString()},
         {QStringLiteral("strCompanyFileName"), QStringLiteral("C:\\Co\\a.qbw")}});
    EXPECT_EQ(request.values, QStringList{QStringLiteral(
                                  "<?xml version=\"1.0\"?><QBXML><CustomerQueryRq/></QBXML>")});
    ASSERT_TRUE(service->firstCall());
    EXPECT_EQ(service->firstCall()->companyFile, QStringLiteral("C:\\Co\\a.qbw"));

    // receiveResponseXML is answered once Corvina is done: 100.
    std::optional<SoapTestClient::Result> received;
    client->call(Operation::ReceiveResponseXml,
                 {{QStringLiteral("ticket"), ticket},
                  {QStringLiteral("response"), QStringLiteral("<QBXML/>")}},
                 [&](SoapTestClient::Result r) { received = std::move(r); });
    while (!service->takeReply())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    service->endUpdate();
    while (!received)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(received->values, QStringList{QStringLiteral("100")});
    EXPECT_FALSE(
        client->callAndWait(Operation::CloseConnection, {{QStringLiteral("ticket"), ticket}})
            .values.isEmpty());
    EXPECT_FALSE(service->updateRunning());
    EXPECT_EQ(client->callAndWait(Operation::SendRequestXml, {{QStringLiteral("ticket"), ticket}})
                  .httpStatus,
              500);
}

TEST_F(ServiceTest, ServesOnlyTheServicePathAndItsDescription)
{
    const auto wsdl = client->send("GET", url(QStringLiteral("/qbwc"), QStringLiteral("wsdl")), {});
    EXPECT_EQ(wsdl.httpStatus, 200);
    EXPECT_TRUE(wsdl.body.contains("QBWebConnectorSvc"));
    EXPECT_TRUE(wsdl.body.contains(QStringLiteral("https://localhost:%1/qbwc").arg(port).toUtf8()));

    EXPECT_EQ(client->send("GET", url(QStringLiteral("/")), {}).httpStatus, 404);
    EXPECT_EQ(client->send("GET", url(QStringLiteral("/etc/passwd")), {}).httpStatus, 404);
    EXPECT_EQ(client->send("POST", url(QStringLiteral("/qbwc/x")), "<x/>").httpStatus, 404);
    EXPECT_EQ(client->send("GET", url(QStringLiteral("/qbwc")), {}).httpStatus, 405);
    const auto notSoap = client->send("POST", url(QStringLiteral("/qbwc")), "hello");
    EXPECT_EQ(notSoap.httpStatus, 500);
    EXPECT_FALSE(notSoap.fault.isEmpty());
}

TEST_F(ServiceTest, RefusesBodiesOverTheBoundAndStaysUsable)
{
    const QByteArray big = SoapTestClient::envelope(
        QStringLiteral("getLastError"), {{QStringLiteral("ticket"), QString(200 * 1024, u'x')}});
    const auto refused = client->send("POST", url(QStringLiteral("/qbwc")), big);
    EXPECT_NE(refused.httpStatus, 200);
    EXPECT_NE(refused.error, QNetworkReply::NoError);

    // Headers that announce too large a body are answered before any of it is sent.
    QSslSocket raw;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({QSslCertificate(files.certificatePem, QSsl::Pem)});
    raw.setSslConfiguration(tls);
    raw.connectToHostEncrypted(QStringLiteral("localhost"), port);
    // The service answers on this thread: wait by running the event loop, never by blocking.
    const auto spinUntil = [](const std::function<bool()> &done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    spinUntil([&] { return raw.isEncrypted(); });
    ASSERT_TRUE(raw.isEncrypted()) << raw.errorString().toStdString();
    raw.write("POST /qbwc HTTP/1.1\r\nHost: localhost\r\nContent-Type: text/xml\r\n"
              "Content-Length: 100000000\r\n\r\n");
    QByteArray answer;
    spinUntil([&] {
        answer += raw.readAll();
        return answer.contains("\r\n\r\n");
    });
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.constData();

    // A normal call afterwards is served.
    EXPECT_EQ(client->callAndWait(Operation::ServerVersion, {}).httpStatus, 200);
}

TEST_F(ServiceTest, AClientThatDoesNotTrustTheCertificateIsRefused)
{
    SoapTestClient stranger(url(QStringLiteral("/qbwc")), {});
    const auto result = stranger.callAndWait(Operation::ServerVersion, {});
    EXPECT_NE(result.error, QNetworkReply::NoError);
    EXPECT_EQ(result.httpStatus, 0);
}

TEST(ServiceStart, PlainHttpOnlyOnTheLoopback)
{
    WebConnectorService::Options options;
    options.userName = kUser;
    options.password = PasswordHash::make(kPassword, 1000);
    WebConnectorService service(options);
    QString error;
    EXPECT_EQ(service.start(QHostAddress::AnyIPv4, 0, std::nullopt, &error), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_NE(service.start(QHostAddress::LocalHost, 0, std::nullopt, &error), 0);
}

TEST(CertificateMaker, MakesAKeyAndCertificateForTheHost)
{
    const CertificateFiles files =
        makeSelfSignedCertificate(QStringLiteral("office-pc"), {QStringLiteral("192.168.1.20")});
    const QSslCertificate cert(files.certificatePem, QSsl::Pem);
    ASSERT_FALSE(cert.isNull());
    EXPECT_EQ(cert.subjectInfo(QSslCertificate::CommonName),
              QStringList{QStringLiteral("office-pc")});
    const auto names = cert.subjectAlternativeNames();
    EXPECT_TRUE(names.values(QSsl::DnsEntry).contains(QStringLiteral("office-pc")));
    EXPECT_TRUE(names.values(QSsl::IpAddressEntry).contains(QStringLiteral("192.168.1.20")));
    EXPECT_FALSE(QSslKey(files.keyPem, QSsl::Ec, QSsl::Pem).isNull());
    const QString fingerprint = sha256Fingerprint(files.certificatePem);
    EXPECT_EQ(fingerprint.size(), 32 * 3 - 1);
    EXPECT_EQ(QString(fingerprint).remove(u':'),
              QString::fromLatin1(cert.digest(QCryptographicHash::Sha256).toHex().toUpper()));

    test::TempAppFolder folder;
    const QString certPath = QDir(folder.path()).filePath(QStringLiteral("corvina.crt"));
    const QString keyPath = QDir(folder.path()).filePath(QStringLiteral("corvina.key"));
    saveCertificateFiles(files, certPath, keyPath);
    EXPECT_EQ(QFile::permissions(keyPath) & 0x0fff &
                  ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                    QFileDevice::WriteUser),
              QFileDevice::Permissions());
    EXPECT_TRUE(QFile::permissions(certPath) & QFileDevice::ReadOther);
}

// Clients that ask before sending a body (Expect: 100-continue, as curl does past 1 KiB and
// .NET's HTTP client by default) get "100 Continue" at once, then their answer; a large body
// of several TLS records arrives whole.
TEST_F(ServiceTest, AnswersExpectContinueAndReadsLargeBodies)
{
    QSslSocket raw;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({QSslCertificate(files.certificatePem, QSsl::Pem)});
    raw.setSslConfiguration(tls);
    raw.connectToHostEncrypted(QStringLiteral("localhost"), port);
    const auto spinUntil = [](const std::function<bool()> &done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    spinUntil([&] { return raw.isEncrypted(); }, 5000);
    ASSERT_TRUE(raw.isEncrypted()) << raw.errorString().toStdString();

    // Just under the bound of 64 KiB: a ticket nobody was given, so a fault comes back.
    const QByteArray body = SoapTestClient::envelope(
        QStringLiteral("getLastError"), {{QStringLiteral("ticket"), QString(14 * 1024, u'<')}});
    ASSERT_LT(body.size(), 64 * 1024);
    raw.write("POST /qbwc HTTP/1.1\r\nHost: localhost\r\nContent-Type: text/xml\r\n"
              "SOAPAction: \"http://developer.intuit.com/getLastError\"\r\n"
              "Expect: 100-continue\r\nContent-Length: " +
              QByteArray::number(body.size()) + "\r\n\r\n");
    QByteArray answer;
    QElapsedTimer asked;
    asked.start();
    spinUntil(
        [&] {
            answer += raw.readAll();
            return answer.contains("\r\n\r\n");
        },
        2000);
    EXPECT_LT(asked.elapsed(), 1000);
    ASSERT_TRUE(answer.startsWith("HTTP/1.1 100 Continue\r\n\r\n")) << answer.constData();
    answer.clear();
    raw.write(body);
    spinUntil(
        [&] {
            answer += raw.readAll();
            return answer.contains("</soap:Envelope>");
        },
        5000);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.left(200).constData();
    EXPECT_TRUE(answer.contains("No error.")) << answer.constData();

    // Too large a body announced with the question is refused before it is sent.
    raw.write("POST /qbwc HTTP/1.1\r\nHost: localhost\r\nExpect: 100-continue\r\n"
              "Content-Length: 100000000\r\n\r\n");
    answer.clear();
    spinUntil(
        [&] {
            answer += raw.readAll();
            return answer.contains("\r\n\r\n");
        },
        5000);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.constData();
}

TEST_F(ServiceTest, OnItsOwnThreadKeepsItsBoundAndServesAnUpdateToTheCallersThread)
{
    ASSERT_TRUE(service->runOnOwnThread());
    int changes = 0;
    QObject here;
    QObject::connect(service.get(), &WebConnectorService::changed, &here, [&changes] {
        ++changes; // delivered on this thread
    });
    const auto spinUntil = [](const std::function<bool()> &done) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            if (done())
                return true;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return false;
    };

    // A body over the bound is still refused, and the service stays usable.
    const QByteArray big = SoapTestClient::envelope(
        QStringLiteral("getLastError"), {{QStringLiteral("ticket"), QString(200 * 1024, u'x')}});
    EXPECT_NE(client->send("POST", url(QStringLiteral("/qbwc")), big).httpStatus, 200);
    // The refusal tears its connection down mid-upload; a new client, as the Web Connector's
    // next call would, finds the service answering.
    client = std::make_unique<SoapTestClient>(
        url(QStringLiteral("/qbwc")),
        QList<QSslCertificate>{QSslCertificate(files.certificatePem)});
    EXPECT_EQ(client->callAndWait(Operation::ServerVersion, {}).httpStatus, 200);

    // An update: the request handed over from this thread reaches the waiting sendRequestXML,
    // and the answer to it comes back here.
    service->wantUpdate(true);
    const auto auth =
        client->callAndWait(Operation::Authenticate, {{QStringLiteral("strUserName"), kUser},
                                                      {QStringLiteral("strPassword"), kPassword}});
    ASSERT_EQ(auth.values.size(), 2);
    EXPECT_TRUE(service->updateRunning());
    const QString ticket = auth.values[0];
    std::optional<SoapTestClient::Result> request;
    client->call(Operation::SendRequestXml,
                 {{QStringLiteral("ticket"), ticket},
                  {QStringLiteral("strHCPResponse"), QString()},
                  {QStringLiteral("strCompanyFileName"), QStringLiteral("C:\\Fenwick.qbw")},
                  {QStringLiteral("qbXMLCountry"), QStringLiteral("US")},
                  {QStringLiteral("qbXMLMajorVers"), QStringLiteral("13")},
                  {QStringLiteral("qbXMLMinorVers"), QStringLiteral("0")}},
                 [&request](SoapTestClient::Result r) { request = r; });
    ASSERT_TRUE(spinUntil([&] { return service->firstCall().has_value(); }));
    EXPECT_EQ(service->firstCall()->companyFile, QStringLiteral("C:\\Fenwick.qbw"));
    EXPECT_FALSE(request); // held until there is a request
    service->sendRequest("<QBXML>ask</QBXML>");
    ASSERT_TRUE(spinUntil([&] { return request.has_value(); }));
    EXPECT_EQ(request->values.value(0), QStringLiteral("<QBXML>ask</QBXML>"));

    std::optional<SoapTestClient::Result> percent;
    client->call(Operation::ReceiveResponseXml,
                 {{QStringLiteral("ticket"), ticket},
                  {QStringLiteral("response"), QStringLiteral("<QBXML>answer</QBXML>")},
                  {QStringLiteral("hresult"), QString()},
                  {QStringLiteral("message"), QString()}},
                 [&percent](SoapTestClient::Result r) { percent = r; });
    std::optional<WebConnectorService::Reply> reply;
    ASSERT_TRUE(spinUntil([&] { return (reply = service->takeReply()).has_value(); }));
    EXPECT_EQ(reply->response, QByteArray("<QBXML>answer</QBXML>"));
    service->endUpdate();
    ASSERT_TRUE(spinUntil([&] { return percent.has_value(); }));
    EXPECT_EQ(percent->values.value(0), QStringLiteral("100"));
    EXPECT_GT(changes, 0);

    // Ending the service ends its thread and closes its port.
    service.reset();
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(probe.waitForConnected(1000));
}
