// The retrievals through the Web Connector's service, with `qbsim webconnector` playing the
// Web Connector over HTTPS on the loopback: the same tables as over the stand-in's socket for
// the same company file (paged, and by date windows for an old host), QuickBooks' refusals
// reaching the user as over the socket, a wrong password, a Web Connector that stops calling
// mid-update, updates that end with the retrieval, and a refresh.
#include "support/RetrievalFixture.h"

#include "base/Error.h"
#include "qbsim/CompanyChange.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "qbxml/ComErrors.h"
#include "qbxml/SocketRequestProcessor.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "support/StandIn.h"
#include "webconnector/Certificate.h"
#include "webconnector/WebConnectorRequestProcessor.h"
#include "webconnector/WebConnectorService.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslKey>

#include <map>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

const QString kQbsim = QStringLiteral(CORVINA_QBSIM_PATH);
const QString kUser = u"corvina"_s;
const QString kPassword = u"s3cret pass"_s;

// `customers` customers, `invoices` invoices over a few years, three items and two reps.
struct Records {
    QByteArray customers, invoices, items, reps;
};

Records makeRecords(int customers, int invoices)
{
    QByteArray cs, is, items, reps;
    for (int i = 1; i <= customers; ++i)
        cs += "<CustomerRet><ListID>C" + QByteArray::number(i) + "</ListID><Name>Customer " +
              QByteArray::number(i) + "</Name><FullName>Customer " + QByteArray::number(i) +
              "</FullName><IsActive>true</IsActive><Sublevel>0</Sublevel><BillAddress><City>Town " +
              QByteArray::number(i % 7) + "</City></BillAddress></CustomerRet>";
    for (int n = 1; n <= invoices; ++n)
        is += "<InvoiceRet><TxnID>T" + QByteArray::number(n) + "</TxnID><CustomerRef><ListID>C" +
              QByteArray::number(n % customers + 1) + "</ListID><FullName>Customer " +
              QByteArray::number(n % customers + 1) + "</FullName></CustomerRef><TxnDate>" +
              QDate(2020, 1, 1).addDays(n % 900).toString(Qt::ISODate).toLatin1() +
              "</TxnDate><RefNumber>" + QByteArray::number(n) +
              "</RefNumber><InvoiceLineRet><TxnLineID>L" + QByteArray::number(n) +
              "</TxnLineID><ItemRef><ListID>I1</ListID><FullName>Item 1</FullName></ItemRef>" +
              "<Quantity>2</Quantity><Amount>" + QByteArray::number(n % 90 + 1) +
              ".00</Amount></InvoiceLineRet></InvoiceRet>";
    for (int k = 1; k <= 3; ++k)
        items += "<ItemServiceRet><ListID>I" + QByteArray::number(k) + "</ListID><Name>Item " +
                 QByteArray::number(k) + "</Name><FullName>Item " + QByteArray::number(k) +
                 "</FullName><IsActive>true</IsActive><Sublevel>0</"
                 "Sublevel><SalesOrPurchase><Desc>d</Desc>"
                 "<AccountRef><FullName>Income</FullName></AccountRef></SalesOrPurchase></"
                 "ItemServiceRet>";
    for (int r = 1; r <= 2; ++r)
        reps += "<SalesRepRet><ListID>R" + QByteArray::number(r) + "</ListID><Initial>R" +
                QByteArray::number(r) +
                "</Initial><IsActive>true</IsActive><SalesRepEntityRef><ListID>E" +
                QByteArray::number(r) + "</ListID><FullName>Rep " + QByteArray::number(r) +
                "</FullName></SalesRepEntityRef></SalesRepRet>";
    return {cs, is, items, reps};
}

// Hands on every call to another processor, but writes each invoice query's MaxReturned last,
// out of the schema's order, as a faulty request library would.
class MisorderingProcessor : public qb::RequestProcessor {
public:
    explicit MisorderingProcessor(std::unique_ptr<qb::RequestProcessor> inner)
        : m_inner(std::move(inner))
    {
    }
    void openConnection(const QString &id, const QString &name) override
    {
        m_inner->openConnection(id, name);
    }
    void beginSession(const QString &file, int mode) override { m_inner->beginSession(file, mode); }
    QString currentCompanyFile() override { return m_inner->currentCompanyFile(); }
    QByteArray processRequest(QByteArrayView request) override
    {
        QString text = QString::fromUtf8(request);
        static const QRegularExpression maxReturned(
            u"(<InvoiceQueryRq[^>]*>\\s*)(<MaxReturned>\\d+</MaxReturned>)(.+?)(\\s*</InvoiceQueryRq>)"_s,
            QRegularExpression::DotMatchesEverythingOption);
        if (text.contains(maxReturned)) {
            text.replace(maxReturned, u"\\1\\3\\2\\4"_s);
            ++misordered;
        }
        return m_inner->processRequest(text.toUtf8());
    }
    void endSession() override { m_inner->endSession(); }
    void closeConnection() override { m_inner->closeConnection(); }
    QList<QVersionNumber> supportedQbxmlVersions() override
    {
        return m_inner->supportedQbxmlVersions();
    }
    bool linkLost() const override { return m_inner->linkLost(); }

