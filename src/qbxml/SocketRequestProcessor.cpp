#include "qbxml/SocketRequestProcessor.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"
#include "qbxml/HostVersions.h"

#include <QLocalSocket>

namespace corvina::qb {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kWaitSliceMs = 16;
constexpr int kBlockingSliceMs = 1000; // without a wait hook only the patience needs checking

wire::PayloadWriter request(wire::Op op)
{
    wire::PayloadWriter w;
    w.u8(static_cast<std::uint8_t>(op));
    return w;
}

} // namespace

SocketRequestProcessor::SocketRequestProcessor(QString socketPath, std::uint32_t maxReply)
    : m_socketPath(std::move(socketPath)), m_maxReply(maxReply)
{
}

SocketRequestProcessor::~SocketRequestProcessor() = default;

void SocketRequestProcessor::dropWith(std::int32_t number, const QString &description)
{
    if (m_socket)
        m_socket->abort();
    m_socket.reset();
    m_lost = true;
    throw Error(number, description);
}

void SocketRequestProcessor::lost(const QString &why)
{
    dropWith(hr::kCouldNotAccess,
             QStringLiteral("%1 %2").arg(hr::description(hr::kCouldNotAccess), why));
}

void SocketRequestProcessor::connectSocket()
{
    QString path = m_socketPath;
    if (path.isEmpty()) {
        QString why;
        path = wire::defaultSocketPath(&why);
        if (path.isEmpty())
            throw Error(hr::kCouldNotAccess,
                        QStringLiteral("%1 %2").arg(hr::description(hr::kCouldNotAccess), why));
    }
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(path);
    if (!m_socket->waitForConnected(kConnectTimeoutMs))
        lost(QStringLiteral("Nothing answers at %1.").arg(path));
    m_lost = false;
}

void SocketRequestProcessor::checkPatience()
{
    if (m_patience.count() <= 0 || m_sinceProgress.elapsed() < m_patience.count())
        return;
    const std::chrono::milliseconds waited(m_sinceProgress.elapsed());
    if (m_keepWaiting && m_keepWaiting(waited)) {
        if (!m_socket)
            lost(QStringLiteral("The connection to QuickBooks was closed while it was answering."));
        m_sinceProgress.restart();
        return;
    }
    dropWith(hr::kAborted,
             QStringLiteral("QuickBooks had not answered after %1 seconds; the wait was given up.")
                 .arg(waited.count() / 1000));
}

void SocketRequestProcessor::waitOnce(bool forWrite)
{
    const int slice = m_waitHook ? kWaitSliceMs : kBlockingSliceMs;
    if (forWrite ? m_socket->waitForBytesWritten(slice) : m_socket->waitForReadyRead(slice))
        return;
    if (m_socket->state() != QLocalSocket::ConnectedState) {
        if (forWrite)
            lost(QStringLiteral("The request could not be sent."));
        lost(QStringLiteral("The connection to QuickBooks was lost before it answered."));
    }
    if (m_waitHook) {
        m_waitHook();
        if (!m_socket)
            lost(QStringLiteral("The connection to QuickBooks was closed while it was answering."));
    }
    checkPatience();
}

void SocketRequestProcessor::readExactly(char *into, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        if (m_socket->bytesAvailable() == 0) {
            waitOnce(false);
            continue;
        }
        const qint64 n = m_socket->read(into + got, size - got);
        if (n < 0)
            lost(QStringLiteral("The connection to QuickBooks was lost before it answered."));
        if (n > 0)
            m_sinceProgress.restart();
        got += n;
    }
}

QByteArray SocketRequestProcessor::call(const QByteArray &requestFrame)
{
    if (!m_socket)
        throw Error(hr::kUnexpected, QStringLiteral("The connection to QuickBooks is not open."));
    m_sinceProgress.start();
    if (m_socket->write(requestFrame) != requestFrame.size())
        lost(QStringLiteral("The request could not be sent."));
    while (m_socket->bytesToWrite() > 0)
        waitOnce(true);

    char header[wire::kHeaderSize];
    readExactly(header, wire::kHeaderSize);
    const std::uint32_t length = wire::frameLength(QByteArrayView(header, wire::kHeaderSize));
    if (length > m_maxReply) {
        dropWith(
            hr::kInvalidData,
            QStringLiteral("The answer from QuickBooks (%1 bytes) exceeds the limit of %2 bytes.")
                .arg(length)
                .arg(m_maxReply));
    }
    QByteArray payload(static_cast<qsizetype>(length), Qt::Uninitialized);
    readExactly(payload.data(), payload.size());

    wire::PayloadReader reader(payload);
    const auto status = reader.u8();
    if (status == 0) {
        auto result = reader.bytes();
        if (result && reader.atEnd())
            return std::move(*result);
    } else if (status == 1) {
        const auto number = reader.i32();
        const auto description = reader.str();
        if (number && description && reader.atEnd())
            throw Error(*number, *description);
    }
    dropWith(hr::kInvalidData,
             QStringLiteral("The answer from QuickBooks breaks the frame protocol."));
}

void SocketRequestProcessor::openConnection(const QString &appId, const QString &appName)
{
    if (m_socket)
        closeConnection();
    connectSocket();
    call(request(wire::Op::OpenConnection).str(appId).str(appName).frame());
}

void SocketRequestProcessor::beginSession(const QString &companyFile, int openMode)
{
    m_hostVersions.reset();
    call(request(wire::Op::BeginSession).str(companyFile).i32(openMode).frame());
}

QString SocketRequestProcessor::currentCompanyFile()
{
    return QString::fromUtf8(call(request(wire::Op::CurrentCompanyFile).frame()));
}

QByteArray SocketRequestProcessor::processRequest(QByteArrayView qbxmlRequest)
{
    return call(request(wire::Op::ProcessRequest).str(qbxmlRequest).frame());
}

QList<QVersionNumber> SocketRequestProcessor::supportedQbxmlVersions()
{
    if (m_hostVersions)
        return *m_hostVersions;
    QList<QVersionNumber> versions;
    try {
        versions = readHostVersions(processRequest(hostQueryRequest())).versions;
    } catch (const Error &) {
        if (m_lost)
            throw;
        // Refused as a request: a host that does not answer HostQuery tells nothing.
    }
    m_hostVersions = versions;
    return versions;
}

void SocketRequestProcessor::endSession()
{
    m_hostVersions.reset();
    call(request(wire::Op::EndSession).frame());
}

void SocketRequestProcessor::closeConnection()
{
    if (!m_socket)
        return;
    try {
        call(request(wire::Op::CloseConnection).frame());
    } catch (...) {
        m_socket.reset();
        throw;
    }
    m_socket->disconnectFromServer();
    m_socket.reset();
}

} // namespace corvina::qb
