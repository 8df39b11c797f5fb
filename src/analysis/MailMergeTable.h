#pragma once

#include <QString>

#include <functional>

namespace corvina {

class Database;
class Recordset;

// Replaces every row of the mail-merge table `table` (NoBuyCustomers, NoSellReps) with one
// row per stored row of `list`, in one transaction: the column named `stampColumn` (Item
// unless given) takes `stamp`,
// every other column the list's value of the column of the same name (names compared
// without case, as the database compares them).
//
// First the table's columns are matched with the list's: when `list` (read from the table
// `source`) lacks one, Error is thrown naming it, before anything is asked or changed. Then,
// only when the table holds rows, `confirm` is asked with the Item of its first row; the
// rows are replaced only when it returns true. Returns whether they were. Any failure
// leaves the earlier rows as they were.
bool replaceMailMergeRows(Database &db, const QString &table, const Recordset &list,
                          const QString &source, const QString &stamp,
                          const std::function<bool(const QString &previousItem)> &confirm,
                          const QString &stampColumn = QStringLiteral("Item"));

} // namespace corvina
