#include "analysis/ItemAging.h"
#include "analysis/ItemTypeStore.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "shell/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

#include <QMap>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class ItemAgingData : public ::testing::Test {
protected:
    ItemAgingData()
    {
        ensureLocalDb(folder.path());
        db = std::make_unique<Database>(openLocalDb(folder.path()));
    }
    void item(const QString &listId, const QString &name, const QVariant &type, bool active = true)
    {
        db->execute(
            u"INSERT INTO Items (ListID, Name, \"Desc\", Type, IsActive) VALUES (?, ?, ?, ?, ?)"_s,
            {listId, name, QVariant(name + u" desc"_s), type, active});
    }
    void customer(const QString &name, const QString &state, const QString &type)
    {
        db->execute(u"INSERT INTO Customers (Name, BillState, CustType) VALUES (?, ?, ?)"_s,
                    {name, state, type});
    }
    void line(const QString &customerName, const QString &itemId, const QVariant &invNo,
              const QVariant &qty, const QVariant &amt, const QString &date, const QString &cls)
    {
        db->execute(u"INSERT INTO Invoices (Customer, ItemRefID, InvNo, Qty, Amt, InvDate, Class) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
                    {customerName, itemId, invNo, qty, amt, QVariant(date + u" 00:00:00"_s), cls});
    }
    void seed()
    {
        item(u"I1"_s, u"Widget"_s, u"ItemInventoryRet"_s);
        item(u"I2"_s, u"Labour"_s, u"ItemServiceRet"_s);
        item(u"I3"_s, u"Never sold"_s, u"ItemInventoryRet"_s);
        item(u"I4"_s, u"Old stock"_s, u"ItemInventoryRet"_s, false);
        item(u"I5"_s, u"Shipping"_s, u"ItemOtherChargeRet"_s);
        item(u"I6"_s, u"No type"_s, QVariant());
        customer(u"Acme"_s, u"CA"_s, u"Retail"_s);
        customer(u"Bolt"_s, u"NY"_s, u"Wholesale"_s);
        // Two lines of one invoice count twice; the class of the last stored line wins even
        // though an earlier line has the later date.
        line(u"Acme"_s, u"I1"_s, u"100"_s, 2.0, 20.0, u"2026-03-05"_s, u"East"_s);
        line(u"Acme"_s, u"I1"_s, u"100"_s, 1.0, 10.5, u"2026-03-05"_s, u"West"_s);
        line(u"Acme"_s, u"I1"_s, u"90"_s, 4.0, 40.0, u"2026-01-02"_s, u"North"_s);
        line(u"Acme"_s, u"I1"_s, QVariant(), QVariant(), QVariant(), u"2025-12-31"_s, u"South"_s);
        line(u"Bolt"_s, u"I1"_s, u"101"_s, 1.0, 5.0, u"2026-02-01"_s, u"East"_s);
        line(u"Walk-in"_s, u"I1"_s, u"102"_s, 3.0, 7.25, u"2026-02-03"_s, u"East"_s);
        line(u"Bolt"_s, u"I2"_s, u"101"_s, 1.0, 99.0, u"2026-02-01"_s, u"Svc"_s);
        line(u"Acme"_s, u"I4"_s, u"103"_s, 1.0, 1.0, u"2026-02-01"_s, u"East"_s);
        line(u"Acme"_s, u"I5"_s, u"100"_s, 1.0, 8.0, u"2026-03-05"_s, u"East"_s);
        line(u"Acme"_s, u"I6"_s, u"100"_s, 1.0, 3.0, u"2026-03-05"_s, u"East"_s);
        line(u"Bolt"_s, u"Gone"_s, u"104"_s, 1.0, 3.0, u"2026-03-05"_s, u"East"_s);
    }
    static QStringList names(const reporting::ReportRows &rows)
    {
        QStringList out;
        for (int i = 0; i < rows.count(); ++i)
            out << rows.value(i, 0).toString();
        return out;
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    std::unique_ptr<Database> db;
};

