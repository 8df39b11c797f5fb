#include "app/AppFolder.h"
#include "app/Connection.h"
#include "app/ui/MainMenu.h"
#include "app/ui/QtScreen.h"
#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>

namespace {

const QString kAppFolderOption = QStringLiteral("app-folder");

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Copies a QuickBooks company's customers, invoices, items and sales reps "
                       "into QBData.mdb and answers marketing questions from it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        kAppFolderOption,
        QStringLiteral("Keep QBData.mdb and the saved files in <folder> (made when missing). "
                       "By default: the program's own folder, or ~/.local/share/Corvina when "
                       "installed."),
        QStringLiteral("folder")));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Corvina"));
    QCoreApplication::setOrganizationName(QStringLiteral("Halvard"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVINA_VERSION));

    QCommandLineParser parser;
    describeCommandLine(parser);
    // --help, --version and a wrong option answer on the terminal, without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments) || parser.isSet(QStringLiteral("help")) ||
        parser.isSet(QStringLiteral("version"))) {
        QCoreApplication textOnly(argc, argv);
        parser.process(textOnly); // prints and exits
        return 1;
    }

    QApplication app(argc, argv);
    // The menu entry and icon an installed program has (packaging/); the window system
    // matches the window to them.
    QApplication::setDesktopFileName(QStringLiteral("org.halvard.Corvina"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.halvard.Corvina")));
    // The windows are laid out in twips for an 8-point dialog font; Liberation Sans, with
    // Arial's metrics, fits their captions where the platform's wider default would clip.
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));

    corvina::QtScreen screen;
    const corvina::AppFolders folders = corvina::locateAppFolders(
        QApplication::applicationDirPath(), parser.value(kAppFolderOption),
        QProcessEnvironment::systemEnvironment());
    try {
        corvina::makeAppFolder(folders);
    } catch (const corvina::Error &error) {
        screen.message(
            QStringLiteral("Corvina cannot start: its application folder could not be made.\r") +
                error.description(),
            corvina::kAppTitle, corvina::Buttons::Ok);
        return 1;
    }
    const QString &appFolder = folders.appFolder;
    corvina::ProgramState state(appFolder, screen, folders.sharedFolder);
    try {
        corvina::ensureLocalDb(appFolder);
    } catch (const corvina::Error &error) {
        screen.message(QStringLiteral("Corvina cannot start: its database could not be made in ") +
                           appFolder + QStringLiteral(".\r") + error.description(),
                       corvina::kAppTitle, corvina::Buttons::Ok);
        return 1;
    }
    try {
        corvina::upgradeLocalDb(appFolder);
    } catch (const corvina::Error &error) {
        // Everything else still works; a customer retrieval adds the missing tables later.
        screen.message(QStringLiteral("The database QBData.mdb in ") + appFolder +
                           QStringLiteral(" could not be brought up to date, so sales of "
                                          "customers' jobs count for no customer for now.\r") +
                           error.description(),
                       corvina::kAppTitle, corvina::Buttons::Ok);
    }

    // The Web Connector's service, when the connection settings choose it; otherwise (and when
    // it cannot start) QuickBooks is reached through the stand-in's socket as always.
    try {
        corvina::applyConnectionSettings(state, corvina::loadConnectionSettings(state));
    } catch (const corvina::Error &error) {
        screen.message(error.description() +
                           QStringLiteral("\rUntil this is put right, Corvina uses its local "
                                          "request processor."),
                       corvina::kAppTitle, corvina::Buttons::Ok);
    }

    corvina::MainMenu window(state);
    screen.attachMainWindow(&window);
    window.load();
    window.show();
    return QApplication::exec();
}
