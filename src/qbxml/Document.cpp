#include "qbxml/Document.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include "qbxml/XmlScanner.h"

#include <cmath>
#include <cstring>

namespace corvina::qb {

namespace {

constexpr qsizetype kTextChunk = 1 << 20; // characters per text pool chunk

const char *const kTagNames[] = {
#define CORVINA_QBXML_TAG_NAME(name) #name,
    CORVINA_QBXML_TAGS(CORVINA_QBXML_TAG_NAME)
#undef CORVINA_QBXML_TAG_NAME
};

[[noreturn]] void badValue(const QString &field, QByteArrayView text, const char *what)
{
    throw Error(hr::kInvalidData,
                QStringLiteral("QuickBooks returned \"%1\" for %2, which is not %3.")
                    .arg(QString::fromUtf8(text), field, QLatin1String(what)));
}

// A number as qbXML writes amounts, prices, quantities and percentages: a sign, digits and a
// decimal point; an exponent is tolerated. Words such as "nan" and "inf" are not numbers.
bool isDecimal(QByteArrayView text)
{
    const auto isDigit = [&](qsizetype i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    const auto isSign = [&](qsizetype i) {
        return i < text.size() && (text[i] == '+' || text[i] == '-');
    };
    qsizetype i = isSign(0) ? 1 : 0;
    qsizetype digits = 0;
    for (; isDigit(i); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.') {
        for (++i; isDigit(i); ++i)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        i += isSign(i + 1) ? 2 : 1;
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            ++i;
    }
    return i == text.size();
}

} // namespace

const char *tagName(Tag tag)
{
    return kTagNames[static_cast<std::size_t>(tag)];
}

Document::Document()
{
    const auto known = static_cast<std::size_t>(Tag::KnownCount);
    m_names.reserve(known + 16);
    for (std::size_t i = 0; i < known; ++i) {
        m_names.push_back(QString::fromLatin1(kTagNames[i]));
        m_tagOfName.emplace(QByteArray(kTagNames[i]), static_cast<std::uint32_t>(i));
    }
}

std::uint32_t Document::intern(QByteArrayView name)
{
    if (auto it = m_tagOfName.find(name); it != m_tagOfName.end())
        return it->second;
    const auto tag = static_cast<std::uint32_t>(m_names.size());
    m_names.push_back(QString::fromUtf8(name));
    m_tagOfName.emplace(name.toByteArray(), tag);
    return tag;
}

void Document::storeText(Node &node, QByteArrayView text)
{
    if (m_text.empty() || m_text.back().size() + text.size() > m_text.back().capacity()) {
        m_text.emplace_back();
        m_text.back().reserve(std::max(kTextChunk, text.size()));
    }
    QByteArray &chunk = m_text.back();
    node.textChunk = static_cast<std::uint32_t>(m_text.size() - 1);
    node.textOffset = static_cast<std::uint32_t>(chunk.size());
    node.textLength = static_cast<std::uint32_t>(text.size());
    chunk.append(text);
}

void Document::dropText(Node &node)
{
    // Text just stored is taken back from the pool, so layout costs no room.
    if (node.textLength > 0 && node.textChunk + 1 == m_text.size()) {
        QByteArray &chunk = m_text.back();
        if (static_cast<qsizetype>(node.textOffset) + node.textLength == chunk.size())
            chunk.truncate(node.textOffset);
    }
    node.textLength = 0;
}

std::size_t Document::textBytes() const noexcept
{
    std::size_t bytes = 0;
    for (const QByteArray &chunk : m_text)
        bytes += static_cast<std::size_t>(chunk.size());
    return bytes;
}

QByteArrayView Document::textOf(const Node &node) const
{
    if (node.textLength == 0)
        return {};
    return QByteArrayView(m_text[node.textChunk].constData() + node.textOffset, node.textLength);
}

std::uint32_t Document::readElement(XmlScanner &scanner)
{
    // An element being read. Its text is all its character data, except white space written
    // between, before or after child elements, which is layout. The scanner gives the data
    // between two tags as one token, so an element without children has at most one.
    struct Open {
        explicit Open(std::uint32_t i) : index(i) {}
        std::uint32_t index;
        bool hasChild = false;
        bool maybeLayout = false; // its text is white space that a child would make layout
        QByteArray joined;        // its text, when it comes in several parts around children
    };
    const auto first = static_cast<std::uint32_t>(m_nodes.size());
    std::vector<Open> open;
    open.emplace_back(first);
    m_nodes.push_back(Node{intern(scanner.name()), 0, 0, 0, 0});
    const auto known = static_cast<std::uint32_t>(Tag::KnownCount);
    while (!open.empty()) {
        switch (scanner.next()) {
        case XmlScanner::Token::StartElement: {
            Open &parent = open.back();
            parent.hasChild = true;
            if (parent.maybeLayout) {
                parent.maybeLayout = false;
                dropText(m_nodes[parent.index]);
            }
            const auto found = m_tagOfName.find(scanner.name());
            if (found == m_tagOfName.end() || found->second >= known) {
                scanner.skipElement(); // a field nobody reads
                break;
            }
            open.emplace_back(static_cast<std::uint32_t>(m_nodes.size()));
            m_nodes.push_back(Node{found->second, 0, 0, 0, 0});
            break;
        }
        case XmlScanner::Token::EndElement: {
            Open &element = open.back();
            Node &node = m_nodes[element.index];
            if (!element.joined.isNull())
                storeText(node, element.joined);
            node.end = static_cast<std::uint32_t>(m_nodes.size());
            open.pop_back();
            break;
        }
        case XmlScanner::Token::Characters: {
            Open &element = open.back();
            Node &node = m_nodes[element.index];
            if (scanner.isWhitespace()) {
                if (element.hasChild)
                    break;
                element.maybeLayout = true;
            }
            if (node.textLength == 0 && element.joined.isNull()) {
                storeText(node, scanner.text());
            } else {
                // Text on both sides of a child (mixed content): joined apart from the pool,
                // each part copied once, and stored when the element ends.
                if (element.joined.isNull())
                    element.joined = textOf(node).toByteArray();
                element.joined.append(scanner.text());
            }
            break;
        }
        default:
            // An error or the end of the document: close what is open so the stored part
            // stays a well-formed tree, and leave the fault to the caller.
            for (const auto &element : open)
                m_nodes[element.index].end = static_cast<std::uint32_t>(m_nodes.size());
            return first;
        }
    }
    return first;
}

Tag Element::tag() const
{
    const auto tag = document().node(m_index).tag;
    return tag < static_cast<std::uint32_t>(Tag::KnownCount) ? static_cast<Tag>(tag)
                                                             : Tag::KnownCount;
}

QString Element::name() const
{
    return document().nameOf(document().node(m_index).tag);
}

QString Element::text() const
{
    return QString::fromUtf8(document().textOf(document().node(m_index)));
}

Element Element::child(Tag tag) const
{
    const Document &doc = document();
    const auto wanted = static_cast<std::uint32_t>(tag);
    const std::uint32_t end = doc.node(m_index).end;
    for (std::uint32_t i = m_index + 1; i < end; i = doc.node(i).end) {
        if (doc.node(i).tag == wanted)
            return Element(m_document, i);
    }
    return {};
}

std::vector<Element> Element::children() const
{
    std::vector<Element> out;
    const Document &doc = document();
    const std::uint32_t end = doc.node(m_index).end;
    for (std::uint32_t i = m_index + 1; i < end; i = doc.node(i).end)
        out.emplace_back(m_document, i);
    return out;
}

std::vector<Element> Element::children(Tag tag) const
{
    std::vector<Element> out;
    const Document &doc = document();
    const auto wanted = static_cast<std::uint32_t>(tag);
    const std::uint32_t end = doc.node(m_index).end;
    for (std::uint32_t i = m_index + 1; i < end; i = doc.node(i).end) {
        if (doc.node(i).tag == wanted)
            out.emplace_back(m_document, i);
    }
    return out;
}

std::optional<QString> Element::textOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    return e.text();
}

std::optional<QDate> Element::dateOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index));
    // Dates are YYYY-MM-DD; date-times carry a time and zone after the date.
    const QDate date = QDate::fromString(
        QString::fromLatin1(text.first(std::min<qsizetype>(10, text.size()))), Qt::ISODate);
    if (!date.isValid() || (text.size() > 10 && text[10] != 'T'))
        badValue(QString::fromLatin1(tagName(tag)), text, "a date");
    return date;
}

