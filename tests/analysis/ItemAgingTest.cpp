#include "analysis/ItemAging.h"
#include "analysis/ItemTypeStore.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

#include "qbsim/Generator.h"
#include "retrieval/Retrievals.h"
#include "support/InProcessStandIn.h"

#include <QDate>
#include <QFile>
#include <QLocale>
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
        "(SELECT max(InvDate) FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2), "
        "(SELECT min(InvDate) FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2), "
        "(SELECT Class FROM Invoices WHERE Customer = ?1 AND ItemRefID = ?2 ORDER BY rowid DESC "
        "LIMIT 1), "
        // A customer's own row, else the top-level customer of the job of that full name.
        "(SELECT BillState FROM (SELECT BillState, 0 AS k, rowid AS r FROM Customers WHERE Name = "
        "?1 "
        "UNION ALL SELECT c.BillState, 1, j.rowid FROM CustomerJobs j JOIN Customers c ON c.ListID "
        "= "
        "j.CustListID WHERE j.FullName = ?1) ORDER BY k, r LIMIT 1), "
        "(SELECT CustType FROM (SELECT CustType, 0 AS k, rowid AS r FROM Customers WHERE Name = ?1 "
        "UNION ALL SELECT c.CustType, 1, j.rowid FROM CustomerJobs j JOIN Customers c ON c.ListID "
        "= "
        "j.CustListID WHERE j.FullName = ?1) ORDER BY k, r LIMIT 1)"_s);
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

// Every child of every item checked against the plain-SQL computation, each item's customers
// complete and in name order.
void expectFiguresMatchSql(Database &db, const reporting::ReportRows &result)
{
    for (int row = 0; row < result.count(); ++row) {
        const QString itemId = result.value(row, 2).toString();
        const reporting::ReportRows *children = result.children(row, u"Child"_s);
        ASSERT_NE(children, nullptr);
        Statement distinct =
            db.prepare(u"SELECT count(DISTINCT Customer) FROM Invoices WHERE ItemRefID = ?"_s);
        distinct.bindAll({itemId});
        ASSERT_TRUE(distinct.step());
        EXPECT_EQ(children->count(), distinct.value(0).toInt()) << itemId.toStdString();
        for (int c = 0; c < children->count(); ++c) {
            const QString name = children->value(c, 0).toString();
            if (c > 0) {
                EXPECT_LT(children->value(c - 1, 0).toString().compare(name, Qt::CaseInsensitive),
                          0);
            }
            const QVariantList expected = expectedChild(db, name, itemId);
            for (int f = 0; f < expected.size(); ++f) {
                const QVariant got = children->value(c, f);
                SCOPED_TRACE((itemId + u" "_s + name + u" field "_s + kItemAgingChildFields[f])
                                 .toStdString());
                if (expected[f].isNull() || (expected[f].typeId() == QMetaType::QString &&
                                             expected[f].toString().isEmpty()))
                    EXPECT_TRUE(got.isNull() || got.toString().isEmpty());
                else if (expected[f].typeId() == QMetaType::Double)
                    EXPECT_NEAR(got.toDouble(), expected[f].toDouble(), 1e-6);
                else if (f == 9) // the ListID as spelled on the lines
                    EXPECT_EQ(got.toString().toLower(), expected[f].toString().toLower());
                else
                    EXPECT_EQ(got.toString(), expected[f].toString());
            }
        }
    }
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

TEST_F(ItemAgingData, PeriodCoversEveryDatedLine)
{
    seed();
    // Lines of items not listed count for the period; an undated line does not.
    line(u"Bolt"_s, u"Gone"_s, u"105"_s, 1.0, 1.0, u"2024-06-30"_s, u"East"_s);
    db->execute(u"INSERT INTO Invoices (Customer, ItemRefID, InvNo) VALUES ('Bolt', 'I1', '9')"_s);
    const QString expected = u"Period Analyzed: "_s +
                             QLocale().toString(QDate(2024, 6, 30), QLocale::ShortFormat) +
                             u" - "_s + QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat);
    EXPECT_EQ(periodAnalyzedText(*buildItemAging(folder.path(), {})), expected);
    db->execute(u"UPDATE Items SET IsActive = 0"_s); // nothing listed at all
    EXPECT_EQ(periodAnalyzedText(*buildItemAging(folder.path(), {})), expected);
    db->execute(u"UPDATE Items SET IsActive = 1"_s);
    db->execute(u"UPDATE Invoices SET InvDate = NULL"_s);
    EXPECT_EQ(periodAnalyzedText(*buildItemAging(folder.path(), {})),
              u"Period Analyzed: no invoices"_s);
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
    EXPECT_TRUE(screen.messages().back().text.contains(u"Line Number: 80\r"_s))
        << "the step that failed";
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

// Lines spread over the whole file: a customer's lines of one item fall on both sides of
// any split of the reading, spelled with different case, with empty values in between.
TEST_F(ItemAgingData, FiguresOfManyScatteredLinesMatchSql)
{
    item(u"I1"_s, u"Widget"_s, u"ItemInventoryRet"_s);
    item(u"I2"_s, u"Labour"_s, u"ItemServiceRet"_s);
    item(u"I3"_s, u"Old stock"_s, u"ItemInventoryRet"_s, false);
    item(u"I4"_s, u"Never sold"_s, u"ItemInventoryRet"_s);
    item(u"i5"_s, u"Freight"_s, u"ItemOtherChargeRet"_s);
    const QStringList names = {u"Acme"_s, u"Bolt"_s, u"O'Hara & Sons"_s, u"Zed"_s, u"Émile"_s};
    for (const QString &name : names)
        customer(name, name.left(2).toUpper(), u"Retail"_s);
    customer(u"acme"_s, u"XX"_s, u"Duplicate"_s); // a repeated name: the first row speaks
    const QStringList spellings = {u"Acme"_s, u"ACME"_s, u"Bolt"_s,    u"O'Hara & Sons"_s,
                                   u"zed"_s,  u"Zed"_s,  u"Walk-in"_s, u"Émile"_s};
    const QStringList items = {u"I1"_s, u"i1"_s, u"I2"_s, u"I3"_s, u"I5"_s, u"Gone"_s};
    quint32 x = 12345;
    const auto next = [&x](quint32 n) {
        x = x * 1103515245u + 12345u;
        return (x >> 16) % n;
    };
    Transaction transaction(*db);
    for (int l = 0; l < 600; ++l) {
        const QString date = QDate(2024, 1, 1).addDays(next(900)).toString(Qt::ISODate);
        db->execute(u"INSERT INTO Invoices (Customer, ItemRefID, InvNo, Qty, Amt, InvDate, Class) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
                    {spellings[next(8)], items[next(6)],
                     next(5) == 0 ? QVariant() : QVariant(QString::number(l / 3)),
                     next(6) == 0 ? QVariant() : QVariant(double(next(9) + 1)),
                     next(6) == 0 ? QVariant() : QVariant(next(100000) / 100.0),
                     next(7) == 0 ? QVariant() : QVariant(date + u" 00:00:00"_s),
                     next(4) == 0 ? QVariant() : QVariant(u"Class "_s + QString::number(next(3)))});
    }
    transaction.commit();

    const auto result = buildItemAging(folder.path(), {});
    ASSERT_EQ(result->count(), 4);
    expectFiguresMatchSql(*db, *result);
    EXPECT_EQ(result->children(2, u"Child"_s)->count(), 0); // never sold
}

// The demo-sized generated company, retrieved as the menu does, then analysed.
TEST_F(ItemAgingData, FiguresOfAGeneratedCompanyMatchSql)
{
    const QString path = folder.path() + u"/company.qbxml"_s;
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        qbsim::GeneratorOptions options;
        options.customers = 60;
        options.invoices = 500;
        options.seed = 99;
        ASSERT_TRUE(qbsim::generateCompany(options, out));
    }
    test::InProcessStandIn standIn(path);
    ProgramState state(folder.path(), screen);
    state.quickBooks().makeProcessor = standIn.factory();
    folder.write(u"QBPath.txt"_s, standIn.companyPath().toUtf8() + "\n");
    GetCustomers(state);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok); // the hint after the first invoices
    GetInvoices(state);
    Statement lines = db->prepare(u"SELECT count(*) FROM Invoices"_s);
    ASSERT_TRUE(lines.step());
    ASSERT_GT(lines.value(0).toInt(), 1000);

    const auto result = buildItemAging(folder.path(), {});
    ASSERT_GT(result->count(), 10);
    expectFiguresMatchSql(*db, *result);
}

} // namespace

