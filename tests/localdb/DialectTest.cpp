// The SQL dialect the procedures rely on, on a real QBData.mdb made by ensureLocalDb: Last(),
// case-insensitive text, literal LIKE prefixes, table emptying, value kinds, and the making
// of the database itself.

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/LocalDbRows.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

using namespace corvina;
using namespace Qt::Literals::StringLiterals;
using corvina::test::TempAppFolder;

namespace {

class LocalDbDialect : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureLocalDb(m_folder.path()));
        m_db.emplace(openLocalDb(m_folder.path()));
    }

    Database &db() { return *m_db; }

    // The first column of every row, "<null>" for NULL.
    QStringList texts(const QString &sql, const std::vector<QVariant> &values = {})
    {
        Statement statement = db().prepare(sql);
        statement.bindAll(values);
        QStringList result;
        while (statement.step())
            result << (statement.value(0).isNull() ? u"<null>"_s : statement.value(0).toString());
        return result;
    }

    void insert(const QString &table, const QString &column, const QStringList &values)
    {
        for (const QString &value : values)
            db().execute(u"INSERT INTO %1 (%2) VALUES (?)"_s.arg(table, column), {value});
    }

    TempAppFolder m_folder;
    std::optional<Database> m_db;
};

TEST_F(LocalDbDialect, LastYieldsEachGroupsLastInsertedRow)
{
    // Interleaved groups whose values sort unlike their insertion order; C's last value is NULL.
    const auto load = [&](const std::vector<std::pair<const char *, QVariant>> &rows) {
        for (const auto &[customer, invNo] : rows)
            db().execute(u"INSERT INTO Invoices (Customer, InvNo) VALUES (?, ?)"_s,
                         {QString::fromUtf8(customer), invNo});
    };
    const QString query = u"SELECT Customer || '=' || IFNULL(Last(InvNo, rowid), '-') "
                          "FROM Invoices GROUP BY Customer ORDER BY Customer"_s;
    load({{"A", u"300"_s},
          {"B", u"zz"_s},
          {"A", u"100"_s},
          {"C", u"m"_s},
          {"B", u"aa"_s},
          {"A", u"200"_s},
          {"C", QVariant()}});
    EXPECT_EQ(texts(query), (QStringList{u"A=200"_s, u"B=aa"_s, u"C=-"_s}));

    // A retrieval empties the table and loads it again.
    db().deleteAll(u"Invoices"_s);
    load({{"B", u"b2"_s}, {"A", u"a9"_s}, {"B", u"b1"_s}, {"A", u"a1"_s}});
    EXPECT_EQ(texts(query), (QStringList{u"A=a1"_s, u"B=b1"_s}));
}

TEST_F(LocalDbDialect, LastFollowsTheOrderArgumentAndTheLaterRowWinsTies)
{
    const struct {
        const char *values;
        const char *expected;
    } cases[] = {
        {"('a', 3), ('b', 1), ('c', 2)", "a"},
        {"('a', 0), ('b', 0), ('c', 0)", "c"},
        {"('a', 'x'), ('b', 10), ('c', NULL)", "a"}, // text orders above numbers, NULL below
        {"('a', 2.5), ('b', 3), ('c', 2)", "b"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.values);
        EXPECT_EQ(texts(u"SELECT Last(column1, column2) FROM (VALUES %1)"_s.arg(
                      QString::fromUtf8(c.values))),
                  QStringList{QString::fromUtf8(c.expected)});
    }
}

TEST_F(LocalDbDialect, TextComparesAndGroupsWithoutCase)
{
    insert(u"Customers"_s, u"Name"_s, {u"Smith"_s, u"Jones"_s});
    EXPECT_EQ(texts(u"SELECT Name FROM Customers WHERE Name = ?"_s, {u"smith"_s}),
              QStringList{u"Smith"_s});

    insert(u"Invoices"_s, u"SalesRep"_s, {u"Ann"_s, u"ann"_s, u"BOB"_s, u"Cy"_s, u"Bob"_s});
    const QStringList groups =
        texts(u"SELECT lower(SalesRep) FROM Invoices GROUP BY SalesRep ORDER BY SalesRep"_s);
    EXPECT_EQ(groups, (QStringList{u"ann"_s, u"bob"_s, u"cy"_s}));
}

