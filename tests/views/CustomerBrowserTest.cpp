#include "support/CustomerTestRows.h"

#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "localdb/Recordset.h"
#include "support/TempAppFolder.h"
#include "views/CustomerBrowser.h"
#include "views/CustomerGridModel.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::test;
using Combo = CustomerBrowser::Combo;

namespace {

class CustomerBrowserTest : public ::testing::Test {
protected:
    CustomerBrowser open(const std::vector<CustomerRow> &rows)
    {
        insertCustomers(folder.path(), rows);
        return CustomerBrowser(
            CustomerTable::load(openLocalDb(folder.path(), Database::Mode::ReadOnly)));
    }

    static QStringList names(const CustomerList &list)
    {
        const int name = static_cast<int>(list.columnNames().indexOf(QStringLiteral("Name")));
        QStringList shown;
        for (int row = 0; row < list.rowCount(); ++row)
            shown << list.value(row, name).toString();
        return shown;
    }

    TempAppFolder folder;
};

const std::vector<CustomerRow> kMixed = {
    {QStringLiteral("delta"), QStringLiteral("CA"), QStringLiteral("Retail")},
    {QStringLiteral("Alpha"), QStringLiteral("ny"), QStringLiteral("Wholesale")},
    {QStringLiteral("bravo"), QStringLiteral("ca"), QStringLiteral("Retail")},
    {QStringLiteral("Charlie"), QVariant(), QStringLiteral("Wholesale")},
    {QStringLiteral("Bob's Diner"), QStringLiteral("CA"), QStringLiteral("O'Brien & Sons")},
    {QStringLiteral("echo"), QStringLiteral("NY"), QStringLiteral("50%")},
    {QStringLiteral("foxtrot"), QStringLiteral("TX"), QStringLiteral("500")},
    {QStringLiteral("[golf]"), QStringLiteral("TX"), QStringLiteral("a_b")},
    {QStringLiteral("*hotel"), QStringLiteral("TX"), QStringLiteral("axb")},
};

} // namespace

TEST_F(CustomerBrowserTest, AnEmptyTableHasNoRowsAndEmptyLists)
{
    CustomerBrowser browser = open({});
    EXPECT_EQ(browser.rowCount(), 0);
    EXPECT_EQ(browser.currentRow(), -1);
    EXPECT_TRUE(browser.stateList().isEmpty());
    EXPECT_TRUE(browser.typeList().isEmpty());
    EXPECT_EQ(browser.columnNames().size(), 50);
    EXPECT_EQ(browser.goTo(QStringLiteral("a")), -1);
    browser.comboChanged(Combo::State, QStringLiteral("CA"), QStringLiteral("Type"));
    EXPECT_EQ(browser.rowCount(), 0);
}

TEST_F(CustomerBrowserTest, RowsAreInNameOrderWithoutCaseNullsFirstTiesAsStored)
{
    CustomerBrowser browser = open({{QStringLiteral("beta"), {}, {}, QStringLiteral("first beta")},
                                    {QStringLiteral("Alpha"), {}, {}},
                                    {QVariant(), {}, {}},
                                    {QStringLiteral("BETA"), {}, {}, QStringLiteral("second beta")},
                                    {QStringLiteral("alpha2"), {}, {}},
                                    {QStringLiteral("_under"), {}, {}}});
    EXPECT_EQ(names(browser), (QStringList{QString(), QStringLiteral("_under"),
                                           QStringLiteral("Alpha"), QStringLiteral("alpha2"),
                                           QStringLiteral("beta"), QStringLiteral("BETA")}));
    const int phone = static_cast<int>(browser.columnNames().indexOf(QStringLiteral("Phone")));
    EXPECT_EQ(browser.value(4, phone).toString(), u"first beta");
    EXPECT_EQ(browser.value(5, phone).toString(), u"second beta");
}

TEST_F(CustomerBrowserTest, ListsHoldEachValueOnceWithTheEmptyEntryFirst)
{
    CustomerBrowser browser = open(kMixed);
    EXPECT_EQ(browser.stateList(), (QStringList{QString(), QStringLiteral("CA"),
                                                QStringLiteral("ny"), QStringLiteral("TX")}));
    EXPECT_EQ(browser.typeList(),
              (QStringList{QStringLiteral("50%"), QStringLiteral("500"), QStringLiteral("a_b"),
                           QStringLiteral("axb"), QStringLiteral("O'Brien & Sons"),
                           QStringLiteral("Retail"), QStringLiteral("Wholesale")}));
}

