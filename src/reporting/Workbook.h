#pragma once

#include <QString>
#include <QVariant>

#include <map>
#include <utility>
#include <vector>

namespace corvina::reporting {

// How one cell is shown. An empty number format leaves numbers in the general form; dates
// always get a date format (with the time of day when the value has one).
struct CellStyle {
    bool bold = false;
    bool italic = false;
    QString numberFormat;
};

// A workbook built in memory and written as an .xlsx file. Cells are addressed from 0 (row 0,
// column 0 is "A1"). Values keep their kind: numbers are written as numbers, booleans as
// booleans, QDate/QDateTime as dates, everything else as text; a null value leaves the cell
// empty.
class Workbook {
public:
    // Adds a sheet and returns its index; an empty name gives "SheetN".
    int addSheet(const QString &name = {});
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }

    void setCell(int sheet, int row, int column, const QVariant &value,
                 const CellStyle &style = {});
    // Writes `values` into `row` from `column` on.
    void setRow(int sheet, int row, int column, const std::vector<QVariant> &values,
                const CellStyle &style = {});

    // Writes the workbook to `path`, replacing an existing file only once the new one is
    // complete. False with the reason in `error` when it could not be written; an existing
    // file is then left as it was.
    bool save(const QString &path, QString *error) const;

    // Excel's own limits on sheet sizes.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

private:
    struct Cell {
        QVariant value;
        CellStyle style;
    };
    struct Sheet {
        QString name;
        std::map<std::pair<int, int>, Cell> cells;
    };
    std::vector<Sheet> m_sheets;
};

} // namespace corvina::reporting
