#pragma once

#include "reporting/ReportRows.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace corvina {

class ProgramState;

// The kind restriction of the item query: " And (Type = ? Or Type = ?...)" with one value
// ("Item" + kind + "Ret") per kind left in, in list order; empty when every kind is excluded
// or the list is empty, which lifts the restriction altogether.
struct ItemKindClause {
    QString sql;
    std::vector<QVariant> values;
};
ItemKindClause itemKindClause(const QStringList &kinds, const QStringList &excluded);

// rsItemAging's fields: per item Name, Desc, ListID; under "Child" one row per customer who
// bought it.
inline const QStringList kItemAgingFields = {QStringLiteral("Name"), QStringLiteral("Desc"),
                                             QStringLiteral("ListID")};
inline const QString kItemAgingMember = QStringLiteral("Child");
inline const QStringList kItemAgingChildFields = {
    QStringLiteral("Customer"), QStringLiteral("Purchases"), QStringLiteral("QtyTot"),
    QStringLiteral("SalesTot"), QStringLiteral("LastPurch"), QStringLiteral("FirstPurch"),
    QStringLiteral("Class"),    QStringLiteral("State"),     QStringLiteral("Type"),
    QStringLiteral("ListID")};

// The Item Analyzer's two-level result: active items passing the kind clause in stored
// order, each with one child row per customer name (as on the invoice lines) who bought it:
// lines with an invoice number counted, quantity and amount summed, first and last invoice
// date, and class, billing state and customer type of the group's last line in stored order.
// A job's name (its full name in CustomerJobs) takes the state and type of its top-level
// customer; they are empty for names of neither. Items never invoiced have no children.
// Throws Error when the database cannot be read.
std::shared_ptr<reporting::ReportRows> buildItemAging(const QString &appFolder,
                                                      const ItemKindClause &clause);

// "Period Analyzed: " with the first and last invoice date of every line in the file when
// the result was built, in the short date form, or "Period Analyzed: no invoices" when no
// line has a date (or the rows are not such a result).
QString periodAnalyzedText(const reporting::ReportRows &itemAging);
// The first and last invoice date of that period; null dates when there is none.
std::pair<QDate, QDate> analysedPeriod(const reporting::ReportRows &itemAging);

// GetItemAging: asks which item kinds to leave out (remembered in ItemTypes.adtg), builds the
// result under the status window into state.itemAging() and calls `showWindow` to show it.
// Every failure is reported through ShowError as "GetItemAging"; a result still held (its
// window open) is a failure too and stays untouched. Returns whether the window was shown.
bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow);

} // namespace corvina
