#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

namespace corvina::qb {

// A pull scanner for XML documents in UTF-8, as qbXML answers are: elements with attributes,
// text with entity and character references, CDATA, comments and processing instructions.
// It checks what makes a document well-formed (one root, matching end tags, closed
// constructs, known references, valid UTF-8, only the characters XML allows) and stops at the
// first fault with a message and its line and column. Names and texts are views into the
// document or into a buffer of the scanner, valid until the next call to next().
//
// Text is given as XML defines it: line ends read as "\n", attribute values with their white
// space normalised, and all character data between two tags (text, references, CDATA
// sections, with comments and instructions left out) as one Characters token. Each byte is
// looked at a fixed number of times (the names of a tag with many attributes are sorted to
// find repeats), so hostile documents cost time and memory in proportion to their size.
//
// Several times faster than QXmlStreamReader on large answers, since it works on the bytes
// as they are and copies only text that holds references, line ends or several pieces.
class XmlScanner {
public:
    enum class Token { StartElement, EndElement, Characters, EndDocument, Error };

    struct Attribute {
        QByteArrayView name;
        QByteArrayView value; // references resolved, white space normalised
    };

    explicit XmlScanner(QByteArrayView document);

    Token next();
    Token token() const noexcept { return m_token; }

    // StartElement and EndElement: the element's name; Characters: its text, references
    // resolved. An empty element (<a/>) gives a StartElement, then an EndElement.
    QByteArrayView name() const noexcept { return m_name; }
    QByteArrayView text() const noexcept { return m_text; }
    // Whether the text is layout: white space written as such, without CDATA or references.
    bool isWhitespace() const noexcept { return m_layout; }
    const std::vector<Attribute> &attributes() const noexcept { return m_attributes; }
    QByteArrayView attribute(QByteArrayView name) const;
    // The target and data of processing instructions met so far, e.g. qbxml / version="2.1".
    QByteArrayView lastInstructionTarget() const noexcept { return m_piTarget; }
    QByteArrayView lastInstructionData() const noexcept { return m_piData; }
    int depth() const noexcept { return static_cast<int>(m_open.size()); }

    // Skips to the end of the element just started; the scanner then stands on its EndElement.
    void skipElement();

    bool hasError() const noexcept { return m_token == Token::Error; }
    // The fault, with "line L, column C" of where it was found.
    QString errorString() const;
    qsizetype offset() const noexcept { return m_pos; }

private:
    Token fail(const char *what);
    Token scanMarkup();
    Token scanStartTag();
    Token scanEndTag();
    Token scanText();
    bool skipComment();
    bool skipInstruction();
    bool skipDocumentType();
    bool readAttributeValue(QByteArrayView &value);
    bool checkRepeatedAttributes();
    bool skipPast(QByteArrayView terminator);
    bool scanName(QByteArrayView &name);
    void skipSpace();
    bool atEnd() const noexcept { return m_pos >= m_doc.size(); }
    // The byte `ahead` places past the current one, or 0 past the end.
    char peek(qsizetype ahead) const noexcept
    {
        return m_pos + ahead < m_doc.size() ? m_doc[m_pos + ahead] : '\0';
    }

    QByteArrayView m_doc;
    qsizetype m_pos = 0;
    Token m_token = Token::EndDocument;
    QByteArrayView m_name;
    QByteArrayView m_text;
    bool m_layout = false;
    QByteArray m_buffer;
    std::vector<QByteArray> m_valueBuffers;
    std::vector<Attribute> m_attributes;
    std::vector<QByteArrayView> m_sortedNames;
    std::vector<QByteArrayView> m_open;
    QByteArrayView m_piTarget, m_piData;
    bool m_pendingEnd = false;
    bool m_seenRoot = false;
    bool m_seenDocumentType = false;
    bool m_started = false;
    QByteArray m_error;
    qsizetype m_errorPos = 0;
};

} // namespace corvina::qb
