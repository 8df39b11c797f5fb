#include "reporting/ui/ReportDocument.h"

#include "reporting/ui/Twips.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace corvina::reporting {

namespace {

// A line one pixel wide on a 96 DPI screen.
constexpr double LineWidthTwips = 15.0;

PageSize pageSizeOf(const QPageLayout &paper)
{
    const QRectF points = paper.fullRectPoints();
    return {static_cast<int>(std::lround(points.width() * 20)),
            static_cast<int>(std::lround(points.height() * 20))};
}

// Twips to the painter's device units.
class DeviceScale {
public:
    explicit DeviceScale(const QPaintDevice &device) : m_device(device) {}
    double x(double twips) const { return twipsToDeviceX(m_device, twips); }
    double y(double twips) const { return twipsToDeviceY(m_device, twips); }

private:
    const QPaintDevice &m_device;
};

QFont qtFont(const ReportFont &font)
{
    QFont f(font.family);
    f.setPointSizeF(font.pointSize);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    return f;
}

Qt::Alignment qtAlignment(Align align)
{
    switch (align) {
    case Align::Right: return Qt::AlignRight | Qt::AlignTop;
    case Align::Centre: return Qt::AlignHCenter | Qt::AlignTop;
    case Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

// Paints the bands of one page; every position is in twips from the paper's corner,
// nothing reaches past the report's width.
class PagePainter {
public:
    PagePainter(QPainter &painter, ReportPages &pages)
        : m_painter(painter), m_pages(pages), m_scale(*painter.device())
    {
        const ReportLayout &layout = pages.layout();
        const int paperWidth = pages.pageSize().width - layout.margins.left - layout.margins.right;
        m_left = layout.margins.left;
        m_right = m_left + std::min(paperWidth, layout.reportWidth.value_or(paperWidth));
    }

    void paint(const std::vector<Band> &bands)
    {
        for (const Band &band : bands) {
            for (const ReportControl &control : m_pages.sectionOf(band).controls) {
                if (!control.visible)
                    continue;
                if (control.kind == ControlKind::Line)
                    paintLine(band, control);
                else
                    paintText(band, control);
            }
        }
    }

private:
    void paintLine(const Band &band, const ReportControl &control)
    {
        const auto clampX = [this](int x) { return std::clamp(m_left + x, m_left, m_right); };
        QPen pen(Qt::black);
        pen.setWidthF(std::max(1.0, m_scale.y(LineWidthTwips)));
        m_painter.setPen(pen);
        m_painter.drawLine(
            QPointF(m_scale.x(clampX(control.x1)), m_scale.y(band.top + control.y1)),
            QPointF(m_scale.x(clampX(control.x2)), m_scale.y(band.top + control.y2)));
    }

    void paintText(const Band &band, const ReportControl &control)
    {
        const QString text = m_pages.controlText(band, control);
        if (text.isEmpty())
            return;
        const int left = m_left + control.rect.left;
        const int right = std::min(left + control.rect.width, m_right);
        if (right <= left)
            return;
        const QRectF box(m_scale.x(left), m_scale.y(band.top + control.rect.top),
                         m_scale.x(right - left), m_scale.y(control.rect.height));

        m_painter.setFont(qtFont(control.font.value_or(m_pages.layout().defaultFont)));
        m_painter.setPen(Qt::black);
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        const QString shown = metrics.elidedText(text, Qt::ElideRight, box.width());
        // Text runs off the bottom of its box only when the font is taller than the box.
        const bool clip = metrics.height() > box.height();
        if (clip) {
            m_painter.save();
            m_painter.setClipRect(box, Qt::IntersectClip);
        }
        m_painter.drawText(box, int(qtAlignment(control.align) | Qt::TextSingleLine), shown);
        if (clip)
            m_painter.restore();
    }

    QPainter &m_painter;
    ReportPages &m_pages;
    DeviceScale m_scale;
    int m_left = 0;
    int m_right = 0;
};

QPageLayout withoutMargins(const QPageLayout &paper)
{
    return QPageLayout(paper.pageSize(), paper.orientation(), QMarginsF());
}

} // namespace

ReportDocument::ReportDocument(std::shared_ptr<const ReportRows> rows, ReportLayout layout,
                               const QPageLayout &paper)
    : m_rows(rows), m_paper(withoutMargins(paper)),
      m_pages(
          std::make_unique<ReportPages>(std::move(rows), std::move(layout), pageSizeOf(m_paper)))
{
}

QPageLayout ReportDocument::letterPaper()
{
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
}

const ReportLayout &ReportDocument::layout() const
{
    return m_pages->layout();
}
QString ReportDocument::caption() const
{
    return layout().caption;
}
const QPageLayout &ReportDocument::paper() const
{
    return m_paper;
}
ReportPages &ReportDocument::pages()
{
    return *m_pages;
}
std::shared_ptr<const ReportRows> ReportDocument::rows() const
{
    return m_rows;
}

bool ReportDocument::paintPage(QPainter &painter, int pageIndex)
{
    if (!painter.device() || !m_pages->ensurePage(pageIndex))
        return false;
    painter.save();
    PagePainter(painter, *m_pages).paint(m_pages->page(pageIndex));
    painter.restore();
    return true;
}

namespace {

bool printPages(PagedDocument &document, QPrinter &printer)
{
    const int count = document.pages().pageCount();
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() > 0 ? printer.toPage() - 1 : last);
    }
    if (first > last)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int page = first; page <= last; ++page) {
        if (page > first && !printer.newPage())
            return false;
        document.paintPage(painter, page);
    }
    return painter.end();
}

} // namespace

std::unique_ptr<PagedDocument> ReportDocument::onPaper(const QPageLayout &paper) const
{
    return std::make_unique<ReportDocument>(m_rows, layout(), paper);
}

bool printReport(PagedDocument &document, QPrinter &printer)
{
    printer.setFullPage(true);
    if (printer.docName().isEmpty())
        printer.setDocName(document.caption());
    const QPageLayout paper = withoutMargins(printer.pageLayout());
    if (pageSizeOf(paper).width == document.pages().pageSize().width &&
        pageSizeOf(paper).height == document.pages().pageSize().height)
        return printPages(document, printer);
    const std::unique_ptr<PagedDocument> onPrinterPaper = document.onPaper(paper);
    return printPages(onPrinterPaper ? *onPrinterPaper : document, printer);
}

bool exportPdf(PagedDocument &document, const QString &path, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(document.paper());
    printer.setDocName(document.caption());
    printer.setCreator(QStringLiteral("Corvina"));
    if (printReport(document, printer))
        return true;
    if (error)
        *error = QStringLiteral("The report could not be written to %1.")
                     .arg(QFileInfo(path).absoluteFilePath());
    return false;
}

} // namespace corvina::reporting