QVariant asDate(const QVariant &v)
{
    return v.typeId() == QMetaType::QDateTime ? v : QVariant(dateFromStorage(v.toString()));
}

// One customer's figures for one item, worked out line by line in plain SQL.
QVariantList expectedChild(Database &db, const QString &customerName, const QString &itemId)
{
    Statement st = db.prepare(
        u"SELECT (SELECT count(*) FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2 AND InvNo "
        u"IS NOT NULL), "
        "(SELECT total(Qty) FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2), "
        "(SELECT total(Amt) FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2), "
        "(SELECT InvDate FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2 ORDER BY InvDate "
        "DESC LIMIT 1), "
        "(SELECT InvDate FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2 ORDER BY InvDate "
        "LIMIT 1), "
        "(SELECT Class FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2 ORDER BY rowid DESC "
        "LIMIT 1), "
        "(SELECT BillState FROM Customers WHERE Name = ?1), (SELECT CustType FROM Customers WHERE Name = ?1)"_s);
    st.bindAll({customerName, itemId});
    EXPECT_TRUE(st.step());
    return {customerName,
            st.value(0).toInt(),
            st.value(1).toDouble(),
            st.value(2).toDouble(),
            asDate(st.value(3)),
            asDate(st.value(4)),
            st.value(5),
            st.value(6),
            st.value(7),
            itemId};
}

TEST_F(ItemAgingData, FiguresMatchALineByLineComputation)
{
    seed();
    const auto result = buildItemAging(folder.path(), {});
    // Inactive items never show; items without a kind do when nothing restricts the kinds.
    EXPECT_EQ(names(*result), (QStringList{u"Widget"_s, u"Labour"_s, u"Never sold"_s, u"Shipping"_s,
                                           u"No type"_s}));

    QMap<QString, int> customersPerItem;
    for (int row = 0; row < result->count(); ++row) {
        const QString itemId = result->value(row, 2).toString();
        const reporting::ReportRows *children = result->children(row, u"Child"_s);
        ASSERT_NE(children, nullptr);
        customersPerItem[itemId] = children->count();
        for (int c = 0; c < children->count(); ++c) {
            const QVariantList expected =
                expectedChild(*db, children->value(c, 0).toString(), itemId);
            for (int f = 0; f < expected.size(); ++f) {
                const QVariant got = children->value(c, f);
                SCOPED_TRACE((itemId + u" "_s + children->value(c, 0).toString() + u" field "_s +
                              kItemAgingChildFields[f])
                                 .toStdString());
                if (expected[f].isNull() || (expected[f].typeId() == QMetaType::QString &&
                                             expected[f].toString().isEmpty()))
                    EXPECT_TRUE(got.isNull() || got.toString().isEmpty());
                else if (expected[f].typeId() == QMetaType::Double)
                    EXPECT_DOUBLE_EQ(got.toDouble(), expected[f].toDouble());
                else
                    EXPECT_EQ(got.toString(), expected[f].toString());
            }
        }
    }
    EXPECT_EQ(customersPerItem.value(u"I1"_s), 3);
    EXPECT_EQ(customersPerItem.value(u"I3"_s), 0);

    // Spot checks of the rules the computation above shares with the result.
    const reporting::ReportRows *widget = result->children(0, u"Child"_s);
    EXPECT_EQ(widget->value(0, 1).toInt(), 3);               // Acme: three numbered lines
    EXPECT_EQ(widget->value(0, 6).toString(), u"South"_s);   // last stored line, not latest date
    EXPECT_EQ(widget->value(2, 0).toString(), u"Walk-in"_s); // not a known customer...
    EXPECT_TRUE(widget->value(2, 7).isNull());               // ...so no state
    EXPECT_TRUE(widget->value(2, 8).isNull());               // ...and no type
}

