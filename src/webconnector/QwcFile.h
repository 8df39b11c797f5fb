#pragma once

#include <QByteArray>
#include <QString>

namespace corvina::wc {

// Corvina's one application GUID, the .QWC file's OwnerID.
inline const QString kCorvinaOwnerId = QStringLiteral("{28FF764E-9E7C-4A1A-A3E2-306DD78812A8}");

// What the Web Connector learns from the .QWC file the user adds to it.
struct QwcFields {
    QString appName = QStringLiteral("Corvina");
    QString appUrl; // the service URL (https://host:port/qbwc)
    QString appDescription =
        QStringLiteral("Corvina reads customers, invoices, items and sales reps.");
    QString appSupport; // a URL on the same host as appUrl; empty = appUrl's host, path /
    QString userName;
    QString fileId;          // "{GUID}" of the company
    int runEveryMinutes = 5; // 0 = no scheduler
};

// The .QWC document: QBType QBFS, IsReadOnly true, Style Document, OwnerID kCorvinaOwnerId.
QByteArray qwcDocument(const QwcFields &fields);

} // namespace corvina::wc
