#pragma once

#include "analysis/ItemAgingExport.h"
#include "reporting/ReportRows.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

namespace corvina {

// The Item Analyzer's grid: rsItemAging flattened, one grid row per customer of each shown
// item (one row with empty customer columns for an item nobody bought). Column 0 is the
// fixed column; then 1 Name, 2 Desc, 3 ListID (item), 4 Customer, 5 Purchases, 6 QtyTot,
// 7 SalesTot ("#,##0.00"), 8 LastPurch, 9 FirstPurch, 10 Class, 11 State, 12 Type,
// 13 ListID (customer row). The item's columns are filled on its first row only.
class ItemAgingGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Fixed,
        Name,
        Desc,
        ItemListID,
        Customer,
        Purchases,
        QtyTot,
        SalesTot,
        LastPurch,
        FirstPurch,
        Class,
        State,
        Type,
        ChildListID,
        ColumnCount
    };

    explicit ItemAgingGridModel(std::shared_ptr<const reporting::ReportRows> items,
                                QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Shows only the items passing `filter` (every item for an empty prefix).
    void setFilter(const ItemFilter &filter);
    const ItemFilter &filter() const noexcept { return m_filter; }
    // The name and the ListID of the item a grid row belongs to.
    QString itemNameAt(int row) const;
    QString itemListIdAt(int row) const;
    // The shown items with their customers, as the report prints them.
    std::shared_ptr<const reporting::ReportRows> shownItems() const;
    QStringList shownItemNames() const;

private:
    struct GridRow {
        int item;
        int child; // -1: the item has no customers
    };
    void rebuild();
    QString text(const GridRow &row, int column) const;

    std::shared_ptr<const reporting::ReportRows> m_items;
    ItemFilter m_filter;
    std::vector<int> m_shown;
    std::vector<GridRow> m_rows;
};

} // namespace corvina
