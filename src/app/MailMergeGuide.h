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
    // The program hands the document on and says by a non-zero exit that it found nothing
    // to open it with (the desktop opener); others are started and left alone.
    bool exitTellsFailure = false;
};

// Starts a program without waiting for it; false when it could not be started. For a
// command whose exit tells failure, `failedLater` runs (from the event loop) when it exits
// non-zero.
using Launcher =
    std::function<bool(const LaunchCommand &, const std::function<void()> &failedLater)>;
bool startProgram(const LaunchCommand &command, const std::function<void()> &failedLater);

// The word processor for `document`: LibreOffice Writer when installed, else the desktop's
// default opener. Programs are looked up in `searchPaths` (the PATH when empty). No value
// when neither is installed.
std::optional<LaunchCommand> wordProcessorCommand(const QString &document,
                                                  const QStringList &searchPaths = {});

// "Letters && Mailing Labels": opens MailMergeOverview.doc of the shared folder in the
// word processor without waiting for it. When it cannot be started, or the desktop opener
// finds no program for the document, the user is told where to find it.
void openMailMergeGuide(ProgramState &state, const Launcher &launch = startProgram,
                        const QStringList &searchPaths = {});

} // namespace corvina
