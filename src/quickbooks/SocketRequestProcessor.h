#pragma once

#include "quickbooks/RequestProcessor.h"
#include "quickbooks/Wire.h"

#include <functional>
#include <memory>

class QLocalSocket;

namespace corvina::qb {

// Reaches the QuickBooks stand-in over its Unix-domain socket. The connection to the socket
// is made by openConnection and dropped by closeConnection (or destruction). A stand-in that
// is not there, or that goes away before answering, raises hr::kCouldNotAccess; an answer
// that breaks the frame protocol or exceeds `maxReply` bytes raises hr::kInvalidData.
class SocketRequestProcessor : public RequestProcessor {
public:
    // An empty path means wire::defaultSocketPath().
    explicit SocketRequestProcessor(QString socketPath = {},
                                    std::uint32_t maxReply = wire::kMaxReplyFrame);
    ~SocketRequestProcessor() override;

    // Called about 60 times a second while an answer is awaited, so that the caller's
    // windows keep painting (the status animation plays on) during a long request.
    void setWaitHook(std::function<void()> hook) { m_waitHook = std::move(hook); }

    void openConnection(const QString &appId, const QString &appName) override;
    void beginSession(const QString &companyFile, int openMode) override;
    QString currentCompanyFile() override;
    QByteArray processRequest(QByteArrayView qbxmlRequest) override;
    void endSession() override;
    void closeConnection() override;

private:
    QByteArray call(const QByteArray &requestFrame);
    void readExactly(char *into, qsizetype size);
    void connectSocket();
    [[noreturn]] void lost(const QString &why);

    QString m_socketPath;
    std::uint32_t m_maxReply;
    std::unique_ptr<QLocalSocket> m_socket;
    std::function<void()> m_waitHook;
};

} // namespace corvina::qb
