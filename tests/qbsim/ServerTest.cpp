// The stand-in server over a real socket: session rules, calls out of order, bad frames,
// vanishing clients, the socket file, and the `qbsim` program itself.

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

using namespace corvina;
using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;
namespace hr = corvina::qb::hr;
namespace wire = corvina::qb::wire;

namespace {

const QString kSample =
    QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/composed/CustomerQueryRs_v21_mixed.xml");
const QByteArray kCustomerQuery =
    "<?xml version=\"1.0\"?><?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq "
    "onError=\"stopOnError\"><CustomerQueryRq/></QBXMLMsgsRq></QBXML>";

// Runs the event loop until `done` or `ms` milliseconds have passed.
bool spinUntil(const std::function<bool()> &done, int ms = 5000)
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

QByteArray open()
{
    return wire::PayloadWriter().u8(1).str(u"1234"_s).str(u"Test App"_s).payload();
}
QByteArray begin(const QString &path, std::int32_t mode = 2)
{
    return wire::PayloadWriter().u8(2).str(path).i32(mode).payload();
}
QByteArray current()
{
    return wire::PayloadWriter().u8(3).payload();
}
QByteArray process(QByteArrayView qbxml)
{
    return wire::PayloadWriter().u8(4).str(qbxml).payload();
}
QByteArray end()
{
    return wire::PayloadWriter().u8(5).payload();
}
QByteArray closeConnection()
{
    return wire::PayloadWriter().u8(6).payload();
}

QByteArray frame(const QByteArray &payload)
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

void expectError(const Reply &reply, std::int32_t number, const QString &description)
{
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.number, number);
    EXPECT_EQ(reply.description, description);
}

void expectOk(const Reply &reply)
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

} // namespace

TEST_F(ServerTest, SessionsOnTheOpenCompanyFile)
{
    Client client(socketPath);
    expectOk(client.call(open()));
    expectError(client.call(begin(u"/elsewhere/Other Company.qbw"_s)), hr::kOtherFileOpen,
                hr::description(hr::kOtherFileOpen));
    const Reply mode = client.call(begin(QString(), 3));
    EXPECT_EQ(mode.number, hr::kInvalidArgument);
    expectOk(client.call(begin(QString())));

    const Reply name = client.call(current());
    expectOk(name);
    EXPECT_EQ(name.result, companyPath);
    const Reply answer = client.call(process(kCustomerQuery));
    expectOk(answer);
    EXPECT_EQ(answer.result.count(u"<CustomerRet>"_s), 3);
    expectError(client.call(process("<?qbxml version=\"2.1\"?><QBXML>")), hr::kXmlParse,
                hr::description(hr::kXmlParse));
    expectOk(client.call(end()));

    // The open file under other spellings of its path.
    ASSERT_TRUE(QFile::link(companyPath, folder.file(u"link.qbxml"_s)));
    for (const QString &path :
         {folder.path() + u"/sub/../Company.qbxml"_s, folder.file(u"link.qbxml"_s)}) {
        SCOPED_TRACE(path.toStdString());
        expectOk(client.call(begin(path, 0)));
        expectOk(client.call(end()));
    }
    expectOk(client.call(closeConnection()));
    EXPECT_EQ(client.call(process(kCustomerQuery)).number, hr::kUnexpected);
}

TEST_F(ServerTest, WithoutACompanyFileEverySessionIsRefused)
{
    start(nullptr);
    Client client(socketPath);
    expectOk(client.call(open()));
    for (const QString &path : {QString(), companyPath}) {
        expectError(client.call(begin(path)), hr::kNoAutoLogin, hr::description(hr::kNoAutoLogin));
        EXPECT_EQ(client.call(current()).number, hr::kUnexpected);
    }
}

