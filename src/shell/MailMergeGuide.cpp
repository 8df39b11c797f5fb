#include "shell/MailMergeGuide.h"

#include "shell/ProgramState.h"
#include "shell/Screen.h"

#include <QProcess>
#include <QStandardPaths>

namespace corvina {

bool startDetached(const LaunchCommand &command)
{
    return QProcess::startDetached(command.program, command.arguments);
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
        return LaunchCommand{opener, {document}};
    return std::nullopt;
}

void openMailMergeGuide(ProgramState &state, const Launcher &launch, const QStringList &searchPaths)
{
    const QString document = state.appFile(appfile::kMailMergeGuide);
    const auto command = wordProcessorCommand(document, searchPaths);
    if (command && launch(*command))
        return;
    state.screen().message(QStringLiteral("Unable to launch Word. Please double-click "
                                          "\"MailMergeOverview.doc\" in your ") +
                               state.appFolder() +
                               QStringLiteral(" folder to see the requested document."),
                           QStringLiteral("Application Not Found"), Buttons::Ok);
}

} // namespace corvina
