#include "qbxml/HostVersions.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace corvina::qb {

namespace {

HostVersions read(QXmlStreamReader &xml, bool empty)
{
    HostVersions host;
    if (empty)
        return host;
    bool inHost = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            host.damage = QStringLiteral("the host's answer carries a document type declaration");
            return host;
        }
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"HostRet") {
                inHost = true;
            } else if (inHost && xml.name() == u"ProductName") {
                const QString name = xml.readElementText();
                if (!xml.hasError())
                    host.productName = name;
            } else if (inHost && xml.name() == u"SupportedQBXMLVersion") {
                const QString text = xml.readElementText().trimmed();
                if (xml.hasError())
                    break; // a version cut short by damage is not a version
                const QVersionNumber version = QVersionNumber::fromString(text);
                if (!version.isNull())
                    host.versions << version;
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"HostRet") {
            return host;
        }
    }
    if (xml.hasError())
        host.damage = QStringLiteral("the host's answer is damaged at line %1, column %2: %3")
                          .arg(xml.lineNumber())
                          .arg(xml.columnNumber())
                          .arg(xml.errorString());
    else if (!inHost)
        host.damage = QStringLiteral("the host's answer holds no HostRet");
    return host;
}

} // namespace

std::optional<QVersionNumber> HostVersions::newest() const
{
    if (versions.isEmpty())
        return std::nullopt;
    return *std::max_element(versions.cbegin(), versions.cend());
}

HostVersions readHostVersions(QByteArrayView qbxml)
{
    QXmlStreamReader xml(QByteArray::fromRawData(qbxml.data(), qbxml.size()));
    return read(xml, QByteArray::fromRawData(qbxml.data(), qbxml.size()).trimmed().isEmpty());
}

HostVersions readHostVersions(const QString &qbxml)
{
    QXmlStreamReader xml(qbxml);
    return read(xml, qbxml.trimmed().isEmpty());
}

QByteArray hostQueryRequest()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\"?>\n<?qbxml version=\"1.0\"?>\n<QBXML>\n"
        "<QBXMLMsgsRq onError=\"stopOnError\">\n<HostQueryRq requestID=\"1\"/>\n"
        "</QBXMLMsgsRq>\n</QBXML>\n");
}

} // namespace corvina::qb
