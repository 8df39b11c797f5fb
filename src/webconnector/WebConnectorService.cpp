#include "webconnector/WebConnectorService.h"

#include <QCoreApplication>
#include <QHttpServerRequest>
#include <QSslServer>
#include <QTcpServer>
#include <QTimer>
#include <QUrlQuery>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace corvina::wc {

namespace {

using soap::Operation;

// Room for the request line and headers on top of the body.
constexpr qint64 kHeaderAllowance = 64 * 1024;
const char *const kReceivedProperty = "corvina_wc_received";

const char *const kHeadProperty = "corvina_wc_head";

// What the guard needs of a request's headers (the text before the blank line).
struct HeadFacts {
    std::optional<qint64> contentLength; // max() when it is not a number
    bool expectsContinue = false;
};

HeadFacts readHead(QByteArrayView head)
{
    HeadFacts facts;
    for (const QByteArray &line : head.toByteArray().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            facts.contentLength = ok && length >= 0 ? length : std::numeric_limits<qint64>::max();
        } else if (name == "expect") {
            facts.expectsContinue = value.toLower() == "100-continue";
        }
    }
    return facts;
}

// Acknowledges what arrived at once instead of after the delayed-acknowledgement timer. A
// client that writes a request in several pieces with Nagle's algorithm on (the Web Connector
// and Qt's own HTTP client do) holds its last piece until the previous ones are acknowledged;
// with delayed acknowledgements that costs some 40 ms per call. Linux forgets the setting
// after a while, so it is renewed whenever data arrives.
void acknowledgeAtOnce(QTcpSocket *socket)
{
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return;
    const int on = 1;
    ::setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

// Counts the bytes a connection sends before its answer and refuses the request once the
// headers announce, or the bytes reach, more than the bound. Connected before the HTTP server
// connects its own reader, so it sees every chunk first; the headers are gathered here since
// the server's reader takes each chunk away. A client that asks before sending its body
// (Expect: 100-continue) is told to go on at once, which Qt's server does not do itself: curl
// would wait a second and .NET's client, the Web Connector's, 350 ms on every call.
void guardBodySize(QTcpSocket *socket, qint64 maxBody)
{
    // Each answer goes out at once: with Nagle's algorithm the tail of an answer could wait
    // for the peer's delayed acknowledgement, some 40 ms per call.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setProperty(kReceivedProperty, qint64(0));
    QObject::connect(socket, &QIODevice::readyRead, socket, [socket, maxBody] {
        acknowledgeAtOnce(socket);
        const qint64 arrived = socket->bytesAvailable();
        const qint64 before = socket->property(kReceivedProperty).toLongLong();
        const qint64 now = before + arrived;
        socket->setProperty(kReceivedProperty, now);
        bool tooLarge = now > maxBody + kHeaderAllowance;
        // The headers gathered so far; a null value once they are complete.
        QByteArray head = socket->property(kHeadProperty).toByteArray();
        const bool headDone = before > 0 && head.isNull();
        if (!headDone && !tooLarge) {
            head += socket->peek(std::min(arrived, kHeaderAllowance - head.size()));
            const qsizetype end = head.indexOf("\r\n\r\n");
            if (end >= 0) {
                const HeadFacts facts = readHead(QByteArrayView(head).first(end));
                tooLarge = facts.contentLength && *facts.contentLength > maxBody;
                // Only while none of the body came yet.
                if (!tooLarge && facts.expectsContinue && head.size() == end + 4)
                    socket->write("HTTP/1.1 100 Continue\r\n\r\n");
                head = QByteArray();
            } else if (head.size() >= kHeaderAllowance) {
                tooLarge = true;
            } else if (head.isNull()) {
                head = QByteArray(""); // empty, not null: the headers are not complete yet
            }
            socket->setProperty(kHeadProperty, head);
        }
        if (!tooLarge)
            return;
        // Nobody reads this connection any more, the server's reader included.
        QObject::disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
        socket->readAll();
        writeHttpResponse(socket, 413, "Payload Too Large", "text/plain; charset=utf-8",
                          "The request is larger than this service accepts.\n", true);
    });
}

class GuardedTcpServer : public QTcpServer {
public:
    GuardedTcpServer(qint64 maxBody, QObject *parent) : QTcpServer(parent), m_maxBody(maxBody) {}
    QTcpSocket *nextPendingConnection() override
    {
        QTcpSocket *socket = QTcpServer::nextPendingConnection();
        if (socket)
            guardBodySize(socket, m_maxBody);
        return socket;
    }

private:
    qint64 m_maxBody;
};

class GuardedSslServer : public QSslServer {
public:
    GuardedSslServer(qint64 maxBody, QObject *parent) : QSslServer(parent), m_maxBody(maxBody) {}
    QTcpSocket *nextPendingConnection() override
    {
        QTcpSocket *socket = QSslServer::nextPendingConnection();
        if (socket)
            guardBodySize(socket, m_maxBody);
        return socket;
    }

private:
    qint64 m_maxBody;
};

QString authStatus(Gatekeeper::Status status)
{
    switch (status) {
    case Gatekeeper::Status::Work: return QString(); // the company file open in QuickBooks
    case Gatekeeper::Status::NoWork: return QStringLiteral("none");
    case Gatekeeper::Status::Busy: return QStringLiteral("busy");
    case Gatekeeper::Status::NotValidUser: break;
    }
    return QStringLiteral("nvu");
}

void answerSoap(QTcpSocket *socket, const QByteArray &envelope)
{
    writeHttpResponse(socket, 200, "OK", "text/xml; charset=utf-8", envelope);
}

void answerFault(QTcpSocket *socket, const QString &text)
{
    writeHttpResponse(socket, 500, "Internal Server Error", "text/xml; charset=utf-8",
                      soap::fault(true, text));
}

} // namespace

