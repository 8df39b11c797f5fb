#include "app/AppFolder.h"
#include "app/MailMergeGuide.h"
#include "base/Error.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

class AppFolderTest : public ::testing::Test {
protected:
    QString make(const QString &relative) const
    {
        const QString path = root.file(relative);
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }
    QString home() const { return root.file(QStringLiteral("home")); }
    QProcessEnvironment env(const QString &xdgDataHome = {}) const
    {
        QProcessEnvironment e;
        e.insert(QStringLiteral("HOME"), home());
        if (!xdgDataHome.isEmpty())
            e.insert(QStringLiteral("XDG_DATA_HOME"), xdgDataHome);
        return e;
    }
    // An installed prefix: <prefix>/bin beside <prefix>/share/corvina.
    QString installedBin()
    {
        make(QStringLiteral("usr/share/corvina"));
        return make(QStringLiteral("usr/bin"));
    }

    test::TempAppFolder root;
};

TEST_F(AppFolderTest, AFolderOfItsOwnKeepsEverythingBesideTheProgram)
{
    struct Case {
        const char *name;
        QString folder;
    };
    // A copy in a folder called bin counts as installed only with share/corvina beside it.
    const std::vector<Case> cases = {
        {"build tree", make(QStringLiteral("src/build/app"))},
        {"copied folder", make(QStringLiteral("Office Tools/Corvina"))},
        {"a bin folder without share/corvina", make(QStringLiteral("tools/bin"))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(installPrefix(c.folder).isEmpty());
        const AppFolders folders = locateAppFolders(c.folder, {}, env());
        EXPECT_FALSE(folders.installed);
        EXPECT_EQ(folders.appFolder, c.folder);
        EXPECT_EQ(folders.sharedFolder, c.folder);
    }
}

TEST_F(AppFolderTest, AnInstalledProgramKeepsTheUsersFilesInTheDataFolder)
{
    const QString bin = installedBin();
    EXPECT_EQ(installPrefix(bin), root.file(QStringLiteral("usr")));
    // A trailing slash or a dot in the path changes nothing.
    EXPECT_EQ(installPrefix(bin + QStringLiteral("/./")), root.file(QStringLiteral("usr")));

    const AppFolders byDefault = locateAppFolders(bin, {}, env());
    EXPECT_TRUE(byDefault.installed);
    EXPECT_EQ(byDefault.appFolder, home() + QStringLiteral("/.local/share/Corvina"));
    EXPECT_EQ(byDefault.sharedFolder, root.file(QStringLiteral("usr/share/corvina")));

    const QString xdg = root.file(QStringLiteral("xdg data"));
    EXPECT_EQ(locateAppFolders(bin, {}, env(xdg)).appFolder, xdg + QStringLiteral("/Corvina"));
    // A relative XDG_DATA_HOME is invalid and ignored.
    EXPECT_EQ(locateAppFolders(bin, {}, env(QStringLiteral("rel/data"))).appFolder,
              home() + QStringLiteral("/.local/share/Corvina"));
}

// Root may write /usr/bin, and a user's own prefix is writable: neither makes the program
// folder the application folder.
TEST_F(AppFolderTest, AWritableInstalledPrefixIsStillInstalled)
{
    const QString bin = installedBin();
    ASSERT_TRUE(QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadOther | QFile::WriteOther |
                                               QFile::ExeOther));
    EXPECT_TRUE(locateAppFolders(bin, {}, env()).installed);
}

TEST_F(AppFolderTest, AnExplicitFolderNamesTheApplicationFolderOnly)
{
    const QString chosen = root.file(QStringLiteral("Second Company"));
    const QString bin = installedBin();
    const AppFolders installed = locateAppFolders(bin, chosen, env());
    EXPECT_EQ(installed.appFolder, chosen);
    EXPECT_EQ(installed.sharedFolder, root.file(QStringLiteral("usr/share/corvina")));

    const QString own = make(QStringLiteral("build/app"));
    const AppFolders local = locateAppFolders(own, chosen + QStringLiteral("/sub/.."), env());
    EXPECT_EQ(local.appFolder, chosen);
    EXPECT_EQ(local.sharedFolder, own);

    // A relative folder is taken from the current folder.
    EXPECT_EQ(locateAppFolders(own, QStringLiteral("rel"), env()).appFolder,
              QDir::current().absoluteFilePath(QStringLiteral("rel")));
}

