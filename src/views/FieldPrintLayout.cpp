#include "views/FieldPrintLayout.h"

#include <algorithm>
#include <cmath>

namespace corvina {

int roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5)
        return static_cast<int>(down) + 1;
    if (fraction < 0.5)
        return static_cast<int>(down);
    return std::fmod(down, 2.0) == 0.0 ? static_cast<int>(down) : static_cast<int>(down) + 1;
}

namespace {

// Whole blocks in `room` inches; a page always takes at least one block, so a block
// taller than the page still moves on.
int blocksIn(double room, double blockHeight)
{
    if (blockHeight <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::floor(room / blockHeight)));
}

} // namespace

FieldPrintLayout FieldPrintLayout::compute(const FieldPrintMetrics &metrics)
{
    FieldPrintLayout layout;
    const double h = metrics.lineHeight;
    layout.lineHeight = h;
    layout.halfFields = roundHalfEven(metrics.fieldCount / 2.0);
    layout.blockHeight = h * (layout.halfFields + 2);
    layout.blocksPerPage = blocksIn(metrics.pageHeight - 2 * h, layout.blockHeight);
    layout.blocksOnFirstPage =
        blocksIn(metrics.pageHeight - metrics.headerBottom - 2 * h, layout.blockHeight);

    const int afterFirst = metrics.rowCount - layout.blocksOnFirstPage;
    layout.pageCount =
        afterFirst <= 0 ? 1 : 1 + (afterFirst + layout.blocksPerPage - 1) / layout.blocksPerPage;

    double s = 1;
    while (metrics.pageWidth - 7 * s < 0 && s > 1e-3)
        s *= 0.9;
    layout.scale = s;
    layout.left = (metrics.pageWidth - 7 * s) / 2;
    layout.x1 = layout.left;
    layout.x2 = layout.left + s;
    layout.x3 = layout.left + 4 * s;
    layout.x4 = layout.left + 5 * s;
    return layout;
}

int FieldPrintLayout::firstRowOf(int page) const
{
    if (page <= 1)
        return 0;
    return blocksOnFirstPage + (page - 2) * blocksPerPage;
}

int FieldPrintLayout::endRowOf(int page, int rowCount) const
{
    const int end = page <= 1 ? blocksOnFirstPage : firstRowOf(page) + blocksPerPage;
    return std::clamp(end, 0, std::max(rowCount, 0));
}

} // namespace corvina