void writeHttpResponse(QTcpSocket *socket, int status, const QByteArray &reason,
                       const QByteArray &contentType, const QByteArray &body, bool close)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (close)
        head += "Connection: close\r\n";
    head += "\r\n";
    socket->write(head + body);
    // The next request on this connection starts a new count and new headers.
    socket->setProperty(kReceivedProperty, qint64(0));
    socket->setProperty(kHeadProperty, QByteArray());
    if (close)
        socket->disconnectFromHost();
}

WebConnectorService::WebConnectorService(Options options, QObject *parent)
    : QAbstractHttpServer(parent), m_options(std::move(options)),
      m_gatekeeper(m_options.userName, m_options.password, m_options.clock)
{
    if (!m_options.clock)
        m_options.clock = [] { return std::chrono::steady_clock::now(); };
    m_gatekeeper.setTicketIdle(m_options.ticketIdle);
    m_lastCall = m_options.clock();
}

WebConnectorService::~WebConnectorService()
{
    if (!m_thread)
        return;
    // Back to this thread with the servers and connections, which are then destroyed here as
    // they would be without a thread of its own.
    QThread *here = QThread::currentThread();
    QMetaObject::invokeMethod(
        this, [this, here] { moveToThread(here); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

bool WebConnectorService::runOnOwnThread()
{
    if (m_thread)
        return true;
    if (parent() || thread() != QThread::currentThread())
        return false;
    auto worker = std::make_unique<QThread>();
    worker->setObjectName(QStringLiteral("Web Connector service"));
    moveToThread(worker.get());
    worker->start();
    m_thread = std::move(worker);
    return true;
}

quint16 WebConnectorService::start(const QHostAddress &address, quint16 port,
                                   const std::optional<QSslConfiguration> &tls, QString *error)
{
    QTcpServer *server = nullptr;
    if (tls) {
        auto *ssl = new GuardedSslServer(m_options.maxBodyBytes, this);
        ssl->setSslConfiguration(*tls);
        server = ssl;
    } else if (address.isLoopback()) {
        server = new GuardedTcpServer(m_options.maxBodyBytes, this);
    } else {
        if (error)
            *error = QStringLiteral(
                "Without a certificate the service can only listen on this computer's own "
                "address (127.0.0.1); the Web Connector on another PC needs https.");
        return 0;
    }
    if (!server->listen(address, port)) {
        if (error)
            *error = QStringLiteral("The service cannot listen on port %1: %2")
                         .arg(port)
                         .arg(server->errorString());
        delete server;
        return 0;
    }
    bind(server);
    return server->serverPort();
}

void WebConnectorService::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    writeHttpResponse(socket, 404, "Not Found", "text/plain; charset=utf-8", "Not found.\n");
}

bool WebConnectorService::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QUrl url = request.url();
    if (url.path() != m_options.path) {
        missingHandler(request, socket);
        return true;
    }
    if (request.method() == QHttpServerRequest::Method::Get &&
        url.query().compare(QStringLiteral("wsdl"), Qt::CaseInsensitive) == 0) {
        QUrl service = url;
        service.setQuery(QString());
        writeHttpResponse(socket, 200, "OK", "text/xml; charset=utf-8",
                          soap::wsdl(service.toString()));
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Post) {
        writeHttpResponse(socket, 405, "Method Not Allowed", "text/plain; charset=utf-8",
                          "Only SOAP calls (POST) and ?wsdl are served here.\n");
        return true;
    }
    QString error;
    const auto call = soap::parseCall(request.body(), &error);
    if (!call) {
        answerFault(socket, error);
        return true;
    }
    QByteArray action = request.value("SOAPAction").trimmed();
    if (action.size() >= 2 && action.startsWith('"') && action.endsWith('"'))
        action = action.mid(1, action.size() - 2);
    if (!action.isEmpty() && QString::fromUtf8(action) != soap::soapAction(call->operation)) {
        answerFault(socket,
                    QStringLiteral("SOAPAction %1 does not match the operation %2")
                        .arg(QString::fromUtf8(action), soap::operationName(call->operation)));
        return true;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_lastCaller = socket->peerAddress().toString();
        dispatch(*call, socket);
    }
    emit changed();
    return true;
}

void WebConnectorService::dispatch(const soap::Call &call, QTcpSocket *socket)
{
    const Operation op = call.operation;
    switch (op) {
    case Operation::ServerVersion:
        answerSoap(
            socket,
            soap::answer(op,
                         QStringLiteral("Corvina %1").arg(QCoreApplication::applicationVersion())));
        return;
    case Operation::ClientVersion: answerSoap(socket, soap::answer(op, QString())); return;
    case Operation::Authenticate: onAuthenticate(call, socket); return;
    default: break;
    }
    const QString ticket = call.argument(QStringLiteral("ticket"));
    const bool known = m_gatekeeper.accept(ticket);
    if (known)
        m_lastCall = m_options.clock();
    switch (op) {
    case Operation::CloseConnection:
        answerSoap(socket, soap::answer(op, !known ? QStringLiteral("The update had already ended.")
                                            : m_lastError.isEmpty()
                                                ? QStringLiteral("Corvina has read what it needed.")
                                                : m_lastError));
        if (known) {
            m_gatekeeper.retire();
            resetUpdate();
        }
        return;
    case Operation::GetLastError:
        answerSoap(socket,
                   soap::answer(op, m_lastError.isEmpty() || !known ? QStringLiteral("No error.")
                                                                    : m_lastError));
        return;
    default: break;
    }
    if (!known || !m_running) {
        answerFault(
            socket,
            QStringLiteral("The ticket is not valid: the update it belonged to has ended or never "
                           "began."));
        return;
    }
    if (op == Operation::SendRequestXml) {
        onSendRequest(call, socket);
    } else if (op == Operation::ReceiveResponseXml) {
        onReceiveResponse(call, socket);
    } else if (op == Operation::ConnectionError) {
        m_connectionError = Reply{
            {}, call.argument(QStringLiteral("hresult")), call.argument(QStringLiteral("message"))};
        // The Web Connector ends the update after "done" without closing it.
        m_ended = true;
        m_running = false;
        m_gatekeeper.retire();
        answerSoap(socket, soap::answer(op, QStringLiteral("done")));
    }
}

void WebConnectorService::onAuthenticate(const soap::Call &call, QTcpSocket *socket)
{
    // An update Corvina has ended waits only for its closeConnection; a Web Connector that
    // never sends it (stopped, or its PC asleep) must not keep the next update "busy" until
    // the ticket expires.
    if (m_ended && m_running) {
        m_gatekeeper.retire();
        resetUpdate();
    }
    const auto outcome =
        m_gatekeeper.authenticate(call.argument(QStringLiteral("strUserName")),
                                  call.argument(QStringLiteral("strPassword")), m_workWanted);
    if (outcome.status == Gatekeeper::Status::Work) {
        resetUpdate();
        m_running = true;
        m_workWanted = false;
        m_lastCall = m_options.clock();
    }
    const QByteArray envelope = soap::answer(
        Operation::Authenticate, QStringList{outcome.ticket, authStatus(outcome.status)});
    if (outcome.delay.count() == 0) {
        answerSoap(socket, envelope);
        return;
    }
    QTimer::singleShot(outcome.delay, this, [socket = QPointer<QTcpSocket>(socket), envelope] {
        answerSoap(socket, envelope);
    });
}

void WebConnectorService::onSendRequest(const soap::Call &call, QTcpSocket *socket)
{
    if (!m_first) {
        FirstCall first;
        first.companyFile = call.argument(QStringLiteral("strCompanyFileName"));
        first.hcpResponse = call.argument(QStringLiteral("strHCPResponse"));
        first.host = qb::readHostVersions(first.hcpResponse);
        first.majorVersion = call.argument(QStringLiteral("qbXMLMajorVers")).toInt();
        first.minorVersion = call.argument(QStringLiteral("qbXMLMinorVers")).toInt();
        m_first = std::move(first);
    }
    if (m_queued) {
        answerSoap(socket, soap::answer(Operation::SendRequestXml, QString::fromUtf8(*m_queued)));
        m_queued.reset();
    } else if (m_ended) {
        // Nothing more: an empty request makes the Web Connector ask getLastError.
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("Corvina needs nothing more in this update.");
        answerSoap(socket, soap::answer(Operation::SendRequestXml, QString()));
    } else {
        answerHeld(m_heldSend, {}); // a connection that called twice keeps only the last call
        m_heldSend = Held{socket, Operation::SendRequestXml};
    }
}

void WebConnectorService::onReceiveResponse(const soap::Call &call, QTcpSocket *socket)
{
    ++m_requestsDone;
    if (m_ended) {
        // The answer to a request handed out ahead that Corvina no longer wants.
        answerSoap(socket,
                   soap::answer(Operation::ReceiveResponseXml, m_lastError.isEmpty() ? 100 : -1));
        return;
    }
    m_reply =
        Reply{call.bytes(QStringLiteral("response")), call.argument(QStringLiteral("hresult")),
              call.argument(QStringLiteral("message"))};
    answerHeld(m_heldReceive, {});
    m_heldReceive = Held{socket, Operation::ReceiveResponseXml};
}

void WebConnectorService::answerHeld(std::optional<Held> &held, const QByteArray &envelope)
{
    if (!held)
        return;
    answerLater(*held, envelope);
    held.reset();
}

void WebConnectorService::answerLater(const Held &held, const QByteArray &envelope)
{
    const auto write = [socket = held.socket, envelope] {
        if (envelope.isEmpty())
            answerFault(socket, QStringLiteral("A newer call replaced this one."));
        else
            answerSoap(socket, envelope);
    };
    if (QThread::currentThread() == thread())
        write();
    else
        QMetaObject::invokeMethod(this, write, Qt::QueuedConnection);
}

void WebConnectorService::wantUpdate(bool wanted)
{
    QMutexLocker lock(&m_mutex);
    m_workWanted = wanted;
}

bool WebConnectorService::updateWanted() const
{
    QMutexLocker lock(&m_mutex);
    return m_workWanted;
}

std::optional<WebConnectorService::FirstCall> WebConnectorService::firstCall() const
{
    QMutexLocker lock(&m_mutex);
    return m_first;
}

QString WebConnectorService::lastCaller() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastCaller;
}

