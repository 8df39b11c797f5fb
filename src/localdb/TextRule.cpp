#include "localdb/TextRule.h"

#include <QChar>

#include <algorithm>
#include <cstdint>

namespace corvina {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

char32_t fold(char32_t c) noexcept
{
    if (c < 0x80)
        return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
    return QChar::toCaseFolded(c);
}

// The code point starting at `i`, advancing `i` past it; malformed input reads as U+FFFD,
// one byte at a time.
char32_t decodeUtf8(const unsigned char *s, qsizetype size, qsizetype &i) noexcept
{
    const unsigned char lead = s[i++];
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return kReplacement;
    }
    if (size - i < extra)
        return kReplacement;
    for (int k = 0; k < extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return kReplacement;
        c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kReplacement;
    i += extra;
    return c;
}

char32_t decodeUtf16(const QString &text, qsizetype &i) noexcept
{
    const char16_t unit = text.at(i++).unicode();
    if (QChar::isHighSurrogate(unit) && i < text.size() && text.at(i).isLowSurrogate())
        return QChar::surrogateToUcs4(unit, text.at(i++).unicode());
    return QChar::isSurrogate(unit) ? kReplacement : unit;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

int threeWay(char32_t a, char32_t b) noexcept
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int compareWithoutCase(QByteArrayView a, QByteArrayView b) noexcept
{
    const auto *sa = reinterpret_cast<const unsigned char *>(a.data());
    const auto *sb = reinterpret_cast<const unsigned char *>(b.data());
    const qsizetype common = std::min(a.size(), b.size());
    // Equal bytes are equal characters: skip them, then step back to the start of the
    // character in which the texts differ.
    qsizetype same = 0;
    while (same < common && sa[same] == sb[same])
        ++same;
    while (same > 0 && (sa[same] & 0xC0) == 0x80)
        --same;
    qsizetype i = same;
    qsizetype j = same;
    while (i < a.size() && j < b.size()) {
        // ASCII on both sides is the common case and needs no decoding.
        if (sa[i] < 0x80 && sb[j] < 0x80) {
            const char32_t ca = fold(sa[i++]);
            const char32_t cb = fold(sb[j++]);
            if (ca != cb)
                return threeWay(ca, cb);
            continue;
        }
        const char32_t ca = fold(decodeUtf8(sa, a.size(), i));
        const char32_t cb = fold(decodeUtf8(sb, b.size(), j));
        if (ca != cb)
            return threeWay(ca, cb);
    }
    return (i < a.size()) - (j < b.size());
}

int compareWithoutCase(const QString &a, const QString &b) noexcept
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = fold(decodeUtf16(a, i));
        const char32_t cb = fold(decodeUtf16(b, j));
        if (ca != cb)
            return threeWay(ca, cb);
    }
    return (i < a.size()) - (j < b.size());
}

void appendCaseKey(std::string &key, QByteArrayView utf8)
{
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const std::size_t start = key.size();
    // ASCII straight into place; the rest, if any, character by character.
    key.resize(start + static_cast<std::size_t>(utf8.size()));
    char *out = key.data() + start;
    qsizetype i = 0;
    for (; i < utf8.size() && s[i] < 0x80; ++i)
        out[i] = static_cast<char>(fold(s[i]));
    key.resize(start + static_cast<std::size_t>(i));
    while (i < utf8.size()) {
        if (s[i] < 0x80)
            key.push_back(static_cast<char>(fold(s[i++])));
        else
            appendUtf8(key, fold(decodeUtf8(s, utf8.size(), i)));
    }
}

std::string caseKey(QByteArrayView utf8)
{
    std::string key;
    appendCaseKey(key, utf8);
    return key;
}

QString caseKey(const QString &text)
{
    QString key;
    key.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const char32_t c = fold(decodeUtf16(text, i));
        if (QChar::requiresSurrogates(c)) {
            key.append(QChar(QChar::highSurrogate(c)));
            key.append(QChar(QChar::lowSurrogate(c)));
        } else {
            key.append(QChar(static_cast<char16_t>(c)));
        }
    }
    return key;
}

bool startsWithWithoutCase(const QString &text, const QString &prefix) noexcept
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < text.size() && j < prefix.size()) {
        if (fold(decodeUtf16(text, i)) != fold(decodeUtf16(prefix, j)))
            return false;
    }
    return j == prefix.size();
}

bool startsWithWithoutCase(QByteArrayView text, QByteArrayView prefix) noexcept
{
    const auto *st = reinterpret_cast<const unsigned char *>(text.data());
    const auto *sp = reinterpret_cast<const unsigned char *>(prefix.data());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < text.size() && j < prefix.size()) {
        if (fold(decodeUtf8(st, text.size(), i)) != fold(decodeUtf8(sp, prefix.size(), j)))
            return false;
    }
    return j == prefix.size();
}

} // namespace corvina
