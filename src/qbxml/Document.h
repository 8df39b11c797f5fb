#pragma once

#include "qbxml/DateTime.h"
#include "qbxml/Tags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvina::qb {

class Document;
class XmlScanner;

// A reference to another list entry: its list id and full name, either of which may be absent.
struct Ref {
    std::optional<QString> listId;
    std::optional<QString> fullName;
};

// A postal address; every part may be absent.
struct Address {
    std::optional<QString> addr1, addr2, addr3, addr4;
    std::optional<QString> city, state, postalCode, country;
};

// A read-only view of one element of a parsed answer: its name, its text and its child
// elements. Every accessor that names a field returns nothing when the element lacks it, so
// callers test for presence before reading. A present value that cannot be read as its type
// (a balance of "abc", a date of "tomorrow") raises corvina::Error with hr::kInvalidData.
// Views stay valid as long as any copy of the answer they came from is alive.
class Element {
public:
    Element() = default;
    Element(std::shared_ptr<const Document> document, std::uint32_t index)
        : m_document(std::move(document)), m_index(index)
    {
    }

    bool isNull() const noexcept { return !m_document; }
    explicit operator bool() const noexcept { return !isNull(); }

    // The element's tag; Tag::KnownCount for a name the library does not know.
    Tag tag() const;
    // The element's name, which is also its record type ("CustomerRet", "ItemServiceRet").
    QString name() const;
    QString text() const;

    // The first child with this tag, or a null element.
    Element child(Tag tag) const;
    std::vector<Element> children() const;
    std::vector<Element> children(Tag tag) const;

    std::optional<QString> textOf(Tag tag) const;
    std::optional<QDate> dateOf(Tag tag) const;
    // A date-time with its offset (TimeModified, TimeDeleted).
    std::optional<DateTime> dateTimeOf(Tag tag) const;
    std::optional<bool> boolOf(Tag tag) const;
    std::optional<double> numberOf(Tag tag) const;
    std::optional<int> integerOf(Tag tag) const;
    std::optional<Ref> refOf(Tag tag) const;
    std::optional<Address> addressOf(Tag tag) const;

    // The same values as UTF-8 bytes, for copying many records without converting text:
    // the bytes are not copied and stay valid while the answer is alive.
    std::optional<QByteArray> utf8Of(Tag tag) const;
    std::optional<QByteArray> refListIdUtf8(Tag tag) const;
    std::optional<QByteArray> refFullNameUtf8(Tag tag) const;

protected:
    const Document &document() const { return *m_document; }
    std::uint32_t index() const noexcept { return m_index; }

private:
    std::shared_ptr<const Document> m_document;
    std::uint32_t m_index = 0;
};

// Compact storage for parsed qbXML: elements in document order (each knows where its subtree
// ends), element names interned as numbers and all text, as UTF-8, in chunked pools. Below a
// record's own element only the elements the library knows are kept. An answer with 100,000
// invoices costs about 20 bytes per kept element plus its text, instead of a tree of objects.
class Document {
public:
    Document();

    // Reads the element at the scanner's current StartElement, with the known elements inside
    // it, and returns its index. Attributes are not kept; an element's text is its character
    // data less the white space that lays out its children. The scanner is left on the
    // matching EndElement; a scanner error stops the read and is left for the caller to
    // report. Time and memory grow in proportion to the bytes read.
    std::uint32_t readElement(XmlScanner &scanner);

    std::size_t elementCount() const noexcept { return m_nodes.size(); }
    // Bytes of text held in the pools.
    std::size_t textBytes() const noexcept;

    struct Node {
        std::uint32_t tag;
        std::uint32_t end;       // index one past the last element of this subtree
        std::uint32_t textChunk; // where the element's own text lies
        std::uint32_t textOffset;
        std::uint32_t textLength;
    };
    const Node &node(std::uint32_t index) const { return m_nodes[index]; }
    QByteArrayView textOf(const Node &node) const;
    const QString &nameOf(std::uint32_t tag) const { return m_names[tag]; }

private:
    std::uint32_t intern(QByteArrayView name);
    void storeText(Node &node, QByteArrayView text);
    void dropText(Node &node);

    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(QByteArrayView s) const noexcept { return qHash(s); }
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(QByteArrayView a, QByteArrayView b) const noexcept { return a == b; }
    };

    std::vector<Node> m_nodes;
    std::vector<QString> m_names;
    std::vector<QByteArray> m_utf8Names;
    std::unordered_map<QByteArray, std::uint32_t, NameHash, NameEqual> m_tagOfName;
    std::vector<QByteArray> m_text;
};

} // namespace corvina::qb
