#include "ScriptedWebConnector.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"
#include "webconnector/WebConnectorRequestProcessor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::wc;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using corvina::test::ScriptedWebConnector;
using corvina::test::SoapTestClient;

namespace {

const QString kPassword = QStringLiteral("horse battery");

// The service on the loopback, a processor on it, and a scripted Web Connector that calls once
// the processor starts waiting.
class RequestProcessorTest : public ::testing::Test {
public:
    ScriptedWebConnector &connectorFor(ScriptedWebConnector::Script script)
    {
        return connector(std::move(script));
    }
    std::unique_ptr<WebConnectorRequestProcessor>
    processorFor(WebConnectorRequestProcessor::Options options)
    {
        return processor(options);
    }

protected:
    void SetUp() override
    {
        WebConnectorService::Options options;
        options.userName = QStringLiteral("corvina");
        options.password = PasswordHash::make(kPassword, 1000);
        service = std::make_unique<WebConnectorService>(std::move(options));
        QString error;
        const quint16 port = service->start(QHostAddress::LocalHost, 0, std::nullopt, &error);
        ASSERT_NE(port, 0) << error.toStdString();
        client = std::make_unique<SoapTestClient>(
            QUrl(QStringLiteral("http://127.0.0.1:%1/qbwc").arg(port)), QList<QSslCertificate>{});
        hooks.showWaiting = [this](const QString &text) { waitingTexts << text; };
        hooks.keepWaiting = [this](std::chrono::milliseconds) {
            ++questions;
            return keepWaitingAnswer;
        };
    }

    std::unique_ptr<WebConnectorRequestProcessor>
    processor(WebConnectorRequestProcessor::Options options = {})
    {
        return std::make_unique<WebConnectorRequestProcessor>(*service, options, hooks);
    }

    // Starts the Web Connector's update as soon as the event loop runs.
    ScriptedWebConnector &connector(ScriptedWebConnector::Script script)
    {
        if (script.password.isEmpty())
            script.password = kPassword;
        scripted = std::make_unique<ScriptedWebConnector>(*client, std::move(script));
        QTimer::singleShot(0, [this] { scripted->start(); });
        return *scripted;
    }

public:
    void runUntilFinished()
    {
        QElapsedTimer timer;
        timer.start();
        while (!scripted->finished() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_TRUE(scripted->finished());
    }

protected:
    static QString hcpResponse()
    {
        QFile file(QStringLiteral(CORVINA_TEST_DATA_DIR "/webconnector/hcp-response.xml"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll());
    }

    std::unique_ptr<WebConnectorService> service;
    std::unique_ptr<SoapTestClient> client;
    std::unique_ptr<ScriptedWebConnector> scripted;
    WebConnectorRequestProcessor::Hooks hooks;
    QStringList waitingTexts;
    int questions = 0;
    bool keepWaitingAnswer = true;
};

} // namespace

TEST_F(RequestProcessorTest, CarriesRequestsAndAnswersThroughOneUpdate)
{
    ScriptedWebConnector::Script script;
    script.hcpResponse = hcpResponse();
    script.answer = [](const QString &request) {
        return ScriptedWebConnector::Answer{
            "<QBXML>answer to " + request.toUtf8() + "</QBXML>", {}, {}};
    };
    auto &wc = connector(script);
    auto p = processor({0ms, 5s, 15});
    p->openConnection(QStringLiteral("1234"), QStringLiteral("Fenwick"));
    ASSERT_EQ(waitingTexts.size(), 1);
    EXPECT_TRUE(waitingTexts[0].contains(QStringLiteral("Update Selected")));
    EXPECT_TRUE(waitingTexts[0].contains(QStringLiteral("every 15 minutes")));
    p->beginSession(QString(), 2);
    EXPECT_EQ(p->currentCompanyFile(), QStringLiteral("C:\\Company\\Fenwick.qbw"));
    ASSERT_FALSE(p->supportedQbxmlVersions().isEmpty());
    EXPECT_EQ(p->supportedQbxmlVersions().last(), QVersionNumber(13, 0));

    EXPECT_EQ(p->processRequest("one"), QByteArray("<QBXML>answer to one</QBXML>"));
    EXPECT_EQ(p->processRequest("two"), QByteArray("<QBXML>answer to two</QBXML>"));
    p->endSession();
    p->closeConnection();
    runUntilFinished();
    EXPECT_FALSE(p->linkLost());

    const QStringList &log = wc.log();
    ASSERT_EQ(log.size(), 8) << log.join(u'|').toStdString();
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("serverVersion=Corvina")));
    EXPECT_EQ(log.mid(1),
              (QStringList{QStringLiteral("clientVersion="), QStringLiteral("authenticate="),
                           QStringLiteral("sendRequestXML=request"), log[4],
                           QStringLiteral("sendRequestXML=request"),
                           QStringLiteral("receiveResponseXML=100"), log[7]}));
    const int firstPercent = log[4].section(u'=', 1).toInt();
    EXPECT_GE(firstPercent, 0);
    EXPECT_LT(firstPercent, 100);
    EXPECT_TRUE(log[7].startsWith(QStringLiteral("closeConnection=")));
    EXPECT_FALSE(service->updateRunning());
}

