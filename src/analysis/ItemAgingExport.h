#pragma once

#include "reporting/ReportRows.h"
#include "reporting/Workbook.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace corvina {

class ProgramState;

// Which rows of the Item Analyzer the export takes. With no choice made every row goes.
enum class ExportCriterion { AllItems, WithSales, WithoutSales };

// The Item Analyzer's item filter: items whose `field` ("Name" or "Desc") begins with
// `prefix`, without regard to case. An empty prefix shows every item.
struct ItemFilter {
    QString field;
    QString prefix;

    bool passes(const reporting::ReportRows &items, int row) const;
};

// The export's columns, also the sheet's headings.
inline const QStringList kItemExportFields = {
    QStringLiteral("Item"),     QStringLiteral("Desc"),      QStringLiteral("ID"),
    QStringLiteral("Customer"), QStringLiteral("Purchases"), QStringLiteral("QtyTot"),
    QStringLiteral("SalesTot"), QStringLiteral("LastPurch"), QStringLiteral("FirstPurch"),
    QStringLiteral("Class"),    QStringLiteral("State"),     QStringLiteral("Type"),
    QStringLiteral("ListID")};

inline const QString kItemExportFile = QStringLiteral("ItemAnalyzerData.xlsx");

// The Item Analyzer's rows as the export writes them, handed to `take` one at a time: one
// row per customer of each item that passes the filter, or one row with empty customer
// columns for an item nobody bought; every row carries its own item's name, description and
// ListID. WithSales keeps the customer rows with purchases or a sales total (a service sold
// without a quantity counts), WithoutSales the others.
void forEachItemExportRow(const reporting::ReportRows &items, const ItemFilter &filter,
                          ExportCriterion criterion,
                          const std::function<void(const std::vector<QVariant> &)> &take);
std::vector<std::vector<QVariant>> itemExportRows(const reporting::ReportRows &items,
                                                  const ItemFilter &filter,
                                                  ExportCriterion criterion);

// Writes the workbook at `path`: bold headings in row 1, row 2 empty, the rows from A3.
// Numbers stay numbers (SalesTot shown as "#,##0.00") and dates dates. No rows without
// `items`. False with the reason in `error` when it could not be written; `cutCells`, when
// given, receives the number of texts cut to what a cell holds.
bool writeItemExport(const reporting::ReportRows *items, const ItemFilter &filter,
                     ExportCriterion criterion, const QString &path, QString *error,
                     int *cutCells = nullptr);

// Writes the export of state.itemAging() into `folder`/ItemAnalyzerData.xlsx and tells the
// user where it went ("Data Exported", saying so when texts had to be cut), or why it
// failed; the busy pointer is shown while it works. Returns whether the workbook was saved.
bool exportItemAgingTo(ProgramState &state, const ItemFilter &filter, ExportCriterion criterion,
                       const QString &folder);

} // namespace corvina
