#pragma once

#include <QByteArrayView>
#include <QString>

#include <string>

namespace corvina {

// The one rule for comparing text without case, everywhere in the program: each character
// is replaced by its Unicode simple case folding ('É' and 'é' are one, as are 'A' and 'a'),
// and the folded texts are compared character by character in code point order, a text
// before any longer text it begins. Bytes that are not UTF-8 count as U+FFFD.
//
// Every database connection has it as the collation NOCASE (see Database), so SQL and the
// functions below always agree. For ASCII it is exactly SQLite's own NOCASE, which is what
// other programs reading the file (the mail-merge ODBC driver) use.

// Negative, zero or positive as `a` sorts before, with or after `b`; texts in UTF-8.
int compareWithoutCase(QByteArrayView a, QByteArrayView b) noexcept;
int compareWithoutCase(const QString &a, const QString &b) noexcept;

// The folded form of a text, in UTF-8: two texts have equal keys exactly when they compare
// equal, and keys ordered by their bytes are ordered as the texts compare.
void appendCaseKey(std::string &key, QByteArrayView utf8);
std::string caseKey(QByteArrayView utf8);
QString caseKey(const QString &text);

// Whether `text` begins with `prefix` under the rule; the second form on UTF-8.
bool startsWithWithoutCase(const QString &text, const QString &prefix) noexcept;
bool startsWithWithoutCase(QByteArrayView text, QByteArrayView prefix) noexcept;

} // namespace corvina
