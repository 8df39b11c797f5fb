#include "analysis/CustsNotBuying.h"

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/LocalDbRows.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class CustsNotBuyingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureLocalDb(folder.path()));
        // Five customers (one with an apostrophe, one without a state); invoice lines for
        // known customers, one in other case, and one of a customer not in Customers.
        execute(u"INSERT INTO Customers (ListID, Name, BillState, CustType, Phone) VALUES "
                u"('C1', 'Acme', 'NY', 'Retail', '555-1'), ('C2', 'O''Neil''s Shop', 'MA', NULL, "
                u"NULL), "
                u"('C3', 'Bolt Co', NULL, 'Trade', '555-3'), ('C4', 'Zed', 'CT', 'Retail', NULL), "
                u"('C5', 'Dora', 'VT', NULL, NULL);"
                u"INSERT INTO Invoices (CustListID, ItemRef, InvNo) VALUES "
                u"('C1', 'Hinge', '1'), ('C1', 'Hinge', '2'), ('c3', 'Hinge', '3'), "
                u"('C2', 'O''Brien''s Door', '4'), ('X9', 'Hinge', '5'), ('C4', 'Pull', '6')"_s);
    }

    void execute(const QString &sql)
    {
        Database db = Database::open(folder.file(u"QBData.mdb"_s));
        db.execute(sql);
    }

    std::vector<std::vector<QVariant>> rows(const QString &sql)
    {
        return test::localDbRows(folder.path(), sql);
    }

    static QStringList names(const CustsNotBuying &list)
    {
        QStringList out;
        const Recordset &set = list.list();
        const int name = set.fieldIndex(u"Name"_s);
        for (int r = 0; r < set.storedRowCount(); ++r)
            out << set.storedRow(r).at(static_cast<size_t>(name)).toString();
        return out;
    }

    std::unique_ptr<CustsNotBuying> loaded(bool allItems, const ChosenItem &item)
    {
        auto list = std::make_unique<CustsNotBuying>(state, allItems, item);
        list->load();
        return list;
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
};

