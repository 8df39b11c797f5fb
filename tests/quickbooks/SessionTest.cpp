#include "RetrievalFixture.h"

#include "quickbooks/ComErrors.h"
#include "quickbooks/Retrievals.h"
#include "quickbooks/Session.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;
using Call = InProcessStandIn::Call;

namespace {

class Session : public RetrievalFixture {};

} // namespace

TEST_F(Session, FirstRunAsksAndRemembersTheOpenFile)
{
    const QString company = writeCompany(folder.path(), {}, {}, {}, {});
    standIn.open(company);
    screen.answerNext(Answer::Yes);

    EXPECT_TRUE(OpenQB(state));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Open Quickbooks");
    EXPECT_EQ(screen.messages()[0].buttons, Buttons::YesNoCancel);
    EXPECT_TRUE(screen.messages()[0].text.endsWith(u"\r\rIs Quickbooks open?"));
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_TRUE(state.quickBooks().requests);
    EXPECT_EQ(folder.read(u"QBPath.txt"_s), standIn.companyPath().toUtf8() + "\n");

    // Later sessions ask for that very file and ask no question.
    CloseQB(state);
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_TRUE(OpenQB(state));
    EXPECT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(standIn.sessions(), 2);
}

TEST_F(Session, FirstRunDeclinedLeavesAnEmptyPathFile)
{
    for (Answer answer : {Answer::No, Answer::Cancel}) {
        screen.answerNext(answer);
        EXPECT_FALSE(OpenQB(state));
        EXPECT_FALSE(state.quickBooks().sessionManager);
        EXPECT_FALSE(state.quickBooks().sessionOpen);
        EXPECT_TRUE(folder.exists(u"QBPath.txt"_s));
        EXPECT_TRUE(folder.read(u"QBPath.txt"_s).isEmpty());
    }
    EXPECT_EQ(standIn.connections(), 0);
}

TEST_F(Session, WrongFileOpenNamesTheFileAndRetriesFromAFreshManager)
{
    useCompany({});
    folder.write(u"QBPath.txt"_s, "C:\\Books\\Other Company.qbw\r\n");
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::No);

    EXPECT_FALSE(OpenQB(state));
    ASSERT_EQ(screen.messages().size(), 2u);
    const auto &message = screen.messages()[0];
    EXPECT_EQ(message.title, u"Wrong Company File Open");
    EXPECT_EQ(message.buttons, Buttons::YesNo);
    EXPECT_EQ(message.text, qb::hr::description(qb::hr::kOtherFileOpen)
                                + u" To try again, close the company file you now have open in Quickbooks, and if "
                                  u"you haven't already configured it for automatic login, open the company file "
                                  u"Other Company.qbw. Then click \"Yes\" below to continue."_s);
    EXPECT_EQ(standIn.connections(), 2); // Yes tried again with a new connection
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_EQ(folder.read(u"QBPath.txt"_s), "C:\\Books\\Other Company.qbw\r\n");
}

TEST_F(Session, WrongFileThenYesSucceedsOnceTheRightFileIsOpen)
{
    const QString right = useCompany({});
    standIn.open(writeCompany(folder.path(), {}, {}, {}, {}, u"Other.qbw"_s));
    screen.answerNext(Answer::Yes);
    screen.onMessage([&](const QString &) { standIn.open(right); });
    EXPECT_TRUE(OpenQB(state));
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_EQ(standIn.openSessions(), 1);
}

TEST_F(Session, NoCompanyFileOpen)
{
    folder.write(u"QBPath.txt"_s, "/books/Company.qbw\n");
    screen.answerNext(Answer::Ok);
    EXPECT_FALSE(OpenQB(state));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Open Company File");
    EXPECT_EQ(screen.messages()[0].text,
              qb::hr::description(qb::hr::kNoAutoLogin)
                  + u" Make sure you company file is open in Quickbooks, and then try again."_s);
    EXPECT_FALSE(state.quickBooks().sessionOpen);
}

TEST_F(Session, UnexpectedErrorsAreReportedWithTheirStep)
{
    useCompany({});
    standIn.failNext(Call::OpenConnection, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok);
    EXPECT_FALSE(OpenQB(state));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Error");
    EXPECT_TRUE(screen.messages()[0].text.contains(u"OpenQB"));
    EXPECT_TRUE(screen.messages()[0].text.contains(u"40"));
    EXPECT_EQ(state.errors().count(), 1);
}

TEST_F(Session, RubbishPathFileIsKeptAsideAndAskedAgain)
{
    useCompany({});
    folder.write(u"QBPath.txt"_s, QByteArray("\x01\xff\xfe garbage\x00\x02", 13));
    screen.answerNext(Answer::Ok);  // the notice
    screen.answerNext(Answer::Yes); // Is Quickbooks open?
    EXPECT_TRUE(OpenQB(state));
    EXPECT_TRUE(folder.exists(u"QBPath.txt.bad"_s));
    EXPECT_EQ(folder.read(u"QBPath.txt"_s), standIn.companyPath().toUtf8() + "\n");
    EXPECT_EQ(screen.messages()[1].title, u"Open Quickbooks");
}

TEST_F(Session, CloseWithoutSessionOnlyClearsTheState)
{
    state.quickBooks().requests = std::make_unique<qb::RequestSet>(2, 1);
    state.quickBooks().sessionOpen = true;
    CloseQB(state);
    EXPECT_FALSE(state.quickBooks().requests);
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_EQ(standIn.connections(), 0);
}

TEST_F(Session, RetrievalsShareTheSessionUntilItemsOrRepsEndIt)
{
    useSmallCompany();
    GetCustomers(state);
    GetCustomers(state);
    EXPECT_EQ(standIn.connections(), 1);
    EXPECT_TRUE(state.quickBooks().sessionOpen);

    GetItems(state); // ends the session
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_EQ(standIn.openSessions(), 0);
    GetCustomers(state);
    EXPECT_EQ(standIn.connections(), 2);

    GetReps(state); // always a session of its own, ended at its end
    EXPECT_EQ(standIn.connections(), 3);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_TRUE(screen.messages().empty());
}
