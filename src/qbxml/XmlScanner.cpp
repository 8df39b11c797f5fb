#include "qbxml/XmlScanner.h"

#include "qbxml/XmlText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace corvina::qb {

using namespace xmltext;

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
    return QStringLiteral("%1 (line %2, column %3)")
        .arg(QString::fromUtf8(m_error))
        .arg(line)
        .arg(column);
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

XmlScanner::Token XmlScanner::next()
{
    if (m_token == Token::Error)
        return m_token;
    if (!m_started) {
        m_started = true;
        if (const Fault bad = firstBadCharacter(m_doc); bad.what) {
            m_pos = bad.at;
            return fail(bad.what);
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
            if (!m_open.empty() && peek(1) == '!' && m_doc.sliced(m_pos).startsWith("<![CDATA["))
                return scanText();
            const qsizetype before = m_pos;
            const Token t = scanMarkup();
            if (t != Token::EndDocument || m_pos == before)
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

bool XmlScanner::skipComment()
{
    if (!skipPast("-->")) {
        fail("an unterminated comment");
        return false;
    }
    return true;
}

bool XmlScanner::skipInstruction()
{
    m_pos += 2;
    QByteArrayView target;
    if (!scanName(target)) {
        fail("a processing instruction without a name");
        return false;
    }
    const qsizetype dataStart = m_pos;
    if (!skipPast("?>")) {
        fail("an unterminated processing instruction");
        return false;
    }
    m_piTarget = target;
    m_piData = m_doc.sliced(dataStart, m_pos - 2 - dataStart).trimmed();
    if (target == "xml") {
        const qsizetype enc = m_piData.indexOf("encoding");
        if (enc >= 0) {
            const QByteArray value = m_piData.sliced(enc).toByteArray().toLower();
            if (!value.contains("utf-8") && !value.contains("utf8")) {
                fail("the document is not in UTF-8");
                return false;
            }
        }
    }
    return true;
}

// One document type, before the root element. It ends at the first '>', or, when an internal
// subset in brackets comes first, at the first "]" followed by '>' (white space between).
bool XmlScanner::skipDocumentType()
{
    if (m_seenRoot) {
        fail("a document type that does not come before the root element");
        return false;
    }
    if (m_seenDocumentType) {
        fail("a second document type");
        return false;
    }
    m_seenDocumentType = true;
    const qsizetype size = m_doc.size();
    qsizetype i = m_pos + 9;
    while (i < size && m_doc[i] != '>' && m_doc[i] != '[')
        ++i;
    while (i < size && m_doc[i] != '>') {
        const qsizetype close = m_doc.indexOf(']', i + 1);
        if (close < 0) {
            i = size;
            break;
        }
        i = close + 1;
        while (i < size && isSpace(m_doc[i]))
            ++i;
        if (i < size && m_doc[i] != '>')
            i = close;
    }
    if (i >= size) {
        fail("an unterminated document type");
        return false;
    }
    m_pos = i + 1;
    return true;
}

// EndDocument is returned for markup that gives no token (comments, instructions, DOCTYPE).
XmlScanner::Token XmlScanner::scanMarkup()
{
    const char second = peek(1);
    if (second == '/')
        return scanEndTag();
    if (second == '?')
        return skipInstruction() ? Token::EndDocument : m_token;
    if (second != '!')
        return scanStartTag();
    const QByteArrayView rest = m_doc.sliced(m_pos);
    if (rest.startsWith("<!--"))
        return skipComment() ? Token::EndDocument : m_token;
    if (rest.startsWith("<![CDATA["))
        return fail("CDATA outside the root element");
    if (rest.startsWith("<!DOCTYPE"))
        return skipDocumentType() ? Token::EndDocument : m_token;
    return fail("a malformed declaration");
}

// Reads a quoted attribute value at m_pos and leaves m_pos past its closing quote.
bool XmlScanner::readAttributeValue(QByteArrayView &value)
{
    const char quote = m_doc[m_pos++];
    const qsizetype end = m_doc.indexOf(quote, m_pos);
    if (end < 0) {
        fail("an unterminated attribute value");
        return false;
    }
    value = m_doc.sliced(m_pos, end - m_pos);
    if (value.contains('<')) {
        fail("a '<' inside an attribute value");
        return false;
    }
    if (needsWork(value, Piece::AttributeValue)) {
        m_valueBuffers.emplace_back();
        if (const qsizetype bad = appendRead(value, Piece::AttributeValue, m_valueBuffers.back());
            bad >= 0) {
            m_pos += bad;
            fail("an unknown or malformed reference");
            return false;
        }
        value = m_valueBuffers.back();
    }
    m_pos = end + 1;
    return true;
}

// A name given twice fails the tag; tags with many attributes are checked by sorting their
// names, so the check costs n log n, not n².
bool XmlScanner::checkRepeatedAttributes()
{
    QByteArrayView repeated;
    const std::size_t n = m_attributes.size();
    if (n <= 8) {
        for (std::size_t i = 1; i < n && repeated.isNull(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (m_attributes[j].name == m_attributes[i].name) {
                    repeated = m_attributes[i].name;
                    break;
                }
            }
        }
    } else {
        const auto view = [](QByteArrayView s) {
            return std::string_view(s.data(), static_cast<std::size_t>(s.size()));
        };
        m_sortedNames.clear();
        for (const auto &a : m_attributes)
            m_sortedNames.push_back(a.name);
        std::sort(m_sortedNames.begin(), m_sortedNames.end(),
                  [&](QByteArrayView a, QByteArrayView b) { return view(a) < view(b); });
        for (std::size_t i = 1; i < n; ++i) {
            if (m_sortedNames[i - 1] == m_sortedNames[i]) {
                repeated = std::max(
                    m_sortedNames[i - 1], m_sortedNames[i],
                    [](QByteArrayView a, QByteArrayView b) { return a.data() < b.data(); });
                break;
            }
        }
    }
    if (repeated.isNull())
        return true;
    m_pos = repeated.data() - m_doc.data(); // names are views into the document
    fail("a repeated attribute");
    return false;
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
        QByteArrayView value;
        if (!readAttributeValue(value))
            return m_token;
        m_attributes.push_back({attrName, value});
    }
    if (!checkRepeatedAttributes())
        return m_token;
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

// All character data up to the next tag, as one token: text, references and CDATA sections,
// with comments and processing instructions passed over. One piece read as written stays a
// view into the document; otherwise the pieces are joined in m_buffer, each copied once.
XmlScanner::Token XmlScanner::scanText()
{
    bool joined = false;
    m_text = {};
    m_layout = true;
    const auto add = [&](QByteArrayView raw, Piece kind) -> qsizetype {
        const bool work = needsWork(raw, kind);
        if (!joined && m_text.isNull() && !work) {
            m_text = raw;
            return -1;
        }
        if (!joined) {
            m_buffer.truncate(0); // keeps the capacity for the next text
            m_buffer.append(m_text);
            joined = true;
        }
        const qsizetype bad = work ? appendRead(raw, kind, m_buffer) : (m_buffer.append(raw), -1);
        m_text = m_buffer;
        return bad;
    };
    while (!atEnd()) {
        if (m_doc[m_pos] != '<') {
            const qsizetype start = m_pos;
            qsizetype end = m_doc.indexOf('<', m_pos);
            if (end < 0)
                end = m_doc.size();
            const QByteArrayView raw = m_doc.sliced(start, end - start);
            m_pos = end;
            if (m_layout)
                m_layout = std::all_of(raw.begin(), raw.end(), [](char c) { return isSpace(c); });
            if (const qsizetype bad = add(raw, Piece::Text); bad >= 0) {
                m_pos = start + bad;
                return fail("an unknown or malformed reference");
            }
            continue;
        }
        const char second = peek(1);
        if (second != '!' && second != '?')
            break; // a tag
        const QByteArrayView rest = m_doc.sliced(m_pos);
        if (rest.startsWith("<![CDATA[")) {
            const qsizetype start = m_pos + 9;
            m_pos = start;
            if (!skipPast("]]>"))
                return fail("an unterminated CDATA section");
            m_layout = false;
            add(m_doc.sliced(start, m_pos - 3 - start), Piece::CData);
        } else if (rest.startsWith("<!--")) {
            if (!skipComment())
                return m_token;
        } else if (second == '?') {
            if (!skipInstruction())
                return m_token;
        } else {
            break; // markup that the next call judges
        }
    }
    if (m_text.isNull())
        m_text = QByteArrayView("", 0);
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
