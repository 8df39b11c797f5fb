#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvina::wc {

// A private key and a self-signed certificate for the service, in PEM.
struct CertificateFiles {
    QByteArray certificatePem;
    QByteArray keyPem;
};

// Makes an EC P-256 key and a self-signed X.509 certificate (SHA-256, valid `days` days) whose
// subject is `hostName` and whose subject alternative names are `hostName`, "localhost" and
// `addresses` (IPv4 or IPv6 text). Raises corvina::Error when libcrypto fails.
CertificateFiles makeSelfSignedCertificate(const QString &hostName, const QStringList &addresses,
                                           int days = 3650);

// Writes both files: the key readable and writable by the user only (0600), the certificate
// world-readable; each written atomically. Raises corvina::Error on failure.
void saveCertificateFiles(const CertificateFiles &files, const QString &certificatePath,
                          const QString &keyPath);

// The certificate's SHA-256 fingerprint as colon-separated upper-case hex pairs; empty when
// `certificatePem` holds no certificate.
QString sha256Fingerprint(const QByteArray &certificatePem);

// This machine's host name and its non-loopback addresses, for a new certificate.
QString localHostName();
QStringList localAddresses();

} // namespace corvina::wc
