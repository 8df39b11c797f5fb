#pragma once

#include "qbxml/HostVersions.h"
#include "webconnector/Gatekeeper.h"
#include "webconnector/Soap.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QMutex>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <memory>
#include <optional>

namespace corvina::wc {

// The service the QuickBooks Web Connector calls, on Qt's HTTP server: SOAP 1.1 POSTs to one
// path, its description for GET path?wsdl, 404 for anything else. HTTPS with the given
// certificate and key; plain HTTP only on the loopback. A request whose body would pass
// `maxBodyBytes` is refused (413) from its headers, or as soon as more bytes than that arrive,
// before the server buffers it.
//
// One update at a time is served to whoever holds the request processor's side (the methods
// under "The update"): sendRequestXML is answered with the next request once there is one, and
// receiveResponseXML once the processor either has the next request (a percentage) or is done
// (100), so the Web Connector waits while Corvina works. The processor polls while it spins
// the event loop. The connections are served on the thread that owns the service, which can
// be a thread of its own (runOnOwnThread): then calls keep being read and answered while the
// caller's thread is busy, the methods under "The update" may be called from the caller's
// thread, and `changed` tells that thread when to look again.
class WebConnectorService : public QAbstractHttpServer {
    Q_OBJECT
public:
    struct Options {
        QString userName;
        PasswordHash password;
        QString path = QStringLiteral("/qbwc");
        qint64 maxBodyBytes = 64ll * 1024 * 1024;
        std::chrono::milliseconds ticketIdle = std::chrono::minutes(10);
        Gatekeeper::Clock clock;
    };
    explicit WebConnectorService(Options options, QObject *parent = nullptr);
    ~WebConnectorService() override;

    // Starts listening; `tls` empty means plain HTTP, which only a loopback address may use.
    // Returns the port (the chosen one when `port` is 0), or 0 with `error` set.
    quint16 start(const QHostAddress &address, quint16 port,
                  const std::optional<QSslConfiguration> &tls, QString *error);
    QString path() const { return m_options.path; }
    // Moves the service, once started, to a thread of its own, which ends with the service.
    // The service must have no parent. False when it could not move.
    bool runOnOwnThread();

    // The update, as the request processor sees it.
    struct Reply {
        QByteArray response;
        QString hresult;
        QString message;
    };
    struct FirstCall {
        QString companyFile;
        QString hcpResponse;
        qb::HostVersions host;
        int majorVersion = 0;
        int minorVersion = 0;
    };
    // The next authenticate of the configured user starts an update (true) or is told "none".
    void wantUpdate(bool wanted);
    bool updateWanted() const;
    // True from an authenticate that started an update until it ends.
    bool updateRunning();
    // The first sendRequestXML of the running update, once it came.
    std::optional<FirstCall> firstCall() const;
    // Hands a qbXML request to the Web Connector: to its waiting sendRequestXML, or through the
    // answer to its waiting receiveResponseXML and its next sendRequestXML.
    void sendRequest(const QByteArray &qbxml);
    std::optional<Reply> takeReply();
    // connectionError's hresult and message, when the Web Connector could not reach QuickBooks.
    std::optional<Reply> takeConnectionError();
    // Ends the running update: `problem` empty answers 100 (done), otherwise the Web Connector
    // is told of an error and shown `problem`. The ticket then only lets closeConnection in.
    void endUpdate(const QString &problem = {});
    // Drops the running update at once (the Web Connector went quiet, the user gave up).
    void abandonUpdate(const QString &why);
    // Time since the Web Connector last called with the running update's ticket (or, without
    // one, at all), and the address it called from.
    std::chrono::milliseconds sinceLastCall() const;
    QString lastCaller() const;

signals:
    // A call was answered or held, or the state of the update changed.
    void changed();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Held {
        QPointer<QTcpSocket> socket;
        soap::Operation operation = soap::Operation::SendRequestXml;
    };
    void dispatch(const soap::Call &call, QTcpSocket *socket);
    void onAuthenticate(const soap::Call &call, QTcpSocket *socket);
    void onSendRequest(const soap::Call &call, QTcpSocket *socket);
    void onReceiveResponse(const soap::Call &call, QTcpSocket *socket);
    void answerHeld(std::optional<Held> &held, const QByteArray &envelope);
    // Writes on the service's thread: at once when called there, else queued to it.
    void answerLater(const Held &held, const QByteArray &envelope);
    void resetUpdate();
    void endUpdateLocked(const QString &problem);
    int percentDone() const;

    Options m_options;
    std::unique_ptr<QThread> m_thread;
    // Guards the state below, shared by the service's thread and the processor's.
    mutable QMutex m_mutex;
    Gatekeeper m_gatekeeper;
    bool m_workWanted = false;
    bool m_running = false; // an update holds the live ticket
    bool m_ended = false;   // the processor is done with it
    QString m_lastError;
    std::optional<FirstCall> m_first;
    std::optional<QByteArray> m_queued;
    std::optional<Reply> m_reply;
    std::optional<Reply> m_connectionError;
    std::optional<Held> m_heldSend;
    std::optional<Held> m_heldReceive;
    int m_requestsDone = 0;
    std::chrono::steady_clock::time_point m_lastCall;
    QString m_lastCaller;
};

// Writes one HTTP/1.1 response on `socket` (nothing when it is gone).
void writeHttpResponse(QTcpSocket *socket, int status, const QByteArray &reason,
                       const QByteArray &contentType, const QByteArray &body, bool close = false);

} // namespace corvina::wc
