#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace corvina {

// Where the program keeps the user's files and where it reads the files it ships with.
struct AppFolders {
    // QBData.mdb, the saved recordsets, QBPath.txt and the log: the user's files.
    QString appFolder;
    // MailMergeOverview.doc, Download.gif and the demo company: read, never written.
    QString sharedFolder;
    // True when the program runs from an installed prefix.
    bool installed = false;
};

// The installed prefix the program runs from: `programFolder` is `<prefix>/bin` and
// `<prefix>/share/corvina` is a folder. Empty for any other folder (a build tree, or a folder
// the program was copied into). Decided by location only, never by what may be written.
QString installPrefix(const QString &programFolder);

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share.
QString userDataHome(const QProcessEnvironment &env);

// The folders in use. Installed, the application folder is <data home>/Corvina and the
// shipped files are read from <prefix>/share/corvina; otherwise both are the program's
// folder. A non-empty `explicitFolder` (--app-folder) names the application folder in
// either case; the shipped files stay where they were installed or built.
AppFolders locateAppFolders(const QString &programFolder, const QString &explicitFolder,
                            const QProcessEnvironment &env);

// Makes the application folder when it is missing; nothing in it is touched and nothing is
// copied into it. Throws Error when the folder cannot be made or is not a folder.
void makeAppFolder(const AppFolders &folders);

// The text of the About box: the version and the folders in use.
QString aboutText(const AppFolders &folders, const QString &version);

} // namespace corvina