TEST_F(ServerTest, CallsOutOfOrderAreRefusedSayingWhat)
{
    const struct {
        const char *name;
        std::vector<QByteArray> calls; // all but the last succeed
        const char *says;
    } cases[] = {
        {"session before connection",
         {begin(QString())},
         "BeginSession was called before OpenConnection"},
        {"request before connection", {process(kCustomerQuery)}, "ProcessRequest"},
        {"file name before connection", {current()}, "CurrentCompanyFile"},
        {"request without session", {open(), process(kCustomerQuery)}, "outside a session"},
        {"file name without session", {open(), current()}, "outside a session"},
        {"second session", {open(), begin(QString()), begin(QString())}, "session is open"},
        {"second connection", {open(), open()}, "OpenConnection"},
        {"request after the session",
         {open(), begin(QString()), end(), process(kCustomerQuery)},
         "outside"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Client client(socketPath);
        for (std::size_t i = 0; i + 1 < c.calls.size(); ++i)
            expectOk(client.call(c.calls[i]));
        const Reply refused = client.call(c.calls.back());
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.number, hr::kUnexpected);
        EXPECT_TRUE(refused.description.contains(QString::fromLatin1(c.says)))
            << refused.description.toStdString();
    }
}

TEST_F(ServerTest, BadFramesAreRefusedAndTheConnectionStaysUsable)
{
    Client client(socketPath);
    expectError(client.call(QByteArray(1, '\x2A')), hr::kInvalidArgument,
                u"Unknown operation 42."_s);
    const QByteArray truncated = QByteArray(1, '\x01') + QByteArray::fromHex("00000064") + "ab";
    for (const QByteArray &payload : {QByteArray(), truncated, open() + "x", current() + "x"}) {
        SCOPED_TRACE(payload.toHex().toStdString());
        expectError(client.call(payload), hr::kInvalidArgument, u"Malformed request frame."_s);
    }
    expectOk(client.call(open()));
    expectOk(client.call(begin(QString())));
    // Two frames in one write get two replies.
    client.send(frame(current()) + frame(end()));
    EXPECT_EQ(client.reply().result, companyPath);
    expectOk(client.reply());
}

TEST_F(ServerTest, AnOversizedFrameIsAnsweredThenTheConnectionIsClosed)
{
    ServerOptions options;
    options.maxRequestFrame = 1024;
    start(std::make_shared<const CompanyFile>(CompanyFile::load(companyPath)), options);
    Client client(socketPath);
    expectOk(client.call(open()));
    client.send(QByteArray::fromHex("000007D0") + QByteArray(100, 'x')); // states 2000 bytes
    expectError(client.reply(), hr::kInvalidArgument,
                u"Request frame of 2000 bytes exceeds the limit of 1024 bytes."_s);
    EXPECT_TRUE(client.waitClosed());

    Client other(socketPath);
    expectOk(other.call(open()));
}

TEST_F(ServerTest, PipelinedRequestsAreAnsweredInOrderAlsoWhenAnswersAreLarge)
{
    // Answers of several megabytes each outgrow the socket's buffer.
    const QByteArray notes(6 * 1024 * 1024, 'n');
    folder.write(u"Large.qbxml"_s,
                 "<QBXML><QBXMLMsgsRs><CustomerQueryRs><CustomerRet><ListID>1</ListID>"
                 "<Notes>" +
                     notes +
                     "</Notes></CustomerRet><CustomerRet><ListID>2"
                     "</ListID></CustomerRet></CustomerQueryRs></QBXMLMsgsRs></QBXML>");
    start(std::make_shared<const CompanyFile>(CompanyFile::load(folder.file(u"Large.qbxml"_s))));
    Client client(socketPath);
    expectOk(client.call(open()));
    expectOk(client.call(begin(QString())));
    const auto query = [](const char *listId) {
        return process("<?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq onError=\"stopOnError\">"
                       "<CustomerQueryRq><ListID>" +
                       QByteArray(listId) +
                       "</ListID></CustomerQueryRq>"
                       "</QBXMLMsgsRq></QBXML>");
    };
    QByteArray pipeline;
    for (const char *listId : {"1", "2", "1", "2", "1"})
        pipeline += frame(query(listId));
    client.send(pipeline + frame(current()));
    for (const bool large : {true, false, true, false, true}) {
        const Reply answer = client.reply();
        expectOk(answer);
        EXPECT_EQ(answer.result.size() > notes.size(), large);
    }
    EXPECT_EQ(client.reply().result, folder.file(u"Large.qbxml"_s));
}

