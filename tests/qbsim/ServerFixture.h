#pragma once

// The stand-in server on a socket of a temporary folder, and a client speaking the request
// processor's frames to it, for the server's tests.

#include "qbsim/Server.h"

#include "qbsim/CompanyFile.h"
#include "qbxml/ComErrors.h"
#include "qbxml/Wire.h"
#include "support/TempAppFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QtEndian>

#include <gtest/gtest.h>

#include <QDir>

#include <functional>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvina::qbsim::servertest {

using namespace Qt::Literals::StringLiterals;
namespace hr = corvina::qb::hr;
namespace wire = corvina::qb::wire;

inline const QString kSample =
    QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/composed/CustomerQueryRs_v21_mixed.xml");
inline const QByteArray kCustomerQuery =
    "<?xml version=\"1.0\"?><?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq "
    "onError=\"stopOnError\"><CustomerQueryRq/></QBXMLMsgsRq></QBXML>";

// Runs the event loop until `done` or `ms` milliseconds have passed.
inline bool spinUntil(const std::function<bool()> &done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Reply {
    bool ok = false;
    QString result;
    std::int32_t number = 0;
    QString description;
};

inline QByteArray open()
{
    return wire::PayloadWriter().u8(1).str(u"1234"_s).str(u"Test App"_s).payload();
}
inline QByteArray begin(const QString &path, std::int32_t mode = 2)
{
    return wire::PayloadWriter().u8(2).str(path).i32(mode).payload();
}
inline QByteArray current()
{
    return wire::PayloadWriter().u8(3).payload();
}
inline QByteArray process(QByteArrayView qbxml)
{
    return wire::PayloadWriter().u8(4).str(qbxml).payload();
}
inline QByteArray end()
{
    return wire::PayloadWriter().u8(5).payload();
}
inline QByteArray closeConnection()
{
    return wire::PayloadWriter().u8(6).payload();
}

inline QByteArray frame(const QByteArray &payload)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian(static_cast<std::uint32_t>(payload.size()), out.data());
    return out + payload;
}

// A client writing raw frames; waits by running the event loop, so a server in this thread
// keeps answering.
class Client {
public:
    explicit Client(const QString &socketPath)
    {
        m_socket.connectToServer(socketPath);
        EXPECT_TRUE(spinUntil([this] { return m_socket.state() == QLocalSocket::ConnectedState; }))
            << m_socket.errorString().toStdString();
    }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    Reply call(const QByteArray &payload)
    {
        send(frame(payload));
        return reply();
    }

    Reply reply()
    {
        QByteArray payload;
        const bool got = spinUntil([&] {
            m_frames.append(m_socket.readAll());
            return m_frames.take(payload) == wire::FrameBuffer::Status::Ready;
        });
        EXPECT_TRUE(got) << "no reply";
        wire::PayloadReader reader(payload);
        Reply r;
        r.ok = reader.u8() == 0;
        if (!r.ok)
            r.number = reader.i32().value_or(0);
        r.result = reader.str().value_or(QString());
        if (!r.ok)
            r.description = r.result;
        EXPECT_TRUE(reader.atEnd());
        return r;
    }

    bool waitClosed()
    {
        return spinUntil([this] {
            m_socket.readAll();
            return m_socket.state() == QLocalSocket::UnconnectedState;
        });
    }
    QLocalSocket &socket() { return m_socket; }

private:
    QLocalSocket m_socket;
    wire::FrameBuffer m_frames{wire::kMaxReplyFrame};
};

inline void expectError(const Reply &reply, std::int32_t number, const QString &description)
{
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.number, number);
    EXPECT_EQ(reply.description, description);
}

inline void expectOk(const Reply &reply)
{
    EXPECT_TRUE(reply.ok) << reply.description.toStdString();
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(kSample, folder.file(u"Company.qbxml"_s)));
        companyPath = folder.file(u"Company.qbxml"_s);
        socketPath = folder.file(u"qbsim.sock"_s);
        start(std::make_shared<const CompanyFile>(CompanyFile::load(companyPath)));
    }

    void start(std::shared_ptr<const CompanyFile> company, ServerOptions options = {})
    {
        server.reset();
        options.quiet = true;
        server = std::make_unique<Server>(std::move(company), options);
        QString error;
        ASSERT_TRUE(server->listen(socketPath, &error)) << error.toStdString();
    }

    test::TempAppFolder folder;
    QString companyPath;
    QString socketPath;
    std::unique_ptr<Server> server;
};

} // namespace corvina::qbsim::servertest
