#include "webconnector/HostInfo.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace corvina::wc {

std::optional<QVersionNumber> HostInfo::newestVersion() const
{
    if (supportedVersions.isEmpty())
        return std::nullopt;
    return *std::max_element(supportedVersions.cbegin(), supportedVersions.cend());
}

HostInfo readHostInfo(const QString &hcpResponse)
{
    HostInfo info;
    if (hcpResponse.trimmed().isEmpty())
        return info;
    QXmlStreamReader xml(hcpResponse);
    bool inHost = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            info.damage = QStringLiteral("the host's answer carries a document type declaration");
            return info;
        }
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"HostRet") {
                inHost = true;
            } else if (inHost && xml.name() == u"ProductName") {
                const QString name = xml.readElementText();
                if (!xml.hasError())
                    info.productName = name;
            } else if (inHost && xml.name() == u"SupportedQBXMLVersion") {
                const QString text = xml.readElementText().trimmed();
                if (xml.hasError())
                    break; // a version cut short by damage is not a version
                const QVersionNumber version = QVersionNumber::fromString(text);
                if (!version.isNull())
                    info.supportedVersions << version;
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"HostRet") {
            return info;
        }
    }
    if (xml.hasError())
        info.damage = QStringLiteral("the host's answer is damaged at line %1, column %2: %3")
                          .arg(xml.lineNumber())
                          .arg(xml.columnNumber())
                          .arg(xml.errorString());
    else if (!inHost)
        info.damage = QStringLiteral("the host's answer holds no HostRet");
    return info;
}

} // namespace corvina::wc