TEST_F(RequestProcessorTest, HresultsBecomeTheRequestProcessorsErrors)
{
    ScriptedWebConnector::Script script;
    script.answer = [](const QString &) {
        return ScriptedWebConnector::Answer{
            {},
            QStringLiteral("0x80040400"),
            QStringLiteral("QuickBooks found an error when parsing the provided XML "
                           "text stream.")};
    };
    auto &wc = connector(script);
    auto p = processor();
    p->openConnection({}, {});
    p->beginSession(QString(), 2);
    try {
        p->processRequest("<bad/>");
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), qb::hr::kXmlParse);
        EXPECT_EQ(e.description(), qb::hr::description(qb::hr::kXmlParse));
    }
    p->endSession();
    runUntilFinished();
    // The Web Connector hears of the failure and asks for its text.
    EXPECT_TRUE(wc.log().contains(QStringLiteral("receiveResponseXML=-1")))
        << wc.log().join(u'|').toStdString();
    EXPECT_TRUE(wc.log()
                    .filter(QStringLiteral("getLastError="))
                    .value(0)
                    .contains(QStringLiteral("parsing")));

    EXPECT_EQ(parseHresult(QStringLiteral("0x80040408")), qb::hr::kCouldNotStart);
    EXPECT_EQ(parseHresult(QStringLiteral("-2147220472")), qb::hr::kCouldNotStart);
    EXPECT_FALSE(parseHresult(QStringLiteral("oops")));
}

TEST_F(RequestProcessorTest, ConnectionErrorEndsTheWaitWithItsError)
{
    ScriptedWebConnector::Script script;
    script.connectionError = ScriptedWebConnector::Answer{
        {}, QStringLiteral("0x80040408"), QStringLiteral("Could not start QuickBooks.")};
    auto &wc = connector(script);
    auto p = processor();
    try {
        // The call may come while the processor still waits for the sign-in's outcome.
        p->openConnection({}, {});
        p->beginSession(QString(), 2);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), qb::hr::kCouldNotStart);
        EXPECT_EQ(e.description(), QStringLiteral("Could not start QuickBooks."));
    }
    EXPECT_TRUE(p->linkLost());
    runUntilFinished();
    EXPECT_EQ(wc.log().last(), QStringLiteral("connectionError=done"));
    EXPECT_FALSE(service->updateRunning());
}

TEST_F(RequestProcessorTest, AnotherCompanyFileOpenIsReportedAsTheSocketPathDoes)
{
    connector({});
    auto p = processor();
    p->openConnection({}, {});
    try {
        p->beginSession(QStringLiteral("C:/Company/Other.qbw"), 2);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), qb::hr::kOtherFileOpen);
    }
    runUntilFinished();
    EXPECT_TRUE(scripted->log().contains(QStringLiteral("sendRequestXML=")));
}

TEST_F(RequestProcessorTest, AWebConnectorThatGoesQuietMidUpdateEndsTheRetrieval)
{
    ScriptedWebConnector::Script script;
    script.quietAfterRequests = 1;
    connector(script);
    auto p = processor({0ms, 300ms, 0});
    p->openConnection({}, {});
    p->beginSession(QString(), 2);
    EXPECT_EQ(p->processRequest("first"), QByteArray("<QBXML/>"));
    try {
        p->processRequest("second");
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), qb::hr::kCouldNotAccess);
        EXPECT_TRUE(e.description().contains(QStringLiteral("stopped calling")))
            << e.description().toStdString();
    }
    EXPECT_TRUE(p->linkLost());
    EXPECT_FALSE(service->updateRunning());
}

