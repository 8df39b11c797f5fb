#pragma once

#include "qbxml/RequestProcessor.h"
#include "qbxml/RequestSet.h"
#include "qbxml/ResponseSet.h"

#include <functional>
#include <memory>
#include <optional>

namespace corvina::qb {

// How a session opens the company file: 0 single-user, 1 multi-user, 2 whatever mode is in
// effect (single-user when none is).
enum class OpenMode { SingleUser = 0, MultiUser = 1, DontCare = 2 };

// The program's link to QuickBooks: a connection, a session on one company file, request
// sets built here and sent through the request processor. Every call blocks and raises
// corvina::Error with the request processor's number and description on failure.
// Destroying the manager drops the connection (and with it any session) without raising.
// A failure that takes the link down (see RequestProcessor::linkLost) ends the connection and
// the session here too, and tells the lost-link handler, so that the holder can stop using
// this manager.
class SessionManager {
public:
    explicit SessionManager(std::unique_ptr<RequestProcessor> processor);
    ~SessionManager();
    SessionManager(const SessionManager &) = delete;
    SessionManager &operator=(const SessionManager &) = delete;

    void openConnection(const QString &appId, const QString &appName);
    // An empty path asks for the company file QuickBooks has open.
    void beginSession(const QString &companyFile, OpenMode mode);
    // The full path of the company file of the session.
    QString currentCompanyFileName();
    // An empty request set for qbXML version major.minor.
    std::unique_ptr<RequestSet> createMsgSetRequest(int majorVersion, int minorVersion) const;
    ResponseSet doRequests(const RequestSet &requests);
    // As above; `arrived` sees the answer before it is parsed (e.g. to send the next request
    // ahead).
    ResponseSet doRequests(const RequestSet &requests,
                           const std::function<void(QByteArrayView answer)> &arrived);
    // Announces the set the next doRequests will send (see RequestProcessor::sendAhead).
    void sendAhead(const RequestSet &requests);
    // The qbXML versions the host of the session reports (see RequestProcessor), asked once
    // per session; empty when it does not say.
    QList<QVersionNumber> supportedQbxmlVersions();
    void endSession();
    void closeConnection();

    bool isConnected() const noexcept { return m_connected; }
    bool inSession() const noexcept { return m_inSession; }
    // True once a failure took the link to QuickBooks down.
    bool linkLost() const noexcept { return m_lost; }
    void setLostHandler(std::function<void()> handler) { m_onLost = std::move(handler); }

private:
    // Runs a call of the processor, noting a link that the failure took down.
    template <class Call> auto guarded(Call call) -> decltype(call());

    std::function<void()> m_onLost;
    bool m_lost = false;
    std::unique_ptr<RequestProcessor> m_processor;
    bool m_connected = false;
    bool m_inSession = false;
    std::optional<QList<QVersionNumber>> m_hostVersions;
};

} // namespace corvina::qb
