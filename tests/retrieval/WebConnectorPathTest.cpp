// The retrievals through the Web Connector's service, with `qbsim webconnector` playing the
// Web Connector over HTTPS on the loopback: the same tables as over the stand-in's socket for
// the same company file, a wrong password, and a Web Connector that stops calling mid-update.
#include "support/RetrievalFixture.h"

#include "retrieval/PagedQuery.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "support/StandIn.h"
#include "webconnector/Certificate.h"
#include "webconnector/WebConnectorService.h"

#include <QCoreApplication>
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
