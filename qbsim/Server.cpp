#include "qbsim/Server.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbxml/ComErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <new>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;
namespace hr = qb::hr;
namespace wire = qb::wire;

// What is read from a client at a time; the socket buffers no more than this either.
constexpr qint64 kReadChunk = 1024 * 1024;
// How soon a failed accept is tried again.
constexpr int kAcceptRetryMs = 200;

QByteArray u32(std::uint32_t value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QString hex(std::int32_t number)
{
    return u"0x"_s + QString::number(static_cast<std::uint32_t>(number), 16).toUpper();
}

QString normalPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

struct Server::Client {
    Client(QLocalSocket *s, int clientId, std::uint32_t maxFrame)
        : socket(s), id(clientId), frames(maxFrame)
    {
    }

    QLocalSocket *socket;
    int id;
    wire::FrameBuffer frames;
    bool connectionOpen = false;
    bool sessionOpen = false;
    bool closing = false; // refused an oversized frame: nothing more is read
    bool stalled = false; // its answer is being held back: nothing more is read
    // Reply bytes not yet handed to the socket, oldest first; the front from `sentOfFront`.
    std::deque<QByteArray> outgoing;
    qsizetype sentOfFront = 0;
    bool gone = false; // disconnected: its state is dropped on the next event loop pass
    QString appName;
    QuerySession session; // the iterators of its QuickBooks session
};

Server::Server(std::shared_ptr<const CompanyFile> company, ServerOptions options, QObject *parent)
    : QObject(parent), m_company(std::move(company)), m_options(options)
{
}

Server::~Server()
{
    close();
}

bool Server::listen(const QString &socketPath, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (m_listenFd >= 0)
        return fail(u"The server is already listening on %1."_s.arg(socketPath));

    const QByteArray native = QFile::encodeName(socketPath);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return fail(u"%1 exists and is not a socket; it is left alone."_s.arg(socketPath));
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return fail(u"Another server is already listening on %1."_s.arg(socketPath));
        }
        if (!QFile::remove(socketPath))
            return fail(u"Cannot remove the stale socket %1."_s.arg(socketPath));
    }

    sockaddr_un address{};
    if (native.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return fail(u"Cannot listen on %1: the path is too long for a socket."_s.arg(socketPath));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(u"Cannot listen on %1: %2"_s.arg(socketPath, QString::fromLocal8Bit(std::strerror(errno))));
    // Read and write for the owner only, from the moment the socket file exists.
    const mode_t umask = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(umask);
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        if (bound)
            QFile::remove(socketPath);
        return fail(u"Cannot listen on %1: %2"_s.arg(socketPath, why));
    }
    m_listenFd = fd;
    m_socketPath = socketPath;
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &Server::acceptPending);
    m_acceptRetry = new QTimer(this);
    m_acceptRetry->setSingleShot(true);
    m_acceptRetry->setInterval(kAcceptRetryMs);
    connect(m_acceptRetry, &QTimer::timeout, this, [this] {
        m_acceptNotifier->setEnabled(true);
        acceptPending();
    });
    return true;
}

void Server::close()
{
    if (m_listenFd < 0)
        return;
    for (const auto &[socket, client] : m_clients) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
    m_clients.clear();
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    delete m_acceptRetry;
    m_acceptRetry = nullptr;
    ::close(m_listenFd);
    m_listenFd = -1;
    QFile::remove(m_socketPath);
    m_socketPath.clear();
}

QString Server::socketPath() const
{
    return m_socketPath;
}

