#include "views/ui/FieldPrintPainter.h"

#include "views/FieldPrintJob.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>

namespace corvina {

namespace {

constexpr double kNormalPoints = 10;
constexpr double kRuleWidthInches = 0.01;

} // namespace

QFont fieldPrintFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(kNormalPoints);
    font.setBold(false);
    font.setItalic(false);
    return font;
}

FieldPrintPainter::FieldPrintPainter(QPainter &painter, QSizeF pagePixels, QPrinter *printer)
    : m_painter(painter), m_printer(printer), m_font(fieldPrintFont()),
      m_dpiX(painter.device()->logicalDpiX()), m_dpiY(painter.device()->logicalDpiY()),
      m_pageWidth(pagePixels.width() / m_dpiX), m_pageHeight(pagePixels.height() / m_dpiY)
{
    m_painter.setFont(m_font);
    m_painter.setPen(Qt::black);
}

void FieldPrintPainter::setFontSize(double points)
{
    m_font.setPointSizeF(points);
    m_painter.setFont(m_font);
}

void FieldPrintPainter::setBold(bool bold)
{
    m_font.setBold(bold);
    m_painter.setFont(m_font);
}

void FieldPrintPainter::setItalic(bool italic)
{
    m_font.setItalic(italic);
    m_painter.setFont(m_font);
}

double FieldPrintPainter::lineHeight() const
{
    return QFontMetricsF(m_font, m_painter.device()).lineSpacing() / m_dpiY;
}

double FieldPrintPainter::textWidth(const QString &text) const
{
    return QFontMetricsF(m_font, m_painter.device()).horizontalAdvance(text) / m_dpiX;
}

void FieldPrintPainter::print(const QString &text)
{
    if (!text.isEmpty()) {
        const QFontMetricsF metrics(m_font, m_painter.device());
        m_painter.drawText(QPointF(m_x * m_dpiX, m_y * m_dpiY + metrics.ascent()), text);
    }
    m_x += textWidth(text);
}

void FieldPrintPainter::printLine(const QString &text)
{
    print(text);
    m_x = 0;
    m_y += lineHeight();
}

void FieldPrintPainter::drawLine(double x1, double x2, double y)
{
    m_painter.save();
    m_painter.setPen(QPen(Qt::black, kRuleWidthInches * m_dpiY));
    m_painter.drawLine(QPointF(x1 * m_dpiX, y * m_dpiY), QPointF(x2 * m_dpiX, y * m_dpiY));
    m_painter.restore();
}

void FieldPrintPainter::newPage()
{
    if (m_printer)
        m_printer->newPage();
    m_x = 0;
    m_y = 0;
}

void FieldPrintPainter::endDocument()
{
    if (m_printer)
        m_painter.end();
}

void FieldPrintPainter::clear()
{
    if (!m_printer)
        m_painter.fillRect(QRectF(0, 0, m_pageWidth * m_dpiX, m_pageHeight * m_dpiY), Qt::white);
    m_x = 0;
    m_y = 0;
}

bool printFieldJob(FieldPrintJob &job, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QSizeF page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    FieldPrintPainter surface(painter, page, &printer);
    job.printAll(surface);
    if (painter.isActive())
        painter.end();
    return printer.printerState() != QPrinter::Error;
}

bool printFieldJobToPdf(FieldPrintJob &job, const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return printFieldJob(job, printer);
}

} // namespace corvina
