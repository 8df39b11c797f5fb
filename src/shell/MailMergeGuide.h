#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace corvina {

class ProgramState;

// A program to start and its argument vector; no shell sees it.
struct LaunchCommand {
    QString program;
    QStringList arguments;
};

// Starts a program without waiting for it; false when it could not be started.
using Launcher = std::function<bool(const LaunchCommand &)>;
bool startDetached(const LaunchCommand &command);

// The word processor for `document`: LibreOffice Writer when installed, else the desktop's
// default opener. Programs are looked up in `searchPaths` (the PATH when empty). No value
// when neither is installed.
std::optional<LaunchCommand> wordProcessorCommand(const QString &document,
                                                  const QStringList &searchPaths = {});

// "Letters && Mailing Labels": opens MailMergeOverview.doc of the application folder in the
// word processor without waiting for it. When it cannot be started the user is told where
// to find the document.
void openMailMergeGuide(ProgramState &state, const Launcher &launch = startDetached,
                        const QStringList &searchPaths = {});

} // namespace corvina
