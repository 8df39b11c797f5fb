#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVersionNumber>

#include <optional>

namespace corvina::qb {

// What a host reports in its HostQuery answer: its product name and every
// SupportedQBXMLVersion of its HostRet, in document order. The Web Connector hands the same
// answer over as strHCPResponse, followed by company and preferences answers that are not
// needed: reading stops after the host's record, so damage further on is not even seen. A
// document that breaks off or is damaged inside the record still yields the versions before
// the fault; `damage` then says where it broke.
struct HostVersions {
    QString productName;
    QList<QVersionNumber> versions;
    // Empty when the host's record was read whole (or the text is empty); otherwise why
    // reading stopped.
    QString damage;

    std::optional<QVersionNumber> newest() const;
};

HostVersions readHostVersions(QByteArrayView qbxml);
// Text already decoded, as strHCPResponse arrives inside a SOAP message.
HostVersions readHostVersions(const QString &qbxml);
inline HostVersions readHostVersions(const QByteArray &qbxml)
{
    return readHostVersions(QByteArrayView(qbxml));
}
inline HostVersions readHostVersions(const char *qbxml)
{
    return readHostVersions(QByteArrayView(qbxml));
}

// A request document asking for the host's HostRet, in qbXML 1.0 so that any host reads it.
QByteArray hostQueryRequest();

} // namespace corvina::qb
