#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"
#include "localdb/Error.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "shell/ProgramState.h"
#include "shell/Screen.h"

#include <QFileInfo>
#include <QHash>

namespace corvina {

namespace {

// ADO's "Operation is not allowed when the object is open" (adErrObjectOpen).
constexpr std::int32_t kObjectOpen = -2146824583;

enum ChildColumn {
    Customer,
    Purchases,
    QtyTot,
    SalesTot,
    LastPurch,
    FirstPurch,
    Class,
    State,
    Type,
    ListID
};

QVariantList rowOf(const Statement &st)
{
    QVariantList row;
    row.reserve(st.columnCount());
    for (int c = 0; c < st.columnCount(); ++c)
        row.append(st.value(c));
    return row;
}

QVariant dateOf(const QVariant &stored)
{
    // An aggregate's value carries no column type: read the date back from its stored form.
    return stored.isNull() ? QVariant() : QVariant(dateFromStorage(stored.toString()));
}

} // namespace

ItemKindClause itemKindClause(const QStringList &kinds, const QStringList &excluded)
{
    ItemKindClause clause;
    for (const QString &kind : kinds) {
        if (excluded.contains(kind))
            continue;
        clause.sql += clause.values.empty() ? QStringLiteral(" And (") : QStringLiteral(" Or ");
        clause.sql += QStringLiteral("Type = ?");
        clause.values.emplace_back(itemKindStoredForm(kind));
    }
    if (!clause.values.empty())
        clause.sql += QStringLiteral(")");
    return clause;
}

std::shared_ptr<reporting::MemoryRows> buildItemAging(const QString &appFolder,
                                                      const ItemKindClause &clause)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    auto result = std::make_shared<reporting::MemoryRows>(kItemAgingFields, kItemAgingMember,
                                                          kItemAgingChildFields);

    Statement parents =
        db.prepare(QStringLiteral("Select Name, \"Desc\", ListID From Items Where IsActive <> 0") +
                   clause.sql + QStringLiteral(" Order By rowid"));
    parents.bindAll(clause.values);
    // ListIDs compare without case, as the column does; a repeated ListID relates the same
    // children to each of its items. An item without ListID relates to nothing.
    QHash<QString, QList<int>> parentsOfListId;
    while (parents.step()) {
        const int row = result->addRow(rowOf(parents));
        const QVariant listId = parents.value(2);
        if (!listId.isNull())
            parentsOfListId[listId.toString().toCaseFolded()].append(row);
    }
    if (parentsOfListId.isEmpty())
        return result;

    Statement children = db.prepare(QStringLiteral(
        "Select Invoices.Customer, Count(Invoices.InvNo) As Purchases, Sum(Invoices.Qty) As "
        "QtyTot, "
        "Sum(Invoices.Amt) As SalesTot, Max(Invoices.InvDate) As LastPurch, Min(Invoices.InvDate) "
        "As FirstPurch, "
        "Last(Invoices.Class, Invoices.rowid) As Class, Last(Customers.BillState, Invoices.rowid) "
        "As State, "
        "Last(Customers.CustType, Invoices.rowid) As Type, Invoices.ItemRefID As ListID "
        "From Invoices Left Join Customers On Invoices.Customer = Customers.Name "
        "Group By Invoices.Customer, Invoices.ItemRefID"));
    while (children.step()) {
        const QVariant listId = children.value(ListID);
        if (listId.isNull())
            continue;
        const auto it = parentsOfListId.constFind(listId.toString().toCaseFolded());
        if (it == parentsOfListId.constEnd())
            continue;
        QVariantList row = rowOf(children);
        row[LastPurch] = dateOf(row[LastPurch]);
        row[FirstPurch] = dateOf(row[FirstPurch]);
        for (const int parent : *it)
            result->addChild(parent, row);
    }
    return result;
}

namespace {

// The numbered steps of GetItemAging; a failure names the step it happened in.
QStringList askExclusions(ProgramState &state, const QStringList &kinds)
{
    const QStringList preselected = preselectedKinds(kinds, readExcludedKinds(state.appFolder()));
    // Closing the dialog without "&OK" keeps the previous choice.
    return state.screen().askExcludedItemKinds(kinds, preselected).value_or(preselected);
}

template <typename F> auto atStep(int line, F &&f)
{
    try {
        return f();
    } catch (const Error &e) {
        throw e.atLine(line);
    }
}

} // namespace

bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow)
{
    const QString folder = state.appFolder();
    try {
        atStep(10, [&] {
            if (!QFileInfo::exists(savedRecordsetPath(folder, QStringLiteral("ItemTypes"))))
                CreateSavedRecordset(folder, QStringLiteral("ItemTypes"));
        });
        const QStringList kinds = atStep(20, [&] {
            Database db = openLocalDb(folder, Database::Mode::ReadOnly);
            return listItemKinds(db);
        });
        const QStringList excluded = atStep(20, [&] { return askExclusions(state, kinds); });
        const ItemKindClause clause = itemKindClause(kinds, excluded);
        atStep(40, [&] { storeExcludedKinds(folder, excluded); });

        StatusSession status(state.status());
        status->step(QStringLiteral("Building report..."));
        atStep(80, [&] {
            if (state.itemAging())
                throw Error(kObjectOpen,
                            QStringLiteral("Operation is not allowed when the object is open."));
            state.itemAging() = buildItemAging(folder, clause);
        });
        atStep(90, [&] { showWindow(); });
        return true;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetItemAging"), e.description(), e.number(), e.line());
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetItemAging"), QString::fromLocal8Bit(e.what()),
                        errc::kDatabaseFailure, 0);
    }
    return false;
}

} // namespace corvina
