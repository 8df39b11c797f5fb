#pragma once

#include "qbxml/Wire.h"

#include <QObject>
#include <QString>
#include <QVersionNumber>

#include <cstdint>
#include <map>
#include <memory>

class QLocalSocket;
class QSocketNotifier;
class QTimer;

namespace corvina::qbsim {

class CompanyFile;

struct ServerOptions {
    std::uint32_t maxRequestFrame = qb::wire::kMaxRequestFrame;
    bool quiet = false; // no log line per call on stderr
    // The most the server holds for one client: its partial request frame and the answer
    // bytes it has not read yet. A client past it is dropped; an answer that alone exceeds
    // it is refused with an error reply.
    qint64 maxClientBytes = qint64(256) * 1024 * 1024;
    // Answers to qbXML requests are held back this long (negative: for ever), as a slow or
    // stuck QuickBooks would; the other calls are answered at once.
    int answerDelayMs = 0;
    // Each answer is held back this long per record it carries, as QuickBooks takes its time
    // over every record it answers.
    int recordDelayMs = 0;
    // The newest qbXML version the stand-in speaks (it speaks every older one too); 2.1
    // plays a QuickBooks without iterators.
    QVersionNumber qbxmlVersion{13, 0};
};

// Answers the request library's calls over a Unix-domain socket, one reply frame per request
// frame, as QuickBooks' request processor answers its callers: OpenConnection, then a session
// on the open company file, then requests. Each client connection has its own state; a
// misbehaving or vanished client never disturbs the others. A failed accept (out of file
// descriptors, say) is logged and tried again shortly; the server keeps listening.
class Server : public QObject {
    Q_OBJECT
public:
    // `company` is the open company file; null runs with none open (sessions are refused).
    explicit Server(std::shared_ptr<const CompanyFile> company, ServerOptions options = {},
                    QObject *parent = nullptr);
    ~Server() override;

    // Listens on `socketPath` (socket mode 0600). A stale socket file there is replaced;
    // returns false with `error` set when another server answers there, the path is not a
    // socket, or listening fails.
    bool listen(const QString &socketPath, QString *error);
    // Stops listening, removes the socket file and drops all clients.
    void close();
    QString socketPath() const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    // Bytes held for the clients: partial requests and answers they have not read yet.
    qint64 heldBytes() const;
    // Accepts that failed since the server started listening.
    int acceptFailures() const { return m_acceptFailures; }

signals:
    void clientGone();

private:
    struct Client;

    void acceptPending();
    void adopt(int fd);
    void drop(Client &client, const QString &why);
    qint64 heldFor(const Client &client) const;
    void logLine(const QString &text) const;
    void onReadyRead(QLocalSocket *socket);
    // Answers the client's buffered request frames.
    void serve(Client &client);
    void onDisconnected(QLocalSocket *socket);
    void handle(Client &client, const QByteArray &payload);
    // Writes one reply frame: `head` (status and the fields before the body), then `body`.
    void sendReply(Client &client, const QByteArray &head, const QByteArray &body);
    // Hands queued reply bytes to the socket as far as its buffer allows.
    void pump(Client &client);
    void sendOk(Client &client, const QByteArray &result = {});
    void sendError(Client &client, std::int32_t number, const QString &description);
    void log(const Client &client, const QString &call, const QString &outcome) const;

    void openConnection(Client &client, qb::wire::PayloadReader &args);
    void beginSession(Client &client, qb::wire::PayloadReader &args);
    void currentCompanyFile(Client &client, qb::wire::PayloadReader &args);
    void processRequest(Client &client, qb::wire::PayloadReader &args);
    void endSession(Client &client, qb::wire::PayloadReader &args);
    void closeConnection(Client &client, qb::wire::PayloadReader &args);
    bool isOpenFile(const QString &path) const;

    std::shared_ptr<const CompanyFile> m_company;
    ServerOptions m_options;
    int m_listenFd = -1;
    QString m_socketPath;
    QSocketNotifier *m_acceptNotifier = nullptr;
    QTimer *m_acceptRetry = nullptr;
    int m_acceptFailures = 0;
    bool m_acceptFailing = false;
    std::map<QLocalSocket *, std::unique_ptr<Client>> m_clients;
    int m_nextClientId = 1;
};

} // namespace corvina::qbsim
