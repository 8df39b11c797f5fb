#pragma once

#include "localdb/Database.h"
#include "localdb/Recordset.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvina {

// A read-only snapshot of the Customers table ("Select * From Customers Order By Name") over
// a connection of its own.
//
// Opening copies the table into a temporary in-memory table of the connection, declared by
// our own code with the table's columns (SQLite moves the stored records without decoding
// them), so later changes to QBData.mdb (a customer retrieval, say) do not show, and the
// database file is locked only while the copy is made. Name, BillState and CustType of
// every row are held in memory for ordering, filtering and searching; other values are read
// from the copy by row as they are asked for, a few hundred rows being kept at a time.
//
// Rows are in name order as the NOCASE collation orders them (the program's text rule, see
// localdb/TextRule.h; nulls first, ties in stored order).
class CustomerTable {
public:
    // The texts of one column, kept in memory: UTF-8 bytes with one end offset per row.
    class TextColumn {
    public:
        void append(const char *bytes, std::size_t size, bool null);
        bool isNull(std::size_t row) const { return (m_ends[row] & kNullBit) != 0; }
        QByteArrayView bytes(std::size_t row) const;
        std::size_t memoryBytes() const;

    private:
        static constexpr std::uint32_t kNullBit = 0x80000000u;
        std::string m_bytes;
        std::vector<std::uint32_t> m_ends;
    };

    CustomerTable() = default;

    // Takes the connection and makes the snapshot; throws Error as the database reports it.
    static CustomerTable load(Database db);

    int rowCount() const noexcept { return static_cast<int>(m_order.size()); }
    int columnCount() const noexcept { return static_cast<int>(m_columns.size()); }
    const std::vector<Field> &columns() const noexcept { return m_columns; }
    // Matched without case; -1 when absent.
    int columnIndex(const QString &name) const;

    // Row in name order (0-based), column in table order; typed as Statement::value types
    // it; null for an empty value, and for a row or column outside the table. Never throws.
    QVariant value(int row, int column) const;

    // The held columns of a row (UTF-8; empty for null).
    QByteArrayView name(int row) const { return m_names.bytes(stored(row)); }
    QByteArrayView billState(int row) const { return m_states.bytes(stored(row)); }
    QByteArrayView custType(int row) const { return m_types.bytes(stored(row)); }

    // Bytes held outside SQLite, for the benchmark.
    std::size_t memoryBytes() const;

private:
    void copyTable();
    QStringList snapshotColumns();
    void readColumns();
    void readKeys();
    void sortByName();
    std::size_t stored(int row) const { return m_order.at(static_cast<std::size_t>(row)); }
    const std::vector<QVariant> &fetch(std::size_t storedRow) const;

    std::optional<Database> m_db;
    mutable std::optional<Statement> m_fetch; // declared after m_db: finalized before it closes
    std::vector<Field> m_columns;
    std::vector<std::int64_t> m_rowids; // by stored row
    TextColumn m_names;
    TextColumn m_states;
    TextColumn m_types;
    std::vector<std::uint32_t> m_order; // stored row of each row in name order
    mutable std::unordered_map<std::size_t, std::vector<QVariant>> m_cache;
};

} // namespace corvina
