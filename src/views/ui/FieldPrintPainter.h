#pragma once

#include "views/FieldPrintSurface.h"

#include <QFont>
#include <QSizeF>

class QPainter;
class QPrinter;

namespace corvina {

class FieldPrintJob;

// The field printing's surface over a QPainter: the preview's page image or a printer.
// Inches are converted at the paint device's logical DPI; the page is the device area the
// painter covers, from its top left.
class FieldPrintPainter : public FieldPrintSurface {
public:
    // `painter` is active on its device; `pagePixels` is the page in device pixels. With a
    // printer, newPage() starts the next sheet and clear() only returns to the top.
    FieldPrintPainter(QPainter &painter, QSizeF pagePixels, QPrinter *printer = nullptr);

    double pageWidth() const override { return m_pageWidth; }
    double pageHeight() const override { return m_pageHeight; }
    double fontSize() const override { return m_font.pointSizeF(); }
    void setFontSize(double points) override;
    void setBold(bool bold) override;
    void setItalic(bool italic) override;
    double x() const override { return m_x; }
    double y() const override { return m_y; }
    void setX(double x) override { m_x = x; }
    void setY(double y) override { m_y = y; }
    double textWidth(const QString &text) const override;
    void print(const QString &text) override;
    void printLine(const QString &text = QString()) override;
    void drawLine(double x1, double x2, double y) override;
    void newPage() override;
    void endDocument() override;
    void clear() override;

private:
    double lineHeight() const;

    QPainter &m_painter;
    QPrinter *m_printer;
    QFont m_font;
    double m_dpiX;
    double m_dpiY;
    double m_pageWidth;
    double m_pageHeight;
    double m_x = 0;
    double m_y = 0;
};

// The normal font of the field printing: the system's sans serif at 10 points.
QFont fieldPrintFont();

// Prints every page of a job on a printer that is set up but not yet begun. False when the
// printer could not be started or reported an error.
bool printFieldJob(FieldPrintJob &job, QPrinter &printer);
// The same into a PDF file at `path` (the default page size).
bool printFieldJobToPdf(FieldPrintJob &job, const QString &path);

} // namespace corvina
