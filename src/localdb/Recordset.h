#pragma once

#include "localdb/Value.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

namespace corvina {

class Database;

struct Field {
    QString name;
    FieldKind kind = FieldKind::Text;
    int definedSize = 0; // characters for text; 0 when not limited
};

class Recordset;

// Read access to one row of a recordset, handed to predicates.
class RowView {
public:
    RowView(const Recordset &set, int row) : m_set(&set), m_row(row) {}
    const QVariant &value(int field) const;
    const QVariant &value(const QString &fieldName) const; // throws Error when unknown
private:
    const Recordset *m_set;
    int m_row;
};

using RowPredicate = std::function<bool(const RowView &)>;

// An in-memory table with a cursor: fields with name, kind and defined size, and rows of
// nullable values. Filters and searches are predicates, not criterion strings.
//
// The cursor is a position in the visible rows (all rows, or those passing the filter);
// it is at BOF/EOF when it is before the first / after the last visible row, and at both
// when no row is visible. Field names
// are matched without case. Misuse (unknown field, no current row, writing a read-only
// set, a text longer than its defined size) throws Error.
class Recordset {
public:
    Recordset() = default;
    explicit Recordset(std::vector<Field> fields);

    // A read-only snapshot of a query's rows, fields named and kinded by its columns.
    static Recordset fromQuery(Database &db, const QString &sql,
                               const std::vector<QVariant> &values = {});

    // Adds a field; only allowed while the set holds no rows.
    void appendField(const Field &field);
    const std::vector<Field> &fields() const noexcept { return m_fields; }
    int fieldIndex(const QString &name) const; // -1 when absent
    bool isReadOnly() const noexcept { return m_readOnly; }
    void setReadOnly(bool readOnly) noexcept { m_readOnly = readOnly; }

    // Visible rows.
    int recordCount() const noexcept;
    bool bof() const noexcept { return m_pos < 0 || recordCount() == 0; }
    bool eof() const noexcept { return m_pos >= recordCount() || recordCount() == 0; }
    int position() const noexcept { return m_pos; }
    void moveFirst() noexcept { m_pos = 0; }
    void moveLast() noexcept { m_pos = recordCount() - 1; }
    void moveNext() noexcept;
    void movePrevious() noexcept;
    void moveTo(int position) noexcept;

    const QVariant &value(int field) const;
    const QVariant &value(const QString &fieldName) const;
    void setValue(int field, const QVariant &value);
    void setValue(const QString &fieldName, const QVariant &value);

    // Appends an empty row (all values null), made visible and current.
    void addNew();
    // Removes the current row; the cursor then rests on the row that followed it (or EOF).
    void deleteCurrent();

    // Moves forward from the current row (inclusive) to the first visible row the predicate
    // accepts; returns false and leaves the cursor at EOF when none does.
    bool find(const RowPredicate &predicate);
    // Shows only the rows the predicate accepts (rows added later are shown too); the cursor
    // goes to the first of them.
    void setFilter(RowPredicate predicate);
    void clearFilter();

    struct SortKey {
        QString field;
        bool ascending = true;
    };
    // Stable sort of all rows; text without case, nulls first. Cursor goes to the first row.
    void sort(const std::vector<SortKey> &keys);

    // Direct access to stored rows (ignores filter and cursor), for readers and writers
    // that walk the whole set.
    int storedRowCount() const noexcept { return static_cast<int>(m_rows.size()); }
    const std::vector<QVariant> &storedRow(int row) const
    {
        return m_rows.at(static_cast<size_t>(row));
    }

private:
    friend class RowView;
    int storedIndex(int visible) const;
    int requireCurrent() const;
    int requireField(const QString &name) const;
    void rebuildView();
    void checkWritable() const;

    std::vector<Field> m_fields;
    std::vector<std::vector<QVariant>> m_rows;
    RowPredicate m_filter;
    std::vector<int> m_view; // stored indices of visible rows when filtered
    int m_pos = 0;
    bool m_readOnly = false;
};

// Predicates for the common filters and searches.
RowPredicate fieldEquals(const QString &field, const QVariant &value,
                         Qt::CaseSensitivity cs = Qt::CaseInsensitive);
RowPredicate fieldStartsWith(const QString &field, const QString &prefix,
                             Qt::CaseSensitivity cs = Qt::CaseInsensitive);

} // namespace corvina
