#pragma once

namespace corvina {

class ProgramState;

// Opens the program's QuickBooks session on the company file remembered in QBPath.txt (or,
// the first time, on the file QuickBooks has open, whose path is then remembered). Guides
// the user through another file being open (retry on Yes) and no file being open. True when
// the session is open, the request set made and the session flag set.
bool OpenQB(ProgramState &state);

// Ends the session if there is one and empties the QuickBooks state. Errors of the request
// library reach the caller.
void CloseQB(ProgramState &state);

} // namespace corvina