TEST_F(ItemAgingData, KindClauseKeepsTheKindsLeftIn)
{
    seed();
    struct Case {
        QStringList excluded;
        QString sql;
        QStringList items;
    };
    const QStringList kinds = {u"Inventory"_s, u"OtherCharge"_s, u"Service"_s};
    const std::vector<Case> cases = {
        {{},
         u" And (Type = ? Or Type = ? Or Type = ?)"_s,
         {u"Widget"_s, u"Labour"_s, u"Never sold"_s, u"Shipping"_s}},
        {{u"OtherCharge"_s},
         u" And (Type = ? Or Type = ?)"_s,
         {u"Widget"_s, u"Labour"_s, u"Never sold"_s}},
        {{u"Inventory"_s, u"OtherCharge"_s}, u" And (Type = ?)"_s, {u"Labour"_s}},
        {kinds,
         QString(),
         {u"Widget"_s, u"Labour"_s, u"Never sold"_s, u"Shipping"_s, u"No type"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.excluded.join(u',').toStdString());
        const ItemKindClause clause = itemKindClause(kinds, c.excluded);
        EXPECT_EQ(clause.sql, c.sql);
        EXPECT_EQ(names(*buildItemAging(folder.path(), clause)), c.items);
    }
    EXPECT_EQ(itemKindClause(kinds, {u"Inventory"_s}).values,
              (std::vector<QVariant>{u"ItemOtherChargeRet"_s, u"ItemServiceRet"_s}));
    EXPECT_TRUE(itemKindClause({}, {}).sql.isEmpty());
}

TEST_F(ItemAgingData, KindsListAndStoreRoundTrip)
{
    seed();
    item(u"I7"_s, u"Odd"_s, u"Ret"_s);
    EXPECT_EQ(listItemKinds(*db),
              (QStringList{u"Inventory"_s, u"OtherCharge"_s, u"Service"_s, u"Ret"_s}));
    EXPECT_EQ(itemKindShortForm(u"ItemDiscountRet"_s), u"Discount"_s);

    EXPECT_TRUE(readExcludedKinds(folder.path()).isEmpty());
    storeExcludedKinds(folder.path(), {u"Service"_s, u"Gone"_s, u"OtherCharge"_s});
    const QStringList stored = readExcludedKinds(folder.path());
    EXPECT_EQ(stored, (QStringList{u"Service"_s, u"Gone"_s, u"OtherCharge"_s}));
    // A stored kind no longer in Items is not preselected; list order wins.
    EXPECT_EQ(preselectedKinds(listItemKinds(*db), stored),
              (QStringList{u"OtherCharge"_s, u"Service"_s}));
}

TEST_F(ItemAgingData, RunStoresTheChoiceAndShowsTheWindow)
{
    seed();
    ProgramState state(folder.path(), screen);
    screen.excludedKindsNext({u"OtherCharge"_s});
    int shown = 0;
    EXPECT_TRUE(GetItemAging(state, [&] { ++shown; }));
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(folder.exists(u"ItemTypes.adtg"_s));
    ASSERT_EQ(screen.kindsAsked().size(), 1u);
    EXPECT_TRUE(screen.kindsAsked()[0].selected.isEmpty());
    EXPECT_EQ(readExcludedKinds(folder.path()), QStringList{u"OtherCharge"_s});
    ASSERT_TRUE(state.itemAging());
    EXPECT_EQ(names(*state.itemAging()), (QStringList{u"Widget"_s, u"Labour"_s, u"Never sold"_s}));
    EXPECT_TRUE(screen.events().contains(u"text:Building report..."_s));
    EXPECT_FALSE(screen.statusOpen());

    // Again while the window holds the result: the dialog closed keeps the stored choice,
    // the failure is reported and the shown result stays.
    const auto held = state.itemAging();
    screen.excludedKindsClosedNext();
    screen.answerNext(Answer::Ok);
    EXPECT_FALSE(GetItemAging(state, [&] { ++shown; }));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(screen.kindsAsked()[1].selected, QStringList{u"OtherCharge"_s});
    EXPECT_EQ(readExcludedKinds(folder.path()), QStringList{u"OtherCharge"_s});
    EXPECT_EQ(state.itemAging(), held);
    ASSERT_FALSE(screen.messages().empty());
    EXPECT_TRUE(screen.messages().back().text.contains(u"GetItemAging"_s));
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

} // namespace
