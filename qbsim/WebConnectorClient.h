#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <QVersionNumber>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace corvina::qbsim {

class CompanyFile;

struct WebConnectorOptions {
    QUrl url;
    QString user;
    QString password;
    QString caCertFile;                 // empty: the system's trusted certificates
    QVersionNumber qbxmlVersion{13, 0}; // the newest version the host reports
    int recordDelayMs = 0;              // QuickBooks' own time per record answered
};

// Plays the QuickBooks Web Connector against a service: serverVersion, clientVersion,
// authenticate, then sendRequestXML / receiveResponseXML pairs (strHCPResponse on the first
// sendRequestXML only) answered from the company file by the stand-in's query engine, then
// closeConnection; connectionError when QuickBooks (the company file) cannot be reached, and
// getLastError when the service reports an error. The server's certificate must verify
// against the given CA file (QBWC1048 otherwise); plain http is refused except on the
// loopback (QBWC1051).
// Appends `text` (UTF-8) to `out` as XML character data: & < > escaped, and CR as a character
// reference so that it reads back as itself.
void appendEscaped(QByteArray &out, QByteArrayView text);

class WebConnectorClient {
public:
    // `company` null: the company file could not be opened, which the service learns through
    // connectionError.
    WebConnectorClient(WebConnectorOptions options, std::shared_ptr<const CompanyFile> company,
                       QString companyPath);
    ~WebConnectorClient();

    // One update. True when it ran to closeConnection without an error; `log` gets one line
    // per call and the outcome.
    bool runUpdate(const std::function<void(const QString &)> &log);

private:
    // One argument element of a call, its text in UTF-8.
    struct Argument {
        Argument(QString n, const QString &v) : name(std::move(n)), value(v.toUtf8()) {}
        Argument(QString n, QByteArray v) : name(std::move(n)), value(std::move(v)) {}
        QString name;
        QByteArray value;
    };
    using Arguments = QList<Argument>;
    // Posts one operation; the result element's text, or the <string> items of an array
    // result joined by '\n'. Raises std::runtime_error with a QBWC-style message on failure.
    QString call(const QString &operation, const Arguments &arguments);
    QByteArray hostAnswer() const;

    WebConnectorOptions m_options;
    std::shared_ptr<const CompanyFile> m_company;
    QString m_companyPath;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::optional<QSslConfiguration> m_tls; // read on the first https call
};

} // namespace corvina::qbsim