// Each step: a combo reads a new text while the other reads `other`; then the rows shown and
// the filters in force.
TEST_F(CustomerBrowserTest, FilterCombinations)
{
    struct Step {
        const char *what;
        Combo combo;
        QString text;
        QString other;
        QStringList shown;
        std::optional<QString> state;
        std::optional<QString> type;
    };
    const QString all =
        QStringLiteral("*hotel,[golf],Alpha,Bob's Diner,bravo,Charlie,delta,echo,foxtrot");
    const std::vector<Step> steps = {
        {"state alone while type reads Type", Combo::State, QStringLiteral("ca"),
         QStringLiteral("Type"), QStringLiteral("Bob's Diner,bravo,delta").split(u','),
         QStringLiteral("ca"), std::nullopt},
        {"then a type filters on both", Combo::Type, QStringLiteral("Retail"), QStringLiteral("ca"),
         QStringLiteral("bravo,delta").split(u','), QStringLiteral("ca"), QStringLiteral("Retail")},
        {"another state keeps the type",
         Combo::State,
         QStringLiteral("NY"),
         QStringLiteral("Retail"),
         {},
         QStringLiteral("NY"),
         QStringLiteral("Retail")},
        {"the empty state entry clears every filter", Combo::State, QString(),
         QStringLiteral("Retail"), all.split(u','), std::nullopt, std::nullopt},
        {"a type while the state combo is empty filters on the type alone", Combo::Type,
         QStringLiteral("Wholesale"), QString(), QStringLiteral("Alpha,Charlie").split(u','),
         std::nullopt, QStringLiteral("Wholesale")},
        {"an apostrophe is a plain character", Combo::Type, QStringLiteral("O'Brien & Sons"),
         QStringLiteral("State"), QStringList{QStringLiteral("Bob's Diner")}, std::nullopt,
         QStringLiteral("O'Brien & Sons")},
        {"% is not a wildcard", Combo::Type, QStringLiteral("50%"), QStringLiteral("State"),
         QStringList{QStringLiteral("echo")}, std::nullopt, QStringLiteral("50%")},
        {"_ is not a wildcard", Combo::Type, QStringLiteral("a_b"), QStringLiteral("State"),
         QStringList{QStringLiteral("[golf]")}, std::nullopt, QStringLiteral("a_b")},
        {"a value nobody has shows nothing",
         Combo::State,
         QStringLiteral("[A-Z]*"),
         QStringLiteral("Type"),
         {},
         QStringLiteral("[A-Z]*"),
         std::nullopt},
        {"the empty type entry clears too", Combo::Type, QString(), QStringLiteral("[A-Z]*"),
         all.split(u','), std::nullopt, std::nullopt},
    };
    CustomerBrowser browser = open(kMixed);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        browser.comboChanged(step.combo, step.text, step.other);
        EXPECT_EQ(names(browser), step.shown);
        EXPECT_EQ(browser.stateFilter(), step.state);
        EXPECT_EQ(browser.typeFilter(), step.type);
        EXPECT_EQ(browser.currentRow(), step.shown.isEmpty() ? -1 : 0);
    }
}

TEST_F(CustomerBrowserTest, GoToFindsTheFirstNameWithinTheFilterWithoutCase)
{
    struct Case {
        QString prefix;
        int row;
    };
    CustomerBrowser browser = open(kMixed);
    for (const Case &c :
         {Case{QStringLiteral("b"), 3}, Case{QStringLiteral("C"), 5}, Case{QStringLiteral("*"), 0},
          Case{QStringLiteral("["), 1}, Case{QStringLiteral("bob'"), 3},
          Case{QStringLiteral("%"), -1}, Case{QStringLiteral("z"), -1}}) {
        SCOPED_TRACE(c.prefix.toStdString());
        EXPECT_EQ(browser.goTo(c.prefix), c.row);
        EXPECT_EQ(browser.currentRow(), c.row);
    }
    browser.comboChanged(Combo::State, QStringLiteral("CA"), QStringLiteral("Type"));
    EXPECT_EQ(browser.goTo(QStringLiteral("B")), 0);  // Bob's Diner, first b within CA
    EXPECT_EQ(browser.goTo(QStringLiteral("a")), -1); // Alpha is in NY
}

