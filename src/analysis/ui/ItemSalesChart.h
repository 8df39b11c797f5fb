#pragma once

#include "analysis/ItemMonthlySales.h"

#include <QWidget>

namespace corvina {

// A small bar chart of one item's sales by month, beside the Item Analyzer's grid: a title
// with the item and its total, one bar per month on a scale from 0 to the best month, and
// the first and last month named under the bars. Painted with QPainter.
class ItemSalesChart : public QWidget {
    Q_OBJECT
public:
    explicit ItemSalesChart(QWidget *parent = nullptr);

    // Shows these months; with `note`, the note is the title (an empty value: no bars).
    void showSales(const ItemMonthlySales &sales, const QString &note = {});
    const ItemMonthlySales &sales() const { return m_sales; }
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintBars(QPainter &painter, const QRectF &area);

    ItemMonthlySales m_sales;
    QString m_title;
};

} // namespace corvina
