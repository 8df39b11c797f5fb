#include "support/RetrievalFixture.h"

#include "qbxml/ComErrors.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;
using Call = InProcessStandIn::Call;

namespace {

class Session : public RetrievalFixture {};

// Sets or clears a file's immutable attribute; false when the file system or the process's
// rights do not allow it.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

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
    EXPECT_EQ(message.text,
              qb::hr::description(qb::hr::kOtherFileOpen) +
                  u" To try again, close the company file you now have open in Quickbooks, and if "
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
              qb::hr::description(qb::hr::kNoAutoLogin) +
                  u" Make sure you company file is open in Quickbooks, and then try again."_s);
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

TEST_F(Session, UndecodablePathTextIsCaughtAndKeptAside)
{
    useCompany({});
    // Latin-1 text where the system's encoding is UTF-8: no control characters at all.
    folder.write(u"QBPath.txt"_s, "/books/Caf\xe9 Company.qbw\n");
    screen.answerNext(Answer::Ok);  // the notice
    screen.answerNext(Answer::Yes); // Is Quickbooks open?
    EXPECT_TRUE(OpenQB(state));
    ASSERT_EQ(screen.messages().size(), 2u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"QBPath.txt.bad"));
    EXPECT_EQ(folder.read(u"QBPath.txt.bad"_s), "/books/Caf\xe9 Company.qbw\n");
    EXPECT_EQ(folder.read(u"QBPath.txt"_s), standIn.companyPath().toUtf8() + "\n");
}

TEST_F(Session, AReadOnlyPathFileIsReadAndLeftAlone)
{
    const QString company = useCompany({});
    const QString path = folder.file(u"QBPath.txt"_s);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
    // File modes do not stop root from writing; the immutable flag does.
    const bool immutable = ::geteuid() == 0 && setImmutable(path, true);
    if (::geteuid() == 0 && !immutable)
        GTEST_SKIP() << "running as root without a way to make a file read-only";
    struct Restore {
        QString path;
        bool immutable;
        ~Restore()
        {
            if (immutable)
                setImmutable(path, false);
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    } restore{path, immutable};

    EXPECT_TRUE(OpenQB(state));
    EXPECT_TRUE(screen.messages().empty()) << screen.messages()[0].text.toStdString();
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_EQ(folder.read(u"QBPath.txt"_s), company.toUtf8() + "\n");
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
