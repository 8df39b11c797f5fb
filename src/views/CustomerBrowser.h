#pragma once

#include "views/CustomerList.h"
#include "views/CustomerTable.h"

#include <QHash>
#include <QStringList>

#include <optional>
#include <vector>

namespace corvina {

// The customer browser's working list: a snapshot of Customers in name order, narrowed by
// billing state and customer type, with a current row. Filters compare without case and
// never reach SQL, so any text (apostrophes, %, _, *, [) is taken as it is.
class CustomerBrowser : public CustomerList {
public:
    enum class Combo { State, Type };

    CustomerBrowser() = default;
    explicit CustomerBrowser(CustomerTable table);

    // The text a filter combo shows until the user changes it: "State" or "Type".
    static QString initialText(Combo combo);

    const CustomerTable &table() const noexcept { return m_table; }

    // The distinct billing states / customer types in name order of the value, one entry
    // per value without case; one empty entry first when some customer has none.
    QStringList stateList() const { return listOf(m_states); }
    QStringList typeList() const { return listOf(m_types); }

    // A filter combo now reads `text` while the other reads `otherText`:
    // - empty text removes every filter, whatever the other combo reads;
    // - when the other combo reads its initial text or nothing, filters on this value alone;
    // - otherwise on both values.
    // The first row of the result becomes current.
    void comboChanged(Combo changed, const QString &text, const QString &otherText);
    void clearFilter();
    // The filter values in force (none when that side is not filtered).
    const std::optional<QString> &stateFilter() const noexcept { return m_stateFilter; }
    const std::optional<QString> &typeFilter() const noexcept { return m_typeFilter; }

    // Makes the first row (in list order) whose Name begins with `prefix`, without case,
    // the current row and returns it; -1, and no row current, when none does.
    int goTo(const QString &prefix);

    QStringList columnNames() const override;
    int rowCount() const override { return static_cast<int>(m_visible.size()); }
    QVariant value(int row, int column) const override;
    int currentRow() const override { return m_current; }
    void setCurrentRow(int row) override;

    // The table row (in name order) shown at list row `row`.
    int tableRow(int row) const { return m_visible.at(static_cast<std::size_t>(row)); }

private:
    // Distinct values of one column, each row tagged with its value's number.
    struct Distinct {
        QStringList texts;            // by number; number 0 is the empty value
        QHash<QString, int> byFolded; // case-folded text → number
        std::vector<int> rowValue;    // per table row
        bool anyEmpty = false;
        std::optional<int> numberOf(const QString &text) const;
    };
    using KeyColumn = QByteArrayView (CustomerTable::*)(int row) const;
    static Distinct distinctOf(const CustomerTable &table, KeyColumn column);
    static QStringList listOf(const Distinct &distinct);
    void applyFilter(std::optional<QString> state, std::optional<QString> type);

    CustomerTable m_table;
    Distinct m_states;
    Distinct m_types;
    std::vector<int> m_visible; // table rows shown, in order
    std::optional<QString> m_stateFilter;
    std::optional<QString> m_typeFilter;
    int m_current = -1;
};

} // namespace corvina
