#include "webconnector/Certificate.h"

#include "base/Error.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSaveFile>
#include <QSslCertificate>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace corvina::wc {

namespace {

template <class T, void (*Free)(T *)> struct Freer {
    void operator()(T *p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Freer<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;

[[noreturn]] void fail(const char *what)
{
    throw Error(errc::kFileFailure,
                QStringLiteral("The certificate could not be made (%1).").arg(QLatin1String(what)));
}

void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

QByteArray pem(const std::function<int(BIO *)> &write)
{
    Bio bio(BIO_new(BIO_s_mem()));
    check(bio && write(bio.get()) == 1, "PEM");
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

void addExtension(X509 *cert, int nid, const QByteArray &value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.constData());
    check(ext != nullptr, "extension");
    const int added = X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
    check(added == 1, "extension");
}

void writeFile(const QString &path, const QByteArray &data, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    // Set before any content is written, so a key never sits readable by others.
    file.setPermissions(permissions);
    file.write(data);
    if (!file.commit())
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    QFile::setPermissions(path, permissions);
}

} // namespace

CertificateFiles makeSelfSignedCertificate(const QString &hostName, const QStringList &addresses,
                                           int days)
{
    Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");

    Cert cert(X509_new());
    check(cert != nullptr, "certificate");
    check(X509_set_version(cert.get(), 2) == 1, "version");
    unsigned char serial[16];
    check(RAND_bytes(serial, sizeof serial) == 1, "serial");
    serial[0] &= 0x7f;
    BIGNUM *bn = BN_bin2bn(serial, sizeof serial, nullptr);
    check(bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())), "serial");
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60 * 60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(days) * 24 * 60 * 60);
    check(X509_set_pubkey(cert.get(), key.get()) == 1, "public key");

    const QByteArray commonName =
        (hostName.isEmpty() ? QStringLiteral("localhost") : hostName).toUtf8().left(64);
    X509_NAME *name = X509_get_subject_name(cert.get());
    check(
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char *>(commonName.constData()),
                                   static_cast<int>(commonName.size()), -1, 0) == 1,
        "name");
    check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                     reinterpret_cast<const unsigned char *>("Corvina"), -1, -1,
                                     0) == 1,
          "name");
    check(X509_set_issuer_name(cert.get(), name) == 1, "issuer");

    QStringList alternatives{QStringLiteral("DNS:localhost")};
    if (!hostName.isEmpty() && hostName != QStringLiteral("localhost"))
        alternatives.prepend(QStringLiteral("DNS:") + hostName);
    for (const QString &address : addresses) {
        if (!QHostAddress(address).isNull())
            alternatives << QStringLiteral("IP:") + QHostAddress(address).toString();
    }
    addExtension(cert.get(), NID_subject_alt_name, alternatives.join(u',').toUtf8());
    addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
    addExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
    addExtension(cert.get(), NID_ext_key_usage, "serverAuth");
    addExtension(cert.get(), NID_subject_key_identifier, "hash");
    check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signature");

    CertificateFiles files;
    files.certificatePem = pem([&](BIO *bio) { return PEM_write_bio_X509(bio, cert.get()); });
    files.keyPem = pem([&](BIO *bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    return files;
}

void saveCertificateFiles(const CertificateFiles &files, const QString &certificatePath,
                          const QString &keyPath)
{
    writeFile(keyPath, files.keyPem, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeFile(certificatePath, files.certificatePem,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                  QFileDevice::ReadOther);
}

QString sha256Fingerprint(const QByteArray &certificatePem)
{
    const QList<QSslCertificate> certs = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    if (certs.isEmpty() || certs.first().isNull())
        return {};
    const QByteArray digest = certs.first().digest(QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i < digest.size(); i += 2)
        pairs << QString::fromLatin1(digest.mid(i, 2));
    return pairs.join(u':');
}

QString localHostName()
{
    return QHostInfo::localHostName();
}

QStringList localAddresses()
{
    QStringList result;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (!address.isLoopback() && !address.isLinkLocal())
            result << address.toString();
    }
    return result;
}

} // namespace corvina::wc
