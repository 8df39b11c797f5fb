#include "app/MailMergeGuide.h"

#include "base/Screen.h"
#include "state/ProgramState.h"

#include <QProcess>
#include <QStandardPaths>

namespace corvina {

bool startProgram(const LaunchCommand &command, const std::function<void()> &failedLater)
{
    if (!command.exitTellsFailure)
        return QProcess::startDetached(command.program, command.arguments);
    // Watched, not waited for: the opener may stay until the word processor closes. It
    // deletes itself when it ends.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failedLater](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && exitCode != 0 && failedLater)
                             failedLater();
                     });
    process->start(command.program, command.arguments);
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

std::optional<LaunchCommand> wordProcessorCommand(const QString &document,
                                                  const QStringList &searchPaths)
{
    const auto find = [&](const QString &name) {
        return QStandardPaths::findExecutable(name, searchPaths);
    };
    for (const QString &writer : {QStringLiteral("libreoffice"), QStringLiteral("soffice")}) {
        const QString program = find(writer);
        if (!program.isEmpty())
            return LaunchCommand{program, {QStringLiteral("--writer"), document}};
    }
    const QString opener = find(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return LaunchCommand{opener, {document}, true};
    return std::nullopt;
}

void openMailMergeGuide(ProgramState &state, const Launcher &launch, const QStringList &searchPaths)
{
    const auto notFound = [&state] {
        state.screen().message(QStringLiteral("Unable to launch Word. Please double-click "
                                              "\"MailMergeOverview.doc\" in your ") +
                                   state.sharedFolder() +
                                   QStringLiteral(" folder to see the requested document."),
                               QStringLiteral("Application Not Found"), Buttons::Ok);
    };
    const QString document = state.sharedFile(appfile::kMailMergeGuide);
    const auto command = wordProcessorCommand(document, searchPaths);
    if (!command || !launch(*command, notFound))
        notFound();
}

} // namespace corvina
