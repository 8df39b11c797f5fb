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

#include <algorithm>

using namespace Qt::StringLiterals;

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

namespace {

// One (customer, item) group of invoice lines, aggregated while the lines are read in stored
// order: the last line read gives the class.
struct LineGroup {
    QString customer; // the name as on the group's first line
    int customerId = 0;
    int itemId = 0;
    QString listId; // the item's ListID as on the group's first line
    int purchases = 0;
    double qty = 0;
    double amt = 0;
    bool hasQty = false;
    bool hasAmt = false;
    QString firstDate; // storage form, which sorts as the dates do
    QString lastDate;
    QVariant lineClass;
};

// Gives equal ids to texts that compare equal without case, as the columns do; the exact
// texts are cached so each distinct spelling is folded once.
class CaseFoldedIds {
public:
    int idOf(const QString &text)
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        const auto folded = m_folded.constFind(text.toCaseFolded());
        const int id = folded != m_folded.constEnd() ? *folded : static_cast<int>(m_folded.size());
        if (folded == m_folded.constEnd())
            m_folded.insert(text.toCaseFolded(), id);
        m_exact.insert(text, id);
        return id;
    }
    // The id of a text already seen, or -1.
    int find(const QString &text) const
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        return m_folded.value(text.toCaseFolded(), -1);
    }

private:
    QHash<QString, int> m_exact;
    QHash<QString, int> m_folded;
};

struct CustomerFacts {
    QVariant state;
    QVariant type;
};

void addToGroup(LineGroup &group, const Statement &line)
{
    if (!line.value(2).isNull())
        ++group.purchases;
    const QVariant qty = line.value(3);
    if (!qty.isNull()) {
        group.qty += qty.toDouble();
        group.hasQty = true;
    }
    const QVariant amt = line.value(4);
    if (!amt.isNull()) {
        group.amt += amt.toDouble();
        group.hasAmt = true;
    }
    const QVariant date = line.value(5);
    if (!date.isNull()) {
        const QString text = date.toString();
        if (group.firstDate.isNull() || text < group.firstDate)
            group.firstDate = text;
        if (group.lastDate.isNull() || text > group.lastDate)
            group.lastDate = text;
    }
    group.lineClass = line.value(6);
}

// Dates from their stored form. Converting to local time is slow and the result holds few
// distinct dates, so each is converted once.
class DateCache {
public:
    QVariant operator()(const QString &text)
    {
        if (text.isNull())
            return {};
        auto it = m_dates.constFind(text);
        if (it == m_dates.constEnd()) {
            const QDateTime date = dateFromStorage(text);
            it = m_dates.insert(text, date.isValid() ? QVariant(date) : QVariant());
        }
        return *it;
    }

private:
    QHash<QString, QVariant> m_dates;
};

} // namespace

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
    CaseFoldedIds itemIds;
    QHash<int, QList<int>> parentsOfItem;
    while (parents.step()) {
        const int row = result->addRow(rowOf(parents));
        const QVariant listId = parents.value(2);
        if (!listId.isNull())
            parentsOfItem[itemIds.idOf(listId.toString())].append(row);
    }
    if (parentsOfItem.isEmpty())
        return result;

    // Customers by name; with a repeated name the first stored row speaks for it, so a line
    // is never counted twice.
    CaseFoldedIds customerIds;
    std::vector<CustomerFacts> customers;
    Statement custs = db.prepare(
        QStringLiteral("Select Name, BillState, CustType From Customers Order By rowid"));
    while (custs.step()) {
        if (custs.value(0).isNull())
            continue;
        const int id = customerIds.idOf(custs.value(0).toString());
        if (static_cast<size_t>(id) == customers.size())
            customers.push_back({custs.value(1), custs.value(2)});
    }

    // Lines in stored order, grouped by customer name and item; lines of items not listed
    // are skipped. Dates are read in their stored form.
    std::vector<LineGroup> groups;
    QHash<quint64, int> groupOf;
    CaseFoldedIds lineCustomerIds;
    const auto lineCount = static_cast<qsizetype>(db.countRows(QStringLiteral("Invoices")));
    groupOf.reserve(lineCount);
    groups.reserve(static_cast<size_t>(lineCount));
    Statement lines =
        db.prepare(QStringLiteral("Select Customer, ItemRefID, InvNo, Qty, Amt, Cast(InvDate As "
                                  "Text), Class From Invoices Order By rowid"));
    while (lines.step()) {
        const QVariant listId = lines.value(1);
        if (listId.isNull())
            continue;
        const int itemId = itemIds.find(listId.toString());
        if (itemId < 0)
            continue;
        const QString customer = lines.value(0).toString();
        const int customerId = lineCustomerIds.idOf(customer);
        const quint64 key = (static_cast<quint64>(static_cast<quint32>(customerId)) << 32) |
                            static_cast<quint32>(itemId);
        auto it = groupOf.find(key);
        if (it == groupOf.end()) {
            it = groupOf.insert(key, static_cast<int>(groups.size()));
            LineGroup group;
            group.customer = customer;
            group.customerId = customerId;
            group.itemId = itemId;
            group.listId = listId.toString();
            groups.push_back(std::move(group));
        }
        addToGroup(groups[static_cast<size_t>(*it)], lines);
    }

    // Each item's customers in name order: the distinct names are sorted once and the
    // groups ordered by their name's rank, keeping reading order among equal names.
    std::vector<QString> nameOfCustomer;
    for (const LineGroup &group : groups) {
        if (static_cast<size_t>(group.customerId) >= nameOfCustomer.size())
            nameOfCustomer.resize(static_cast<size_t>(group.customerId) + 1);
        if (nameOfCustomer[static_cast<size_t>(group.customerId)].isNull())
            nameOfCustomer[static_cast<size_t>(group.customerId)] =
                group.customer.isNull() ? u""_s : group.customer;
    }
    std::vector<int> byName(nameOfCustomer.size());
    for (size_t c = 0; c < byName.size(); ++c)
        byName[c] = static_cast<int>(c);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) {
        return nameOfCustomer[static_cast<size_t>(a)].compare(
                   nameOfCustomer[static_cast<size_t>(b)], Qt::CaseInsensitive) < 0;
    });
    std::vector<int> rank(byName.size());
    for (size_t r = 0; r < byName.size(); ++r)
        rank[static_cast<size_t>(byName[r])] = static_cast<int>(r);
    std::vector<int> order(groups.size());
    for (size_t g = 0; g < order.size(); ++g)
        order[g] = static_cast<int>(g);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return rank[static_cast<size_t>(groups[static_cast<size_t>(a)].customerId)] <
               rank[static_cast<size_t>(groups[static_cast<size_t>(b)].customerId)];
    });
    DateCache storedDate;
    for (const int g : order) {
        const LineGroup &group = groups[static_cast<size_t>(g)];
        const int known = customerIds.find(group.customer);
        const CustomerFacts facts =
            known >= 0 ? customers[static_cast<size_t>(known)] : CustomerFacts{};
        const QVariantList row = {group.customer.isNull() ? QVariant() : QVariant(group.customer),
                                  group.purchases,
                                  group.hasQty ? QVariant(group.qty) : QVariant(),
                                  group.hasAmt ? QVariant(group.amt) : QVariant(),
                                  storedDate(group.lastDate),
                                  storedDate(group.firstDate),
                                  group.lineClass,
                                  facts.state,
                                  facts.type,
                                  group.listId};
        const auto parentRows = parentsOfItem.constFind(group.itemId);
        if (parentRows == parentsOfItem.constEnd())
            continue;
        for (const int parent : *parentRows) {
            result->addChild(parent, row);
        }
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