TEST_F(ServerTest, ClientsThatVanishDoNotDisturbOthers)
{
    Client steady(socketPath);
    expectOk(steady.call(open()));
    expectOk(steady.call(begin(QString())));
    {
        Client midFrame(socketPath);
        midFrame.send(frame(process(kCustomerQuery)).left(20));
        Client midRequest(socketPath);
        expectOk(midRequest.call(open()));
        expectOk(midRequest.call(begin(QString())));
        midRequest.send(frame(process(kCustomerQuery)) + frame(process(kCustomerQuery)));
        midFrame.socket().abort();
        midRequest.socket().abort(); // before the answers are written
    }
    for (int i = 0; i < 3; ++i) {
        const Reply answer = steady.call(process(kCustomerQuery));
        expectOk(answer);
        EXPECT_TRUE(answer.result.contains(u"<CustomerRet>"_s));
    }
    EXPECT_TRUE(spinUntil([this] { return server->clientCount() == 1; })) << server->clientCount();
}

TEST_F(ServerTest, TheSocketIsPrivateAndOnlyAStaleOneIsReplaced)
{
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(socketPath).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    Server second(nullptr, ServerOptions{wire::kMaxRequestFrame, true});
    QString error;
    EXPECT_FALSE(second.listen(socketPath, &error));
    EXPECT_TRUE(error.contains(u"Another server"_s)) << error.toStdString();
    expectOk(Client(socketPath).call(open())); // the first one is untouched

    const QString plain = folder.file(u"plain-file"_s);
    folder.write(u"plain-file"_s, "keep me");
    EXPECT_FALSE(second.listen(plain, &error));
    EXPECT_EQ(folder.read(u"plain-file"_s), QByteArray("keep me"));

    // A socket file left behind by a server that died.
    const QString stale = folder.file(u"stale.sock"_s);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(stale);
    std::copy(native.begin(), native.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(second.listen(stale, &error)) << error.toStdString();
    expectOk(Client(stale).call(open()));
    second.close();
    EXPECT_FALSE(QFile::exists(stale));
}

namespace {

// A client on a bare socket that reads only when told, so the server sees it not reading.
class RawClient {
public:
    explicit RawClient(const QString &socketPath) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (m_fd < 0)
            return;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(socketPath);
        std::copy(native.begin(), native.end(), address.sun_path);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool connected() const { return m_fd >= 0; }
    // Sends what the server takes, running the event loop meanwhile; stops early when the
    // server hangs up.
    void send(const QByteArray &bytes)
    {
        qsizetype sent = 0;
        spinUntil([&] {
            const ssize_t n = ::send(m_fd, bytes.constData() + sent, static_cast<std::size_t>(bytes.size() - sent),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return true;
            return sent == bytes.size();
        });
    }
    // The next reply, running the event loop meanwhile; nothing when none came.
    std::optional<Reply> reply()
    {
        QByteArray payload;
        const bool got = spinUntil([&] {
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                m_frames.append(QByteArrayView(buffer, n));
            return m_frames.take(payload) == wire::FrameBuffer::Status::Ready;
        });
        if (!got)
            return std::nullopt;
        wire::PayloadReader reader(payload);
        Reply r;
        r.ok = reader.u8() == 0;
        if (!r.ok)
            r.number = reader.i32().value_or(0);
        r.result = reader.str().value_or(QString());
        return r;
    }

private:
    int m_fd;
    wire::FrameBuffer m_frames{wire::kMaxReplyFrame};
};

} // namespace

TEST_F(ServerTest, AFailedAcceptIsLoggedAndTheServerKeepsListening)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Few descriptors, then every one of them taken but one.
    int highest = 0;
    for (const QString &name : QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        highest = std::max(highest, name.toInt());
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(highest + 32);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> spare;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        spare.push_back(fd);
    ASSERT_FALSE(spare.empty());
    ::close(spare.back());
    spare.pop_back();

    {
        RawClient queued(socketPath); // takes the last descriptor; the server cannot accept it
        ASSERT_TRUE(queued.connected());
        EXPECT_TRUE(spinUntil([this] { return server->acceptFailures() > 0; }));
        for (int fd : spare)
            ::close(fd);
        spare.clear();
        // Descriptors are free again: the queued client is taken and served.
        queued.send(frame(open()));
        const auto answer = queued.reply();
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->ok) << answer->result.toStdString();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    expectOk(Client(socketPath).call(open()));
}

TEST_F(ServerTest, AClientHoldingMoreThanItsBoundIsDropped)
{
    ServerOptions options;
    options.maxClientBytes = 256 * 1024;
    start(std::make_shared<const CompanyFile>(CompanyFile::load(companyPath)), options);

    // A frame that states a megabyte and keeps coming.
    RawClient partial(socketPath);
    partial.send(QByteArray::fromHex("000F4240") + QByteArray(300 * 1024, 'x'));
    EXPECT_TRUE(spinUntil([this] { return server->clientCount() == 0; })) << server->clientCount();

    // Requests whose answers are never read: the server stops taking them.
    RawClient deaf(socketPath);
    deaf.send(frame(open()) + frame(begin(QString())));
    QByteArray many;
    for (int i = 0; i < 1000; ++i)
        many += frame(process(kCustomerQuery));
    deaf.send(many);
    spinUntil([] { return false; }, 300);
    EXPECT_LE(server->heldBytes(), options.maxClientBytes);

    // The same traffic from a client that reads its answers is served in full.
    Client reader(socketPath);
    expectOk(reader.call(open()));
    expectOk(reader.call(begin(QString())));
    for (int i = 0; i < 300; ++i)
        reader.send(frame(process(kCustomerQuery)));
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(reader.reply().ok) << i;
    EXPECT_EQ(server->clientCount(), 2); // the deaf one too, holding no more than its bound

    // An answer that alone exceeds the bound is refused, saying why.
    options.maxClientBytes = 1024;
    start(std::make_shared<const CompanyFile>(CompanyFile::load(companyPath)), options);
    Client small(socketPath);
    expectOk(small.call(open()));
    expectOk(small.call(begin(QString())));
    const Reply refused = small.call(process(kCustomerQuery));
    EXPECT_EQ(refused.number, hr::kInvalidData);
    EXPECT_TRUE(refused.description.contains(u"for one client"_s)) << refused.description.toStdString();
    expectOk(small.call(current()));
}

TEST(QbsimProgram, ServesUntilTerminated)
{
    test::TempAppFolder folder;
    const QString socketPath = folder.file(u"qbsim.sock"_s);
    QProcess program;
    program.start(QStringLiteral(QBSIM_PROGRAM),
                  {u"serve"_s, u"--socket"_s, socketPath, u"--quiet"_s, kSample});
    ASSERT_TRUE(spinUntil(
        [&] { return program.canReadLine() || program.state() == QProcess::NotRunning; }));
    EXPECT_EQ(program.readLine(), (u"qbsim: listening on "_s + socketPath + u'\n').toLocal8Bit())
        << program.readAllStandardError().toStdString();

    Client client(socketPath);
    expectOk(client.call(open()));
    expectOk(client.call(begin(kSample)));
    EXPECT_TRUE(client.call(process(kCustomerQuery)).result.contains(u"<CustomerRet>"_s));

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(socketPath));
}

TEST(QbsimProgram, RefusesBadCompanyFilesAndBadUsage)
{
    test::TempAppFolder folder;
    folder.write(u"broken.qbxml"_s, "<QBXML><QBXMLMsgsRs>");
    const struct {
        QStringList args;
        int exitCode;
        const char *says;
    } cases[] = {
        {{u"serve"_s, u"--socket"_s, folder.file(u"s.sock"_s), folder.file(u"broken.qbxml"_s)},
         2,
         "broken.qbxml"},
        {{u"serve"_s, u"--bogus"_s}, 64, "--bogus"},
        {{u"generate"_s, u"--customers"_s, u"-3"_s}, 64, "--customers"},
        {{u"generate"_s, u"--invoices"_s, u"many"_s}, 64, "--invoices"},
        {{u"generate"_s, u"--customers"_s, u"0"_s, u"--invoices"_s, u"5"_s}, 64, "at least one customer"},
        {{u"frobnicate"_s}, 64, "frobnicate"},
        {{}, 64, "Usage"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QProcess program;
        program.start(QStringLiteral(QBSIM_PROGRAM), c.args);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), c.exitCode);
        EXPECT_TRUE(program.readAllStandardError().contains(c.says));
    }
    EXPECT_FALSE(QFile::exists(folder.file(u"s.sock"_s)));
}