TEST_F(RequestProcessorTest, TheUserCanGiveUpWaitingAndAWrongPasswordGetsNoUpdate)
{
    ScriptedWebConnector::Script script;
    script.password = QStringLiteral("wrong");
    auto &wc = connector(script);
    keepWaitingAnswer = false;
    auto p = processor({200ms, 5s, 0});
    try {
        p->openConnection({}, {});
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), qb::hr::kAborted);
    }
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(p->linkLost());
    runUntilFinished();
    EXPECT_EQ(wc.log().last(), QStringLiteral("authenticate=nvu"));
    EXPECT_FALSE(service->updateWanted());

    // After giving up, the next Web Connector call is told there is no work.
    ScriptedWebConnector::Script later;
    auto &again = connector(later);
    runUntilFinished();
    EXPECT_EQ(again.log().last(), QStringLiteral("authenticate=none"));
}

namespace {

// Requests handed out ahead: answered before they are asked for, taken by the processRequest
// with the same text, dropped for another text and at the end of the update.
void sendAheadConversation(RequestProcessorTest &t, WebConnectorService &service)
{
    QStringList answered;
    ScriptedWebConnector::Script script;
    script.answer = [&answered](const QString &request) {
        answered << request;
        return ScriptedWebConnector::Answer{
            "<QBXML>answer to " + request.toUtf8() + "</QBXML>", {}, {}};
    };
    const auto spinUntil = [](const std::function<bool()> &done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return done();
    };
    auto &wc = t.connectorFor(script);
    auto p = t.processorFor({0ms, 5s, 0});
    p->openConnection({}, {});
    p->beginSession(QString(), 2);
    EXPECT_EQ(p->processRequest("one"), QByteArray("<QBXML>answer to one</QBXML>"));

    p->sendAhead("two");
    ASSERT_TRUE(spinUntil([&] { return answered.size() == 2; })); // before it is asked for
    EXPECT_EQ(p->processRequest("two"), QByteArray("<QBXML>answer to two</QBXML>"));

    // Announced, then something else asked: the announced answer is not handed out.
    p->sendAhead("three");
    EXPECT_EQ(p->processRequest("four"), QByteArray("<QBXML>answer to four</QBXML>"));
    EXPECT_EQ(answered, (QStringList{u"one"_s, u"two"_s, u"three"_s, u"four"_s}));

    // Announced and never taken: the update still ends as done.
    p->sendAhead("five");
    ASSERT_TRUE(spinUntil([&] { return answered.size() == 5; }));
    p->endSession();
    p->closeConnection();
    ASSERT_TRUE(spinUntil([&] { return wc.finished(); }));
    EXPECT_TRUE(wc.log().contains(u"receiveResponseXML=100"_s))
        << wc.log().join(u'|').toStdString();
    EXPECT_TRUE(wc.log().last().startsWith(u"closeConnection="_s));
    EXPECT_FALSE(p->linkLost());
    EXPECT_FALSE(service.updateRunning());

    // The next update answers its own request, not the one dropped.
    t.connectorFor(script);
    p->openConnection({}, {});
    p->beginSession(QString(), 2);
    EXPECT_EQ(p->processRequest("six"), QByteArray("<QBXML>answer to six</QBXML>"));
    p->sendAhead("seven");
    p->endSession();
    p->closeConnection();
    t.runUntilFinished();
    EXPECT_FALSE(service.updateRunning());
}

} // namespace

TEST_F(RequestProcessorTest, RequestsSentAheadAreTakenOrDropped)
{
    sendAheadConversation(*this, *service);
}

TEST_F(RequestProcessorTest, RequestsSentAheadAreTakenOrDroppedWithTheServiceOnItsOwnThread)
{
    ASSERT_TRUE(service->runOnOwnThread());
    sendAheadConversation(*this, *service);
    // The service ends with its thread, its connections with it.
    service.reset();
}