    inline static int misordered = 0;

private:
    std::unique_ptr<qb::RequestProcessor> m_inner;
};

class WebConnectorPath : public RetrievalFixture {
protected:
    ~WebConnectorPath() override
    {
        if (m_connector.state() != QProcess::NotRunning) {
            m_connector.kill();
            m_connector.waitForFinished(5000);
        }
    }

    QString company(int customers, int invoices)
    {
        const Records r = makeRecords(customers, invoices);
        return useCompany(r.customers, r.invoices, r.items, r.reps);
    }

    // Starts the service on the loopback over HTTPS with a certificate made here, and routes
    // the retrievals to it.
    void startService()
    {
        const wc::CertificateFiles files =
            wc::makeSelfSignedCertificate(u"localhost"_s, {u"127.0.0.1"_s}, 2);
        m_caPath = folder.path() + u"/service.crt"_s;
        wc::saveCertificateFiles(files, m_caPath, folder.path() + u"/service.key"_s);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(QSslCertificate(files.certificatePem));
        tls.setPrivateKey(QSslKey(files.keyPem, QSsl::Ec));
        ASSERT_FALSE(tls.privateKey().isNull());

        wc::WebConnectorService::Options options;
        options.userName = kUser;
        options.password = wc::PasswordHash::make(kPassword, 1000);
        auto service = std::make_shared<wc::WebConnectorService>(options);
        QString error;
        m_port = service->start(QHostAddress::LocalHost, 0, tls, &error);
        ASSERT_NE(m_port, 0) << error.toStdString();
        ASSERT_TRUE(service->runOnOwnThread()); // as the program runs it
        QObject::connect(service.get(), &wc::WebConnectorService::changed, qApp, [] {});
        QuickBooksLink &link = state.quickBooks();
        link.makeProcessor = nullptr;
        link.webConnector = service;
        link.webConnectorOptions.patience = std::chrono::minutes(1);
    }

    // `qbsim webconnector` calling the service every second, as a scheduled Web Connector.
    // Without `every`, it calls once and ends.
    void startConnector(const QString &companyFile, const QString &password,
                        const QStringList &extra = {}, bool every = true)
    {
        QStringList args{
            u"webconnector"_s, u"--url"_s,     u"https://127.0.0.1:%1/qbwc"_s.arg(m_port),
            u"--user"_s,       kUser,          u"--password"_s,
            password,          u"--ca-cert"_s, m_caPath};
        if (every)
            args << u"--every"_s << u"1"_s;
        args << extra << companyFile;
        m_connector.setProcessChannelMode(QProcess::MergedChannels);
        m_connector.start(kQbsim, args);
        ASSERT_TRUE(m_connector.waitForStarted(5000));
    }

    void retrieveAll()
    {
        GetCustomers(state);
        screen.periodNext(QString(), QString());
        screen.answerNext(Answer::Ok); // the Hint after the first invoice retrieval
        GetInvoices(state);
        GetItems(state);
        GetReps(state);
    }

    std::map<QString, QStringList> tables()
    {
        std::map<QString, QStringList> out;
        for (const QString &table :
             {u"Customers"_s, u"CustomerJobs"_s, u"Invoices"_s, u"Items"_s, u"Reps"_s}) {
            QStringList lines;
            for (const auto &row : rows(u"SELECT * FROM \"%1\""_s.arg(table))) {
                QStringList values;
                for (const QVariant &v : row)
                    values << (v.isNull() ? u"<null>"_s : v.toString());
                lines << values.join(u'|');
            }
            lines.sort();
            out[table] = lines;
        }
        return out;
    }

    void clearTables()
    {
        for (const QString &table :
             {u"Customers"_s, u"CustomerJobs"_s, u"Invoices"_s, u"Items"_s, u"Reps"_s})
            execute(u"DELETE FROM \"%1\""_s.arg(table));
    }

