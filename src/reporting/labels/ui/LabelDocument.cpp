#include "reporting/labels/ui/LabelDocument.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPrinter>

#include <cmath>

namespace corvina {

namespace {

constexpr double kReferenceSize = 100.0;
constexpr double kTwipsPerPoint = 20.0;
constexpr double kTwipsPerInch = 1440.0;
// Room kept on the right for rounding between the measuring and the painting device.
constexpr double kWidthSafety = 0.98;
// Widths remembered at most; labels are fitted once, so the cache only spares the repeats
// within one fit.
constexpr size_t kWidthCacheLimit = 4096;

// A device whose pixels are points.
const QImage &pointDevice()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = static_cast<int>(std::lround(72.0 / 0.0254));
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return image;
}

QPageLayout paperOf(const LabelSheet &sheet)
{
    return QPageLayout(
        QPageSize(sheet.paper == LabelSheet::Paper::A4 ? QPageSize::A4 : QPageSize::Letter),
        QPageLayout::Portrait, QMarginsF());
}

} // namespace

FontMeasure::FontMeasure(const QString &family) : m_font(family)
{
    m_font.setPointSizeF(kReferenceSize);
    m_lineHeight = QFontMetricsF(m_font, &pointDevice()).lineSpacing();
}

double FontMeasure::width(const QString &text, double pointSize) const
{
    auto found = m_widths.find(text);
    if (found == m_widths.end()) {
        if (m_widths.size() >= kWidthCacheLimit)
            m_widths.clear();
        found =
            m_widths.emplace(text, QFontMetricsF(m_font, &pointDevice()).horizontalAdvance(text))
                .first;
    }
    return found->second * pointSize / kReferenceSize;
}

double FontMeasure::lineHeight(double pointSize) const
{
    return m_lineHeight * pointSize / kReferenceSize;
}

QFont FontMeasure::font(double pointSize) const
{
    QFont f(m_font);
    f.setPointSizeF(pointSize);
    return f;
}

// Every page of a label sheet is known at once: one sheet per perSheet() labels.
class LabelDocument::SheetPages : public reporting::PageSequence {
public:
    SheetPages(const LabelSheet &sheet, int labels)
        : m_size{sheet.pageWidth, sheet.pageHeight},
          m_count(std::max(1, (labels + sheet.perSheet() - 1) / sheet.perSheet()))
    {
    }
    reporting::PageSize pageSize() const override { return m_size; }
    bool ensurePage(int index) override { return index >= 0 && index < m_count; }
    bool paginateMore(int) override { return true; }
    bool isComplete() const override { return true; }
    int knownPageCount() const override { return m_count; }
    int pageCount() override { return m_count; }

private:
    reporting::PageSize m_size;
    int m_count;
};

LabelDocument::LabelDocument(std::shared_ptr<const LabelRows> rows, LabelSheet sheet,
                             QString caption)
    : m_rows(std::move(rows)), m_sheet(std::move(sheet)), m_caption(std::move(caption)),
      m_paper(paperOf(m_sheet)),
      m_pages(std::make_unique<SheetPages>(m_sheet, static_cast<int>(m_rows->labels.size()))),
      m_measure(QStringLiteral("Arial")), m_fitted(m_rows->labels.size()),
      m_isFitted(m_rows->labels.size(), false)
{
}

LabelDocument::~LabelDocument() = default;

QString LabelDocument::caption() const
{
    return m_caption;
}
const QPageLayout &LabelDocument::paper() const
{
    return m_paper;
}
reporting::PageSequence &LabelDocument::pages()
{
    return *m_pages;
}

const FittedLabel &LabelDocument::fitted(int index)
{
    const auto i = static_cast<size_t>(index);
    if (!m_isFitted[i]) {
        const reporting::TwipRect box = m_sheet.textRect(0);
        m_fitted[i] = fitLabel(m_rows->labels[i].lines, box.width / kTwipsPerPoint * kWidthSafety,
                               box.height / kTwipsPerPoint, m_sheet.pointSize, m_sheet.minPointSize,
                               m_measure);
        m_isFitted[i] = true;
        ++m_fittedCount;
        m_cutCount += m_fitted[i].cut ? 1 : 0;
    }
    return m_fitted[i];
}

bool LabelDocument::fitMore(int count)
{
    for (; count > 0 && m_nextToFit < labelCount(); ++m_nextToFit) {
        if (!m_isFitted[static_cast<size_t>(m_nextToFit)]) {
            fitted(m_nextToFit);
            --count;
        }
    }
    return allFitted();
}

bool LabelDocument::paintPage(QPainter &painter, int pageIndex)
{
    if (!painter.device() || !m_pages->ensurePage(pageIndex))
        return false;
    QPaintDevice &device = *painter.device();
    const double sx = device.logicalDpiX() / kTwipsPerInch;
    const double sy = device.logicalDpiY() / kTwipsPerInch;
    const auto deviceRect = [sx, sy](const reporting::TwipRect &r) {
        return QRectF(r.left * sx, r.top * sy, r.width * sx, r.height * sy);
    };
    painter.save();
    // Outside the printer (the preview, an image) the labels' outlines show where the sheet's
    // die cuts are; they are not printed.
    const bool outlines = dynamic_cast<QPrinter *>(&device) == nullptr;
    const int first = pageIndex * m_sheet.perSheet();
    for (int k = 0; k < m_sheet.perSheet(); ++k) {
        if (outlines) {
            painter.setPen(QPen(QColor(190, 190, 190), 0, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(deviceRect(m_sheet.labelRect(k)), 6 * sx, 6 * sy);
        }
        if (first + k >= labelCount())
            continue;
        const FittedLabel &label = fitted(first + k);
        const QFont font = m_measure.font(label.pointSize);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QFontMetricsF metrics(font, &device);
        const QRectF box = deviceRect(m_sheet.textRect(k));
        const double lineHeight = m_measure.lineHeight(label.pointSize) * kTwipsPerPoint * sy;
        const double blockHeight = lineHeight * static_cast<double>(label.lines.size());
        double baseline =
            box.top() + std::max(0.0, (box.height() - blockHeight) / 2) + metrics.ascent();
        for (const QString &line : label.lines) {
            painter.drawText(QPointF(box.left(), baseline), line);
            baseline += lineHeight;
        }
    }
    painter.restore();
    return true;
}

} // namespace corvina
