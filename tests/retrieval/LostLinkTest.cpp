// A QuickBooks that goes away or falls silent in the middle of a retrieval: the run of the
// program carries on, later retrievals reach QuickBooks again, and the user is told once.
#include "support/RetrievalFixture.h"

#include "qbxml/ComErrors.h"
#include "retrieval/Retrievals.h"
#include "support/StandIn.h"

#include <QElapsedTimer>
#include <QFile>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;
using Call = InProcessStandIn::Call;

namespace {

const QString kCompany = QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/company-small.qbxml");
const QString kRetrievingCustomers = u"Retrieving customers from Quickbooks..."_s;

// The retrievals reach a `qbsim serve` process over its socket, as the program does.
class LostLink : public RetrievalFixture {
protected:
    void reach(const StandIn &program)
    {
        ASSERT_TRUE(program.started()) << program.log().toStdString();
        state.quickBooks().makeProcessor = nullptr;
        state.quickBooks().socketPath = program.socketPath();
        folder.write(u"QBPath.txt"_s, kCompany.toUtf8() + "\n");
    }

    QByteArray log() const { return folder.read(u"Corvina.log"_s); }
};

const QStringList kSlow{u"--quiet"_s, u"--answer-delay"_s, u"60000"_s};
const QStringList kSilent{u"--quiet"_s, u"--answer-delay"_s, u"never"_s};
const QStringList kPrompt{u"--quiet"_s};

} // namespace

TEST_F(LostLink, AStandInKilledMidRequestAndRestartedServesTheNextRetrieval)
{
    StandIn program(QStringLiteral(CORVINA_QBSIM_PATH), kCompany, kSlow);
    reach(program);
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    bool killed = false;
    int waiting = 0; // yields under the step text: its own, then those while the answer is awaited
    screen.onYield([&] {
        if (!killed && screen.statusText() == kRetrievingCustomers && ++waiting == 3) {
            killed = true;
            program.kill(); // while the answer is held back
        }
    });
    screen.answerNext(Answer::Ok);
    state.runRetrieval(GetCustomers);
    ASSERT_TRUE(killed);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Error");
    EXPECT_TRUE(screen.messages()[0].text.contains(u"lost before it answered"))
        << screen.messages()[0].text.toStdString();
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);
    // The session ended with the link: the next retrieval opens a new one.
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_FALSE(state.quickBooks().sessionManager);

    ASSERT_TRUE(program.restart(kPrompt)) << program.log().toStdString();
    state.runRetrieval(GetCustomers);
    EXPECT_EQ(screen.messages().size(), 1u) << screen.messages().back().text.toStdString();
    EXPECT_EQ(count(u"Customers"_s), 2); // the small company's top-level customers
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(LostLink, ASilentStandInAsksAfterThePatienceAndGivingUpKeepsTheOldRows)
{
    StandIn program(QStringLiteral(CORVINA_QBSIM_PATH), kCompany, kSilent);
    reach(program);
    state.quickBooks().answerPatience = std::chrono::milliseconds(300);
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    screen.answerNext(Answer::Yes); // keep waiting
    screen.answerNext(Answer::No);  // give up

    QElapsedTimer clock;
    clock.start();
    state.runRetrieval(GetCustomers);
    EXPECT_GE(clock.elapsed(), 600);
    ASSERT_EQ(screen.messages().size(), 2u); // the two questions, no error box after them
    for (const auto &m : screen.messages()) {
        EXPECT_EQ(m.title, u"Waiting for Quickbooks");
        EXPECT_EQ(m.buttons, Buttons::YesNo);
        EXPECT_TRUE(m.text.contains(u"has not answered for 0 seconds"_s)) << m.text.toStdString();
        EXPECT_TRUE(m.text.contains(u"\r\rDo you want to keep waiting?"_s));
    }
    // The windows kept painting while QuickBooks was silent.
    EXPECT_GT(screen.events().count(u"yield"_s), 20);
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_TRUE(log().contains("GetCustomers")) << log().toStdString();
    EXPECT_TRUE(log().contains("given up"));

    // QuickBooks answers again: so does the next retrieval.
    ASSERT_TRUE(program.restart(kPrompt)) << program.log().toStdString();
    state.runRetrieval(GetCustomers);
    EXPECT_EQ(screen.messages().size(), 2u);
    EXPECT_EQ(count(u"Customers"_s), 2);
}

TEST_F(LostLink, EachFailingActionTellsOnceAndTheRestGoesToTheLog)
{
    useSmallCompany();
    // The rep retrieval carries on after a failure, so one run can fail twice.
    const auto failTwice = [&] {
        standIn.failNext(Call::ProcessRequest, qb::hr::kUnexpected, u"first failure"_s);
        standIn.failNext(Call::EndSession, qb::hr::kUnexpected, u"second failure"_s);
    };
    failTwice();
    screen.answerNext(Answer::Ok);
    state.runRetrieval(GetReps);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"first failure"));

    // A later action that fails tells the user again.
    failTwice();
    screen.answerNext(Answer::Ok);
    state.runRetrieval(GetReps);
    ASSERT_EQ(screen.messages().size(), 2u);
    EXPECT_TRUE(screen.messages()[1].text.contains(u"first failure"));

    EXPECT_EQ(state.errors().count(), 4);
    EXPECT_EQ(log().count("second failure"), 2);
    EXPECT_EQ(log().count("first failure"), 2);
}