TEST_F(CustsNotBuyingTest, TakesOutTheBuyersOnly)
{
    struct Case {
        const char *name;
        bool allItems;
        QString item;
        QStringList expected;
        QString title;
    };
    const Case cases[] = {
        // Two lines of Acme take it out once; c3 matches C3; X9 is nobody.
        {"selected item",
         false,
         u"Hinge"_s,
         {u"Dora"_s, u"O'Neil's Shop"_s, u"Zed"_s},
         u"Customers who have not purchased item: Hinge"_s},
        {"apostrophe in the item",
         false,
         u"O'Brien's Door"_s,
         {u"Acme"_s, u"Bolt Co"_s, u"Dora"_s, u"Zed"_s},
         u"Customers who have not purchased item: O'Brien's Door"_s},
        {"item in other case", false, u"HINGE"_s, {u"Dora"_s, u"O'Neil's Shop"_s, u"Zed"_s}, {}},
        {"nobody bought it",
         false,
         u"Nothing"_s,
         {u"Acme"_s, u"Bolt Co"_s, u"Dora"_s, u"O'Neil's Shop"_s, u"Zed"_s},
         {}},
        {"all items",
         true,
         u"Hinge"_s,
         {u"Dora"_s},
         u"Customers who have not purchased any shown items."_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto list = loaded(c.allItems, c.item);
        EXPECT_EQ(names(*list), c.expected);
        if (!c.title.isEmpty()) {
            EXPECT_EQ(list->title(), c.title);
        }
        // Every column of Customers is kept, empty values stay empty.
        EXPECT_EQ(list->list().fields().size(),
                  rows(u"SELECT * FROM Customers LIMIT 1"_s).at(0).size());
    }
    auto hinge = loaded(false, u"Hinge"_s);
    EXPECT_TRUE(hinge->list()
                    .storedRow(0)
                    .at(static_cast<size_t>(hinge->list().fieldIndex(u"CustType"_s)))
                    .isNull());
}

// A sub-item's lines carry its full name; two items share the name "Deadbolt". The item is
// matched on its ListID, and named by its own name.
TEST_F(CustsNotBuyingTest, ItemsWithAListIdAreMatchedOnIt)
{
    execute(u"INSERT INTO Invoices (CustListID, ItemRef, ItemRefID, InvNo) VALUES "
            u"('C4', 'Hardware:Deadbolt', 'I9', '7'), ('C5', 'Doors:Deadbolt', 'I8', '8')"_s);
    auto list = loaded(false, ChosenItem(u"Deadbolt"_s, u"I9"_s));
    EXPECT_EQ(names(*list), (QStringList{u"Acme"_s, u"Bolt Co"_s, u"Dora"_s, u"O'Neil's Shop"_s}));
    EXPECT_EQ(list->title(), u"Customers who have not purchased item: Deadbolt"_s);
    EXPECT_EQ(loaded(false, ChosenItem(u"Deadbolt"_s, u"i8"_s))->list().storedRowCount(), 4);
}

TEST_F(CustsNotBuyingTest, EveryoneBoughtLeavesAnEmptyList)
{
    execute(
        u"INSERT INTO Invoices (CustListID, ItemRef) VALUES ('C5', 'Pull'), ('C2', 'Pull'), ('C3', 'Pull')"_s);
    auto list = loaded(true, {});
    EXPECT_EQ(list->list().storedRowCount(), 0);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(list->saveForMailMerge());
    EXPECT_TRUE(rows(u"SELECT * FROM NoBuyCustomers"_s).empty());
}

TEST_F(CustsNotBuyingTest, SaveAsksBeforeReplacingAndKeepsRowsOnNo)
{
    auto hinge = loaded(false, u"Hinge"_s);
    // Empty table: nothing asked.
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(hinge->saveForMailMerge());
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Customers Added"_s);
    EXPECT_EQ(
        screen.messages()[0].text,
        u"All customers who have not purchased the item(s) selected have been added to the "
        u"NoBuyCustomers "
        u"table in the database QBData.mdb. Reference these in your mail merge document(s)."_s);
    EXPECT_EQ(
        rows(
            u"SELECT Item, ListID, Name, BillState, CustType, Phone FROM NoBuyCustomers ORDER BY rowid"_s),
        (std::vector<std::vector<QVariant>>{
            {u"Hinge"_s, u"C5"_s, u"Dora"_s, u"VT"_s, QVariant(), QVariant()},
            {u"Hinge"_s, u"C2"_s, u"O'Neil's Shop"_s, u"MA"_s, QVariant(), QVariant()},
            {u"Hinge"_s, u"C4"_s, u"Zed"_s, u"CT"_s, u"Retail"_s, QVariant()}}));

    // No: the table stays, nothing further is shown.
    auto all = loaded(true, {});
    screen.answerNext(Answer::No);
    EXPECT_FALSE(all->saveForMailMerge());
    ASSERT_EQ(screen.messages().size(), 2u);
    EXPECT_EQ(screen.messages()[1].title, u"Delete Previous Data"_s);
    EXPECT_EQ(screen.messages()[1].buttons, Buttons::YesNo);
    EXPECT_EQ(
        screen.messages()[1].text,
        u"All previously saved customers who did not buy item Hinge will be deleted. Proceed?"_s);
    EXPECT_EQ(rows(u"SELECT * FROM NoBuyCustomers"_s).size(), 3u);

    // Yes: replaced, stamped "All Items"; the next question names all items.
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(all->saveForMailMerge());
    EXPECT_EQ(rows(u"SELECT Item, ListID FROM NoBuyCustomers"_s),
              (std::vector<std::vector<QVariant>>{{u"All Items"_s, u"C5"_s}}));
    screen.answerNext(Answer::No);
    EXPECT_FALSE(hinge->saveForMailMerge());
    EXPECT_EQ(
        screen.messages().back().text,
        u"All previously saved customers who did not buy any item will be deleted. Proceed?"_s);

    // An item with an apostrophe is stamped and asked about as it is.
    auto door = loaded(false, u"O'Brien's Door"_s);
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(door->saveForMailMerge());
    screen.answerNext(Answer::No);
    EXPECT_FALSE(door->saveForMailMerge());
    EXPECT_EQ(
        screen.messages().back().text,
        u"All previously saved customers who did not buy item O'Brien's Door will be deleted. Proceed?"_s);
    EXPECT_EQ(rows(u"SELECT DISTINCT Item FROM NoBuyCustomers"_s),
              (std::vector<std::vector<QVariant>>{{u"O'Brien's Door"_s}}));
    EXPECT_EQ(screen.unansweredMessages(), 0);
}

// The item's name and the customers' names compare by the text rule: a line of "ÉTAGÈRE"
// is a purchase of "étagère", and "ÉMILE B" sorts after the ASCII names.
TEST_F(CustsNotBuyingTest, ItemAndNamesBeyondAsciiFollowTheTextRule)
{
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('C6', 'émile'), ('C7', 'ÉMILE B');"
            u"INSERT INTO Invoices (CustListID, ItemRef, InvNo) VALUES ('C6', 'ÉTAGÈRE', '7')"_s);
    auto list = loaded(false, u"étagère"_s);
    EXPECT_EQ(names(*list), (QStringList{u"Acme"_s, u"Bolt Co"_s, u"Dora"_s, u"O'Neil's Shop"_s,
                                         u"Zed"_s, u"ÉMILE B"_s}));
}

