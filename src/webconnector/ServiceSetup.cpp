#include "webconnector/ServiceSetup.h"

#include "base/Error.h"
#include "webconnector/Certificate.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

namespace corvina::wc {

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    return file.readAll();
}

QString keyPathFor(const ConnectionSettings &settings, const QString &appFolder)
{
    return settings.keyPath.isEmpty() ? QDir(appFolder).filePath(QStringLiteral("corvina.key"))
                                      : settings.keyPath;
}

} // namespace

QString certificatePathFor(const ConnectionSettings &settings, const QString &appFolder)
{
    return settings.certificatePath.isEmpty()
               ? QDir(appFolder).filePath(QStringLiteral("corvina.crt"))
               : settings.certificatePath;
}

QString ensureCertificate(const ConnectionSettings &settings, const QString &appFolder)
{
    const QString certPath = certificatePathFor(settings, appFolder);
    const QString keyPath = keyPathFor(settings, appFolder);
    if (settings.certificatePath.isEmpty() && (!QFile::exists(certPath) || !QFile::exists(keyPath)))
        saveCertificateFiles(makeSelfSignedCertificate(localHostName(), localAddresses()), certPath,
                             keyPath);
    return certPath;
}

QSslConfiguration serviceTls(const ConnectionSettings &settings, const QString &appFolder)
{
    const QString certPath = ensureCertificate(settings, appFolder);
    const QString keyPath = keyPathFor(settings, appFolder);

    const QList<QSslCertificate> chain = QSslCertificate::fromData(readAll(certPath), QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull())
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 holds no PEM certificate.").arg(certPath));
    const QByteArray keyPem = readAll(keyPath);
    QSslKey key(keyPem, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 holds no PEM private key (EC or RSA).").arg(keyPath));

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // the Web Connector shows no certificate
    return tls;
}

std::unique_ptr<WebConnectorService> startService(const ConnectionSettings &settings,
                                                  const QString &appFolder)
{
    if (!settings.password.isSet())
        throw Error(errc::kFileFailure,
                    QStringLiteral("No Web Connector password is set yet: choose one in the "
                                   "QuickBooks Connection window."));
    WebConnectorService::Options options;
    options.userName = settings.userName;
    options.password = settings.password;
    auto service = std::make_unique<WebConnectorService>(std::move(options));
    QString error;
    if (service->start(QHostAddress::Any, settings.port, serviceTls(settings, appFolder), &error) ==
        0)
        throw Error(errc::kFileFailure, error);
    // Calls are read and answered while a retrieval writes what it has.
    service->runOnOwnThread();
    return service;
}

QString serviceUrl(const ConnectionSettings &settings)
{
    return QStringLiteral("https://%1:%2/qbwc").arg(localHostName()).arg(settings.port);
}

} // namespace corvina::wc