    QString connectorOutput() { return QString::fromUtf8(m_connector.readAll()); }

    // The Web Connector's processor as the program makes it, for wrapping.
    std::unique_ptr<qb::RequestProcessor> webConnectorProcessor()
    {
        QuickBooksLink &link = state.quickBooks();
        wc::WebConnectorRequestProcessor::Hooks hooks;
        hooks.yield = [this] { screen.yield(); };
        hooks.keepWaiting = [](std::chrono::milliseconds) { return true; };
        return std::make_unique<wc::WebConnectorRequestProcessor>(
            *link.webConnector, link.webConnectorOptions, std::move(hooks));
    }

    // Runs the event loop until `done` or `ms` pass.
    static void spinUntil(const std::function<bool()> &done, int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

    void keepOldInvoice()
    {
        execute(u"INSERT INTO Invoices (InvNo, Customer) VALUES ('OLD-1', 'Old Customer')"_s);
    }
    void expectOldInvoiceKept()
    {
        EXPECT_EQ(count(u"Invoices"_s), 1);
        EXPECT_EQ(value(u"SELECT InvNo FROM Invoices"_s), u"OLD-1"_s);
    }
    QString lastMessage() const
    {
        return screen.messages().empty() ? QString() : screen.messages().back().text;
    }

    QProcess m_connector;
    QString m_caPath;
    quint16 m_port = 0;
};

} // namespace

TEST_F(WebConnectorPath, PagedRetrievalsGiveTheSameTablesAsTheSocket)
{
    // Invoices fill exactly two pages; customers spill one record onto a second page.
    const QString path = company(PagedQuery::kPageSize + 1, 2 * PagedQuery::kPageSize);
    std::map<QString, QStringList> bySocket;
    {
        StandIn program(kQbsim, path, {u"--quiet"_s});
        ASSERT_TRUE(program.started()) << program.log().toStdString();
        state.quickBooks().makeProcessor = nullptr;
        state.quickBooks().socketPath = program.socketPath();
        retrieveAll();
        bySocket = tables();
        CloseQB(state);
    }
    const std::size_t messages = screen.messages().size();
    ASSERT_EQ(bySocket[u"Invoices"_s].size(), static_cast<qsizetype>(2 * PagedQuery::kPageSize));
    ASSERT_EQ(bySocket[u"Reps"_s].size(), 2);
    clearTables();

    startService();
    startConnector(path, kPassword);
    retrieveAll();
    // Only the Hint after the invoices, again.
    ASSERT_EQ(screen.messages().size(), 2 * messages)
        << screen.messages().back().text.toStdString();
    EXPECT_EQ(screen.messages().back().text, screen.messages().front().text);
    EXPECT_EQ(tables(), bySocket) << connectorOutput().toStdString();
}

TEST_F(WebConnectorPath, AWrongPasswordStartsNoUpdateAndGivingUpKeepsTheRows)
{
    const QString path = company(3, 2);
    startService();
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    startConnector(path, u"wrong"_s, {}, false);
    bool refused = false;
    screen.onYield([&] {
        if (!refused && m_connector.state() == QProcess::NotRunning) {
            refused = true;
            screen.advanceSteadyClock(std::chrono::minutes(2)); // the user is asked, and gives up
        }
    });
    screen.answerNext(Answer::No);
    GetCustomers(state);
    ASSERT_TRUE(refused);
    const QString out = connectorOutput();
    EXPECT_TRUE(out.contains(u"QBWC1039"_s)) << out.toStdString();
    EXPECT_FALSE(state.quickBooks().webConnector->updateRunning());
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);
    EXPECT_EQ(count(u"Customers"_s), 1);
}

TEST_F(WebConnectorPath, AWebConnectorThatStopsCallingMidUpdateKeepsTheOldRows)
{
    const QString path = company(5, 2);
    startService();
    state.quickBooks().webConnectorOptions.quietTimeout = std::chrono::milliseconds(700);
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    // Each record takes a minute to answer: the Web Connector falls silent after its first call.
    startConnector(path, kPassword, {u"--record-delay-ms"_s, u"60000"_s});
    screen.onYield([&] {
        if (state.quickBooks().webConnector->updateRunning())
            screen.advanceSteadyClock(std::chrono::milliseconds(50));
    });
    screen.answerNext(Answer::Ok);
    GetCustomers(state);
    ASSERT_FALSE(screen.messages().empty());
    const QString text = screen.messages().back().text;
    EXPECT_TRUE(text.contains(u"Web Connector"_s)) << text.toStdString();
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);
    EXPECT_EQ(count(u"Customers"_s), 1);
}

