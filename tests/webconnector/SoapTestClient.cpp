#include "SoapTestClient.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace corvina::test {

using wc::soap::kEnvelopeNamespace;
using wc::soap::kNamespace;

SoapTestClient::SoapTestClient(QUrl url, QList<QSslCertificate> trusted)
    : m_url(std::move(url)), m_trusted(std::move(trusted))
{
}

QByteArray SoapTestClient::envelope(const QString &operation, const Arguments &arguments)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kEnvelopeNamespace, QStringLiteral("soap"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Envelope"));
    xml.writeStartElement(kEnvelopeNamespace, QStringLiteral("Body"));
    xml.writeDefaultNamespace(kNamespace);
    xml.writeStartElement(kNamespace, operation);
    for (const auto &[name, value] : arguments)
        xml.writeTextElement(kNamespace, name, value);
    xml.writeEndDocument();
    return out;
}

QNetworkRequest SoapTestClient::request(const QUrl &url) const
{
    QNetworkRequest request(url);
    if (url.scheme() == QStringLiteral("https")) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(m_trusted);
        request.setSslConfiguration(tls);
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("text/xml; charset=utf-8"));
    return request;
}

void SoapTestClient::watch(QNetworkReply *reply, std::function<void(Result)> done)
{
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        Result result;
        result.error = reply->error();
        result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        QXmlStreamReader xml(result.body);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"faultstring")
                result.fault = xml.readElementText();
            else if (xml.namespaceUri() == kNamespace && xml.name() == u"string")
                result.values << xml.readElementText();
            else if (xml.namespaceUri() == kNamespace && xml.name().endsWith(u"Result") &&
                     !xml.name().startsWith(u"authenticate"))
                result.values << xml.readElementText();
        }
        reply->deleteLater();
        if (done)
            done(result);
    });
}

void SoapTestClient::call(wc::soap::Operation op, const Arguments &arguments,
                          std::function<void(Result)> done)
{
    QNetworkRequest req = request(m_url);
    req.setRawHeader("SOAPAction", '"' + wc::soap::soapAction(op).toUtf8() + '"');
    watch(m_network.post(req, envelope(wc::soap::operationName(op), arguments)), std::move(done));
}

SoapTestClient::Result SoapTestClient::callAndWait(wc::soap::Operation op,
                                                   const Arguments &arguments)
{
    QEventLoop loop;
    Result out;
    call(op, arguments, [&](Result r) {
        out = std::move(r);
        loop.quit();
    });
    loop.exec();
    return out;
}

SoapTestClient::Result SoapTestClient::send(const QByteArray &verb, const QUrl &url,
                                            const QByteArray &body,
                                            std::function<void(Result)> done)
{
    QEventLoop loop;
    Result out;
    QNetworkReply *reply = m_network.sendCustomRequest(request(url), verb, body);
    if (done) {
        watch(reply, std::move(done));
        return out;
    }
    watch(reply, [&](Result r) {
        out = std::move(r);
        loop.quit();
    });
    loop.exec();
    return out;
}

} // namespace corvina::test
