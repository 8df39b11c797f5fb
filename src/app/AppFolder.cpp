#include "app/AppFolder.h"

#include "base/Error.h"

#include <QDir>
#include <QFileInfo>

namespace corvina {

namespace {

// The folders of an installed prefix, relative to it. The install rules use the same ones.
const QString kBinFolder = QStringLiteral("bin");
const QString kSharedFolder = QStringLiteral("share/corvina");

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

QString installPrefix(const QString &programFolder)
{
    if (programFolder.isEmpty())
        return {};
    const QString folder = cleanAbsolute(programFolder);
    if (QFileInfo(folder).fileName() != kBinFolder)
        return {};
    const QString prefix = QFileInfo(folder).path();
    if (!QFileInfo(prefix + QLatin1Char('/') + kSharedFolder).isDir())
        return {};
    return prefix;
}

QString userDataHome(const QProcessEnvironment &env)
{
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    const QString xdg = env.value(QStringLiteral("XDG_DATA_HOME"));
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    QString home = env.value(QStringLiteral("HOME"));
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        home = QDir::homePath();
    return QDir::cleanPath(home + QStringLiteral("/.local/share"));
}

AppFolders locateAppFolders(const QString &programFolder, const QString &explicitFolder,
                            const QProcessEnvironment &env)
{
    AppFolders folders;
    const QString prefix = installPrefix(programFolder);
    folders.installed = !prefix.isEmpty();
    if (folders.installed) {
        folders.sharedFolder = prefix + QLatin1Char('/') + kSharedFolder;
        folders.appFolder = userDataHome(env) + QStringLiteral("/Corvina");
    } else {
        folders.sharedFolder = cleanAbsolute(programFolder);
        folders.appFolder = folders.sharedFolder;
    }
    if (!explicitFolder.isEmpty())
        folders.appFolder = cleanAbsolute(explicitFolder);
    return folders;
}

void makeAppFolder(const AppFolders &folders)
{
    const QFileInfo info(folders.appFolder);
    if (info.exists() && !info.isDir())
        throw Error(errc::kFileFailure,
                    folders.appFolder + QStringLiteral(" is a file, not a folder."));
    if (!QDir().mkpath(folders.appFolder))
        throw Error(errc::kFileFailure, QStringLiteral("The folder ") + folders.appFolder +
                                            QStringLiteral(" could not be made."));
}

QString aboutText(const AppFolders &folders, const QString &version)
{
    QString text = QStringLiteral("Corvina");
    if (!version.isEmpty())
        text += QStringLiteral(" ") + version;
    text += QStringLiteral("\r\rApplication folder (QBData.mdb, which your mail-merge documents "
                           "read, and the saved files):\r") +
            QDir::toNativeSeparators(folders.appFolder);
    if (folders.sharedFolder != folders.appFolder)
        text +=
            QStringLiteral("\r\rThe mail-merge guide and the other files Corvina comes with:\r") +
            QDir::toNativeSeparators(folders.sharedFolder);
    return text;
}

} // namespace corvina