// "ÉMILE" and "émile" are one customer, as the Name column compares them: one child row
// named by the first spelling, with the state and type of the customer row, in name order
// after the ASCII names.
TEST_F(ItemAgingData, NamesInOtherCaseBeyondAsciiAreOneCustomer)
{
    item(u"I1"_s, u"Widget"_s, u"ItemInventoryRet"_s);
    customer(u"Émile"_s, u"QC"_s, u"Retail"_s);
    customer(u"Zed"_s, u"NY"_s, u"Trade"_s);
    line(u"ÉMILE"_s, u"I1"_s, u"1"_s, 1.0, 10.0, u"2026-01-02"_s, u"East"_s);
    line(u"Zed"_s, u"I1"_s, u"2"_s, 1.0, 5.0, u"2026-01-03"_s, u"East"_s);
    line(u"émile"_s, u"I1"_s, u"3"_s, 2.0, 20.0, u"2026-01-04"_s, u"West"_s);
    const auto result = buildItemAging(folder.path(), {});
    const reporting::ReportRows *children = result->children(0, u"Child"_s);
    ASSERT_NE(children, nullptr);
    ASSERT_EQ(children->count(), 2);
    EXPECT_EQ(children->value(0, 0).toString(), u"Zed"_s);
    EXPECT_EQ(children->value(1, 0).toString(), u"ÉMILE"_s);
    EXPECT_EQ(children->value(1, 1).toInt(), 2);
    EXPECT_EQ(children->value(1, 3).toDouble(), 30.0);
    EXPECT_EQ(children->value(1, 6).toString(), u"West"_s);
    EXPECT_EQ(children->value(1, 7).toString(), u"QC"_s);
    EXPECT_EQ(children->value(1, 8).toString(), u"Retail"_s);
}