TEST_F(CustomerBrowserTest, CaseIsFoldedBeyondAscii)
{
    CustomerBrowser browser =
        open({{QStringLiteral("Élan"), QStringLiteral("Québec"), QStringLiteral("Détail")},
              {QStringLiteral("émile"), QStringLiteral("QUÉBEC"), QStringLiteral("Gros")},
              {QStringLiteral("Zeta"), QStringLiteral("Ontario"), QStringLiteral("DÉTAIL")}});
    EXPECT_EQ(browser.stateList(),
              (QStringList{QStringLiteral("Ontario"), QStringLiteral("Québec")}));
    browser.comboChanged(Combo::State, QStringLiteral("québec"), QStringLiteral("Type"));
    EXPECT_EQ(browser.rowCount(), 2);
    browser.comboChanged(Combo::Type, QStringLiteral("détail"), QStringLiteral("québec"));
    EXPECT_EQ(names(browser), QStringList{QStringLiteral("Élan")});
    browser.clearFilter();
    EXPECT_EQ(browser.goTo(QStringLiteral("É")), 1);
}

TEST_F(CustomerBrowserTest, ValuesKeepTheirKinds)
{
    insertCustomers(folder.path(),
                    {{QStringLiteral("Typed"), QStringLiteral("CA"), {}, {}, 1234.5}});
    {
        Database db = openLocalDb(folder.path());
        db.execute(QStringLiteral(
            "Update Customers Set IsActive = 1, OpenBalanceDate = '2026-03-04 05:06:07', "
            "CCExpMo = 12"));
    }
    CustomerBrowser browser(CustomerTable::load(openLocalDb(folder.path())));
    const QStringList columns = browser.columnNames();
    EXPECT_EQ(browser.value(0, static_cast<int>(columns.indexOf(u"OpenBalance"))),
              QVariant(1234.5));
    EXPECT_EQ(browser.value(0, static_cast<int>(columns.indexOf(u"IsActive"))), QVariant(true));
    EXPECT_EQ(browser.value(0, static_cast<int>(columns.indexOf(u"OpenBalanceDate"))),
              QVariant(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))));
    EXPECT_EQ(browser.value(0, static_cast<int>(columns.indexOf(u"CCExpMo"))),
              QVariant(qint32(12)));
    EXPECT_TRUE(browser.value(0, static_cast<int>(columns.indexOf(u"Fax"))).isNull());
}

TEST_F(CustomerBrowserTest, TheSnapshotKeepsItsRowsAndLocksNothing)
{
    CustomerBrowser browser = open(numberedCustomers(3));
    // A retrieval rewriting the table while the window is open.
    Database writer = openLocalDb(folder.path());
    writer.setBusyTimeout(std::chrono::milliseconds(50));
    {
        Transaction rewrite(writer);
        writer.deleteAll(QStringLiteral("Customers"));
        writer.execute(QStringLiteral("Insert Into Customers (Name) Values (?)"),
                       {QStringLiteral("Newcomer")});
        rewrite.commit();
    }
    EXPECT_EQ(names(browser),
              (QStringList{QStringLiteral("Customer 001"), QStringLiteral("Customer 002"),
                           QStringLiteral("Customer 003")}));
}

TEST_F(CustomerBrowserTest, AMissingTableIsAnError)
{
    ensureLocalDb(folder.path());
    openLocalDb(folder.path()).execute(QStringLiteral("Drop Table Customers"));
    EXPECT_THROW(CustomerTable::load(openLocalDb(folder.path())), Error);
}