std::optional<DateTime> Element::dateTimeOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index));
    const auto value = DateTime::parse(text);
    if (!value)
        badValue(QString::fromLatin1(tagName(tag)), text, "a date and time");
    return value;
}

std::optional<bool> Element::boolOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index)).trimmed();
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    badValue(QString::fromLatin1(tagName(tag)), text, "true or false");
}

std::optional<double> Element::numberOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index)).trimmed();
    bool ok = isDecimal(text);
    const double value = ok ? text.toDouble(&ok) : 0.0;
    if (!ok || !std::isfinite(value))
        badValue(QString::fromLatin1(tagName(tag)), text, "a number");
    return value;
}

std::optional<int> Element::integerOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index)).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        badValue(QString::fromLatin1(tagName(tag)), text, "a whole number");
    return value;
}

std::optional<QByteArray> Element::utf8Of(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    const QByteArrayView text = document().textOf(document().node(e.m_index));
    return text.isEmpty() ? QByteArray("") : QByteArray::fromRawData(text.data(), text.size());
}

std::optional<QByteArray> Element::refListIdUtf8(Tag tag) const
{
    const Element e = child(tag);
    return e.isNull() ? std::nullopt : e.utf8Of(Tag::ListID);
}

std::optional<QByteArray> Element::refFullNameUtf8(Tag tag) const
{
    const Element e = child(tag);
    return e.isNull() ? std::nullopt : e.utf8Of(Tag::FullName);
}

std::optional<Ref> Element::refOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    return Ref{e.textOf(Tag::ListID), e.textOf(Tag::FullName)};
}

std::optional<Address> Element::addressOf(Tag tag) const
{
    const Element e = child(tag);
    if (e.isNull())
        return std::nullopt;
    Address a;
    a.addr1 = e.textOf(Tag::Addr1);
    a.addr2 = e.textOf(Tag::Addr2);
    a.addr3 = e.textOf(Tag::Addr3);
    a.addr4 = e.textOf(Tag::Addr4);
    a.city = e.textOf(Tag::City);
    a.state = e.textOf(Tag::State);
    a.postalCode = e.textOf(Tag::PostalCode);
    a.country = e.textOf(Tag::Country);
    return a;
}

} // namespace corvina::qb
