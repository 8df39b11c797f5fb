#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVersionNumber>

namespace corvina::qb {

// The qbXML versions a host reports in its HostQuery answer: every SupportedQBXMLVersion of
// its HostRet, in document order. The Web Connector hands the same answer over as
// strHCPResponse, followed by other answers. A document that breaks off or is damaged
// still yields the versions before the fault; `damage` then says where it broke.
struct HostVersions {
    QList<QVersionNumber> versions;
    QString damage; // empty for a well-formed document
};

HostVersions readHostVersions(QByteArrayView qbxml);

// A request document asking for the host's HostRet, in qbXML 1.0 so that any host reads it.
QByteArray hostQueryRequest();

} // namespace corvina::qb
