#include "reporting/labels/LabelSheet.h"

namespace corvina {

reporting::TwipRect LabelSheet::labelRect(int index) const
{
    const int column = index % columns;
    const int row = index / columns;
    return {left + column * columnPitch, top + row * rowPitch, labelWidth, labelHeight};
}

reporting::TwipRect LabelSheet::textRect(int index) const
{
    const reporting::TwipRect label = labelRect(index);
    return {label.left + insetX, label.top + insetY, label.width - 2 * insetX,
            label.height - 2 * insetY};
}

// Label stock of this kind: 0.5 in top margin, 3/16 in side margins, 1/8 in between columns.
LabelSheet usLetter30()
{
    return LabelSheet{.name = QStringLiteral("US Letter, 30 labels (2.625 x 1 in)"),
                      .paper = LabelSheet::Paper::Letter,
                      .pageWidth = 12240,
                      .pageHeight = 15840,
                      .columns = 3,
                      .rows = 10,
                      .labelWidth = 3780,
                      .labelHeight = 1440,
                      .left = 270,
                      .top = 720,
                      .columnPitch = 3960,
                      .rowPitch = 1440,
                      .insetX = 144,
                      .insetY = 72,
                      .pointSize = 10,
                      .minPointSize = 6};
}

// Label stock of this kind: 63.5 x 38.1 mm (2.5 x 1.5 in) labels, 2.54 mm between columns,
// centred on the sheet (15.15 mm top margin, 7.21 mm side margins).
LabelSheet a4Sheet21()
{
    return LabelSheet{.name = QStringLiteral("A4, 21 labels (63.5 x 38.1 mm)"),
                      .paper = LabelSheet::Paper::A4,
                      .pageWidth = 11906,
                      .pageHeight = 16838,
                      .columns = 3,
                      .rows = 7,
                      .labelWidth = 3600,
                      .labelHeight = 2160,
                      .left = 409,
                      .top = 859,
                      .columnPitch = 3744,
                      .rowPitch = 2160,
                      .insetX = 170,
                      .insetY = 113,
                      .pointSize = 11,
                      .minPointSize = 6};
}

} // namespace corvina
