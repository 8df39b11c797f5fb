#include "analysis/RepsNotSelling.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "localdb/TableReplace.h"
#include "localdb/TextRule.h"
#include "reporting/MemoryRows.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"

#include <QStringList>

namespace corvina {

namespace {

// A working-list row whose short name is this invoice's sales rep. A missing sales rep is
// the empty text; a rep without a short name matches nothing.
RowPredicate repIs(const QString &salesRep)
{
    return [salesRep](const RowView &row) {
        const QVariant &rep = row.value(QStringLiteral("Rep"));
        return !rep.isNull() && compareWithoutCase(rep.toString(), salesRep) == 0;
    };
}

} // namespace

RepsNotSelling::RepsNotSelling(ProgramState &state, bool allItems, ChosenItem item)
    : m_state(state), m_allItems(allItems), m_item(std::move(item))
{
}

QString RepsNotSelling::labelCaption() const
{
    return m_allItems ? QStringLiteral("Rep(s) who have not sold any of the items listed")
                      : QStringLiteral("Rep(s) who have not sold item: ") + m_item.name;
}

QString RepsNotSelling::reportTitle() const
{
    return m_allItems ? QStringLiteral("Reps Not Selling Any of the Items Shown")
                      : QStringLiteral("Reps Not Selling Item ") + m_item.name;
}

Database &RepsNotSelling::db()
{
    if (!m_db)
        m_db.emplace(openLocalDb(m_state.appFolder()));
    return *m_db;
}

void RepsNotSelling::openWorkingList()
{
    m_list = Recordset::fromQuery(db(), QStringLiteral("SELECT * FROM Reps"));
    m_list.setReadOnly(false);
}

void RepsNotSelling::load()
{
    openWorkingList();
    bool refresh = m_list.recordCount() == 0;
    if (!refresh) {
        refresh =
            m_state.screen().message(QStringLiteral("Do you want to update your Reps listing?"),
                                     QStringLiteral("Update Reps"), Buttons::YesNo) == Answer::Yes;
    }
    if (refresh) {
        // GetReps reports its own failures; the list is then whatever Reps holds.
        m_state.runRetrieval(GetReps);
        openWorkingList();
    }
    takeOutSellingReps();
}

void RepsNotSelling::takeOutSellingReps()
{
    Statement selling =
        m_allItems ? db().prepare(QStringLiteral("SELECT SalesRep FROM Invoices GROUP BY SalesRep"))
                   : db().prepare(QStringLiteral("SELECT SalesRep FROM Invoices WHERE ") +
                                  m_item.invoiceCondition() + QStringLiteral(" GROUP BY SalesRep"));
    if (!m_allItems)
        selling.bind(1, m_item.invoiceValue());
    while (selling.step()) {
        m_list.moveFirst();
        if (m_list.find(repIs(selling.value(0).toString())))
            m_list.deleteCurrent();
    }
    m_list.moveFirst();
}

std::shared_ptr<reporting::MemoryRows> RepsNotSelling::reportRows() const
{
    QStringList names;
    for (const Field &f : m_list.fields())
        names << f.name;
    auto rows = std::make_shared<reporting::MemoryRows>(names);
    for (int r = 0; r < m_list.storedRowCount(); ++r) {
        const auto &stored = m_list.storedRow(r);
        rows->addRow(QVariantList(stored.begin(), stored.end()));
    }
    return rows;
}

bool RepsNotSelling::saveForMailMerge()
{
    Screen &screen = m_state.screen();
    const auto confirm = [&screen](const QVariant &stamp) {
        const QString previous = stamp.toString();
        const QString what =
            previous == kAllItems
                ? QStringLiteral(
                      "This will delete all Reps who did not sell any of the listed items.")
                : QStringLiteral("This will delete all Reps who did not sell item ") + previous +
                      QStringLiteral(".");
        return screen.message(what + QStringLiteral(" Proceed?"),
                              QStringLiteral("Delete Previous Reps"),
                              Buttons::YesNo) == Answer::Yes;
    };
    if (!replaceTableRows(db(), QStringLiteral("NoSellReps"), m_list, QStringLiteral("Reps"),
                          QStringLiteral("Item"), m_allItems ? kAllItems : m_item.name, confirm))
        return false;
    screen.message(
        QStringLiteral(
            "All Reps not selling the selected item(s) have been added to the NoSellReps "
            "table in the QBData.mdb database. Reference these in your mail merge "
            "document(s)."),
        QStringLiteral("Data Saved"), Buttons::Ok);
    return true;
}

} // namespace corvina
