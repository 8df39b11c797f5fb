#pragma once

#include "app/MailMergeGuide.h"
#include "webconnector/ConnectionSettings.h"

namespace corvina {

class ProgramState;

// The connection settings of the application folder, or the defaults (socket) when there are
// none. Raises corvina::Error for a file that cannot be used.
wc::ConnectionSettings loadConnectionSettings(const ProgramState &state);

// Makes the program reach QuickBooks as `settings` say: through the Web Connector's service
// (started, or restarted with the new settings) or through the stand-in's socket (the
// service stopped). Refused while a QuickBooks session is open. Raises corvina::Error with a
// message for the user when the service cannot start; the program then uses the socket.
void applyConnectionSettings(ProgramState &state, const wc::ConnectionSettings &settings);

// The guide to setting up the Web Connector, beside the mail-merge guide.
inline const QString kWebConnectorGuide = QStringLiteral("WebConnectorSetup.doc");

// "Setup guide...": opens the Web Connector guide in the word processor or with the desktop
// opener, as the mail-merge guide is opened, without waiting; when nothing can open it, the
// user is told where it is.
void openWebConnectorGuide(ProgramState &state, const Launcher &launch = startProgram,
                           const QStringList &searchPaths = {});

} // namespace corvina
