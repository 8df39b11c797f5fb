#include "qbsim/WebConnectorClient.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbxml/ComErrors.h"

#include <QDir>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <QXmlStreamReader>

#include <cstring>
#include <stdexcept>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;

const QString kNamespace = u"http://developer.intuit.com/"_s;
const QString kClientVersion = u"2.3.0.215"_s;

[[noreturn]] void failWith(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

QString hresultText(std::int32_t number)
{
    return u"0x"_s + QString::number(static_cast<std::uint32_t>(number), 16).toUpper();
}

bool isLoopback(const QUrl &url)
{
    const QString host = url.host();
    if (host.compare(u"localhost"_s, Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

void appendEscaped(QByteArray &out, QByteArrayView text)
{
    // A qbXML answer has a markup character every few bytes: one pass counts them, a second
    // writes into room made once, instead of an append per entity.
    qsizetype extra = 0;
    for (const char c : text) // without branches, so the compiler can count many at once
        extra += (c == '&' || c == '\r') * 4 + (c == '<' || c == '>') * 3;
    const qsizetype at = out.size();
    out.resize(at + text.size() + extra);
    char *to = out.data() + at;
    const auto put = [&to](const char *entity, std::size_t n) {
        std::memcpy(to, entity, n);
        to += n;
    };
    for (const char c : text) {
        switch (c) {
        case '&': put("&amp;", 5); break;
        case '<': put("&lt;", 4); break;
        case '>': put("&gt;", 4); break;
        case '\r': put("&#13;", 5); break; // a bare CR would read back as a line end
        default: *to++ = c;
        }
    }
}

WebConnectorClient::WebConnectorClient(WebConnectorOptions options,
                                       std::shared_ptr<const CompanyFile> company,
                                       QString companyPath)
    : m_options(std::move(options)), m_company(std::move(company)),
      m_companyPath(std::move(companyPath)), m_network(std::make_unique<QNetworkAccessManager>())
{
}

WebConnectorClient::~WebConnectorClient() = default;

QByteArray WebConnectorClient::hostAnswer() const
{
    // The first sendRequestXML carries the host's HostQuery answer, as QBWC gathers it.
    QByteArray out =
        "<?xml version=\"1.0\" ?><QBXML><QBXMLMsgsRs><HostQueryRs requestID=\"0\" statusCode=\"0\" "
        "statusSeverity=\"Info\" statusMessage=\"Status OK\"><HostRet><ProductName>QuickBooks "
        "stand-in "
        "(qbsim)</ProductName><MajorVersion>24</MajorVersion><MinorVersion>0</MinorVersion>"
        "<Country>US</Country>";
    for (const QVersionNumber &v : QuerySession(m_options.qbxmlVersion).supportedVersions())
        out += "<SupportedQBXMLVersion>" + v.toString().toLatin1() + "</SupportedQBXMLVersion>";
    out += "<IsAutomaticLogin>false</IsAutomaticLogin><QBFileMode>SingleUser</QBFileMode></"
           "HostRet></HostQueryRs>"
           "</QBXMLMsgsRs></QBXML>";
    return out;
}

QString WebConnectorClient::call(const QString &operation, const Arguments &arguments)
{
    // Written by hand: a qbXML answer of a megabyte is escaped in one pass over its bytes.
    QByteArray body;
    qsizetype size = 400;
    for (const Argument &a : arguments)
        size += 2 * a.name.size() + a.value.size() + a.value.size() / 8 + 8;
    body.reserve(size);
    const QByteArray op = operation.toUtf8();
    body += "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
            "<soap:Body><" +
            op + " xmlns=\"" + kNamespace.toUtf8() + "\">";
    for (const Argument &a : arguments) {
        const QByteArray element = a.name.toUtf8();
        body += '<' + element + '>';
        appendEscaped(body, a.value);
        body += "</" + element + '>';
    }
    body += "</" + op + "></soap:Body></soap:Envelope>";

    QNetworkRequest request(m_options.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"text/xml; charset=utf-8"_s);
    request.setRawHeader("SOAPAction", "\"" + (kNamespace + operation).toUtf8() + "\"");
    if (m_options.url.scheme() == u"https") {
        if (!m_tls) {
            // Read once: loading the certificates costs milliseconds, and calls come by hundreds.
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            if (!m_options.caCertFile.isEmpty()) {
                const QList<QSslCertificate> trusted =
                    QSslCertificate::fromPath(m_options.caCertFile);
                if (trusted.isEmpty())
                    failWith(u"QBWC1048: the certificate file %1 holds no certificate."_s.arg(
                        m_options.caCertFile));
                tls.setCaCertificates(trusted);
            }
            tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
            m_tls = tls;
        }
        request.setSslConfiguration(*m_tls);
    }
    QNetworkReply *reply = m_network->post(request, body);
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    QList<QSslError> sslErrors;
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [&sslErrors](const QList<QSslError> &errors) { sslErrors = errors; });
    if (!reply->isFinished())
        wait.exec();
    const QByteArray answer = reply->readAll();
    const auto error = reply->error();
    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString errorText = reply->errorString();
    reply->deleteLater();
    if (!sslErrors.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
        QStringList why;
        for (const QSslError &e : sslErrors)
            why << e.errorString();
        failWith(u"QBWC1048: the server's certificate could not be verified (%1)."_s.arg(
            why.isEmpty() ? errorText : why.join(u"; "_s)));
    }
    if (error != QNetworkReply::NoError && answer.isEmpty())
        failWith(u"QBWC1012: %1 failed: %2"_s.arg(operation, errorText));

    // The result element's text, or the strings of an array result.
    QXmlStreamReader reader(answer);
    const QString resultName = operation + u"Result"_s;
    bool sawResult = false;
    QStringList strings;
    QString text;
    QString fault;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == u"faultstring") {
            fault = reader.readElementText();
        } else if (reader.name() == resultName && reader.namespaceUri() == kNamespace) {
            sawResult = true;
            while (reader.readNext() != QXmlStreamReader::EndElement ||
                   reader.name() != resultName) {
                if (reader.atEnd())
                    break;
                if (reader.isCharacters())
                    text += reader.text();
                else if (reader.isStartElement() && reader.name() == u"string")
                    strings << reader.readElementText();
            }
        }
    }
    if (reader.hasError())
        failWith(u"QBWC1042: the answer to %1 is not SOAP: %2 (HTTP %3)"_s
                     .arg(operation, reader.errorString())
                     .arg(httpStatus));
    if (!fault.isEmpty())
        failWith(u"QBWC1012: %1 answered with a SOAP fault: %2"_s.arg(operation, fault));
    if (!sawResult)
        failWith(u"QBWC1042: the answer to %1 has no %2 (HTTP %3)."_s.arg(operation, resultName)
                     .arg(httpStatus));
    return strings.isEmpty() ? text.trimmed() : strings.join(u'\n');
}

bool WebConnectorClient::runUpdate(const std::function<void(const QString &)> &log)
{
    QString ticket;
    try {
        const QUrl &url = m_options.url;
        if (url.scheme() != u"https" && !(url.scheme() == u"http" && isLoopback(url)))
            failWith(u"QBWC1051: %1 is not an https URL."_s.arg(url.toString()));

        log(u"serverVersion -> \"%1\""_s.arg(call(u"serverVersion"_s, {})));
        const QString client = call(u"clientVersion"_s, {{u"strVersion"_s, kClientVersion}});
        log(u"clientVersion -> \"%1\""_s.arg(client));
        if (client.startsWith(u"E:") || client.startsWith(u"O:"))
            failWith(u"the service does not accept this Web Connector: %1"_s.arg(client.mid(2)));

        const QStringList auth = call(u"authenticate"_s, {{u"strUserName"_s, m_options.user},
                                                          {u"strPassword"_s, m_options.password}})
                                     .split(u'\n');
        ticket = auth.value(0);
        const QString status = auth.value(1);
        log(u"authenticate -> \"%1\""_s.arg(status));
        if (status == u"nvu")
            failWith(u"QBWC1039: the user name or password is not valid."_s);
        if (status == u"busy")
            failWith(u"the service is busy; try again later."_s);
        if (status == u"none") {
            log(u"closeConnection -> \"%1\""_s.arg(
                call(u"closeConnection"_s, {{u"ticket"_s, ticket}})));
            return true;
        }

        if (!m_company ||
            (!status.isEmpty() && QDir::cleanPath(status) != QDir::cleanPath(m_companyPath))) {
            // QuickBooks cannot open what is asked: the service hears it through connectionError.
            const QString outcome =
                call(u"connectionError"_s,
                     {{u"ticket"_s, ticket},
                      {u"hresult"_s, hresultText(qb::hr::kCouldNotStart)},
                      {u"message"_s, qb::hr::description(qb::hr::kCouldNotStart)}});
            log(u"connectionError(%1) -> \"%2\""_s.arg(hresultText(qb::hr::kCouldNotStart),
                                                       outcome));
            return false;
        }

        QuerySession session(m_options.qbxmlVersion);
        bool first = true;
        for (;;) {
            const QString request = call(
                u"sendRequestXML"_s,
                {{u"ticket"_s, ticket},
                 {u"strHCPResponse"_s, first ? hostAnswer() : QByteArray()},
                 {u"strCompanyFileName"_s, m_companyPath},
                 {u"qbXMLCountry"_s, u"US"_s},
                 {u"qbXMLMajorVers"_s, QString::number(m_options.qbxmlVersion.majorVersion())},
                 {u"qbXMLMinorVers"_s, QString::number(m_options.qbxmlVersion.minorVersion())}});
            first = false;
            if (request.isEmpty()) {
                const QString last = call(u"getLastError"_s, {{u"ticket"_s, ticket}});
                log(u"sendRequestXML -> (nothing); getLastError -> \"%1\""_s.arg(last));
                if (last == u"NoOp") {
                    QThread::sleep(5);
                    continue;
                }
                log(u"closeConnection -> \"%1\""_s.arg(
                    call(u"closeConnection"_s, {{u"ticket"_s, ticket}})));
                return false;
            }
            QByteArray response;
            QString hresult, message;
            try {
                RequestReport report;
                const QByteArray answer =
                    processRequest(*m_company, session, request.toUtf8(), report);
                for (qsizetype i = 0; i < report.requests.size(); ++i)
                    log(u"  %1 -> %2"_s.arg(report.requests[i], report.outcomes[i]));
                if (m_options.recordDelayMs > 0)
                    QThread::msleep(static_cast<unsigned long>(m_options.recordDelayMs) *
                                    static_cast<unsigned long>(report.records));
                response = answer;
            } catch (const Error &e) {
                hresult = hresultText(e.number());
                message = e.description();
            }
            const QString percent = call(u"receiveResponseXML"_s, {{u"ticket"_s, ticket},
                                                                   {u"response"_s, response},
                                                                   {u"hresult"_s, hresult},
                                                                   {u"message"_s, message}});
            log(u"sendRequestXML (%1 bytes) / receiveResponseXML(%2) -> %3"_s.arg(
                QString::number(request.size()), hresult.isEmpty() ? u"answer"_s : hresult,
                percent));
            bool valid = false;
            const int done = percent.toInt(&valid);
            if (!valid)
                failWith(u"receiveResponseXML answered \"%1\", not a number."_s.arg(percent));
            if (done < 0) {
                log(u"getLastError -> \"%1\""_s.arg(
                    call(u"getLastError"_s, {{u"ticket"_s, ticket}})));
                log(u"closeConnection -> \"%1\""_s.arg(
                    call(u"closeConnection"_s, {{u"ticket"_s, ticket}})));
                return false;
            }
            if (done >= 100)
                break;
        }
        log(u"closeConnection -> \"%1\""_s.arg(
            call(u"closeConnection"_s, {{u"ticket"_s, ticket}})));
        return true;
    } catch (const std::runtime_error &e) {
        log(QString::fromStdString(e.what()));
        return false;
    }
}

} // namespace corvina::qbsim
