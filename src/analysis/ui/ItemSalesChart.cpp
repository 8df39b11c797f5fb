#include "analysis/ui/ItemSalesChart.h"

#include <QLocale>
#include <QPainter>

namespace corvina {

namespace {

constexpr int kPad = 4;

} // namespace

ItemSalesChart::ItemSalesChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("salesChart"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    showSales({}, QStringLiteral("Select an item to see its sales by month"));
}

void ItemSalesChart::showSales(const ItemMonthlySales &sales, const QString &note)
{
    m_sales = sales;
    m_title = !note.isEmpty() ? note
                              : QStringLiteral("%1: sales by month, %2 in all")
                                    .arg(sales.item, QLocale().toString(sales.total(), 'f', 2));
    setToolTip(m_title);
    update();
}

void ItemSalesChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QFontMetrics metrics(font());
    const QRect titleBox(kPad, kPad, width() - 2 * kPad, 2 * metrics.height());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     metrics.elidedText(m_title, Qt::ElideRight, 2 * titleBox.width()));
    const QRectF area(kPad, titleBox.bottom() + kPad, width() - 2 * kPad,
                      height() - titleBox.bottom() - 2 * kPad - metrics.height());
    if (area.height() > 4 && !m_sales.months.empty())
        paintBars(painter, area);
}

void ItemSalesChart::paintBars(QPainter &painter, const QRectF &area)
{
    const QFontMetrics metrics(font());
    const double highest = m_sales.highest();
    const QString top = QLocale().toString(highest, 'f', 0);
    const double axis = area.left() + metrics.horizontalAdvance(top) + kPad;
    const QRectF plot(axis, area.top() + metrics.height() / 2.0, area.right() - axis,
                      area.height() - metrics.height() / 2.0);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRectF(area.left(), area.top(), axis - area.left() - kPad, metrics.height()),
                     Qt::AlignRight, top);
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    const double slot = plot.width() / static_cast<double>(m_sales.months.size());
    for (size_t i = 0; i < m_sales.months.size(); ++i) {
        const double sales = m_sales.months[i].sales;
        if (highest <= 0 || sales <= 0)
            continue;
        const double h = plot.height() * sales / highest;
        painter.fillRect(QRectF(plot.left() + slot * (static_cast<double>(i) + 0.15),
                                plot.bottom() - h, slot * 0.7, h),
                         palette().color(QPalette::Highlight));
    }
    const QString format = QStringLiteral("MMM yy");
    const QRectF under(plot.left(), plot.bottom() + 1, plot.width(), metrics.height());
    painter.drawText(under, Qt::AlignLeft,
                     QLocale().toString(m_sales.months.front().month, format));
    if (m_sales.months.size() > 1)
        painter.drawText(under, Qt::AlignRight,
                         QLocale().toString(m_sales.months.back().month, format));
}

} // namespace corvina