TEST_F(AppFolderTest, FirstStartMakesTheFolderAndNeverTouchesTheUsersFiles)
{
    const QString bin = installedBin();
    const QString shared = root.file(QStringLiteral("usr/share/corvina"));
    root.write(QStringLiteral("usr/share/corvina/MailMergeOverview.doc"), "shipped guide");

    const AppFolders folders = locateAppFolders(bin, {}, env());
    makeAppFolder(folders);
    EXPECT_TRUE(QFileInfo(folders.appFolder).isDir());
    EXPECT_TRUE(QDir(folders.appFolder).isEmpty()) << "nothing is copied into a new folder";

    // A later start (or an upgrade) leaves what the user has there, even a file named like a
    // shipped one.
    const QString user = QStringLiteral("home/.local/share/Corvina/");
    root.write(user + QStringLiteral("QBData.mdb"), "the user's database");
    root.write(user + QStringLiteral("MailMergeOverview.doc"), "the user's own notes");
    makeAppFolder(folders);
    EXPECT_EQ(root.read(user + QStringLiteral("QBData.mdb")), "the user's database");
    EXPECT_EQ(root.read(user + QStringLiteral("MailMergeOverview.doc")), "the user's own notes");
    EXPECT_EQ(root.read(QStringLiteral("usr/share/corvina/MailMergeOverview.doc")),
              "shipped guide");

    // The program reads the shipped files from the shared folder.
    test::ScriptedScreen screen;
    ProgramState state(folders.appFolder, screen, folders.sharedFolder);
    EXPECT_EQ(state.sharedFile(QStringLiteral("MailMergeOverview.doc")),
              shared + QStringLiteral("/MailMergeOverview.doc"));
    EXPECT_EQ(state.appFile(QStringLiteral("QBData.mdb")),
              folders.appFolder + QStringLiteral("/QBData.mdb"));
    const QString fakeBin = make(QStringLiteral("fake-bin"));
    root.write(QStringLiteral("fake-bin/libreoffice"), "#!/bin/sh\n");
    ASSERT_TRUE(QFile::setPermissions(root.file(QStringLiteral("fake-bin/libreoffice")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    QStringList opened;
    bool started = true;
    const auto launch = [&](const LaunchCommand &command, const std::function<void()> &) {
        opened = command.arguments;
        return started;
    };
    openMailMergeGuide(state, launch, {fakeBin});
    EXPECT_EQ(opened.value(opened.size() - 1), shared + QStringLiteral("/MailMergeOverview.doc"));
    EXPECT_TRUE(screen.messages().empty());
    // When the word processor cannot start, the message names the folder holding the guide.
    started = false;
    screen.answerNext(Answer::Ok);
    openMailMergeGuide(state, launch, {fakeBin});
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages().front().text.contains(QStringLiteral(" in your ") + shared +
                                                        QStringLiteral(" folder")));
}

TEST_F(AppFolderTest, AFolderThatCannotBeMadeIsAClearError)
{
    root.write(QStringLiteral("taken"), "a file");
    AppFolders folders;
    folders.appFolder = root.file(QStringLiteral("taken"));
    try {
        makeAppFolder(folders);
        FAIL() << "no error";
    } catch (const Error &error) {
        EXPECT_TRUE(error.description().contains(folders.appFolder));
    }
    folders.appFolder = root.file(QStringLiteral("taken/below"));
    EXPECT_THROW(makeAppFolder(folders), Error);
}

TEST_F(AppFolderTest, TheAboutTextNamesTheFoldersInUse)
{
    AppFolders own{QStringLiteral("/opt/corvina"), QStringLiteral("/opt/corvina"), false};
    const QString ownText = aboutText(own, QStringLiteral("1.2.3"));
    EXPECT_TRUE(ownText.startsWith(QStringLiteral("Corvina 1.2.3\r")));
    EXPECT_TRUE(ownText.contains(QStringLiteral("QBData.mdb")));
    EXPECT_TRUE(ownText.contains(QStringLiteral("\r/opt/corvina")));
    EXPECT_EQ(ownText.count(QStringLiteral("/opt/corvina")), 1);

    AppFolders installed{QStringLiteral("/home/a/.local/share/Corvina"),
                         QStringLiteral("/usr/share/corvina"), true};
    const QString installedText = aboutText(installed, QStringLiteral("1.2.3"));
    EXPECT_TRUE(installedText.contains(QStringLiteral("\r/home/a/.local/share/Corvina")));
    EXPECT_TRUE(installedText.contains(QStringLiteral("\r/usr/share/corvina")));
}

} // namespace
