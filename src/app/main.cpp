#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "app/Connection.h"
#include "app/ui/MainMenu.h"
#include "app/ui/QtScreen.h"

#include <QApplication>
#include <QFont>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvina"));
    QApplication::setOrganizationName(QStringLiteral("Halvard"));
    // The windows are laid out in twips for an 8-point dialog font; Liberation Sans, with
    // Arial's metrics, fits their captions where the platform's wider default would clip.
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));

    // Everything the program keeps lives beside the program file.
    const QString appFolder = QApplication::applicationDirPath();
    corvina::QtScreen screen;
    corvina::ProgramState state(appFolder, screen);
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
        screen.message(error.description() + QStringLiteral("\rUntil this is put right, Corvina uses its local "
                                                            "request processor."),
                       corvina::kAppTitle, corvina::Buttons::Ok);
    }

    corvina::MainMenu window(state);
    screen.attachMainWindow(&window);
    window.load();
    window.show();
    return QApplication::exec();
}