TEST_F(LocalDbDialect, LikePrefixMatchesTypedTextLiterally)
{
    const QStringList names{u"Smith"_s,   u"smithers"_s, u"Élan Vital"_s,  u"élan"_s,
                            u"50% off"_s, u"500 Club"_s, u"O'Brien"_s,     u"[Bracket] Co"_s,
                            u"A_B"_s,     u"AxB"_s,      u"back\\slash"_s, u"backslash"_s,
                            u"straße"_s};
    insert(u"Customers"_s, u"Name"_s, names);
    const struct {
        QString typed;
        QStringList expected;
    } cases[] = {
        {u"smi"_s, {u"Smith"_s, u"smithers"_s}},
        {u"élan"_s, {u"Élan Vital"_s, u"élan"_s}},
        {u"ÉLAN V"_s, {u"Élan Vital"_s}},
        {u"50%"_s, {u"50% off"_s}},
        {u"50"_s, {u"50% off"_s, u"500 Club"_s}},
        {u"A_"_s, {u"A_B"_s}},
        {u"o'b"_s, {u"O'Brien"_s}},
        {u"[b"_s, {u"[Bracket] Co"_s}},
        {u"back\\"_s, {u"back\\slash"_s}},
        {u"STRAẞ"_s, {u"straße"_s}},
        {QString(), names},
    };
    const QString query =
        u"SELECT Name FROM Customers WHERE Name LIKE ? ESCAPE '\\' ORDER BY rowid"_s;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        EXPECT_EQ(texts(query, {likePrefixPattern(c.typed)}), c.expected);
    }
}

TEST_F(LocalDbDialect, LikeWildcardsCountCharactersNotBytes)
{
    const struct {
        QString text;
        QString pattern;
        bool matches;
    } cases[] = {
        {u"élan"_s, u"_lan"_s, true},  {u"😀x"_s, u"_x"_s, true},       {u"😀x"_s, u"__x"_s, false},
        {u"ΣΟΦΙΑ"_s, u"σοφ%"_s, true}, {u"aXbXbc"_s, u"%b%c"_s, true}, {u"abc"_s, u"a%b"_s, false},
        {u"a%c"_s, u"a!%c"_s, true},   {u"abc"_s, u"a!%c"_s, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.text + u" LIKE "_s + c.pattern).toStdString());
        EXPECT_EQ(texts(u"SELECT ? LIKE ? ESCAPE '!'"_s, {c.text, c.pattern}),
                  QStringList{c.matches ? u"1"_s : u"0"_s});
    }
    EXPECT_THROW(texts(u"SELECT 'a' LIKE 'a' ESCAPE '!!'"_s), Error);
}

