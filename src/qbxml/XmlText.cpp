#include "qbxml/XmlText.h"

#include <cstring>

#include <algorithm>
#include <cstdint>

namespace corvina::qb::xmltext {

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool endsName(char c)
{
    return isSpace(c) || c == '/' || c == '>' || c == '=' || c == '?' || c == '<';
}

namespace {

bool isXmlChar(std::uint32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

} // namespace

// The first byte that breaks UTF-8 (overlongs, surrogates and values past U+10FFFF included)
// or starts a character XML does not allow (control characters other than tab, line feed and
// carriage return; U+FFFE and U+FFFF).
Fault firstBadCharacter(QByteArrayView text)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p + i, 8);
            if ((chunk & kHighBits) == 0) {
                // Eight ASCII characters; look closer only when one is below 0x20.
                if (((chunk - kSpaces) & ~chunk & kHighBits) != 0) {
                    for (qsizetype k = i; k < i + 8; ++k) {
                        if (p[k] < 0x20 && p[k] != '\t' && p[k] != '\n' && p[k] != '\r')
                            return {k, "a control character, which XML does not allow"};
                    }
                }
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return {i, "a control character, which XML does not allow"};
            ++i;
            continue;
        }
        int extra = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return {i, "the text is not valid UTF-8"};
        }
        if (i + extra >= n)
            return {i, "the text is not valid UTF-8"};
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80)
                return {i, "the text is not valid UTF-8"};
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return {i, "the text is not valid UTF-8"};
        if (cp == 0xFFFE || cp == 0xFFFF)
            return {i, "a character XML does not allow"};
        i += extra + 1;
    }
    return {};
}

namespace {

// Writes the UTF-8 form of `cp` at `to` and returns the position after it.
char *putUtf8(char *to, std::uint32_t cp)
{
    if (cp < 0x80) {
        *to++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *to++ = static_cast<char>(0xC0 | (cp >> 6));
        *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *to++ = static_cast<char>(0xE0 | (cp >> 12));
        *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *to++ = static_cast<char>(0xF0 | (cp >> 18));
        *to++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return to;
}

// Writes the character that the reference at raw[amp] names at `to` and returns the
// reference's length, or 0 when it is unknown or malformed. Character references are "&#"
// decimal digits or "&#x" hexadecimal digits, then ';', naming a character XML allows. What a
// reference names is never longer than the reference.
qsizetype putReference(QByteArrayView raw, qsizetype amp, char *&to)
{
    const qsizetype n = raw.size();
    qsizetype i = amp + 1;
    if (i < n && raw[i] == '#') {
        ++i;
        const bool hex = i < n && raw[i] == 'x';
        if (hex)
            ++i;
        const qsizetype digits = i;
        std::uint32_t cp = 0;
        for (; i < n; ++i) {
            const char c = raw[i];
            std::uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<std::uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                d = static_cast<std::uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                d = static_cast<std::uint32_t>(c - 'A' + 10);
            else
                break;
            cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + d,
                                         0x110000); // past Unicode stays past
        }
        if (i == digits || i >= n || raw[i] != ';' || !isXmlChar(cp))
            return 0;
        to = putUtf8(to, cp);
        return i + 1 - amp;
    }
    // The five predefined entities.
    const QByteArrayView rest = raw.sliced(i);
    const auto named = [&](QByteArrayView name, char c) -> qsizetype {
        if (!rest.startsWith(name) || rest.size() <= name.size() || rest[name.size()] != ';')
            return 0;
        *to++ = c;
        return name.size() + 2;
    };
    switch (rest.isEmpty() ? '\0' : rest[0]) {
    case 'l': return named("lt", '<');
    case 'g': return named("gt", '>');
    case 'a': return rest.startsWith("amp") ? named("amp", '&') : named("apos", '\'');
    case 'q': return named("quot", '"');
    default: return 0;
    }
}

} // namespace

// Whether the raw piece reads other than it is written.
bool needsWork(QByteArrayView raw, Piece kind)
{
    switch (kind) {
    case Piece::Text: return raw.contains('&') || raw.contains('\r');
    case Piece::CData: return raw.contains('\r');
    case Piece::AttributeValue:
        return std::any_of(raw.begin(), raw.end(),
                           [](char c) { return c == '&' || c == '\r' || c == '\n' || c == '\t'; });
    }
    return true;
}

// Appends the piece as XML reads it: every line end (\r\n, a lone \r) becomes \n, in attribute
// values every white-space character becomes a space, and references outside CDATA are
// resolved (what they name is kept as it is). On a bad reference returns its offset in raw,
// otherwise -1.
qsizetype appendRead(QByteArrayView raw, Piece kind, QByteArray &out)
{
    // Reading never lengthens a piece, so room is made once and written through a pointer;
    // answers of a megabyte carry an entity every few bytes.
    const qsizetype at = out.size();
    out.resize(at + raw.size());
    char *const begin = out.data() + at;
    char *to = begin;
    const char *p = raw.data();
    const qsizetype n = raw.size();
    qsizetype from = 0; // the start of the bytes still to copy as they are
    qsizetype i = 0;
    const auto flush = [&] {
        std::memcpy(to, p + from, static_cast<std::size_t>(i - from));
        to += i - from;
    };
    while (i < n) {
        const char c = p[i];
        if (c == '&' && kind != Piece::CData) {
            flush();
            const qsizetype length = putReference(raw, i, to);
            if (length == 0) {
                out.truncate(at + (to - begin));
                return i;
            }
            i += length;
            from = i;
        } else if (c == '\r' || (kind == Piece::AttributeValue && (c == '\n' || c == '\t'))) {
            flush();
            *to++ = kind == Piece::AttributeValue ? ' ' : '\n';
            i += c == '\r' && i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
            from = i;
        } else {
            ++i;
        }
    }
    flush();
    out.truncate(at + (to - begin));
    return -1;
}

} // namespace corvina::qb::xmltext
