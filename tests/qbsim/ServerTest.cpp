// The stand-in server over a real socket: session rules, calls out of order, bad frames,
// vanishing clients and the socket file.

#include "qbsim/Server.h"
#include "ServerFixture.h"
#include "qbsim/CompanyFile.h"
#include "qbxml/ComErrors.h"
#include "qbxml/Wire.h"
#include "support/TempAppFolder.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QtEndian>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace corvina;
using namespace corvina::qbsim;
using namespace corvina::qbsim::servertest;
using namespace Qt::Literals::StringLiterals;

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

TEST_F(ServerTest, ARecordDelayHoldsEachAnswerBackByTheRecordsItCarries)
{
    ServerOptions options;
    options.recordDelayMs = 60;
    start(std::make_shared<const CompanyFile>(CompanyFile::load(companyPath)), options);
    Client client(socketPath);
    expectOk(client.call(open()));
    expectOk(client.call(begin(QString())));
    QElapsedTimer timer;
    timer.start();
    const Reply answer = client.call(process(kCustomerQuery));
    const qint64 elapsed = timer.elapsed();
    expectOk(answer);
    const qsizetype records = answer.result.count(u"<CustomerRet>"_s);
    ASSERT_GT(records, 1);
    EXPECT_GE(elapsed, 60 * records);
    // The connection goes on as usual once the answer is out.
    EXPECT_EQ(client.call(current()).result, companyPath);
}
