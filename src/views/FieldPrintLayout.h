#pragma once

namespace corvina {

// Rounds to the nearest whole number, halves to the even one (0.5 → 0, 1.5 → 2, 2.5 → 2).
int roundHalfEven(double value);

// What the layout of one field printing run is computed from; lengths in inches.
struct FieldPrintMetrics {
    double lineHeight = 0; // one text line in the normal font
    double pageWidth = 0;
    double pageHeight = 0;
    double headerBottom = 0; // the position after the header on the first page
    int fieldCount = 0;      // fields chosen
    int rowCount = 0;        // customers printed
};

// The layout of one run on one surface: a block per customer, as many blocks as fit below
// the header on the first page and on a whole page after it. Lengths in inches.
struct FieldPrintLayout {
    double lineHeight = 0;     // H
    int halfFields = 0;        // R: fields / 2, halves to even
    double blockHeight = 0;    // RH = H × (R + 2), room for one block
    int blocksPerPage = 1;     // P, at least 1
    int blocksOnFirstPage = 1; // F1, at least 1
    int pageCount = 1;         // L, the last page: every customer is on pages 1..L
    double scale = 1;          // s
    double left = 0;           // m
    double x1 = 0;             // left label
    double x2 = 0;             // left value
    double x3 = 0;             // right label
    double x4 = 0;             // right value

    static FieldPrintLayout compute(const FieldPrintMetrics &metrics);

    // The first customer (0-based, in list order) of a page (1-based).
    int firstRowOf(int page) const;
    // One past the last customer of a page, for a list of rowCount customers.
    int endRowOf(int page, int rowCount) const;
};

} // namespace corvina
