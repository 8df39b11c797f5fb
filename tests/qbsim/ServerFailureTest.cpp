// The stand-in server under failure: failed accepts, clients holding more than their bound,
// and the `qbsim` program itself.

#include "ServerFixture.h"

#include "qbsim/CompanyChange.h"
#include "qbsim/Generator.h"

#include <QBuffer>

using namespace corvina;
using namespace corvina::qbsim;
using namespace corvina::qbsim::servertest;
using namespace Qt::Literals::StringLiterals;

namespace {

// A client on a bare socket that reads only when told, so the server sees it not reading.
class RawClient {
public:
    explicit RawClient(const QString &socketPath)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
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
            const ssize_t n =
                ::send(m_fd, bytes.constData() + sent,
                       static_cast<std::size_t>(bytes.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
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
    for (const QString &name :
         QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
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
    EXPECT_TRUE(refused.description.contains(u"for one client"_s))
        << refused.description.toStdString();
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
        {{u"generate"_s, u"--customers"_s, u"0"_s, u"--invoices"_s, u"5"_s},
         64,
         "at least one customer"},
        {{u"change"_s}, 64, "one company file"},
        {{u"change"_s, u"--edits"_s, u"some"_s, kSample}, 64, "--edits"},
        {{u"change"_s, folder.file(u"broken.qbxml"_s)}, 2, "broken.qbxml"},
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

TEST(QbsimProgram, LogsEachRequestWithItsFiltersAndWhatItAnswered)
{
    test::TempAppFolder folder;
    const QString socketPath = folder.file(u"qbsim.sock"_s);
    QProcess program;
    program.start(QStringLiteral(QBSIM_PROGRAM),
                  {u"serve"_s, u"--socket"_s, socketPath, u"--record-delay-ms"_s, u"1"_s, kSample});
    ASSERT_TRUE(spinUntil(
        [&] { return program.canReadLine() || program.state() == QProcess::NotRunning; }));
    Client client(socketPath);
    expectOk(client.call(open()));
    expectOk(client.call(begin(kSample)));
    expectOk(client.call(process(
        "<?xml version=\"1.0\"?><?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq "
        "onError=\"stopOnError\"><CustomerQueryRq requestID=\"4\"><ActiveStatus>All</ActiveStatus>"
        "<FromModifiedDate>2003-03-01T10:00:00-08:00</FromModifiedDate></CustomerQueryRq>"
        "<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType></TxnDeletedQueryRq>"
        "</QBXMLMsgsRq></QBXML>")));
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    const QString log = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(log.contains(u"CustomerQueryRq requestID=4 ActiveStatus=All "
                             "FromModifiedDate=2003-03-01T10:00:00-08:00 -> status 0, 2 records"_s))
        << log.toStdString();
    EXPECT_TRUE(log.contains(u"TxnDeletedQueryRq types=Invoice -> status 1, 0 records"_s))
        << log.toStdString();
}

TEST(QbsimProgram, RefusesABadRecordDelay)
{
    for (const QString &value : {u"-1"_s, u"soon"_s, u"60001"_s}) {
        QProcess program;
        program.start(QStringLiteral(QBSIM_PROGRAM),
                      {u"serve"_s, u"--record-delay-ms"_s, value, kSample});
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), 64);
        EXPECT_TRUE(program.readAllStandardError().contains("--record-delay-ms"));
    }
}

TEST(QbsimProgram, ChangeWritesTheNextCompanyToStandardOutput)
{
    test::TempAppFolder folder;
    QByteArray company;
    QBuffer buffer(&company);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(generateCompany({10, 40, 4}, buffer));
    folder.write(u"company.qbxml"_s, company);
    QProcess program;
    program.start(QStringLiteral(QBSIM_PROGRAM),
                  {u"change"_s, u"--seed"_s, u"3"_s, u"--edits"_s, u"4"_s, u"--deletions"_s, u"2"_s,
                   u"--additions"_s, u"2"_s, folder.file(u"company.qbxml"_s)});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    const QStringList said =
        QString::fromLocal8Bit(program.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(said.size(), 8) << said.join(u'\n').toStdString();

    ChangeOptions options;
    options.seed = 3;
    options.edits = 4;
    options.deletions = 2;
    options.additions = 2;
    EXPECT_EQ(program.readAllStandardOutput(),
              changeCompany(CompanyFile::load(folder.file(u"company.qbxml"_s)), options));
}
