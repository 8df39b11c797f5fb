#include "qbxml/HostVersions.h"

#include <QXmlStreamReader>

namespace corvina::qb {

HostVersions readHostVersions(QByteArrayView qbxml)
{
    HostVersions result;
    QXmlStreamReader reader(QByteArray::fromRawData(qbxml.data(), qbxml.size()));
    int inHostRet = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (reader.name() == u"HostRet") {
                ++inHostRet;
            } else if (inHostRet > 0 && reader.name() == u"SupportedQBXMLVersion") {
                const QString text = reader.readElementText().trimmed();
                const QVersionNumber version = QVersionNumber::fromString(text);
                if (!version.isNull() && !reader.hasError())
                    result.versions.append(version);
            }
            break;
        case QXmlStreamReader::EndElement:
            if (reader.name() == u"HostRet")
                --inHostRet;
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        result.damage = QStringLiteral("line %1, column %2: %3")
                            .arg(reader.lineNumber())
                            .arg(reader.columnNumber())
                            .arg(reader.errorString());
    return result;
}

QByteArray hostQueryRequest()
{
    return QByteArrayLiteral("<?xml version=\"1.0\"?>\n<?qbxml version=\"1.0\"?>\n<QBXML>\n"
                             "<QBXMLMsgsRq onError=\"stopOnError\">\n<HostQueryRq requestID=\"1\"/>\n"
                             "</QBXMLMsgsRq>\n</QBXML>\n");
}

} // namespace corvina::qb