int WebConnectorService::percentDone() const
{
    // The number of requests is not known in advance: approach 99 as requests are done.
    return std::clamp(99 - 99 / (m_requestsDone + 1), 1, 99);
}

bool WebConnectorService::updateRunning()
{
    QMutexLocker lock(&m_mutex);
    if (m_running && !m_gatekeeper.hasLiveTicket())
        resetUpdate(); // the ticket expired
    return m_running;
}

void WebConnectorService::sendRequest(const QByteArray &qbxml)
{
    QMutexLocker lock(&m_mutex);
    if (m_heldSend) {
        answerHeld(m_heldSend, soap::answer(Operation::SendRequestXml, QString::fromUtf8(qbxml)));
        return;
    }
    m_queued = qbxml;
    answerHeld(m_heldReceive, soap::answer(Operation::ReceiveResponseXml, percentDone()));
}

std::optional<WebConnectorService::Reply> WebConnectorService::takeReply()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_reply, std::nullopt);
}

std::optional<WebConnectorService::Reply> WebConnectorService::takeConnectionError()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_connectionError, std::nullopt);
}

void WebConnectorService::endUpdate(const QString &problem)
{
    QMutexLocker lock(&m_mutex);
    endUpdateLocked(problem);
}

void WebConnectorService::endUpdateLocked(const QString &problem)
{
    if (!m_running)
        return;
    m_ended = true;
    m_queued.reset();
    if (!problem.isEmpty())
        m_lastError = problem;
    answerHeld(m_heldReceive,
               soap::answer(Operation::ReceiveResponseXml, problem.isEmpty() ? 100 : -1));
    if (m_heldSend) {
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("Corvina needs nothing more in this update.");
        answerHeld(m_heldSend, soap::answer(Operation::SendRequestXml, QString()));
    }
}

void WebConnectorService::abandonUpdate(const QString &why)
{
    QMutexLocker lock(&m_mutex);
    endUpdateLocked(why.isEmpty() ? QStringLiteral("Corvina stopped the update.") : why);
    m_gatekeeper.retire();
    resetUpdate();
}

std::chrono::milliseconds WebConnectorService::sinceLastCall() const
{
    QMutexLocker lock(&m_mutex);
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_options.clock() - m_lastCall);
}

void WebConnectorService::resetUpdate()
{
    m_running = false;
    m_ended = false;
    m_lastError.clear();
    m_first.reset();
    m_queued.reset();
    m_reply.reset();
    m_connectionError.reset();
    m_heldSend.reset();
    m_heldReceive.reset();
    m_requestsDone = 0;
}

} // namespace corvina::wc
