#include "qbxml/XmlScanner.h"

#include <cstring>

namespace corvina::qb {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool endsName(char c)
{
    return isSpace(c) || c == '/' || c == '>' || c == '=' || c == '?' || c == '<';
}

// The offset of the first byte that breaks UTF-8 (overlongs, surrogates and values past
// U+10FFFF included), or -1 when the whole text is valid.
qsizetype invalidUtf8At(QByteArrayView text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p + i, 8);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
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
            return i;
        }
        if (i + extra >= n)
            return i;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return i;
        i += extra + 1;
    }
    return -1;
}

void appendUtf8(QByteArray &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.append(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.append(static_cast<char>(0xC0 | (cp >> 6)));
        out.append(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(static_cast<char>(0xE0 | (cp >> 12)));
        out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (cp >> 18)));
        out.append(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

XmlScanner::XmlScanner(QByteArrayView document) : m_doc(document)
{
    if (m_doc.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

XmlScanner::Token XmlScanner::fail(const char *what)
{
    m_error = what;
    m_errorPos = std::min(m_pos, m_doc.size());
    return m_token = Token::Error;
}

QString XmlScanner::errorString() const
{
    if (m_token != Token::Error)
        return {};
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < m_errorPos; ++i) {
        if (m_doc[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    const QString column = QString::number(
        QString::fromUtf8(m_doc.sliced(lineStart, m_errorPos - lineStart)).size() + 1);
    return QStringLiteral("%1 (line %2, column %3)").arg(QString::fromUtf8(m_error)).arg(line).arg(column);
}

bool XmlScanner::isWhitespace() const noexcept
{
    for (char c : m_text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

QByteArrayView XmlScanner::attribute(QByteArrayView name) const
{
    for (const auto &a : m_attributes) {
        if (a.name == name)
            return a.value;
    }
    return {};
}

void XmlScanner::skipSpace()
{
    while (!atEnd() && isSpace(m_doc[m_pos]))
        ++m_pos;
}

bool XmlScanner::skipPast(QByteArrayView terminator)
{
    const qsizetype at = m_doc.indexOf(terminator, m_pos);
    if (at < 0)
        return false;
    m_pos = at + terminator.size();
    return true;
}

bool XmlScanner::scanName(QByteArrayView &name)
{
    const qsizetype start = m_pos;
    while (!atEnd() && !endsName(m_doc[m_pos]))
        ++m_pos;
    name = m_doc.sliced(start, m_pos - start);
    if (name.isEmpty())
        return false;
    const char first = name[0];
    return !(first >= '0' && first <= '9') && first != '-' && first != '.';
}

bool XmlScanner::resolve(QByteArrayView raw, QByteArray &out)
{
    out.clear();
    qsizetype i = 0;
    while (i < raw.size()) {
        const qsizetype amp = raw.indexOf('&', i);
        if (amp < 0) {
            out.append(raw.sliced(i));
            break;
        }
        out.append(raw.sliced(i, amp - i));
        const qsizetype semi = raw.indexOf(';', amp);
        if (semi < 0 || semi - amp > 12)
            return false;
        const QByteArrayView ref = raw.sliced(amp + 1, semi - amp - 1);
        if (ref == "amp")
            out.append('&');
        else if (ref == "lt")
            out.append('<');
        else if (ref == "gt")
            out.append('>');
        else if (ref == "quot")
            out.append('"');
        else if (ref == "apos")
            out.append('\'');
        else if (ref.startsWith('#')) {
            bool ok = false;
            const std::uint32_t cp = ref.startsWith("#x") ? ref.sliced(2).toUInt(&ok, 16) : ref.sliced(1).toUInt(&ok, 10);
            const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF)
                                 || (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
            if (!ok || !allowed)
                return false;
            appendUtf8(out, cp);
        } else {
            return false;
        }
        i = semi + 1;
    }
    return true;
}

XmlScanner::Token XmlScanner::next()
{
    if (m_token == Token::Error)
        return m_token;
    if (!m_started) {
        m_started = true;
        if (const qsizetype bad = invalidUtf8At(m_doc); bad >= 0) {
            m_pos = bad;
            return fail("the text is not valid UTF-8");
        }
    }
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_name = m_open.back();
        m_open.pop_back();
        return m_token = Token::EndElement;
    }
    for (;;) {
        if (atEnd()) {
            if (!m_open.empty())
                return fail("the document ends inside an element");
            if (!m_seenRoot)
                return fail("the document has no element");
            return m_token = Token::EndDocument;
        }
        if (m_doc[m_pos] == '<') {
            bool skipped = false;
            const qsizetype before = m_pos;
            const Token t = scanMarkup();
            skipped = t == Token::EndDocument && m_pos > before;
            if (!skipped)
                return t;
            continue;
        }
        if (m_open.empty()) {
            skipSpace();
            if (!atEnd() && m_doc[m_pos] != '<')
                return fail("text outside the root element");
            continue;
        }
        return scanText();
    }
}

// EndDocument is returned for markup that gives no token (comments, instructions, DOCTYPE).
XmlScanner::Token XmlScanner::scanMarkup()
{
    const QByteArrayView rest = m_doc.sliced(m_pos);
    if (rest.startsWith("<?")) {
        m_pos += 2;
        QByteArrayView target;
        if (!scanName(target))
            return fail("a processing instruction without a name");
        const qsizetype dataStart = m_pos;
        if (!skipPast("?>"))
            return fail("an unterminated processing instruction");
        m_piTarget = target;
        m_piData = m_doc.sliced(dataStart, m_pos - 2 - dataStart).trimmed();
        if (target == "xml") {
            const qsizetype enc = m_piData.indexOf("encoding");
            if (enc >= 0) {
                const QByteArray value = m_piData.sliced(enc).toByteArray().toLower();
                if (!value.contains("utf-8") && !value.contains("utf8"))
                    return fail("the document is not in UTF-8");
            }
        }
        return Token::EndDocument;
    }
    if (rest.startsWith("<!--")) {
        if (!skipPast("-->"))
            return fail("an unterminated comment");
        return Token::EndDocument;
    }
    if (rest.startsWith("<![CDATA[")) {
        if (m_open.empty())
            return fail("CDATA outside the root element");
        const qsizetype start = m_pos + 9;
        m_pos = start;
        if (!skipPast("]]>"))
            return fail("an unterminated CDATA section");
        m_text = m_doc.sliced(start, m_pos - 3 - start);
        return m_token = Token::Characters;
    }
    if (rest.startsWith("<!DOCTYPE")) {
        const qsizetype close = rest.indexOf('>');
        const qsizetype bracket = rest.indexOf('[');
        if (!(bracket >= 0 && (close < 0 || bracket < close) ? skipPast("]>") : skipPast(">")))
            return fail("an unterminated document type");
        return Token::EndDocument;
    }
    if (rest.startsWith("</"))
        return scanEndTag();
    return scanStartTag();
}

XmlScanner::Token XmlScanner::scanStartTag()
{
    ++m_pos;
    QByteArrayView name;
    if (!scanName(name))
        return fail("an element without a valid name");
    if (m_open.empty() && m_seenRoot)
        return fail("a second root element");
    m_attributes.clear();
    m_valueBuffers.clear();
    for (;;) {
        skipSpace();
        if (atEnd())
            return fail("the document ends inside a tag");
        const char c = m_doc[m_pos];
        if (c == '>') {
            ++m_pos;
            break;
        }
        if (c == '/') {
            if (m_pos + 1 >= m_doc.size() || m_doc[m_pos + 1] != '>')
                return fail("a malformed empty-element tag");
            m_pos += 2;
            m_pendingEnd = true;
            break;
        }
        const qsizetype nameStart = m_pos;
        QByteArrayView attrName;
        if (!scanName(attrName) || m_pos == nameStart)
            return fail("a malformed attribute");
        skipSpace();
        if (atEnd() || m_doc[m_pos] != '=')
            return fail("an attribute without a value");
        ++m_pos;
        skipSpace();
        if (atEnd() || (m_doc[m_pos] != '"' && m_doc[m_pos] != '\''))
            return fail("an attribute value without quotes");
        const char quote = m_doc[m_pos++];
        const qsizetype end = m_doc.indexOf(quote, m_pos);
        if (end < 0)
            return fail("an unterminated attribute value");
        QByteArrayView value = m_doc.sliced(m_pos, end - m_pos);
        if (value.contains('<'))
            return fail("a '<' inside an attribute value");
        if (value.contains('&')) {
            m_valueBuffers.emplace_back();
            if (!resolve(value, m_valueBuffers.back()))
                return fail("an unknown or malformed reference");
            value = m_valueBuffers.back();
        }
        for (const auto &a : m_attributes) {
            if (a.name == attrName)
                return fail("a repeated attribute");
        }
        m_attributes.push_back({attrName, value});
        m_pos = end + 1;
    }
    m_open.push_back(name);
    m_seenRoot = true;
    m_name = name;
    return m_token = Token::StartElement;
}

XmlScanner::Token XmlScanner::scanEndTag()
{
    m_pos += 2;
    QByteArrayView name;
    if (!scanName(name))
        return fail("an end tag without a valid name");
    skipSpace();
    if (atEnd() || m_doc[m_pos] != '>')
        return fail("a malformed end tag");
    if (m_open.empty() || m_open.back() != name)
        return fail("an end tag that does not match the open element");
    ++m_pos;
    m_open.pop_back();
    m_name = name;
    return m_token = Token::EndElement;
}

XmlScanner::Token XmlScanner::scanText()
{
    const qsizetype start = m_pos;
    qsizetype end = m_doc.indexOf('<', m_pos);
    if (end < 0)
        end = m_doc.size();
    const QByteArrayView raw = m_doc.sliced(start, end - start);
    m_pos = end;
    if (raw.contains('&')) {
        if (!resolve(raw, m_buffer)) {
            m_pos = start;
            return fail("an unknown or malformed reference");
        }
        m_text = m_buffer;
    } else {
        m_text = raw;
    }
    return m_token = Token::Characters;
}

void XmlScanner::skipElement()
{
    const int target = depth() - 1;
    if (m_pendingEnd) {
        next();
        return;
    }
    while (next() != Token::Error) {
        if (m_token == Token::EndElement && depth() == target)
            return;
    }
}

} // namespace corvina::qb
