#pragma once

#include "qbxml/RequestProcessor.h"
#include "qbxml/Wire.h"

#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalSocket;

namespace corvina::qb {

// Reaches the QuickBooks stand-in over its Unix-domain socket. The connection to the socket
// is made by openConnection and dropped by closeConnection (or destruction). A stand-in that
// is not there, or that goes away before answering, raises hr::kCouldNotAccess; an answer
// that breaks the frame protocol or exceeds `maxReply` bytes raises hr::kInvalidData; giving
// up on an answer that does not come raises hr::kAborted. After each of these the connection
// is dropped (linkLost() is true) until openConnection makes a new one.
class SocketRequestProcessor : public RequestProcessor {
public:
    // An empty path means wire::defaultSocketPath().
    explicit SocketRequestProcessor(QString socketPath = {},
                                    std::uint32_t maxReply = wire::kMaxReplyFrame);
    ~SocketRequestProcessor() override;

    // Called about 60 times a second while an answer is awaited, so that the caller's
    // windows keep painting (the status animation plays on) during a long request.
    void setWaitHook(std::function<void()> hook) { m_waitHook = std::move(hook); }

    // How long a call may wait without any byte of its answer arriving before `keepWaiting`
    // is asked, with the time waited so far, whether to go on: true waits another such
    // period, false gives up (hr::kAborted). Without a question the call gives up at once;
    // a patience of zero waits for ever.
    void setPatience(std::chrono::milliseconds patience,
                     std::function<bool(std::chrono::milliseconds waited)> keepWaiting)
    {
        m_patience = patience;
        m_keepWaiting = std::move(keepWaiting);
    }

    void openConnection(const QString &appId, const QString &appName) override;
    void beginSession(const QString &companyFile, int openMode) override;
    QString currentCompanyFile() override;
    QByteArray processRequest(QByteArrayView qbxmlRequest) override;
    void endSession() override;
    void closeConnection() override;
    // Asks the stand-in with a HostQuery, once per session. A stand-in that does not
    // answer HostQuery (an older one) reports nothing.
    QList<QVersionNumber> supportedQbxmlVersions() override;
    bool linkLost() const override { return m_lost; }

private:
    QByteArray call(const QByteArray &requestFrame);
    void readExactly(char *into, qsizetype size);
    // One short wait for the socket (to drain our request, or for answer bytes), then the
    // caller's windows get their turn and the patience is checked.
    void waitOnce(bool forWrite);
    void checkPatience();
    void connectSocket();
    [[noreturn]] void lost(const QString &why);
    [[noreturn]] void dropWith(std::int32_t number, const QString &description);

    QString m_socketPath;
    std::uint32_t m_maxReply;
    std::unique_ptr<QLocalSocket> m_socket;
    std::function<void()> m_waitHook;
    std::chrono::milliseconds m_patience{0};
    std::function<bool(std::chrono::milliseconds)> m_keepWaiting;
    QElapsedTimer m_sinceProgress; // since the request went out or answer bytes last arrived
    bool m_lost = false;
    std::optional<QList<QVersionNumber>> m_hostVersions; // asked in this session
};

} // namespace corvina::qb
