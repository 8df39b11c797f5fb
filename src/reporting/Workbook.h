#pragma once

#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;

namespace corvina::reporting {

namespace detail {
class XlsxFormats;
}

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
// empty. A text longer than a cell can hold (kMaxCellText) is written cut to that length.
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
    // file is then left as it was. `cutCells`, when given, receives the number of texts
    // written cut to kMaxCellText.
    bool save(const QString &path, QString *error, int *cutCells = nullptr) const;

    // Excel's own limits on sheet sizes and on the characters of one cell.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    static constexpr int kMaxCellText = 32767;

private:
    // A cell with style -1 holds nothing.
    struct Cell {
        QVariant value;
        int style = -1;
    };
    struct Sheet {
        QString name;
        std::map<int, std::vector<Cell>> rows; // by row, cells by column
        bool outside = false;                  // a cell was set beyond the limits
    };
    int styleIndex(const CellStyle &style);

    std::vector<Sheet> m_sheets;
    std::vector<CellStyle> m_styles;
};

// A workbook written row by row straight to disk, for sheets too large to hold in memory:
// cells go to the sheet added last (a first sheet "Sheet1" is added when none was), rows in
// increasing order and cells of a row from left to right. Values and styles are written as
// Workbook describes. finish() completes the file and only then puts it in place of `path`;
// a writer destroyed unfinished leaves `path` alone.
class WorkbookWriter {
public:
    explicit WorkbookWriter(const QString &path);
    WorkbookWriter(const WorkbookWriter &) = delete;
    WorkbookWriter &operator=(const WorkbookWriter &) = delete;
    ~WorkbookWriter();

    // Starts a sheet; an empty name gives "SheetN".
    void addSheet(const QString &name);
    void setCell(int row, int column, const QVariant &value, const CellStyle &style = {});

    // True once the file is in place; otherwise false with the reason in `error`.
    bool finish(QString *error);
    // How many texts were too long for a cell and written cut to Workbook::kMaxCellText.
    int cutCells() const noexcept { return m_cutCells; }

private:
    QString m_path;
    QString m_partPath;
    QString m_failure; // the first failure, reported by finish()
    ::lxw_workbook *m_book = nullptr;
    ::lxw_worksheet *m_sheet = nullptr;
    int m_sheetCount = 0;
    int m_cutCells = 0;
    std::unique_ptr<detail::XlsxFormats> m_formats;
};

// The sentence an export adds to its message when it had to cut `cutCells` texts (empty
// for none), so the user knows those cells do not hold the whole text.
QString cutCellsNote(int cutCells);

} // namespace corvina::reporting