TEST_F(LocalDbDialect, DeleteAllEmptiesOnlyPlainlyNamedTables)
{
    insert(u"Reps"_s, u"Rep"_s, {u"a"_s, u"b"_s});
    insert(u"Items"_s, u"Name"_s, {u"a"_s});
    db().deleteAll(u"Reps"_s);
    EXPECT_EQ(db().countRows(u"Reps"_s), 0);
    EXPECT_EQ(db().countRows(u"Items"_s), 1);
    for (const QString &name :
         {u""_s, u"1Reps"_s, u"Items; DROP TABLE Items"_s, u"\"Items\""_s, u"Réps"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_THROW(db().deleteAll(name), Error);
        EXPECT_THROW(db().countRows(name), Error);
    }
    EXPECT_EQ(db().countRows(u"Items"_s), 1);
}

TEST_F(LocalDbDialect, ValuesRoundTripWithTheirKinds)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(14, 5, 6));
    db().execute(u"INSERT INTO Customers (ListID, Name, IsActive, OpenBalance, OpenBalanceDate, "
                 "CCExpMo, CreditLimit) VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
                 {u"1"_s, u"O'Brien \"Ltd\" ü"_s, true, 1234.5, when, 7, QVariant()});
    db().execute(u"INSERT INTO Customers (ListID, IsActive, OpenBalanceDate) VALUES (?, ?, ?)"_s,
                 {u"2"_s, false, QDate(2023, 12, 31)});

    Statement statement =
        db().prepare(u"SELECT Name, IsActive, OpenBalance, OpenBalanceDate, CCExpMo, CreditLimit, "
                     "OpenBalanceDate || '' FROM Customers ORDER BY ListID"_s);
    ASSERT_TRUE(statement.step());
    const struct {
        FieldKind kind;
        QVariant value;
    } expected[] = {
        {FieldKind::Text, u"O'Brien \"Ltd\" ü"_s},
        {FieldKind::Boolean, true},
        {FieldKind::Double, 1234.5},
        {FieldKind::Date, when},
        {FieldKind::Integer, 7},
        {FieldKind::Double, QVariant()},
        {FieldKind::Text, u"2024-02-29 14:05:06"_s}, // the stored form
    };
    for (int c = 0; c < static_cast<int>(std::size(expected)); ++c) {
        SCOPED_TRACE(statement.columnName(c).toStdString());
        EXPECT_EQ(statement.columnKind(c), expected[c].kind);
        EXPECT_EQ(statement.value(c), expected[c].value);
        EXPECT_EQ(statement.value(c).typeId(), expected[c].value.typeId());
    }
    ASSERT_TRUE(statement.step());
    EXPECT_EQ(statement.value(1), QVariant(false));
    EXPECT_EQ(statement.value(3), QVariant(QDateTime(QDate(2023, 12, 31), QTime(0, 0))));
}

TEST(LocalDbValue, StoredDatesAreExactlyYearMonthDayHourMinuteSecond)
{
    const QDateTime leap(QDate(2024, 2, 29), QTime(23, 59, 59));
    EXPECT_EQ(dateToStorage(leap), u"2024-02-29 23:59:59"_s);
    EXPECT_EQ(dateFromStorage(u"2024-02-29 23:59:59"_s), leap);
    for (const QString &text :
         {u""_s, u"2023-02-29 00:00:00"_s, u"2024-1-05 00:00:00"_s, u"2024-01-05T00:00:00"_s,
          u"2024-01-05"_s, u" 2024-01-05 00:00:00"_s, u"2024-01-05 24:00:00"_s,
          u"２０２４-01-05 00:00:00"_s}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(dateFromStorage(text).isValid());
    }
}

TEST_F(LocalDbDialect, TransactionKeepsRowsOnlyWhenCommitted)
{
    {
        Transaction abandoned(db());
        insert(u"Reps"_s, u"Rep"_s, {u"dropped"_s});
    }
    {
        Transaction kept(db());
        insert(u"Reps"_s, u"Rep"_s, {u"kept"_s});
        kept.commit();
    }
    EXPECT_EQ(texts(u"SELECT Rep FROM Reps"_s), QStringList{u"kept"_s});
}

TEST_F(LocalDbDialect, EnsureLocalDbCreatesEveryTable)
{
    const QStringList customers =
        QStringLiteral(
            "ListID Name IsActive CompanyName Salutation FirstName MiddleName LastName FullName "
            "BillAddr1 BillAddr2 BillAddr3 BillAddr4 BillCity BillState BillZip ShipAddr1 "
            "ShipAddr2 "
            "ShipAddr3 ShipAddr4 ShipCity ShipState ShipZip Phone Mobile Pager AltPhone Fax Email "
            "Contact AltContact CustType Terms SalesRep OpenBalance OpenBalanceDate TaxCodeRef "
            "SalesTaxCodeRef ItemSalesTaxRef ResaleNo AccountNo CreditLimit PrefPaymentMethod "
            "CCNumber CCExpMo CCExpYr NameOnCard CCAddr CCZip DeliveryMethod")
            .split(u' ');
    ASSERT_EQ(customers.size(), 1 + 49);
    EXPECT_EQ(texts(u"SELECT name FROM pragma_table_info('Customers')"_s), customers);
    EXPECT_EQ(texts(u"SELECT t.name || ':' || COUNT(*) FROM sqlite_schema t "
                    "JOIN pragma_table_info(t.name) WHERE t.type = 'table' "
                    "GROUP BY t.name ORDER BY t.name"_s),
              (QStringList{u"CampaignCustomers:23"_s, u"CustomerJobs:3"_s, u"Customers:50"_s,
                           u"Invoices:22"_s, u"Items:5"_s, u"KnownCustomers:7"_s, u"KnownItems:2"_s,
                           u"NoBuyCustomers:22"_s, u"NoSellReps:4"_s, u"RefreshStates:7"_s,
                           u"Reps:3"_s}));
    EXPECT_EQ(texts(u"PRAGMA user_version"_s), QStringList{u"1"_s});
    // Built aside and renamed into place: nothing else is left in the folder.
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{u"QBData.mdb"_s});
}

