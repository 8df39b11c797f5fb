#pragma once

#include <QMap>
#include <QString>

namespace corvina::test {

// One cell of a written workbook as a spreadsheet program would read it back.
struct XlsxCell {
    QString type; // "s" string (shared or inline), "n" number, "b" boolean, "" when absent
    QString text; // the string, or the stored number as written
    bool bold = false;
    bool italic = false;
    QString numberFormat; // custom number format, empty for the general one
};

// The cells of sheet `sheet` (1-based) of an .xlsx file, keyed by reference ("A1"), read
// with unzip. Fails the current test (and returns nothing) when the file cannot be read.
QMap<QString, XlsxCell> readXlsxSheet(const QString &path, int sheet = 1);
// The highest row number holding a cell, 0 for an empty sheet.
int lastRow(const QMap<QString, XlsxCell> &cells);

} // namespace corvina::test
