#pragma once

#include "analysis/campaign/Rfm.h"

#include <QWidget>

#include <vector>

namespace corvina {

// The RFM segments as bars: per segment its share of the scored customers and its share of
// their sales, in percent, side by side, with the segment's name and customer count under
// them. Clicking a segment's bars emits its index.
class RfmChart : public QWidget {
    Q_OBJECT
public:
    explicit RfmChart(QWidget *parent = nullptr);

    void setBars(const std::vector<RfmBar> &bars);
    const std::vector<RfmBar> &bars() const noexcept { return m_bars; }
    // The segment under a point of the widget, -1 when none.
    int segmentAt(const QPoint &point) const;

    QSize sizeHint() const override { return {560, 300}; }

signals:
    void segmentClicked(int segment);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRect plotArea() const;

    std::vector<RfmBar> m_bars;
};

} // namespace corvina