TEST(LocalDbMaking, AnExistingFileIsNeverAlteredNorAMissingOneOpened)
{
    TempAppFolder folder;
    EXPECT_THROW(openLocalDb(folder.path()), Error);
    EXPECT_FALSE(folder.exists(u"QBData.mdb"_s));

    ASSERT_TRUE(ensureLocalDb(folder.path()));
    openLocalDb(folder.path()).execute(u"INSERT INTO Reps (Rep) VALUES (?)"_s, {u"marker"_s});
    EXPECT_FALSE(ensureLocalDb(folder.path()));
    EXPECT_EQ(openLocalDb(folder.path()).countRows(u"Reps"_s), 1);

    const QByteArray notADatabase("not a database\0\1", 16);
    TempAppFolder other;
    other.write(u"QBData.mdb"_s, notADatabase);
    EXPECT_FALSE(ensureLocalDb(other.path()));
    EXPECT_EQ(other.read(u"QBData.mdb"_s), notADatabase);
}

TEST(LocalDbMaking, AnEmptyFileIsMadeLikeAMissingOne)
{
    TempAppFolder folder;
    folder.write(u"QBData.mdb"_s, QByteArray());
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    Database db = openLocalDb(folder.path());
    EXPECT_EQ(db.countRows(u"Invoices"_s), 0); // "no such table" before
    db.execute(u"INSERT INTO Reps (Rep) VALUES (?)"_s, {u"marker"_s});
    EXPECT_FALSE(ensureLocalDb(folder.path())); // made once, then left alone
    EXPECT_EQ(db.countRows(u"Reps"_s), 1);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{u"QBData.mdb"_s});
}

// The first column of every row of a query on the folder's QBData.mdb.
QStringList firstColumn(const TempAppFolder &folder, const QString &sql)
{
    QStringList out;
    for (const auto &row : test::localDbRows(folder.path(), sql))
        out << row.at(0).toString();
    return out;
}

TEST(LocalDbMaking, StartUpAddsOnlyTheTablesAnOlderFileLacks)
{
    TempAppFolder folder;
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    openLocalDb(folder.path())
        .execute(
            u"DROP TABLE CustomerJobs; INSERT INTO Customers (ListID, Name) VALUES ('C1', 'Ann');"
            u"DROP TABLE Reps; CREATE TABLE Reps (ListID TEXT, Rep TEXT); CREATE TABLE Own (x)"_s);

    EXPECT_EQ(upgradeLocalDb(folder.path()), QStringList{u"CustomerJobs"_s});
    EXPECT_EQ(firstColumn(folder, u"SELECT name FROM pragma_table_info('CustomerJobs')"_s),
              (QStringList{u"ListID"_s, u"FullName"_s, u"CustListID"_s}));
    EXPECT_EQ(firstColumn(folder, u"SELECT name FROM sqlite_schema WHERE tbl_name = 'CustomerJobs' "
                                  u"AND type = 'index'"_s),
              QStringList{u"CustomerJobsByListID"_s});
    // What the file had stays as it was, a table someone changed included.
    EXPECT_EQ(firstColumn(folder, u"SELECT Name FROM Customers"_s), QStringList{u"Ann"_s});
    EXPECT_EQ(firstColumn(folder, u"SELECT name FROM pragma_table_info('Reps')"_s),
              (QStringList{u"ListID"_s, u"Rep"_s}));
    EXPECT_EQ(firstColumn(folder, u"SELECT name FROM sqlite_schema WHERE name = 'Own'"_s),
              QStringList{u"Own"_s});
    EXPECT_TRUE(upgradeLocalDb(folder.path()).isEmpty());
}

