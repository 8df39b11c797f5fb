#include "analysis/RepsNotSelling.h"

#include "localdb/Error.h"
#include "localdb/LocalDb.h"
#include "quickbooks/Retrievals.h"
#include "reporting/MemoryRows.h"
#include "shell/ProgramState.h"
#include "shell/Screen.h"

#include <QStringList>

namespace corvina {

namespace {

const QString kItemColumn = QStringLiteral("Item");

// A working-list row whose short name is this invoice's sales rep. A missing sales rep is
// the empty text; a rep without a short name matches nothing.
RowPredicate repIs(const QString &salesRep)
{
    return [salesRep](const RowView &row) {
        const QVariant &rep = row.value(QStringLiteral("Rep"));
        return !rep.isNull() && rep.toString().compare(salesRep, Qt::CaseInsensitive) == 0;
    };
}

// The working-list field of exactly this name, or -1.
int exactField(const Recordset &list, const QString &name)
{
    const auto &fields = list.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
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

QString RepsNotSelling::previousItem()
{
    Statement first =
        db().prepare(QStringLiteral("SELECT Item FROM NoSellReps ORDER BY rowid LIMIT 1"));
    return first.step() ? first.value(0).toString() : QString();
}

bool RepsNotSelling::saveForMailMerge()
{
    if (db().countRows(QStringLiteral("NoSellReps")) > 0) {
        const QString previous = previousItem();
        const QString what =
            previous == kAllItems
                ? QStringLiteral(
                      "This will delete all Reps who did not sell any of the listed items.")
                : QStringLiteral("This will delete all Reps who did not sell item ") + previous +
                      QStringLiteral(".");
        if (m_state.screen().message(what + QStringLiteral(" Proceed?"),
                                     QStringLiteral("Delete Previous Reps"),
                                     Buttons::YesNo) != Answer::Yes)
            return false;
    }

    // The columns of NoSellReps in their order; each but Item takes the working-list value
    // of the column of the same name.
    QStringList columns;
    {
        Statement shape = db().prepare(QStringLiteral("SELECT * FROM NoSellReps LIMIT 0"));
        for (int c = 0; c < shape.columnCount(); ++c)
            columns << shape.columnName(c);
    }
    std::vector<int> source;
    for (const QString &column : columns) {
        const int field = column == kItemColumn ? -1 : exactField(m_list, column);
        if (column != kItemColumn && field < 0)
            throw Error(
                errc::kDatabaseFailure,
                QStringLiteral("The Reps list has no column %1 for NoSellReps.").arg(column));
        source.push_back(field);
    }

    const QString stamp = m_allItems ? kAllItems : m_item.name;
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    Transaction transaction(db());
    db().deleteAll(QStringLiteral("NoSellReps"));
    Statement insert = db().prepare(
        QStringLiteral("INSERT INTO NoSellReps (%1) VALUES (%2)")
            .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (int r = 0; r < m_list.storedRowCount(); ++r) {
        const auto &row = m_list.storedRow(r);
        for (size_t c = 0; c < source.size(); ++c)
            insert.bind(static_cast<int>(c) + 1,
                        source[c] < 0 ? QVariant(stamp) : row[static_cast<size_t>(source[c])]);
        insert.run();
        insert.reset();
    }
    transaction.commit();

    m_state.screen().message(
        QStringLiteral(
            "All Reps not selling the selected item(s) have been added to the NoSellReps "
            "table in the QBData.mdb database. Reference these in your mail merge "
            "document(s)."),
        QStringLiteral("Data Saved"), Buttons::Ok);
    return true;
}

} // namespace corvina
