#pragma once

#include <QString>
#include <QStringList>

namespace corvina {

// Measures text set in the labels' font, in points (1/72 in), at a point size.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual double width(const QString &text, double pointSize) const = 0;
    // From one baseline to the next.
    virtual double lineHeight(double pointSize) const = 0;
};

struct FittedLabel {
    QStringList lines;
    double pointSize = 0;
    // Some text did not fit even at the smallest size and was cut, marked with an ellipsis.
    bool cut = false;
};

// Sets the lines in a box of `width` x `height` points: at `pointSize` when they fit, else
// at the largest size down to `minPointSize` (in half points) at which every line fits;
// at the smallest size, a line still too wide loses its end to an ellipsis and lines that
// do not fit below each other are dropped, the last kept one ending in an ellipsis.
FittedLabel fitLabel(const QStringList &lines, double width, double height, double pointSize,
                     double minPointSize, const TextMeasure &measure);

} // namespace corvina
