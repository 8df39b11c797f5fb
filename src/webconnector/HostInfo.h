#pragma once

#include <QList>
#include <QString>
#include <QVersionNumber>

#include <optional>

namespace corvina::wc {

// What the first sendRequestXML of an update tells about QuickBooks (its strHCPResponse):
// the product and every qbXML version it speaks.
struct HostInfo {
    QString productName;
    QList<QVersionNumber> supportedVersions; // in the order given
    // Empty when the whole text was read; otherwise why reading stopped (line, column and
    // reason). What was read before that point is kept.
    QString damage;

    std::optional<QVersionNumber> newestVersion() const;
};

// Reads the HostQuery answer inside `hcpResponse`. The rest of the text (company and
// preferences answers) is not needed: reading stops after the host's record, so damage further
// on is not even seen. An empty text gives an empty result without damage.
HostInfo readHostInfo(const QString &hcpResponse);

} // namespace corvina::wc
