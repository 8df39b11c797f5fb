#pragma once

// How the qbXML scanner reads characters and text: which bytes are XML white space or end a
// name, the first character XML does not allow, and a raw piece of text, CDATA or attribute
// value turned into what XML reads (line ends normalised, references resolved).

#include <QByteArray>
#include <QByteArrayView>

namespace corvina::qb::xmltext {

bool isSpace(char c);
bool endsName(char c);

struct Fault {
    qsizetype at = -1;
    const char *what = nullptr;
};

// The first byte that breaks UTF-8 (overlongs, surrogates and values past U+10FFFF included)
// or starts a character XML does not allow (control characters other than tab, line feed and
// carriage return; U+FFFE and U+FFFF).
Fault firstBadCharacter(QByteArrayView text);

enum class Piece { Text, CData, AttributeValue };

// Whether the raw piece reads other than it is written.
bool needsWork(QByteArrayView raw, Piece kind);

// Appends the piece as XML reads it: every line end (\r\n, a lone \r) becomes \n, in attribute
// values every white-space character becomes a space, and references outside CDATA are
// resolved (what they name is kept as it is). On a bad reference returns its offset in raw,
// otherwise -1.
qsizetype appendRead(QByteArrayView raw, Piece kind, QByteArray &out);

} // namespace corvina::qb::xmltext
