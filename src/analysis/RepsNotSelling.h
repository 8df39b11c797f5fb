#pragma once

#include "analysis/ChosenItem.h"
#include "localdb/Database.h"
#include "localdb/Recordset.h"

#include <QString>

#include <memory>
#include <optional>

namespace corvina {

class ProgramState;

namespace reporting {
class MemoryRows;
}

// The reps-not-selling list behind the Reps window: every row of Reps, less the reps who
// have an invoice line for the item (or, for all items, any invoice line at all). The
// selling reps leave the window's working list only; the Reps table keeps every row.
//
// Reps are matched by their short name (Rep) against Invoices.SalesRep, without case; a
// rep without a short name is never matched. Database failures throw Error.
class RepsNotSelling {
public:
    // The Item value stamped on every saved row in all-items mode.
    static inline const QString kAllItems = QStringLiteral("All Items");

    RepsNotSelling(ProgramState &state, bool allItems, ChosenItem item);

    // Opens the window's connection and the working list, offers to refresh Reps from
    // QuickBooks first ("Update Reps"; without asking when the table is empty), then takes
    // the selling reps out of the list.
    void load();

    bool allItems() const noexcept { return m_allItems; }
    const QString &item() const noexcept { return m_item.name; }
    const ChosenItem &chosenItem() const noexcept { return m_item; }
    // The window's label above the grid and the report's title.
    QString labelCaption() const;
    QString reportTitle() const;

    // Every row of Reps left after the selling reps were taken out.
    const Recordset &workingList() const noexcept { return m_list; }
    // The working list in its present state, for the report.
    std::shared_ptr<reporting::MemoryRows> reportRows() const;

    // Replaces the rows of NoSellReps with the working list, each stamped with the item
    // (or "All Items"), in one transaction. Earlier rows are replaced only when the user
    // agrees ("Delete Previous Reps"); returns whether the table was written. A column of
    // NoSellReps that Reps lacks throws Error before anything is asked; on any failure the
    // earlier rows stay.
    bool saveForMailMerge();

private:
    Database &db();
    void openWorkingList();
    void takeOutSellingReps();

    ProgramState &m_state;
    bool m_allItems;
    ChosenItem m_item;
    std::optional<Database> m_db;
    Recordset m_list;
};

} // namespace corvina
