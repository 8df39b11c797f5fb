#include "app/ui/QtScreen.h"
#include "app/ui/Status.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/TempAppFolder.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMovie>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

class StatusWindowTest : public ::testing::Test {
protected:
    test::TempAppFolder folder;
    QtScreen screen;
    ProgramState state{folder.path(), screen};
};

TEST_F(StatusWindowTest, RecordLoopDrivesTheRealBarAndCloseRemovesEverything)
{
    {
        StatusSession session(state.status());
        Status *window = screen.statusWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Status"));
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(test::control<QFrame>(window, "Shape1")->isVisible())
            << "the bar is hidden until records are written";
        EXPECT_EQ(state.status().fullWidth(), window->barDesignWidth());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

        session->startRecords(
            4, QStringLiteral("Updating the Customers table in the QBData database..."));
        EXPECT_EQ(test::control<QLabel>(window, "Msg")->text(),
                  QStringLiteral("Updating the Customers table in the QBData database..."));
        session->progress(2);
        EXPECT_TRUE(test::control<QFrame>(window, "Shape1")->isVisible());
        EXPECT_EQ(test::control<QFrame>(window, "Shape1")->width(), window->barDesignWidth() / 2);
        session->progress(4);
        EXPECT_EQ(test::control<QFrame>(window, "Shape1")->width(), window->barDesignWidth());
    }
    EXPECT_EQ(screen.statusWindow(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(StatusWindowTest, EachOpenStartsWithAFreshWindow)
{
    state.status().open();
    state.status().startRecords(2, QStringLiteral("x"));
    state.status().progress(1);
    state.status().close();
    state.status().open();
    EXPECT_FALSE(test::control<QFrame>(screen.statusWindow(), "Shape1")->isVisible());
    EXPECT_TRUE(test::control<QLabel>(screen.statusWindow(), "Msg")->text().isEmpty());
    EXPECT_EQ(state.status().fullWidth(), screen.statusWindow()->barDesignWidth());
    state.status().close();
}

TEST_F(StatusWindowTest, TheClipPlaysWhenPresentAndIsSimplyAbsentOtherwise)
{
    StatusSession session(state.status());
    session->playAnimation(); // no clip in this folder
    EXPECT_EQ(test::control<QLabel>(screen.statusWindow(), "Animation1")->movie(), nullptr);
    session->stopAnimation();

    ASSERT_TRUE(QFile::copy(QStringLiteral(CORVINA_SOURCE_DIR "/data/Download.gif"),
                            folder.file(QStringLiteral("Download.gif"))));
    session->playAnimation();
    QMovie *movie = test::control<QLabel>(screen.statusWindow(), "Animation1")->movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->state(), QMovie::Running);
    EXPECT_GT(movie->frameCount(), 1);
    session->stopAnimation();
    EXPECT_EQ(test::control<QLabel>(screen.statusWindow(), "Animation1")->movie(), nullptr);
}

} // namespace
