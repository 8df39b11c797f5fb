#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <vector>

// A record of a company file as a small element tree, to be changed and written back.
namespace corvina::qbsim {

struct Element {
    QString name;
    QString text; // of an element without children
    QList<QPair<QString, QString>> attributes;
    std::vector<Element> children;

    Element() = default;
    Element(QString elementName, QString elementText = {})
        : name(std::move(elementName)), text(std::move(elementText))
    {
    }

    Element *child(QStringView childName);
    const Element *child(QStringView childName) const;
    // The text of the first child so named; empty when there is none.
    QString childText(QStringView childName) const;
    // Sets the text of the first child so named; false when there is none.
    bool setChildText(QStringView childName, const QString &value);
    // The position of the first child so named; -1 when there is none.
    qsizetype indexOf(QStringView childName) const;
    // Inserts `element` before the child at `index` (at the end when out of range).
    Element &insert(qsizetype index, Element element);
    // Removes every child so named; how many there were.
    qsizetype remove(QStringView childName);
};

// Reads one element (the bytes of a record as the file holds them). Throws corvina::Error
// when they are not one well-formed element.
Element parseElement(QByteArrayView xml);

// Writes `element` with each child on a line of its own, indented two spaces a level from
// `indent`, the indentation of the line the element starts on (not written before it).
void writeElement(QByteArray &out, const Element &element, QByteArrayView indent);

} // namespace corvina::qbsim
