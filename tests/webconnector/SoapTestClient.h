#pragma once

#include "webconnector/Soap.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QUrl>

#include <functional>

namespace corvina::test {

// A small SOAP client over Qt's network access, trusting only the given certificates: it
// writes the Web Connector's calls as any SOAP client does and reads the answers back.
class SoapTestClient {
public:
    struct Result {
        int httpStatus = 0;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QStringList values; // the result's text, or each <string> of an array
        QString fault;      // faultstring, when the answer was a fault
        QByteArray body;
    };
    using Arguments = QList<std::pair<QString, QString>>;

    SoapTestClient(QUrl url, QList<QSslCertificate> trusted);

    void call(wc::soap::Operation op, const Arguments &arguments, std::function<void(Result)> done);
    Result callAndWait(wc::soap::Operation op, const Arguments &arguments);
    // A raw request to any path of the service.
    Result send(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                std::function<void(Result)> done = {});

    static QByteArray envelope(const QString &operation, const Arguments &arguments);
    QUrl url() const { return m_url; }

private:
    QNetworkRequest request(const QUrl &url) const;
    void watch(QNetworkReply *reply, std::function<void(Result)> done);

    QUrl m_url;
    QList<QSslCertificate> m_trusted;
    QNetworkAccessManager m_network;
};

} // namespace corvina::test
