#include "analysis/campaign/ui/RfmChart.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace corvina {

namespace {

const QColor kCustomersColor(0x4e, 0x79, 0xa7);
const QColor kSalesColor(0xf2, 0x8e, 0x2b);

// The axis' top: the highest share rounded up to a multiple of 10, at least 10.
double axisTop(const std::vector<RfmBar> &bars)
{
    double highest = 0;
    for (const RfmBar &bar : bars)
        highest = std::max({highest, bar.customerShare, bar.salesShare});
    return std::clamp(std::ceil(highest / 10) * 10, 10.0, 100.0);
}

} // namespace

RfmChart::RfmChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(420, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void RfmChart::setBars(const std::vector<RfmBar> &bars)
{
    m_bars = bars;
    update();
}

QRect RfmChart::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QStringLiteral("100%")) + 10;
    const int top = metrics.height() * 2 + 8;     // title and legend
    const int bottom = metrics.height() * 3 + 10; // segment names (two lines) and counts
    return QRect(left, top, std::max(1, width() - left - 10), std::max(1, height() - top - bottom));
}

int RfmChart::segmentAt(const QPoint &point) const
{
    const QRect plot = plotArea();
    if (m_bars.empty() || point.x() < plot.left() || point.x() > plot.right() ||
        point.y() < plot.top())
        return -1;
    const int index = static_cast<int>((point.x() - plot.left()) *
                                       static_cast<qint64>(m_bars.size()) / plot.width());
    return std::clamp(index, 0, static_cast<int>(m_bars.size()) - 1);
}

void RfmChart::mousePressEvent(QMouseEvent *event)
{
    const int segment = segmentAt(event->position().toPoint());
    if (segment >= 0)
        emit segmentClicked(segment);
    QWidget::mousePressEvent(event);
}

void RfmChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const QRect plot = plotArea();
    const int line = metrics.height();

    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(0, 2, width(), line), Qt::AlignHCenter,
                     QStringLiteral("Segments: share of customers and of sales"));
    painter.setFont(font());
    // Legend.
    const QString customers = QStringLiteral("Customers %");
    const QString sales = QStringLiteral("Sales %");
    const int legendWidth = 2 * (line + 4) + metrics.horizontalAdvance(customers) +
                            metrics.horizontalAdvance(sales) + 16;
    int x = (width() - legendWidth) / 2;
    const int legendY = line + 4;
    for (const auto &[text, color] :
         {std::pair{customers, kCustomersColor}, std::pair{sales, kSalesColor}}) {
        painter.fillRect(QRect(x, legendY + 2, line - 4, line - 4), color);
        x += line;
        painter.drawText(QPoint(x, legendY + metrics.ascent()), text);
        x += metrics.horizontalAdvance(text) + 16;
    }

    // Axis with gridlines every tenth of its height.
    const double top = axisTop(m_bars);
    painter.setPen(palette().color(QPalette::Mid));
    for (int step = 0; step <= 5; ++step) {
        const int y = plot.bottom() - static_cast<int>(plot.height() * step / 5.0);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(0, y - line / 2, plot.left() - 4, line),
                         Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1%").arg(top * step / 5, 0, 'f', 0));
        painter.setPen(palette().color(QPalette::Mid));
    }
    if (m_bars.empty())
        return;

    const double slot = plot.width() / static_cast<double>(m_bars.size());
    const double barWidth = std::max(2.0, slot * 0.35);
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const RfmBar &bar = m_bars[i];
        const double left = plot.left() + slot * static_cast<double>(i) + (slot - 2 * barWidth) / 2;
        const auto drawBar = [&](double share, double at, const QColor &color) {
            const double height = plot.height() * share / top;
            painter.fillRect(QRectF(at, plot.bottom() - height, barWidth, height), color);
        };
        drawBar(bar.customerShare, left, kCustomersColor);
        drawBar(bar.salesShare, left + barWidth, kSalesColor);
    }
    // Names wrap onto two lines in a font small enough for their longest word to fit the slot.
    QFont labelFont = font();
    const auto widest = [&](const QFont &f) {
        const QFontMetrics m(f);
        int most = 0;
        for (const RfmBar &bar : m_bars)
            for (const QString &word : bar.segment.split(u' '))
                most = std::max(most, m.horizontalAdvance(word));
        return most;
    };
    while (widest(labelFont) > slot - 4 && labelFont.pointSizeF() > 6)
        labelFont.setPointSizeF(labelFont.pointSizeF() - 0.5);
    painter.setFont(labelFont);
    painter.setPen(palette().color(QPalette::Text));
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const QRect nameBox(static_cast<int>(plot.left() + slot * static_cast<double>(i)),
                            plot.bottom() + 4, static_cast<int>(slot), 2 * line);
        painter.drawText(nameBox, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         m_bars[i].segment);
        painter.drawText(nameBox.translated(0, 2 * line).adjusted(0, 0, 0, -line), Qt::AlignHCenter,
                         QString::number(m_bars[i].customers));
    }
}

} // namespace corvina
