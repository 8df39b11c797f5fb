#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVersionNumber>

namespace corvina::qb {

// The calls QuickBooks' request processor answers. Every call blocks until it returns and
// raises corvina::Error with the processor's error number and description on failure.
class RequestProcessor {
public:
    virtual ~RequestProcessor() = default;

    virtual void openConnection(const QString &appId, const QString &appName) = 0;
    virtual void beginSession(const QString &companyFile, int openMode) = 0;
    virtual QString currentCompanyFile() = 0;
    virtual QByteArray processRequest(QByteArrayView qbxmlRequest) = 0;
    // Announces the request the next processRequest will carry, so that a processor whose
    // host works at its own pace can hand it out while the caller is still busy with the
    // previous answer. processRequest with the same text then takes that answer; with other
    // text, the announced answer is dropped. The default does nothing: the request goes out
    // when processRequest is called.
    virtual void sendAhead(QByteArrayView qbxmlRequest) { Q_UNUSED(qbxmlRequest); }
    virtual void endSession() = 0;
    virtual void closeConnection() = 0;

    // The qbXML versions the host speaks, as it reports them (SupportedQBXMLVersion of its
    // HostQuery answer), asked once a session has begun. Empty when the host does not say:
    // callers then treat it as speaking qbXML 2.1 only for deciding whether to page with
    // iterators (5.0 and later), and otherwise ask as they always have.
    virtual QList<QVersionNumber> supportedQbxmlVersions() { return {}; }

    // True once a failure has taken the link to QuickBooks down with it (the connection
    // broke, the answer was unreadable, the user stopped waiting): the session it carried is
    // gone, and only a new connection reaches QuickBooks again.
    virtual bool linkLost() const { return false; }
};

} // namespace corvina::qb
