#include "webconnector/QwcFile.h"

#include <QUrl>
#include <QXmlStreamWriter>

namespace corvina::wc {

QByteArray qwcDocument(const QwcFields &fields)
{
    QString support = fields.appSupport;
    if (support.isEmpty()) {
        QUrl url(fields.appUrl);
        url.setPath(QStringLiteral("/"));
        url.setQuery(QString());
        support = url.toString();
    }
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("QBWCXML"));
    xml.writeTextElement(QStringLiteral("AppName"), fields.appName);
    xml.writeTextElement(QStringLiteral("AppID"), QString());
    xml.writeTextElement(QStringLiteral("AppURL"), fields.appUrl);
    xml.writeTextElement(QStringLiteral("AppDescription"), fields.appDescription);
    xml.writeTextElement(QStringLiteral("AppSupport"), support);
    xml.writeTextElement(QStringLiteral("UserName"), fields.userName);
    xml.writeTextElement(QStringLiteral("OwnerID"), kCorvinaOwnerId);
    xml.writeTextElement(QStringLiteral("FileID"), fields.fileId);
    xml.writeTextElement(QStringLiteral("QBType"), QStringLiteral("QBFS"));
    xml.writeTextElement(QStringLiteral("Style"), QStringLiteral("Document"));
    xml.writeTextElement(QStringLiteral("IsReadOnly"), QStringLiteral("true"));
    if (fields.runEveryMinutes > 0) {
        xml.writeStartElement(QStringLiteral("Scheduler"));
        xml.writeTextElement(QStringLiteral("RunEveryNMinutes"),
                             QString::number(fields.runEveryMinutes));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace corvina::wc
