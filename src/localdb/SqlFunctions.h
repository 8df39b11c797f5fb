#pragma once

struct sqlite3;

namespace corvina {

// Registers on a new connection what every connection has (see Database): the aggregate
// Last(value, order), LIKE without case across Unicode, and the collation NOCASE under the
// program's text rule (TextRule.h). Returns SQLite's result code.
int registerSqlFunctions(sqlite3 *db);

} // namespace corvina