TEST_F(WebConnectorPath, AnOldHostGetsItsInvoicesByDateWindowsAsOverTheSocket)
{
    const QString path = company(7, 600);
    std::map<QString, QStringList> bySocket;
    {
        StandIn program(kQbsim, path, {u"--quiet"_s, u"--qbxml-version"_s, u"2.1"_s});
        ASSERT_TRUE(program.started()) << program.log().toStdString();
        state.quickBooks().makeProcessor = nullptr;
        state.quickBooks().socketPath = program.socketPath();
        retrieveAll();
        bySocket = tables();
        CloseQB(state);
    }
    ASSERT_EQ(bySocket[u"Invoices"_s].size(), 600);
    clearTables();

    startService();
    startConnector(path, kPassword, {u"--qbxml-version"_s, u"2.1"_s});
    retrieveAll();
    EXPECT_EQ(tables(), bySocket);
    // The invoices came in several windows, none of them paged.
    const QString out = connectorOutput();
    EXPECT_GT(out.count(u"receiveResponseXML(answer)"_s), 4) << out.toStdString();
    EXPECT_FALSE(out.contains(u"3391"_s));
}

// A request QuickBooks cannot parse (an element out of the schema's order) and a QuickBooks
// that cannot be started reach the user as the same numbers and texts as over the socket; the
// old rows stay.
TEST_F(WebConnectorPath, QuickBooksRefusalsReachTheUserAsOverTheSocket)
{
    const QString path = company(4, 30);
    keepOldInvoice();
    // Each retrieval is one user action, which shows its first error in a box.
    const auto invoicesAsOneAction = [&] {
        ErrorReport::Action action(state.errors());
        const std::size_t before = screen.messages().size();
        screen.periodNext(QString(), QString());
        screen.answerNext(Answer::Ok);
        GetInvoices(state);
        EXPECT_EQ(screen.messages().size(), before + 1);
    };
    QString bySocket;
    {
        StandIn program(kQbsim, path, {u"--quiet"_s});
        ASSERT_TRUE(program.started()) << program.log().toStdString();
        const QString socketPath = program.socketPath();
        state.quickBooks().makeProcessor = [socketPath] {
            return std::make_unique<MisorderingProcessor>(
                std::make_unique<qb::SocketRequestProcessor>(socketPath));
        };
        invoicesAsOneAction();
        bySocket = lastMessage();
        CloseQB(state);
    }
    ASSERT_GT(MisorderingProcessor::misordered, 0);
    ASSERT_TRUE(bySocket.contains(qb::hr::description(qb::hr::kXmlParse)))
        << bySocket.toStdString();
    expectOldInvoiceKept();

    startService();
    startConnector(path, kPassword);
    state.quickBooks().makeProcessor = [this] {
        return std::make_unique<MisorderingProcessor>(webConnectorProcessor());
    };
    invoicesAsOneAction();
    EXPECT_EQ(lastMessage(), bySocket);
    QString out;
    spinUntil(
        [&] {
            out += connectorOutput();
            return out.contains(u"receiveResponseXML(0x80040400)"_s);
        },
        5000);
    EXPECT_TRUE(out.contains(u"receiveResponseXML(0x80040400)"_s)) << out.toStdString();
    expectOldInvoiceKept();
    CloseQB(state);

    // QuickBooks cannot be started: the request processor's refusal, and the Web
    // Connector's connectionError for a company file QuickBooks cannot open.
    state.quickBooks().makeProcessor = [] {
        struct CannotStart : MisorderingProcessor {
            CannotStart() : MisorderingProcessor(nullptr) {}
            void openConnection(const QString &, const QString &) override {}
            // As the request processor does: the connection opens, QuickBooks does not.
            void beginSession(const QString &, int) override
            {
                throw Error(qb::hr::kCouldNotStart, qb::hr::description(qb::hr::kCouldNotStart));
            }
            bool linkLost() const override { return false; }
            void closeConnection() override {}
        };
        return std::make_unique<CannotStart>();
    };
    invoicesAsOneAction();
    const QString cannotStart = lastMessage();
    ASSERT_TRUE(cannotStart.contains(qb::hr::description(qb::hr::kCouldNotStart)))
        << cannotStart.toStdString();
    CloseQB(state);

    m_connector.kill();
    m_connector.waitForFinished(5000);
    state.quickBooks().makeProcessor = nullptr;
    startConnector(folder.path() + u"/no-such-company.qbxml"_s, kPassword);
    invoicesAsOneAction();
    EXPECT_EQ(lastMessage().toStdString(), cannotStart.toStdString());
    expectOldInvoiceKept();
}

