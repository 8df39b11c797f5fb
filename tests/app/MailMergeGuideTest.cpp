#include "app/MailMergeGuide.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

// A folder of fake programs, each recording its argument vector one per line.
class FakePrograms {
public:
    explicit FakePrograms(const test::TempAppFolder &root)
        : m_dir(root.file(QStringLiteral("bin"))), m_record(root.file(QStringLiteral("args.txt")))
    {
        QDir().mkpath(m_dir);
    }
    // The program records its arguments, then exits with `exitCode`.
    void install(const QString &name, int exitCode = 0) const
    {
        const QString path = m_dir + QLatin1Char('/') + name;
        QFile script(path);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                     m_record.toUtf8() + ".tmp\"\nmv \"" + m_record.toUtf8() + ".tmp\" \"" +
                     m_record.toUtf8() + "\"\nexit " + QByteArray::number(exitCode) + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList paths() const { return {m_dir}; }
    QStringList recordedArguments() const
    {
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(m_record) && !deadline.hasExpired())
            QThread::msleep(10);
        QFile file(m_record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_dir;
    QString m_record;
};

class MailMergeGuideTest : public ::testing::Test {
protected:
    MailMergeGuideTest() { QDir().mkpath(appFolder); }
    test::TempAppFolder root;
    // A folder name with spaces and a quote: it must reach the word processor as one argument.
    QString appFolder = root.file(QStringLiteral("My Office/Corvina \"2026\""));
    test::ScriptedScreen screen;
    ProgramState state{appFolder, screen};
    FakePrograms programs{root};
};

TEST_F(MailMergeGuideTest, WriterGetsTheGuideAsOneArgument)
{
    programs.install(QStringLiteral("xdg-open"));
    programs.install(QStringLiteral("libreoffice"));
    openMailMergeGuide(state, startProgram, programs.paths());

    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(programs.recordedArguments(),
              (QStringList{QStringLiteral("--writer"),
                           appFolder + QStringLiteral("/MailMergeOverview.doc")}));
}

TEST_F(MailMergeGuideTest, WithoutWriterTheDesktopOpenerIsUsed)
{
    programs.install(QStringLiteral("xdg-open"));
    openMailMergeGuide(state, startProgram, programs.paths());

    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(programs.recordedArguments(),
              QStringList{appFolder + QStringLiteral("/MailMergeOverview.doc")});
}

TEST_F(MailMergeGuideTest, NoWordProcessorTellsWhereTheGuideIs)
{
    screen.answerNext(Answer::Ok);
    openMailMergeGuide(state, startProgram, programs.paths());

    ASSERT_EQ(screen.messages().size(), 1u);
    const auto &box = screen.messages().front();
    EXPECT_EQ(box.title, QStringLiteral("Application Not Found"));
    EXPECT_EQ(box.buttons, Buttons::Ok);
    EXPECT_EQ(box.text, QStringLiteral("Unable to launch Word. Please double-click "
                                       "\"MailMergeOverview.doc\" in your ") +
                            appFolder + QStringLiteral(" folder to see the requested document."));
}

TEST_F(MailMergeGuideTest, AStartThatFailsIsReportedTheSameWay)
{
    programs.install(QStringLiteral("soffice"));
    std::optional<LaunchCommand> tried;
    screen.answerNext(Answer::Ok);
    openMailMergeGuide(
        state,
        [&](const LaunchCommand &command, const std::function<void()> &) {
            tried = command;
            return false;
        },
        programs.paths());

    ASSERT_TRUE(tried.has_value());
    EXPECT_TRUE(tried->program.endsWith(QStringLiteral("/soffice")));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages().front().title, QStringLiteral("Application Not Found"));
}

// The desktop opener starts, finds no program for the document and exits non-zero: the
// user is told as when nothing could be started. One that succeeds says nothing.
TEST_F(MailMergeGuideTest, AnOpenerThatFindsNoProgramIsReported)
{
    const auto waitForExit = [&](std::size_t messages, int milliseconds) {
        QDeadlineTimer deadline(milliseconds);
        while (screen.messages().size() < messages && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    programs.install(QStringLiteral("xdg-open"), 0);
    openMailMergeGuide(state, startProgram, programs.paths());
    programs.recordedArguments();
    waitForExit(1, 1500); // runs until the deadline: no message may come
    EXPECT_TRUE(screen.messages().empty());

    QFile::remove(root.file(QStringLiteral("args.txt")));
    programs.install(QStringLiteral("xdg-open"), 3);
    screen.answerNext(Answer::Ok);
    openMailMergeGuide(state, startProgram, programs.paths());
    EXPECT_EQ(programs.recordedArguments(),
              QStringList{appFolder + QStringLiteral("/MailMergeOverview.doc")});
    waitForExit(1, 10000);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages().front().title, QStringLiteral("Application Not Found"));
    EXPECT_TRUE(screen.messages().front().text.contains(appFolder));
}

} // namespace
