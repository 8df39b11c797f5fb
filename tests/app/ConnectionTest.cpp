#include "app/Connection.h"
#include "base/Error.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

// The settings switch the program between the stand-in's socket and the Web Connector's
// service; the service makes its certificate on first use, its key readable by the user only.
TEST(ConnectionTest, SettingsChooseTheServiceOrTheSocket)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state(folder.path(), screen);
    EXPECT_EQ(loadConnectionSettings(state).mode, wc::ConnectionSettings::Mode::Socket);
    applyConnectionSettings(state, loadConnectionSettings(state));
    EXPECT_FALSE(state.quickBooks().webConnector);

    wc::ConnectionSettings settings;
    settings.mode = wc::ConnectionSettings::Mode::WebConnector;
    settings.port = freePort();
    settings.quietTimeoutSeconds = 42;
    // Without a password the service does not start.
    EXPECT_THROW(applyConnectionSettings(state, settings), Error);
    EXPECT_FALSE(state.quickBooks().webConnector);

    settings.password = wc::PasswordHash::make(QStringLiteral("pw"), 1000);
    applyConnectionSettings(state, settings);
    ASSERT_TRUE(state.quickBooks().webConnector);
    EXPECT_EQ(state.quickBooks().webConnectorOptions.quietTimeout, std::chrono::seconds(42));
    const QString key = state.appFile(QStringLiteral("corvina.key"));
    ASSERT_TRUE(QFile::exists(state.appFile(QStringLiteral("corvina.crt"))));
    EXPECT_EQ(QFile::permissions(key) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());

    // Not while a session is open; back to the socket afterwards.
    state.quickBooks().sessionOpen = true;
    settings.mode = wc::ConnectionSettings::Mode::Socket;
    EXPECT_THROW(applyConnectionSettings(state, settings), Error);
    EXPECT_TRUE(state.quickBooks().webConnector);
    state.quickBooks().sessionOpen = false;
    applyConnectionSettings(state, settings);
    EXPECT_FALSE(state.quickBooks().webConnector);
}

// "Setup guide..." opens the Web Connector guide of the shared folder as the mail-merge guide
// is opened; with nothing to open it, the user is told where it is.
TEST(ConnectionTest, SetupGuideOpensTheWebConnectorGuide)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state(folder.path(), screen);
    const QString bin = folder.path() + QStringLiteral("/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile opener(bin + QStringLiteral("/xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexit 0\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    std::optional<LaunchCommand> launched;
    const auto launch = [&](const LaunchCommand &command, const std::function<void()> &) {
        launched = command;
        return true;
    };
    openWebConnectorGuide(state, launch, {bin});
    ASSERT_TRUE(launched);
    EXPECT_EQ(launched->arguments, QStringList{state.sharedFile(kWebConnectorGuide)});
    EXPECT_TRUE(launched->arguments.front().endsWith(QStringLiteral("/WebConnectorSetup.doc")));
    EXPECT_TRUE(screen.messages().empty());

    screen.answerNext(Answer::Ok);
    openWebConnectorGuide(state, launch, {folder.path() + QStringLiteral("/nowhere")});
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages().front().title, QStringLiteral("Application Not Found"));
    EXPECT_TRUE(screen.messages().front().text.contains(QStringLiteral("WebConnectorSetup.doc")));
    EXPECT_TRUE(screen.messages().front().text.contains(state.sharedFolder()));
}
