#include "base/ErrorReport.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;

namespace {

const QString kExpectedFirst =
    QStringLiteral("An unexpected error has been encountered. Please provide the information "
                   "below to Halvard so they can resolve this issue:\r\r"
                   "Procedure Name: GetInvoices\r"
                   "Error Description: The database is in use\r"
                   "Error Number: -2147467259\r"
                   "Line Number: 120\r\r");

class ErrorReportTest : public ::testing::Test {
protected:
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
};

TEST_F(ErrorReportTest, FirstReportShowsTheWholeTextInABoxTitledError)
{
    screen.answerNext(Answer::Ok);
    state.showError(QStringLiteral("GetInvoices"), QStringLiteral("The database is in use"),
                    -2147467259, 120);

    ASSERT_EQ(screen.messages().size(), 1u);
    const auto &box = screen.messages().front();
    EXPECT_EQ(box.title, QStringLiteral("Error"));
    EXPECT_EQ(box.buttons, Buttons::Ok);
    EXPECT_TRUE(box.text.startsWith(kExpectedFirst)) << box.text.toStdString();
    // The closing sentence names where to find the maker's address, on its own after the blank
    // line.
    const QString closing = box.text.mid(kExpectedFirst.size());
    EXPECT_TRUE(closing.contains(QStringLiteral("www.")));
    EXPECT_FALSE(closing.contains(QLatin1Char('\r')));
    EXPECT_FALSE(box.text.contains(QLatin1Char('\n'))) << "lines are separated by a lone CR";
}

TEST_F(ErrorReportTest, LaterReportsAreSilentButCountedAndLogged)
{
    screen.answerNext(Answer::Ok);
    state.showError(QStringLiteral("GetCustomers"), QStringLiteral("first"), 5, 10);
    state.showError(QStringLiteral("GetCustomers"), QStringLiteral("second"), 6, 20);
    state.showError(QStringLiteral("GetItems"), QStringLiteral("third"), 7, 30);

    EXPECT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(state.errors().count(), 3);
    const QString log = QString::fromUtf8(folder.read(QStringLiteral("Corvina.log")));
    EXPECT_EQ(log.count(QLatin1Char('\n')), 3);
    EXPECT_TRUE(log.contains(QStringLiteral("GetItems\terror 7\tline 30\tthird")));
}

TEST_F(ErrorReportTest, EachActionShowsItsFirstReportAndNestedActionsHaveTheirOwn)
{
    const auto report = [&](const char *what) {
        state.showError(QStringLiteral("GetCustomers"), QString::fromLatin1(what), 1, 10);
    };
    for (int i = 0; i < 4; ++i)
        screen.answerNext(Answer::Ok);
    {
        ErrorReport::Action first(state.errors());
        report("a1");
        {
            // Started from a window while the first action waits on QuickBooks.
            ErrorReport::Action inner(state.errors());
            report("b1");
            report("b2");
        }
        report("a2"); // the outer action has told the user already
    }
    {
        ErrorReport::Action second(state.errors());
        state.errors().logOnly(QStringLiteral("GetCustomers"), QStringLiteral("gave up"), 2, 50);
        report("c1"); // the user chose to stop waiting: that was this action's telling
    }
    report("outside1");
    {
        ErrorReport::Action third(state.errors());
        report("d1");
    }
    report("outside2"); // outside actions only the first of the run shows

    QStringList shown;
    for (const auto &m : screen.messages())
        shown << m.text.section(QStringLiteral("Error Description: "), 1)
                     .section(QLatin1Char('\r'), 0, 0);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("a1"), QStringLiteral("b1"),
                                  QStringLiteral("outside1"), QStringLiteral("d1")}));
    EXPECT_EQ(state.errors().count(), 9);
    EXPECT_EQ(folder.read(QStringLiteral("Corvina.log")).count('\n'), 9);
}

TEST_F(ErrorReportTest, EmptyDescriptionLeavesItsLabelAlone)
{
    const QString text = ErrorReport::messageText(QStringLiteral("OpenQB"), QString(), 0, 0);
    EXPECT_TRUE(text.contains(
        QStringLiteral("\rError Description: \rError Number: 0\rLine Number: 0\r\r")));
}

TEST_F(ErrorReportTest, AnUnwritableLogDoesNotStopTheReport)
{
    ErrorReport report(screen, folder.file(QStringLiteral("no/such/folder/Corvina.log")));
    screen.answerNext(Answer::Ok);
    report.show(QStringLiteral("GetReps"), QStringLiteral("x"), 1, 10);
    EXPECT_EQ(screen.messages().size(), 1u);
}

} // namespace
