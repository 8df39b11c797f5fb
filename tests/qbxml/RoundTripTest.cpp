// The request library against the stand-in program over a real socket.
#include "support/StandIn.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"
#include "qbxml/Records.h"
#include "qbxml/SessionManager.h"
#include "qbxml/SocketRequestProcessor.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::qb;
using namespace Qt::StringLiterals;

namespace {

const QString kCompany = QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/company-small.qbxml");

std::unique_ptr<SessionManager> manager(const test::StandIn &standIn)
{
    return std::make_unique<SessionManager>(
        std::make_unique<SocketRequestProcessor>(standIn.socketPath()));
}

// Runs `body`, expecting it to fail with `number`; returns the error's description.
template <class F> QString failure(std::int32_t number, F body)
{
    try {
        body();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), number) << e.description().toStdString();
        return e.description();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(standIn.started()) << standIn.log().toStdString();
        session = manager(standIn);
        session->openConnection(u"1234"_s, u"Fenwick"_s);
        session->beginSession(QString(), OpenMode::DontCare);
        requests = session->createMsgSetRequest(2, 1);
        requests->setOnError(OnError::Continue);
    }

    const Response &send(ResponseSet &holder)
    {
        holder = session->doRequests(*requests);
        EXPECT_EQ(holder.count(), requests->count());
        return holder.response(0);
    }

    test::StandIn standIn{QStringLiteral(CORVINA_QBSIM_PATH), kCompany};
    std::unique_ptr<SessionManager> session;
    std::unique_ptr<RequestSet> requests;
};

} // namespace

TEST_F(RoundTrip, SessionNamesTheOpenCompanyFile)
{
    EXPECT_EQ(QFileInfo(session->currentCompanyFileName()).canonicalFilePath(),
              QFileInfo(kCompany).canonicalFilePath());
    session->endSession();
    session->closeConnection();
}

TEST_F(RoundTrip, CustomersActiveOnlyWithJobs)
{
    requests->appendCustomerQuery();
    ResponseSet answer;
    const Response &r = send(answer);
    ASSERT_EQ(r.statusCode(), 0) << r.statusMessage().toStdString();
    ASSERT_EQ(r.count(), 3); // the inactive customer stays out
    EXPECT_TRUE(CustomerRet(r.record(1)).parentRef());
    EXPECT_EQ(CustomerRet(r.record(0)).billAddress()->addr4, u"Suite 4"_s);
}

TEST_F(RoundTrip, InvoicesWithLinesInADateRange)
{
    InvoiceQuery &q = requests->appendInvoiceQuery();
    q.setIncludeLineItems(true);
    q.setFromTxnDate(QDate(2003, 5, 13));
    ResponseSet answer;
    const Response &r = send(answer);
    ASSERT_EQ(r.statusCode(), 0);
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(InvoiceRet(r.record(0)).refNumber(), u"1052"_s);
    EXPECT_EQ(InvoiceRet(r.record(0)).lines().size(), 2u);

    requests->clear();
    requests->appendInvoiceQuery().setIncludeLineItems(true);
    const Response &all = send(answer);
    ASSERT_EQ(all.count(), 2);
    ASSERT_EQ(InvoiceRet(all.record(0)).lines().size(), 5u);
    EXPECT_EQ(InvoiceRet(all.record(0)).lines()[1].group()->lines().size(), 3u);
}

TEST_F(RoundTrip, ItemsOfEveryKindAndSalesReps)
{
    requests->appendItemQuery();
    requests->appendSalesRepQuery();
    ResponseSet answer;
    const Response &items = send(answer);
    ASSERT_EQ(items.statusCode(), 0);
    std::set<ItemKind> kinds;
    for (int i = 0; i < items.count(); ++i) {
        const ItemEntry e(items.record(i));
        ASSERT_TRUE(e.kind());
        EXPECT_NE(e.record(*e.kind())->isActive(), false);
        kinds.insert(*e.kind());
    }
    EXPECT_EQ(kinds.size(), 11u);

    const Response &reps = answer.response(1);
    ASSERT_EQ(reps.count(), 2);
    EXPECT_EQ(SalesRepRet(reps.record(0)).initial(), u"JMH"_s);
}

TEST_F(RoundTrip, NoMatchIsANonZeroStatusWithItsMessage)
{
    InvoiceQuery &q = requests->appendInvoiceQuery();
    q.setFromTxnDate(QDate(2020, 1, 1));
    ResponseSet answer;
    const Response &r = send(answer);
    EXPECT_EQ(r.statusCode(), 1);
    EXPECT_EQ(r.count(), 0);
    EXPECT_FALSE(r.statusMessage().isEmpty());
}

TEST(RoundTripSession, SessionErrorsCarryTheRequestProcessorsNumbers)
{
    test::StandIn company(QStringLiteral(CORVINA_QBSIM_PATH), kCompany);
    ASSERT_TRUE(company.started()) << company.log().toStdString();
    auto session = manager(company);
    session->openConnection(u"1234"_s, u"Fenwick"_s);
    const QString wrong = failure(hr::kOtherFileOpen, [&] {
        session->beginSession(u"/elsewhere/Other Company.qbw"_s, OpenMode::DontCare);
    });
    EXPECT_EQ(wrong, hr::description(hr::kOtherFileOpen));
    session->beginSession(kCompany, OpenMode::DontCare); // the open file by its own path

    test::StandIn empty(QStringLiteral(CORVINA_QBSIM_PATH), QString());
    ASSERT_TRUE(empty.started()) << empty.log().toStdString();
    auto none = manager(empty);
    none->openConnection(u"1234"_s, u"Fenwick"_s);
    EXPECT_EQ(failure(hr::kNoAutoLogin, [&] { none->beginSession(QString(), OpenMode::DontCare); }),
              hr::description(hr::kNoAutoLogin));
}

TEST(RoundTripSession, AMissingOrVanishedStandInCannotBeAccessed)
{
    auto nobody = std::make_unique<SessionManager>(
        std::make_unique<SocketRequestProcessor>(u"/nonexistent/qbsim.sock"_s));
    failure(hr::kCouldNotAccess, [&] { nobody->openConnection(u"1234"_s, u"Fenwick"_s); });

    test::StandIn company(QStringLiteral(CORVINA_QBSIM_PATH), kCompany);
    ASSERT_TRUE(company.started()) << company.log().toStdString();
    // While waiting, the processor lets the caller's windows paint; a stand-in that goes
    // away is still noticed.
    auto processor = std::make_unique<SocketRequestProcessor>(company.socketPath());
    int waits = 0;
    processor->setWaitHook([&] { ++waits; });
    auto session = std::make_unique<SessionManager>(std::move(processor));
    session->openConnection(u"1234"_s, u"Fenwick"_s);
    session->beginSession(QString(), OpenMode::DontCare);
    company.kill();
    RequestSet requests(2, 1);
    requests.appendCustomerQuery();
    failure(hr::kCouldNotAccess, [&] { (void)session->doRequests(requests); });
}
