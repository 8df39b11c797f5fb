#pragma once

#include <QString>

namespace corvina {

class ProgramState;

// Opens the program's QuickBooks session on the company file remembered in QBPath.txt (or,
// the first time, on the file QuickBooks has open, whose path is then remembered). Guides
// the user through another file being open (retry on Yes) and no file being open. True when
// the session is open, the request set made and the session flag set.
bool OpenQB(ProgramState &state);

// Ends the session if there is one and empties the QuickBooks state. Errors of the request
// library reach the caller.
// A session whose link to QuickBooks was lost ends without a word to QuickBooks.
void CloseQB(ProgramState &state);

// The company file QBPath.txt remembers (its first line), empty when none; reads only.
QString rememberedCompanyFile(ProgramState &state);

// After a failure: when it took the link to QuickBooks down, ends the session (releases the
// session manager and the request set, clears the flag) so that the next retrieval opens a
// new one. True when it did.
bool endLostSession(ProgramState &state);

} // namespace corvina
