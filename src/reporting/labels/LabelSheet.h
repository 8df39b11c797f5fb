#pragma once

#include "reporting/ReportLayout.h"

#include <QString>

namespace corvina {

// A sheet of self-adhesive labels, every length in twips (1440 per inch) from the paper's
// top-left corner. Labels fill a sheet across, then down.
struct LabelSheet {
    enum class Paper { Letter, A4 };

    QString name;
    Paper paper = Paper::Letter;
    int pageWidth = 0;
    int pageHeight = 0;
    int columns = 0;
    int rows = 0;
    int labelWidth = 0;
    int labelHeight = 0;
    // The top-left corner of the first label.
    int left = 0;
    int top = 0;
    // From one label's corner to the next one's, across and down.
    int columnPitch = 0;
    int rowPitch = 0;
    // Blank room inside each label's edges, so that text stays clear of the die cut.
    int insetX = 0;
    int insetY = 0;
    // The text's size before shrinking, and the smallest it shrinks to.
    double pointSize = 10;
    double minPointSize = 6;

    int perSheet() const { return columns * rows; }
    // The n-th label of a sheet (0 to perSheet() - 1).
    reporting::TwipRect labelRect(int index) const;
    // The room for text inside that label.
    reporting::TwipRect textRect(int index) const;
};

// 30 labels of 2.625 x 1 in, 3 across, on US Letter.
LabelSheet usLetter30();
// 21 labels of 63.5 x 38.1 mm, 3 across, on A4.
LabelSheet a4Sheet21();

} // namespace corvina
