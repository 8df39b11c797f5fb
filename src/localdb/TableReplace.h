#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace corvina {

class Database;
class Recordset;

// Replaces every row of `table` with one row per stored row of `list`, in one transaction:
// the column named `stampColumn` (if the table has it) takes `stamp`, every other column the
// list's value of the column of the same name (names compared without case, as SQL does).
//
// First the table's columns are matched with the list's: when `list` (read from the table
// `source`) lacks one, Error is thrown naming it, before anything is asked or changed. Then,
// only when the table holds rows, `confirm` is asked with the stamp column's value in its
// first row (null without one); the rows are replaced only when it returns true. Returns
// whether they were. Any failure leaves the earlier rows as they were.
bool replaceTableRows(Database &db, const QString &table, const Recordset &list,
                      const QString &source, const QString &stampColumn, const QVariant &stamp,
                      const std::function<bool(const QVariant &previousStamp)> &confirm);

} // namespace corvina
