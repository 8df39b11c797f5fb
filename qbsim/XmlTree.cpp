#include "qbsim/XmlTree.h"

#include "base/Error.h"

#include <QXmlStreamReader>

namespace corvina::qbsim {

using namespace Qt::Literals::StringLiterals;

Element *Element::child(QStringView childName)
{
    for (Element &c : children) {
        if (c.name == childName)
            return &c;
    }
    return nullptr;
}

const Element *Element::child(QStringView childName) const
{
    return const_cast<Element *>(this)->child(childName);
}

QString Element::childText(QStringView childName) const
{
    const Element *c = child(childName);
    return c ? c->text : QString();
}

bool Element::setChildText(QStringView childName, const QString &value)
{
    Element *c = child(childName);
    if (c)
        c->text = value;
    return c != nullptr;
}

qsizetype Element::indexOf(QStringView childName) const
{
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i].name == childName)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

Element &Element::insert(qsizetype index, Element element)
{
    if (index < 0 || index > static_cast<qsizetype>(children.size()))
        index = static_cast<qsizetype>(children.size());
    return *children.insert(children.begin() + index, std::move(element));
}

qsizetype Element::remove(QStringView childName)
{
    return static_cast<qsizetype>(
        std::erase_if(children, [childName](const Element &c) { return c.name == childName; }));
}

namespace {

Element readElement(QXmlStreamReader &reader)
{
    Element element(reader.name().toString());
    for (const QXmlStreamAttribute &attribute : reader.attributes())
        element.attributes.append(
            {attribute.qualifiedName().toString(), attribute.value().toString()});
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: element.children.push_back(readElement(reader)); break;
        case QXmlStreamReader::Characters: element.text += reader.text(); break;
        case QXmlStreamReader::EndElement:
            if (!element.children.empty())
                element.text.clear(); // the layout between children
            return element;
        default: break;
        }
    }
    return element;
}

void appendEscaped(QByteArray &out, const QString &text, bool attribute)
{
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case '"':
            if (attribute) {
                out.append("&quot;");
                break;
            }
            [[fallthrough]];
        default: out.append(c); break;
        }
    }
}

void write(QByteArray &out, const Element &element, QByteArray &indent)
{
    const QByteArray name = element.name.toUtf8();
    out.append('<').append(name);
    for (const auto &[key, value] : element.attributes) {
        out.append(' ').append(key.toUtf8()).append("=\"");
        appendEscaped(out, value, true);
        out.append('"');
    }
    if (element.children.empty() && element.text.isEmpty()) {
        out.append("/>");
        return;
    }
    out.append('>');
    if (element.children.empty()) {
        appendEscaped(out, element.text, false);
    } else {
        indent.append("  ");
        for (const Element &c : element.children) {
            out.append('\n').append(indent);
            write(out, c, indent);
        }
        indent.chop(2);
        out.append('\n').append(indent);
    }
    out.append("</").append(name).append('>');
}

} // namespace

Element parseElement(QByteArrayView xml)
{
    QXmlStreamReader reader(QByteArray::fromRawData(xml.data(), xml.size()));
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    if (reader.tokenType() != QXmlStreamReader::StartElement)
        throw Error(errc::kFileFailure, u"A record of the company file is not an element."_s);
    Element element = readElement(reader);
    reader.readNext();
    if (reader.hasError() && reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        throw Error(errc::kFileFailure,
                    u"A record of the company file cannot be read: %1"_s.arg(reader.errorString()));
    return element;
}

void writeElement(QByteArray &out, const Element &element, QByteArrayView indent)
{
    QByteArray current = indent.toByteArray();
    write(out, element, current);
}

} // namespace corvina::qbsim
