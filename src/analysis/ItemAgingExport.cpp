#include "analysis/ItemAgingExport.h"

#include "base/Screen.h"
#include "localdb/TextRule.h"
#include "state/ProgramState.h"

#include <QDir>

#include <algorithm>

namespace corvina {

namespace {

// Positions of the item columns and the first customer column in an export row.
constexpr int kItemColumns = 3;
constexpr int kPurchasesColumn = 4;
constexpr int kSalesTotColumn = 6;

const QStringList kItemSourceFields = {QStringLiteral("Name"), QStringLiteral("Desc"),
                                       QStringLiteral("ListID")};
const QStringList kChildSourceFields = {QStringLiteral("Customer"),  QStringLiteral("Purchases"),
                                        QStringLiteral("QtyTot"),    QStringLiteral("SalesTot"),
                                        QStringLiteral("LastPurch"), QStringLiteral("FirstPurch"),
                                        QStringLiteral("Class"),     QStringLiteral("State"),
                                        QStringLiteral("Type"),      QStringLiteral("ListID")};

QVariant valueOf(const reporting::ReportRows &rows, int row, int field)
{
    return field < 0 ? QVariant() : rows.value(row, field);
}

// A customer row records a sale when it counts purchases or has a sales total; the quantity
// says nothing, as a service is often sold without one.
bool hasSales(const std::vector<QVariant> &row)
{
    const QVariant &purchases = row[kPurchasesColumn];
    return (!purchases.isNull() && purchases.toDouble() > 0) || !row[kSalesTotColumn].isNull();
}

bool keep(const std::vector<QVariant> &row, ExportCriterion criterion)
{
    switch (criterion) {
    case ExportCriterion::WithSales: return hasSales(row);
    case ExportCriterion::WithoutSales: return !hasSales(row);
    case ExportCriterion::AllItems: break;
    }
    return true;
}

} // namespace

bool ItemFilter::passes(const reporting::ReportRows &items, int row) const
{
    if (prefix.isEmpty())
        return true;
    const QVariant value = valueOf(items, row, items.fieldIndex(field));
    return !value.isNull() && startsWithWithoutCase(value.toString(), prefix);
}

void forEachItemExportRow(const reporting::ReportRows &items, const ItemFilter &filter,
                          ExportCriterion criterion,
                          const std::function<void(const std::vector<QVariant> &)> &take)
{
    std::vector<int> itemFields;
    for (const QString &name : kItemSourceFields)
        itemFields.push_back(items.fieldIndex(name));

    std::vector<QVariant> row(static_cast<size_t>(kItemExportFields.size()));
    for (int item = 0; item < items.count(); ++item) {
        if (!filter.passes(items, item))
            continue;
        std::fill(row.begin(), row.end(), QVariant());
        for (int i = 0; i < kItemColumns; ++i)
            row[static_cast<size_t>(i)] = valueOf(items, item, itemFields[static_cast<size_t>(i)]);

        const reporting::ReportRows *children = items.children(item, QStringLiteral("Child"));
        if (!children || children->count() == 0) {
            if (keep(row, criterion))
                take(row);
            continue;
        }
        std::vector<int> childFields;
        for (const QString &name : kChildSourceFields)
            childFields.push_back(children->fieldIndex(name));
        for (int child = 0; child < children->count(); ++child) {
            for (size_t i = 0; i < childFields.size(); ++i)
                row[kItemColumns + i] = valueOf(*children, child, childFields[i]);
            if (keep(row, criterion))
                take(row);
        }
    }
}

std::vector<std::vector<QVariant>> itemExportRows(const reporting::ReportRows &items,
                                                  const ItemFilter &filter,
                                                  ExportCriterion criterion)
{
    std::vector<std::vector<QVariant>> result;
    forEachItemExportRow(items, filter, criterion,
                         [&result](const std::vector<QVariant> &row) { result.push_back(row); });
    return result;
}

bool writeItemExport(const reporting::ReportRows *items, const ItemFilter &filter,
                     ExportCriterion criterion, const QString &path, QString *error, int *cutCells)
{
    // Written row by row as the rows are made: a million rows never sit in memory at once.
    reporting::WorkbookWriter book(path);
    const reporting::CellStyle heading{true, false, {}};
    for (int column = 0; column < kItemExportFields.size(); ++column)
        book.setCell(0, column, kItemExportFields.at(column), heading);
    const reporting::CellStyle money{false, false, QStringLiteral("#,##0.00")};
    int sheetRow = 2;
    if (items) {
        forEachItemExportRow(*items, filter, criterion, [&](const std::vector<QVariant> &row) {
            for (int column = 0; column < static_cast<int>(row.size()); ++column) {
                book.setCell(sheetRow, column, row[static_cast<size_t>(column)],
                             column == kSalesTotColumn ? money : reporting::CellStyle{});
            }
            ++sheetRow;
        });
    }
    const bool saved = book.finish(error);
    if (cutCells)
        *cutCells = saved ? book.cutCells() : 0;
    return saved;
}

bool exportItemAgingTo(ProgramState &state, const ItemFilter &filter, ExportCriterion criterion,
                       const QString &folder)
{
    Screen &screen = state.screen();
    screen.setBusyPointer(true);
    const QString path = QDir(folder).filePath(kItemExportFile);
    QString error;
    bool saved = false;
    int cutCells = 0;
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("The folder %1 could not be made.")
                    .arg(QDir::toNativeSeparators(folder));
    } else {
        saved =
            writeItemExport(state.itemAging().get(), filter, criterion, path, &error, &cutCells);
    }
    screen.setBusyPointer(false);
    if (saved) {
        QString text = QStringLiteral("Your Item Analyzer data has been exported to ") +
                       QDir::toNativeSeparators(path);
        if (cutCells > 0)
            text += QChar(13) + reporting::cutCellsNote(cutCells);
        screen.message(text, QStringLiteral("Data Exported"), Buttons::Ok);
    } else
        screen.message(QStringLiteral("Your Item Analyzer data could not be exported.") +
                           QChar(13) + error,
                       QStringLiteral("Export Failed"), Buttons::Ok);
    return saved;
}

} // namespace corvina
