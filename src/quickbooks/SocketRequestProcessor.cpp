#include "quickbooks/SocketRequestProcessor.h"

#include "localdb/Error.h"
#include "quickbooks/ComErrors.h"

#include <QLocalSocket>

namespace corvina::qb {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kWaitSliceMs = 16;

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

void SocketRequestProcessor::lost(const QString &why)
{
    if (m_socket)
        m_socket->abort();
    m_socket.reset();
    throw Error(hr::kCouldNotAccess,
                QStringLiteral("%1 %2").arg(hr::description(hr::kCouldNotAccess), why));
}

void SocketRequestProcessor::connectSocket()
{
    QString path = m_socketPath;
    if (path.isEmpty()) {
        QString why;
        path = wire::defaultSocketPath(&why);
        if (path.isEmpty())
            throw Error(hr::kCouldNotAccess, QStringLiteral("%1 %2").arg(hr::description(hr::kCouldNotAccess), why));
    }
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(path);
    if (!m_socket->waitForConnected(kConnectTimeoutMs))
        lost(QStringLiteral("Nothing answers at %1.").arg(path));
}

void SocketRequestProcessor::readExactly(char *into, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        while (m_socket->bytesAvailable() == 0) {
            if (m_socket->waitForReadyRead(m_waitHook ? kWaitSliceMs : -1))
                break;
            if (!m_waitHook || m_socket->state() != QLocalSocket::ConnectedState)
                lost(QStringLiteral("The connection to QuickBooks was lost before it answered."));
            m_waitHook();
            if (!m_socket)
                lost(QStringLiteral("The connection to QuickBooks was closed while it was answering."));
        }
        const qint64 n = m_socket->read(into + got, size - got);
        if (n < 0)
            lost(QStringLiteral("The connection to QuickBooks was lost before it answered."));
        got += n;
    }
}

QByteArray SocketRequestProcessor::call(const QByteArray &requestFrame)
{
    if (!m_socket)
        throw Error(hr::kUnexpected, QStringLiteral("The connection to QuickBooks is not open."));
    if (m_socket->write(requestFrame) != requestFrame.size())
        lost(QStringLiteral("The request could not be sent."));
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(-1))
            lost(QStringLiteral("The request could not be sent."));
    }

    char header[wire::kHeaderSize];
    readExactly(header, wire::kHeaderSize);
    const std::uint32_t length = wire::frameLength(QByteArrayView(header, wire::kHeaderSize));
    if (length > m_maxReply) {
        m_socket->abort();
        m_socket.reset();
        throw Error(hr::kInvalidData,
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
    m_socket->abort();
    m_socket.reset();
    throw Error(hr::kInvalidData, QStringLiteral("The answer from QuickBooks breaks the frame protocol."));
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

void SocketRequestProcessor::endSession()
{
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