// An update ends with the retrieval that needed it, so the Web Connector does not sit showing
// progress; the session Corvina keeps open waits for the next update for its next retrieval.
TEST_F(WebConnectorPath, AnUpdateEndsWithItsRetrievalAndTheNextRetrievalWaitsForTheNextUpdate)
{
    const QString path = company(6, 20);
    startService();
    state.quickBooks().webConnectorOptions.idleEnd = std::chrono::milliseconds(200);
    startConnector(path, kPassword, {}, false); // one update, then it exits
    GetCustomers(state);
    EXPECT_EQ(count(u"Customers"_s), 6);
    ASSERT_TRUE(state.quickBooks().sessionOpen);
    spinUntil([&] { return m_connector.state() == QProcess::NotRunning; }, 10000);
    ASSERT_EQ(m_connector.state(), QProcess::NotRunning);
    const QString first = connectorOutput();
    EXPECT_EQ(m_connector.exitCode(), 0) << first.toStdString();
    EXPECT_TRUE(first.contains(u"-> 100"_s)) << first.toStdString();
    EXPECT_TRUE(first.contains(u"closeConnection"_s)) << first.toStdString();
    EXPECT_FALSE(state.quickBooks().webConnector->updateRunning());

    startConnector(path, kPassword, {}, false);
    screen.periodNext(QString(), QString());
    screen.answerNext(Answer::Ok); // the Hint after the first invoice retrieval
    GetInvoices(state);
    EXPECT_EQ(count(u"Invoices"_s), 20);
    spinUntil([&] { return m_connector.state() == QProcess::NotRunning; }, 10000);
    EXPECT_EQ(m_connector.exitCode(), 0) << connectorOutput().toStdString();
}

// A refresh through the Web Connector asks only for what changed and leaves the tables as a
// full retrieval through it gives.
TEST_F(WebConnectorPath, ARefreshAsksOnlyForWhatChangedAndEqualsAFullRetrieval)
{
    QByteArray generated;
    {
        QBuffer buffer(&generated);
        buffer.open(QIODevice::WriteOnly);
        qbsim::GeneratorOptions options;
        options.customers = 30;
        options.invoices = 300;
        ASSERT_TRUE(qbsim::generateCompany(options, buffer));
    }
    const QString path = folder.file(u"Generated.qbw"_s);
    const auto write = [&](const QByteArray &bytes) {
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.commit());
    };
    write(generated);
    folder.write(u"QBPath.txt"_s, path.toUtf8() + "\n");
    startService();
    startConnector(path, kPassword);
    GetCustomers(state);
    screen.periodNext(u"01/01/2025"_s, QString());
    screen.answerNext(Answer::Ok); // the Hint after the first invoice retrieval
    GetInvoices(state);
    ASSERT_GT(count(u"Invoices"_s), 0);
    m_connector.kill();
    m_connector.waitForFinished(5000);

    qbsim::ChangeOptions change;
    change.edits = 10;
    change.deletions = 2;
    write(qbsim::changeCompany(qbsim::CompanyFile::load(path), change));
    const std::size_t messages = screen.messages().size();
    startConnector(path, kPassword);
    RefreshCustomers(state);
    RefreshInvoices(state);
    ASSERT_EQ(screen.messages().size(), messages) << lastMessage().toStdString();
    // The Web Connector's log of the update may still be on its way.
    QString log = connectorOutput();
    QElapsedTimer waited;
    waited.start();
    while (!log.contains(u"TxnDeletedQueryRq"_s) && waited.elapsed() < 10000) {
        m_connector.waitForReadyRead(100);
        log += connectorOutput();
    }
    EXPECT_TRUE(log.contains(u"ModifiedDate"_s)) << log.toStdString();
    EXPECT_TRUE(log.contains(u"TxnDeletedQueryRq"_s)) << log.toStdString();
    auto refreshed = tables();
    refreshed.erase(u"Reps"_s);

    clearTables();
    GetCustomers(state);
    screen.periodNext(u"01/01/2025"_s, QString());
    screen.answerNext(Answer::Ok); // the Hint again: the table was empty
    GetInvoices(state);
    auto full = tables();
    full.erase(u"Reps"_s);
    EXPECT_EQ(refreshed, full);
}
