#pragma once

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

} // namespace corvina
