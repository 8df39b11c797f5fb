#pragma once

#include "analysis/ChosenItem.h"
#include "localdb/Database.h"
#include "localdb/Recordset.h"

#include <QString>

#include <optional>

namespace corvina {

class ProgramState;
class Screen;

// The customers-not-buying list behind the Custs window: every row of Customers in order
// of Name, less the customers with an invoice line for the item (matched on the item
// and the customer's ListID, or the ListID of one of its jobs in CustomerJobs) or, for all
// items, with any invoice line at all. Invoice lines of customers and jobs not in the local
// copy take nobody out. Database failures throw Error.
class CustsNotBuying {
public:
    // The Item value stamped on every saved row in all-items mode.
    static inline const QString kAllItems = QStringLiteral("All Items");
    static inline const QString kExportFile = QStringLiteral("CustsNotBuying.xlsx");

    CustsNotBuying(ProgramState &state, bool allItems, ChosenItem item);

    // Opens the window's connection, copies Customers and takes the buyers out.
    void load();

    bool allItems() const noexcept { return m_allItems; }
    const QString &item() const noexcept { return m_item.name; }
    const ChosenItem &chosenItem() const noexcept { return m_item; }
    // The window's label: "Customers who have not purchased item:" or, for all items,
    // "Customers who have not purchased any shown items."
    QString labelCaption() const;
    // The label followed by the item, as the export's and the printing's title.
    QString title() const;

    // Every column of Customers for the customers left.
    Recordset &list() noexcept { return m_list; }
    const Recordset &list() const noexcept { return m_list; }

    // Replaces the rows of NoBuyCustomers with the list, each stamped with the item (or
    // "All Items"), in one transaction. Earlier rows are replaced only when the user agrees
    // ("Delete Previous Data"); then "Customers Added" is shown. Returns whether the table
    // was written. A column of NoBuyCustomers that Customers lacks throws Error before
    // anything is asked; on any failure the earlier rows stay.
    bool saveForMailMerge();

    // Writes the title (row 1), the column names (row 3) and every column of the list from
    // row 5 into `folder`/CustsNotBuying.xlsx and tells the user where it went ("Export
    // Complete") or why it failed. Returns whether the workbook was saved.
    bool exportTo(const QString &folder);

private:
    Database &db();

    ProgramState &m_state;
    bool m_allItems;
    ChosenItem m_item;
    std::optional<Database> m_db;
    Recordset m_list;
};

// Writes `rows` (customers, in stored order) with `title` above them to the workbook
// `fileName` in `folder`, yes/no columns as "True"/"False", and tells the user how it went;
// true when the workbook was written.
bool exportCustomerRows(Screen &screen, const Recordset &rows, const QString &title,
                        const QString &folder, const QString &fileName);

} // namespace corvina