void Server::logLine(const QString &text) const
{
    std::fputs((u"qbsim: "_s + text + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void Server::acceptPending()
{
    while (m_listenFd >= 0) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            if (m_acceptFailing) {
                m_acceptFailing = false;
                logLine(u"accepting connections again"_s);
            }
            adopt(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        // Out of file descriptors or memory, most likely: the waiting client stays queued and
        // the accept is tried again shortly, once others may have gone.
        ++m_acceptFailures;
        if (!m_acceptFailing) {
            m_acceptFailing = true;
            logLine(u"cannot accept a connection (%1); still listening, trying again"_s.arg(
                QString::fromLocal8Bit(std::strerror(errno))));
        }
        m_acceptNotifier->setEnabled(false);
        m_acceptRetry->start();
        return;
    }
}

void Server::adopt(int fd)
{
    auto *socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        logLine(u"cannot take over a connection: %1"_s.arg(socket->errorString()));
        delete socket;
        ::close(fd);
        return;
    }
    m_clients.emplace(socket, std::make_unique<Client>(socket, m_nextClientId++, m_options.maxRequestFrame));
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    connect(socket, &QLocalSocket::bytesWritten, this, [this, socket] {
        const auto it = m_clients.find(socket);
        if (it == m_clients.end())
            return;
        pump(*it->second);
        serve(*it->second); // requests that waited for the answer to go out
    });
    socket->setReadBufferSize(std::min(kReadChunk, m_options.maxClientBytes));
    if (socket->bytesAvailable() > 0)
        onReadyRead(socket);
}

qint64 Server::heldBytes() const
{
    qint64 held = 0;
    for (const auto &[socket, client] : m_clients)
        held += heldFor(*client);
    return held;
}

qint64 Server::heldFor(const Client &client) const
{
    qint64 held = client.frames.buffered() + client.socket->bytesAvailable() + client.socket->bytesToWrite()
                  - client.sentOfFront;
    for (const QByteArray &bytes : client.outgoing)
        held += bytes.size();
    return held;
}

void Server::drop(Client &client, const QString &why)
{
    log(client, u"(dropped)"_s, why);
    client.closing = true;
    client.outgoing.clear();
    client.sentOfFront = 0;
    client.socket->abort();
    if (!client.gone)
        onDisconnected(client.socket); // drops its state on the next pass
}

void Server::onReadyRead(QLocalSocket *socket)
{
    const auto it = m_clients.find(socket);
    if (it != m_clients.end())
        serve(*it->second);
}

void Server::serve(Client &client)
{
    // One frame at a time, and only once the previous answer has gone out to the system: a
    // client that does not read its answers leaves its requests in the socket, not answers
    // piling up here.
    while (!client.closing && !client.gone && !client.stalled && client.outgoing.empty()
           && client.socket->bytesToWrite() == 0) {
        QByteArray payload;
        switch (client.frames.take(payload)) {
        case wire::FrameBuffer::Status::Incomplete:
            if (client.socket->bytesAvailable() == 0)
                return;
            client.frames.append(client.socket->read(kReadChunk));
            if (heldFor(client) > m_options.maxClientBytes)
                return drop(client, u"holds %1 bytes of requests, more than the limit of %2"_s.arg(
                                        QString::number(heldFor(client)), QString::number(m_options.maxClientBytes)));
            break;
        case wire::FrameBuffer::Status::Ready:
            handle(client, payload);
            if (!client.gone && heldFor(client) > m_options.maxClientBytes)
                return drop(client, u"leaves %1 bytes of answers unread, more than the limit of %2"_s.arg(
                                        QString::number(heldFor(client)), QString::number(m_options.maxClientBytes)));
            break;
        case wire::FrameBuffer::Status::TooLarge: {
            // The next frame cannot be found without reading this one: answer and hang up.
            const QString message =
                u"Request frame of %1 bytes exceeds the limit of %2 bytes."_s.arg(
                    QString::number(client.frames.nextLength().value_or(0)),
                    QString::number(m_options.maxRequestFrame));
            log(client, u"(frame)"_s, message);
            sendError(client, hr::kInvalidArgument, message);
            client.closing = true;
            pump(client); // hangs up once the queued replies are out
            return;
        }
        }
    }
}

void Server::onDisconnected(QLocalSocket *socket)
{
    const auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    it->second->gone = true;
    // Dropped later: this may run inside a write made while handling the client's request.
    QMetaObject::invokeMethod(
        this,
        [this, socket] {
            const auto found = m_clients.find(socket);
            if (found == m_clients.end())
                return;
            m_clients.erase(found);
            socket->deleteLater();
            emit clientGone();
        },
        Qt::QueuedConnection);
}

void Server::handle(Client &client, const QByteArray &payload)
{
    wire::PayloadReader args(payload);
    const auto op = args.u8();
    if (!op) {
        log(client, u"(empty frame)"_s, u"refused"_s);
        sendError(client, hr::kInvalidArgument, u"Malformed request frame."_s);
        return;
    }
    if (static_cast<wire::Op>(*op) == wire::Op::ProcessRequest && m_options.answerDelayMs != 0) {
        // Held back: nothing more is read from this client until the answer goes out.
        client.stalled = true;
        log(client, u"ProcessRequest"_s, u"answer held back"_s);
        if (m_options.answerDelayMs > 0) {
            QLocalSocket *socket = client.socket;
            QTimer::singleShot(m_options.answerDelayMs, this, [this, socket, payload] {
                const auto it = m_clients.find(socket);
                if (it == m_clients.end())
                    return;
                Client &held = *it->second;
                held.stalled = false;
                wire::PayloadReader heldArgs(payload);
                heldArgs.u8();
                processRequest(held, heldArgs);
                serve(held);
            });
        }
        return;
    }
    switch (static_cast<wire::Op>(*op)) {
    case wire::Op::OpenConnection: openConnection(client, args); return;
    case wire::Op::BeginSession: beginSession(client, args); return;
    case wire::Op::CurrentCompanyFile: currentCompanyFile(client, args); return;
    case wire::Op::ProcessRequest: processRequest(client, args); return;
    case wire::Op::EndSession: endSession(client, args); return;
    case wire::Op::CloseConnection: closeConnection(client, args); return;
    }
    const QString message = u"Unknown operation %1."_s.arg(*op);
    log(client, u"(operation %1)"_s.arg(*op), message);
    sendError(client, hr::kInvalidArgument, message);
}

void Server::sendReply(Client &client, const QByteArray &head, const QByteArray &body)
{
    if (client.gone || client.socket->state() != QLocalSocket::ConnectedState)
        return; // nobody to tell
    const auto length = static_cast<std::uint32_t>(head.size() + body.size());
    client.outgoing.push_back(u32(length) + head);
    if (!body.isEmpty())
        client.outgoing.push_back(body);
    pump(client);
}

void Server::pump(Client &client)
{
    // The socket gets a few megabytes at a time as it drains, so that a large answer is not
    // copied whole into its buffer.
    constexpr qint64 kBuffered = 4 * 1024 * 1024;
    constexpr qsizetype kChunk = 1024 * 1024;
    if (client.gone)
        return;
    while (!client.outgoing.empty() && client.socket->bytesToWrite() < kBuffered) {
        const QByteArray &front = client.outgoing.front();
        const qsizetype size = std::min(kChunk, front.size() - client.sentOfFront);
        if (client.socket->write(front.constData() + client.sentOfFront, size) != size)
            return; // the connection failed; `disconnected` follows
        client.sentOfFront += size;
        if (client.sentOfFront == front.size()) {
            client.outgoing.pop_front();
            client.sentOfFront = 0;
        }
    }
    if (client.closing && client.outgoing.empty())
        client.socket->disconnectFromServer();
}

void Server::sendOk(Client &client, const QByteArray &result)
{
    constexpr qsizetype kPrefix = 1 + 4; // status byte, string length
    if (result.size() > static_cast<qsizetype>(wire::kMaxReplyFrame) - kPrefix) {
        sendError(client, hr::kInvalidData,
                  u"The answer of %1 bytes exceeds the reply limit of %2 bytes."_s.arg(
                      QString::number(result.size()), QString::number(wire::kMaxReplyFrame)));
        return;
    }
    if (result.size() + kPrefix > m_options.maxClientBytes) {
        sendError(client, hr::kInvalidData,
                  u"The answer of %1 bytes exceeds the stand-in's limit of %2 bytes for one client."_s.arg(
                      QString::number(result.size()), QString::number(m_options.maxClientBytes)));
        return;
    }
    sendReply(client, QByteArray(1, '\0') + u32(static_cast<std::uint32_t>(result.size())), result);
}

void Server::sendError(Client &client, std::int32_t number, const QString &description)
{
    sendReply(client, wire::errorReply(number, description), {});
}

void Server::log(const Client &client, const QString &call, const QString &outcome) const
{
    if (m_options.quiet)
        return;
    const QString who = client.appName.isEmpty()
                            ? u"client %1"_s.arg(client.id)
                            : u"client %1 (%2)"_s.arg(QString::number(client.id), client.appName);
    const QByteArray line = u"qbsim: %1: %2 -> %3\n"_s.arg(who, call, outcome).toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}

namespace {

const QString kMalformed = u"Malformed request frame."_s;

QString errorOutcome(std::int32_t number, const QString &description)
{
    return u"error %1 %2"_s.arg(hex(number), description);
}

} // namespace

void Server::openConnection(Client &client, wire::PayloadReader &args)
{
    const auto appId = args.str();
    const auto appName = args.str();
    if (!appId || !appName || !args.atEnd()) {
        log(client, u"OpenConnection"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"OpenConnection(\"%1\", \"%2\")"_s.arg(*appId, *appName);
    if (client.connectionOpen) {
        const QString message = u"OpenConnection was called while a connection is open."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    client.connectionOpen = true;
    client.appName = *appName;
    log(client, call, u"ok"_s);
    sendOk(client);
}

void Server::beginSession(Client &client, wire::PayloadReader &args)
{
    const auto path = args.str();
    const auto mode = args.i32();
    if (!path || !mode || !args.atEnd()) {
        log(client, u"BeginSession"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"BeginSession(\"%1\", %2)"_s.arg(*path, QString::number(*mode));
    const auto refuse = [&](std::int32_t number, const QString &description) {
        log(client, call, errorOutcome(number, description));
        sendError(client, number, description);
    };
    if (!client.connectionOpen)
        return refuse(hr::kUnexpected, u"BeginSession was called before OpenConnection."_s);
    if (client.sessionOpen)
        return refuse(hr::kUnexpected, u"BeginSession was called while a session is open."_s);
    if (*mode < 0 || *mode > 2)
        return refuse(
            hr::kInvalidArgument,
            u"Open mode %1 is not 0 (single-user), 1 (multi-user) or 2 (either)."_s.arg(*mode));
    if (!m_company)
        return refuse(hr::kNoAutoLogin, hr::description(hr::kNoAutoLogin));
    if (!path->isEmpty() && !isOpenFile(*path))
        return refuse(hr::kOtherFileOpen, hr::description(hr::kOtherFileOpen));
    client.sessionOpen = true;
    client.session = QuerySession(m_options.qbxmlVersion);
    log(client, call, u"ok"_s);
    sendOk(client);
}

bool Server::isOpenFile(const QString &path) const
{
    const QString wanted = normalPath(path);
    const QString open = normalPath(m_company->path());
    if (wanted == open)
        return true;
    const QFileInfo wantedInfo(wanted);
    const QFileInfo openInfo(open);
    return wantedInfo.exists() && openInfo.exists() &&
           wantedInfo.canonicalFilePath() == openInfo.canonicalFilePath();
}

void Server::currentCompanyFile(Client &client, wire::PayloadReader &args)
{
    const QString call = u"CurrentCompanyFile"_s;
    if (!args.atEnd()) {
        log(client, call, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    if (!client.sessionOpen) {
        const QString message = client.connectionOpen
                                    ? u"CurrentCompanyFile was called outside a session."_s
                                    : u"CurrentCompanyFile was called before OpenConnection."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    log(client, call, m_company->path());
    sendOk(client, m_company->path().toUtf8());
}

void Server::processRequest(Client &client, wire::PayloadReader &args)
{
    const auto request = args.bytes();
    if (!request || !args.atEnd()) {
        log(client, u"ProcessRequest"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"ProcessRequest(%1 bytes)"_s.arg(request->size());
    if (!client.sessionOpen) {
        const QString message = client.connectionOpen
                                    ? u"ProcessRequest was called outside a session."_s
                                    : u"ProcessRequest was called before OpenConnection."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    QString diagnostic;
    try {
        const QByteArray response = qbsim::processRequest(*m_company, client.session, *request, &diagnostic);
        log(client, call, u"ok, %1 bytes"_s.arg(response.size()));
        sendOk(client, response);
    } catch (const Error &e) {
        QString outcome = errorOutcome(e.number(), e.description());
        if (!diagnostic.isEmpty())
            outcome += u" ("_s + diagnostic + u')';
        log(client, call, outcome);
        sendError(client, e.number(), e.description());
    } catch (const std::bad_alloc &) {
        const QString message = u"Not enough memory for the answer."_s;
        log(client, call, message);
        sendError(client, hr::kCouldNotAccess, message);
    }
}

void Server::endSession(Client &client, wire::PayloadReader &args)
{
    if (!args.atEnd()) {
        log(client, u"EndSession"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    client.sessionOpen = false;
    client.session.clear();
    log(client, u"EndSession"_s, u"ok"_s);
    sendOk(client);
}

void Server::closeConnection(Client &client, wire::PayloadReader &args)
{
    if (!args.atEnd()) {
        log(client, u"CloseConnection"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    client.sessionOpen = false;
    client.connectionOpen = false;
    client.session.clear();
    log(client, u"CloseConnection"_s, u"ok"_s);
    sendOk(client);
}

} // namespace corvina::qbsim
