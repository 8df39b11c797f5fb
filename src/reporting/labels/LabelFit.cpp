#include "reporting/labels/LabelFit.h"

#include <algorithm>
#include <cmath>

namespace corvina {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");
constexpr double kStep = 0.5;

bool fits(const QStringList &lines, double width, double height, double size,
          const TextMeasure &measure)
{
    if (static_cast<double>(lines.size()) * measure.lineHeight(size) > height)
        return false;
    return std::all_of(lines.begin(), lines.end(),
                       [&](const QString &line) { return measure.width(line, size) <= width; });
}

// The longest start of the line that fits with an ellipsis after it.
QString elided(const QString &line, double width, double size, const TextMeasure &measure)
{
    qsizetype low = 0;
    qsizetype high = line.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (measure.width(line.left(mid).trimmed() + kEllipsis, size) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return line.left(low).trimmed() + kEllipsis;
}

} // namespace

FittedLabel fitLabel(const QStringList &lines, double width, double height, double pointSize,
                     double minPointSize, const TextMeasure &measure)
{
    FittedLabel fitted{lines, pointSize, false};
    for (double size = pointSize; size >= minPointSize - 1e-9; size -= kStep) {
        if (fits(lines, width, height, size, measure)) {
            fitted.pointSize = size;
            return fitted;
        }
    }
    const double size = minPointSize;
    fitted.pointSize = size;
    fitted.cut = true;
    const auto room =
        static_cast<qsizetype>(std::max(1.0, std::floor(height / measure.lineHeight(size))));
    if (fitted.lines.size() > room) {
        // Keep the last line (city and zip) and as many lines from the top as fit.
        QStringList kept = fitted.lines.mid(0, room - 1);
        kept << fitted.lines.last();
        if (room > 1)
            kept[room - 2] += kEllipsis;
        fitted.lines = kept;
    }
    for (QString &line : fitted.lines) {
        if (measure.width(line, size) > width)
            line = elided(line, width, size, measure);
    }
    return fitted;
}

} // namespace corvina
