#include "base/StatusDisplay.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace corvina;

namespace {

class StatusDisplayTest : public ::testing::Test {
protected:
    StatusDisplayTest() { screen.setBarDesignWidth(300); }
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    StatusDisplay &status = state.status();
};

TEST_F(StatusDisplayTest, OpenReadsTheFullWidthHidesTheBarAndYields)
{
    status.open();
    status.busyPointer();
    status.step(QStringLiteral("Retrieving customers from Quickbooks..."));
    EXPECT_EQ(status.fullWidth(), 300);
    EXPECT_EQ(screen.events(),
              (QStringList{QStringLiteral("show"), QStringLiteral("bar:0:hidden"),
                           QStringLiteral("yield"), QStringLiteral("busy"),
                           QStringLiteral("text:Retrieving customers from Quickbooks..."),
                           QStringLiteral("yield")}));
}

TEST_F(StatusDisplayTest, ALoopOverOneRecordFillsTheBarInOneStep)
{
    status.open();
    status.startRecords(1, QStringLiteral("Updating"));
    EXPECT_TRUE(screen.barVisible());
    EXPECT_EQ(screen.barWidth(), 0);
    status.progress(1);
    EXPECT_EQ(screen.barWidth(), 300);
    EXPECT_EQ(screen.events().last(), QStringLiteral("yield"));
}

TEST_F(StatusDisplayTest, ALoopWithNoRecordsShowsAnEmptyBarAndStillCloses)
{
    {
        StatusSession session(status);
        session->startRecords(0, QStringLiteral("Updating"));
        session->progress(0);
        EXPECT_TRUE(screen.barVisible());
        EXPECT_EQ(screen.barWidth(), 0);
    }
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

TEST_F(StatusDisplayTest, ManyRecordsGrowTheBarSteadilyAndYieldAboutSixtyTimesASecond)
{
    status.open();
    status.startRecords(100000, QStringLiteral("Updating"));
    const qsizetype before = screen.events().count(QStringLiteral("yield"));
    int lastWidth = 0;
    for (int i = 0; i < 100000; ++i) {
        if (i % 100 == 0)
            screen.advanceSteadyClock(std::chrono::milliseconds(1)); // a second in all
        status.progress(i + 1);
        ASSERT_GE(screen.barWidth(), lastWidth);
        lastWidth = screen.barWidth();
        if (i == 50000) {
            EXPECT_EQ(screen.barWidth(), 150);
        }
    }
    EXPECT_EQ(screen.barWidth(), 300);
    EXPECT_EQ(screen.events().last(), QStringLiteral("yield")) << "the full bar is painted";
    const qsizetype yields = screen.events().count(QStringLiteral("yield")) - before;
    EXPECT_NEAR(static_cast<double>(yields), 1000 / 16 + 1, 1)
        << "every 16 ms and after the last record";
}

TEST_F(StatusDisplayTest, SlowRecordsYieldAfterEachOne)
{
    status.open();
    status.startRecords(3, QStringLiteral("Updating"));
    const qsizetype before = screen.events().count(QStringLiteral("yield"));
    for (int i = 0; i < 3; ++i) {
        screen.advanceSteadyClock(std::chrono::milliseconds(20));
        status.progress(i + 1);
    }
    EXPECT_EQ(screen.events().count(QStringLiteral("yield")) - before, 3);
}

TEST_F(StatusDisplayTest, EveryWayOutClosesTheWindowAndRestoresThePointer)
{
    EXPECT_THROW(
        {
            StatusSession session(status);
            session->playAnimation();
            throw std::runtime_error("QuickBooks went away");
        },
        std::runtime_error);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
    EXPECT_EQ(
        screen.eventsWithout(QStringLiteral("yield")),
        (QStringList{QStringLiteral("show"), QStringLiteral("bar:0:hidden"), QStringLiteral("busy"),
                     QStringLiteral("play:") + folder.file(QStringLiteral("Download.gif")),
                     QStringLiteral("idle"), QStringLiteral("stop"), QStringLiteral("close")}));

    // Closing again (a caller's own exit steps after the guard) changes nothing.
    const qsizetype events = screen.events().size();
    status.close();
    EXPECT_EQ(screen.events().size(), events + 1); // only the pointer reset
}

} // namespace