TEST(LocalDbMaking, AFileLackingNothingIsOnlyRead)
{
    TempAppFolder folder;
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    // Another program holds the file for writing: reading still works, writing does not.
    Database other = openLocalDb(folder.path());
    other.execute(u"BEGIN IMMEDIATE"_s);
    EXPECT_TRUE(upgradeLocalDb(folder.path()).isEmpty());

    other.execute(u"DROP TABLE CustomerJobs"_s);
    other.execute(u"COMMIT; BEGIN IMMEDIATE"_s);
    try {
        upgradeLocalDb(folder.path());
        ADD_FAILURE() << "a locked file was changed";
    } catch (const Error &error) {
        EXPECT_EQ(error.number(), errc::kTableLocked);
    }
    other.execute(u"ROLLBACK"_s);
}

} // namespace

// A file of the layout before invoices knew their TxnID and refreshes kept state.
TEST(LocalDbMaking, AnOlderFileGetsTheRefreshPiecesInPlace)
{
    TempAppFolder folder;
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    openLocalDb(folder.path())
        .execute(u"DROP TABLE KnownCustomers; DROP TABLE KnownItems; DROP TABLE RefreshStates; "
                 u"DROP TABLE Invoices;"
                 u"CREATE TABLE Invoices (CustListID TEXT COLLATE NOCASE, Class TEXT, "
                 u"Customer TEXT, DueDate DATETIME, FOB TEXT, Memo TEXT, PO TEXT, InvNo TEXT, "
                 u"SalesRep TEXT, ShipDate DATETIME, ShipMethod TEXT, Terms TEXT, InvDate "
                 u"DATETIME, Amt REAL, LineClass TEXT, \"Desc\" TEXT, ItemRefID TEXT, ItemRef "
                 u"TEXT, RateAmt REAL, RatePct REAL, Qty REAL);"
                 u"INSERT INTO Invoices (CustListID, InvNo, Amt) VALUES ('C1', '1001', 12.5);"
                 u"INSERT INTO NoBuyCustomers (Item, Name) VALUES ('Paint', 'Ann');"_s);

    EXPECT_EQ(upgradeLocalDb(folder.path()),
              (QStringList{u"KnownItems"_s, u"KnownCustomers"_s, u"RefreshStates"_s}));
    const QStringList invoiceColumns =
        firstColumn(folder, u"SELECT name FROM pragma_table_info('Invoices')"_s);
    ASSERT_EQ(invoiceColumns.size(), 22);
    EXPECT_EQ(invoiceColumns.first(), u"CustListID"_s);
    EXPECT_EQ(invoiceColumns.at(20), u"Qty"_s);
    EXPECT_EQ(invoiceColumns.last(), u"TxnID"_s); // added at the end, the others untouched
    EXPECT_EQ(firstColumn(folder, u"SELECT InvNo || '/' || Amt || '/' || "
                                  u"coalesce(TxnID, 'none') FROM Invoices"_s),
              QStringList{u"1001/12.5/none"_s});
    EXPECT_EQ(firstColumn(folder, u"SELECT name FROM sqlite_schema WHERE type = 'index' AND "
                                  u"name IN ('InvoicesByTxnID', 'KnownCustomersByListID') "
                                  u"ORDER BY name"_s),
              (QStringList{u"InvoicesByTxnID"_s, u"KnownCustomersByListID"_s}));
    EXPECT_EQ(firstColumn(folder, u"SELECT Item || ':' || Name FROM NoBuyCustomers"_s),
              QStringList{u"Paint:Ann"_s});

    // Running again finds nothing to do, and the column step alone also repeats harmlessly.
    EXPECT_TRUE(upgradeLocalDb(folder.path()).isEmpty());
    Database db = openLocalDb(folder.path());
    EXPECT_TRUE(addMissingTables(db).isEmpty());
    EXPECT_TRUE(hasColumn(db, u"Invoices"_s, u"txnid"_s));
    EXPECT_EQ(firstColumn(folder, u"SELECT count(*) FROM pragma_table_info('Invoices')"_s),
              QStringList{u"22"_s});
}
