#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace corvina {

class Database;

// One column of the Invoices table read for sorting, row by row in stored (rowid) order.
// Each value is replaced by its rank: NULL ranks 0, text values rank from 1 upwards as
// "ORDER BY" under the column's NOCASE collation orders them (the program's text rule, see
// localdb/TextRule.h); values that collation holds equal share a rank.
struct ColumnRanks {
    std::vector<std::int64_t> rowids; // only when asked for
    std::vector<std::uint32_t> ranks;
    std::uint32_t highestRank = 0;
};

// Reads `column` (a column name of Invoices, not a value) of every row, and the rowids when
// asked. Runs in the caller's read transaction when there is one. Throws Error.
ColumnRanks rankInvoiceColumn(Database &db, const QString &column, bool withRowids);

// The rows of `base` (row positions in stored order, a permutation) sorted by rank,
// ascending; rows of equal rank keep their order in `base`.
std::vector<std::uint32_t> stableOrderByRank(const ColumnRanks &column,
                                             const std::vector<std::uint32_t> &base);

// 0, 1, …, count - 1: the rows in stored order.
std::vector<std::uint32_t> storedOrder(std::size_t count);

} // namespace corvina
