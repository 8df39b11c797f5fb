#pragma once

#include <QString>

namespace corvina {

// A page-oriented text device, as the field printing draws on it. Lengths are in inches
// from the top left of the printable page; the current position is where the next text's
// top left goes. Printing a text moves the position to its end; ending a line moves it to
// the start (x = 0) of the next line, one line height of the current font further down.
class FieldPrintSurface {
public:
    virtual ~FieldPrintSurface() = default;

    virtual double pageWidth() const = 0;
    virtual double pageHeight() const = 0;

    // In points.
    virtual double fontSize() const = 0;
    virtual void setFontSize(double points) = 0;
    virtual void setBold(bool bold) = 0;
    virtual void setItalic(bool italic) = 0;

    virtual double x() const = 0;
    virtual double y() const = 0;
    virtual void setX(double x) = 0;
    virtual void setY(double y) = 0;

    virtual double textWidth(const QString &text) const = 0;
    // Prints and stays on the line.
    virtual void print(const QString &text) = 0;
    // Prints (or nothing) and ends the line.
    virtual void printLine(const QString &text = QString()) = 0;
    // A black horizontal line at height y.
    virtual void drawLine(double x1, double x2, double y) = 0;

    // Printer: the next sheet, at its top; the end of the document.
    virtual void newPage() = 0;
    virtual void endDocument() = 0;
    // Preview: an empty page, position at the top.
    virtual void clear() = 0;
};

} // namespace corvina