// NoBuyCustomers as a mail-merge document reads it: through the SQLite ODBC driver, with a
// connection string naming the database file. Null when isql or the driver is missing.
std::optional<QStringList> odbcRows(const QString &database)
{
    const QString isql = QStandardPaths::findExecutable(u"isql"_s);
    if (isql.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(isql, {u"-k"_s, u"DRIVER=SQLite3;Database="_s + database, u"-b"_s, u"-d|"_s});
    p.write("SELECT Item, ListID, Name, BillState FROM NoBuyCustomers ORDER BY rowid\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

TEST_F(CustsNotBuyingTest, MailMergeReadsExactlyTheSavedCustomersThroughOdbc)
{
    const QString database = folder.file(u"QBData.mdb"_s);
    auto door = loaded(false, u"O'Brien's Door"_s);
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(door->saveForMailMerge());
    const auto first = odbcRows(database);
    if (!first)
        GTEST_SKIP() << "isql (unixodbc) or the SQLite ODBC driver (libsqliteodbc) is missing";
    const QStringList doorRows = {u"O'Brien's Door|C1|Acme|NY"_s, u"O'Brien's Door|C3|Bolt Co|"_s,
                                  u"O'Brien's Door|C5|Dora|VT"_s, u"O'Brien's Door|C4|Zed|CT"_s};
    EXPECT_EQ(*first, doorRows);

    auto all = loaded(true, {});
    screen.answerNext(Answer::No);
    EXPECT_FALSE(all->saveForMailMerge());
    EXPECT_EQ(odbcRows(database).value_or(QStringList()), doorRows);

    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(all->saveForMailMerge());
    EXPECT_EQ(odbcRows(database).value_or(QStringList()), QStringList{u"All Items|C5|Dora|VT"_s});
}

TEST_F(CustsNotBuyingTest, FailedSaveKeepsTheEarlierRows)
{
    execute(u"INSERT INTO NoBuyCustomers (Item, ListID) VALUES ('Old', 'X1');"
            u"CREATE TRIGGER Refuse BEFORE INSERT ON NoBuyCustomers WHEN NEW.ListID = 'C4' "
            u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s);
    auto hinge = loaded(false, u"Hinge"_s);
    screen.answerNext(Answer::Yes);
    EXPECT_THROW(hinge->saveForMailMerge(), Error);
    EXPECT_EQ(rows(u"SELECT Item, ListID FROM NoBuyCustomers"_s),
              (std::vector<std::vector<QVariant>>{{u"Old"_s, u"X1"_s}}));
}

// A column of NoBuyCustomers that Customers lacks would reach the letters empty: the save
// is refused before anything is asked, and the earlier rows stay.
TEST_F(CustsNotBuyingTest, SaveRefusesAColumnCustomersLacks)
{
    execute(u"INSERT INTO NoBuyCustomers (Item, ListID) VALUES ('Old', 'X1');"
            u"ALTER TABLE NoBuyCustomers ADD COLUMN Region TEXT"_s);
    auto hinge = loaded(false, u"Hinge"_s);
    try {
        hinge->saveForMailMerge();
        ADD_FAILURE() << "saved without a Region column in Customers";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(u"Region"_s)) << e.description().toStdString();
    }
    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(rows(u"SELECT Item, ListID FROM NoBuyCustomers"_s),
              (std::vector<std::vector<QVariant>>{{u"Old"_s, u"X1"_s}}));

    // With the column in both it is copied, whatever its name.
    execute(u"ALTER TABLE Customers ADD COLUMN Region TEXT;"
            u"ALTER TABLE Customers ADD COLUMN \"Order\" TEXT;"
            u"ALTER TABLE NoBuyCustomers ADD COLUMN \"Order\" TEXT;"
            u"UPDATE Customers SET Region = 'North', \"Order\" = '7' WHERE ListID = 'C2'"_s);
    hinge = loaded(false, u"Hinge"_s);
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(hinge->saveForMailMerge());
    EXPECT_EQ(rows(u"SELECT Region, \"Order\" FROM NoBuyCustomers WHERE ListID = 'C2'"_s),
              (std::vector<std::vector<QVariant>>{{u"North"_s, u"7"_s}}));
}

// IsActive reads as in the grid and on paper; a text past what a cell holds is cut, and
// the message says so, instead of failing the whole export.
TEST_F(CustsNotBuyingTest, ExportWritesYesNoAsTrueFalseAndCutsOverlongTexts)
{
    const QString longAddress(40000, u'x');
    {
        Database db = Database::open(folder.file(u"QBData.mdb"_s));
        db.execute(u"UPDATE Customers SET IsActive = 1 WHERE ListID = 'C2';"
                   u"UPDATE Customers SET IsActive = 0 WHERE ListID = 'C4'"_s);
        db.execute(u"UPDATE Customers SET BillAddr1 = ? WHERE ListID = 'C2'"_s, {longAddress});
    }
    auto hinge = loaded(false, u"Hinge"_s); // C2, C4, C5 left, by name: O'Neil's Shop, Zed, Dora
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(hinge->exportTo(folder.file(u"Docs"_s)));
    const QString path = folder.file(u"Docs/CustsNotBuying.xlsx"_s);
    EXPECT_EQ(screen.messages().back().title, u"Export Complete"_s);
    EXPECT_EQ(screen.messages().back().text,
              u"Your customer data has been exported to "_s + path + QChar(13) +
                  u"One cell held more than 32,767 characters, the most a cell can hold; it was "
                  u"written cut to that length."_s);

    // Rows by name from row 5: Dora, O'Neil's Shop, Zed.
    const auto cells = test::readXlsxSheet(path);
    const auto cell = [&](const QString &column, int row) {
        const int c = hinge->list().fieldIndex(column);
        QString letters(QChar(u'A' + c % 26));
        if (c >= 26)
            letters.prepend(QChar(u'A' + c / 26 - 1));
        return cells.value(letters + QString::number(row));
    };
    ASSERT_EQ(cell(u"Name"_s, 7).text, u"Zed"_s);
    EXPECT_EQ(cell(u"IsActive"_s, 6).text, u"True"_s);
    EXPECT_EQ(cell(u"IsActive"_s, 6).type, u"s"_s);
    EXPECT_EQ(cell(u"IsActive"_s, 7).text, u"False"_s);
    EXPECT_EQ(cell(u"BillAddr1"_s, 6).text, longAddress.left(32767));
}

TEST_F(CustsNotBuyingTest, ExportWritesEveryColumnFromRowFive)
{
    auto hinge = loaded(false, u"O'Brien's Door"_s);
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(hinge->exportTo(folder.file(u"Docs"_s)));
    const QString path = folder.file(u"Docs/CustsNotBuying.xlsx"_s);
    EXPECT_EQ(screen.messages().back().title, u"Export Complete"_s);
    EXPECT_EQ(screen.messages().back().text, u"Your customer data has been exported to "_s + path);

    const auto cells = test::readXlsxSheet(path);
    EXPECT_EQ(cells[u"A1"_s].text, u"Customers who have not purchased item: O'Brien's Door"_s);
    EXPECT_TRUE(cells[u"A1"_s].bold && cells[u"A1"_s].italic);
    const auto &fields = hinge->list().fields();
    EXPECT_EQ(cells[u"A3"_s].text, fields[0].name);
    EXPECT_TRUE(cells[u"A3"_s].bold);
    EXPECT_GT(fields.size(), 30u);
    // Column AE is the 31st column of Customers.
    EXPECT_EQ(cells[u"AE3"_s].text, fields[30].name);
    EXPECT_EQ(test::lastRow(cells), 4 + 4);
    EXPECT_EQ(cells[u"A5"_s].text, u"C1"_s);
    EXPECT_EQ(cells[u"B5"_s].text, u"Acme"_s);
    EXPECT_EQ(cells[u"B8"_s].text, u"Zed"_s);
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        EXPECT_FALSE(test::lastRow({{it.key(), it.value()}}) == 2 ||
                     test::lastRow({{it.key(), it.value()}}) == 4)
            << it.key().toStdString();
    }
}

} // namespace