TEST_F(CustomerBrowserTest, GridShowsFortyNineCaptionedColumnsAndTellsViewsOfFilters)
{
    CustomerBrowser browser = open(kMixed);
    CustomerGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setBrowser(&browser);
    ASSERT_EQ(model.columnCount(), 49);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), u"Name");
    EXPECT_EQ(model.headerData(48, Qt::Horizontal).toString(), u"DeliveryMethod");
    EXPECT_EQ(model.rowCount(), 9);
    EXPECT_EQ(model.index(2, 0).data().toString(), u"Alpha");
    EXPECT_EQ(model.index(2, 13).data().toString(), u"ny");
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));

    model.comboChanged(Combo::State, QStringLiteral("TX"), QStringLiteral("Type"));
    EXPECT_EQ(model.rowCount(), 3);
    model.clearFilter();
    EXPECT_EQ(model.rowCount(), 9);
    model.setBrowser(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(CustomerValueText, ShowsValuesAsTheGridAndThePagesDo)
{
    EXPECT_EQ(customerValueText(QVariant()), u"");
    EXPECT_EQ(customerValueText(true), u"True");
    EXPECT_EQ(customerValueText(false), u"False");
    EXPECT_EQ(customerValueText(1234567.89), u"1234567.89");
    EXPECT_EQ(customerValueText(qint32(7)), u"7");
    EXPECT_EQ(customerValueText(QStringLiteral("O'Hare")), u"O'Hare");
}

TEST(RecordsetCustomerList, ReadsVisibleRowsWithoutMovingTheCursor)
{
    Recordset rows({Field{QStringLiteral("Name"), FieldKind::Text, 0},
                    Field{QStringLiteral("BillState"), FieldKind::Text, 0}});
    for (const char *name : {"a", "b", "c"}) {
        rows.addNew();
        rows.setValue(0, QString::fromLatin1(name));
        rows.setValue(1, QStringLiteral("CA"));
    }
    rows.setFilter([](const RowView &row) { return row.value(0).toString() != u"b"; });
    RecordsetCustomerList list(rows);
    list.setCurrentRow(1);
    EXPECT_EQ(list.columnNames(),
              (QStringList{QStringLiteral("Name"), QStringLiteral("BillState")}));
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.value(0, 0).toString(), u"a");
    EXPECT_EQ(list.value(1, 0).toString(), u"c");
    EXPECT_EQ(list.currentRow(), 1);
    list.setCurrentRow(-1);
    EXPECT_EQ(list.currentRow(), -1);
}

// A hostile QBData.mdb can store any text as the table's definition, and any column name.
TEST_F(CustomerBrowserTest, NothingStoredInTheFileIsRunAsSql)
{
    insertCustomers(folder.path(), kMixed);
    const QString hostileColumn = QStringLiteral("Note\" Text); Delete From main.Invoices; --");
    {
        Database db = openLocalDb(folder.path());
        db.execute(QStringLiteral("Insert Into Invoices (InvNo) Values (?)"),
                   {QStringLiteral("kept")});
        db.execute(QStringLiteral("Alter Table Customers Add Column \"") +
                   QString(hostileColumn).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
                   QStringLiteral("\" Text"));
        Statement definition = db.prepare(QStringLiteral(
            "Select sql From sqlite_master Where type = 'table' And name = 'Customers'"));
        ASSERT_TRUE(definition.step());
        const QString hostile =
            definition.value(0).toString() + QStringLiteral("; Delete From main.Invoices");
        definition.reset();
        db.execute(QStringLiteral("PRAGMA writable_schema = ON"));
        db.execute(
            QStringLiteral(
                "Update sqlite_master Set sql = ? Where type = 'table' And name = 'Customers'"),
            {hostile});
    }
    for (const auto mode : {Database::Mode::ReadWrite, Database::Mode::ReadOnly}) {
        CustomerBrowser browser(CustomerTable::load(openLocalDb(folder.path(), mode)));
        EXPECT_EQ(browser.rowCount(), static_cast<int>(kMixed.size()));
        EXPECT_TRUE(browser.columnNames().contains(hostileColumn));
        EXPECT_EQ(openLocalDb(folder.path()).countRows(QStringLiteral("Invoices")), 1);
    }
}

// Names sort as SQL's NOCASE does under the text rule: case variants beyond ASCII tie (stored
// order) and follow ASCII letters; Go To matches them without case.
TEST_F(CustomerBrowserTest, NamesBeyondAsciiSortAndMatchByTheTextRule)
{
    CustomerBrowser browser = open({{QStringLiteral("émile"), {}, {}},
                                    {QStringLiteral("Zed"), {}, {}},
                                    {QStringLiteral("Émilf"), {}, {}},
                                    {QStringLiteral("ÉMILE"), {}, {}}});
    EXPECT_EQ(names(browser), (QStringList{QStringLiteral("Zed"), QStringLiteral("émile"),
                                           QStringLiteral("ÉMILE"), QStringLiteral("Émilf")}));
    EXPECT_EQ(browser.goTo(QStringLiteral("ÉMILF")), 3);
    EXPECT_EQ(browser.goTo(QStringLiteral("émi")), 1);
}
