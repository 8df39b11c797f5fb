#include "analysis/campaign/CampaignMailing.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/LocalDbRows.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 6, 30);

// Ann bought on 06/01/2025 and on the cutoff day 01/01/2026; Bob also on the day after it;
// Cy only before the 12 months; Dee through her job (and herself on the same day); Eve
// never; a line of a customer not in Customers counts for nobody.
class CampaignMailingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureLocalDb(folder.path()));
        Database db = openLocalDb(folder.path());
        db.execute(
            u"INSERT INTO Customers (ListID, Name, FirstName, BillAddr1, BillCity, BillState, "
            u"BillZip, "
            u"Phone, Email, CustType, SalesRep, ShipCity) VALUES "
            u"('C1', 'Ann', 'Ann', '1 Elm St', 'Troy', 'NY', '12180', '555-1', 'ann@x', 'Retail', "
            u"'RB', 'Ship'),"
            u"('C2', 'Bob', NULL, '2 Oak St', 'Troy', 'NY', '12181', NULL, NULL, NULL, NULL, NULL),"
            u"('C3', 'Cy', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
            u"('C4', 'Dee''s Diner', NULL, '4 Pine', 'Albany', 'NY', '12201', NULL, NULL, NULL, "
            u"NULL, NULL),"
            u"('C5', 'Eve', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
            u"INSERT INTO CustomerJobs (ListID, FullName, CustListID) VALUES ('J4', 'Dee''s "
            u"Diner:Kitchen', 'C4');"
            u"INSERT INTO Items (ListID, Name, Type) VALUES ('I1', 'Filter', 'ItemServiceRet');"
            u"INSERT INTO Invoices (CustListID, ItemRefID, ItemRef, InvDate, Amt) VALUES "
            u"('C1', 'I1', 'Filter', '2025-06-01 00:00:00', 100), ('c1', 'I1', 'Filter', "
            u"'2026-01-01 00:00:00', 50),"
            u"('C2', 'I1', 'Filter', '2025-05-01 00:00:00', 80), ('C2', 'I1', 'Filter', "
            u"'2026-01-02 00:00:00', 20),"
            u"('C3', 'I1', 'Filter', '2024-12-31 00:00:00', 500),"
            u"('J4', 'I1', 'Filter', '2025-03-01 00:00:00', 300), ('C4', 'I1', 'Filter', "
            u"'2025-03-01 00:00:00', 20),"
            u"('X9', 'I1', 'Filter', '2026-03-01 00:00:00', 999)"_s);
    }

    CampaignData load()
    {
        Database db = openLocalDb(folder.path(), Database::Mode::ReadOnly);
        return CampaignData::load(db);
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
};

TEST_F(CampaignMailingTest, LapsedAtTheExactCutoffDayWithJobsRolledUp)
{
    const CampaignData data = load();
    EXPECT_EQ(data.firstDate(), QDate(2024, 12, 31));
    EXPECT_EQ(data.lastDate(), QDate(2026, 1, 2)); // X9's line is nobody's
    EXPECT_EQ(data.items().front().kind, u"Service"_s);
    LapsedParams params;
    params.cutoff = QDate(2026, 1, 1);
    const CampaignResult lapsed = lapsedCustomers(data, params, kToday);
    ASSERT_EQ(lapsed.rows.size(), 2u);
    const auto &dee = lapsed.rows[0];
    EXPECT_EQ(data.customers()[static_cast<size_t>(dee.customer)].name, u"Dee's Diner"_s);
    EXPECT_EQ(dee.values, (std::vector<QVariant>{QDate(2025, 3, 1), qint64(486), 320.0, 1}));
    const auto &ann = lapsed.rows[1];
    EXPECT_EQ(data.customers()[static_cast<size_t>(ann.customer)].name, u"Ann"_s);
    EXPECT_EQ(ann.values, (std::vector<QVariant>{QDate(2026, 1, 1), qint64(180), 150.0, 2}));
    EXPECT_EQ(lapsed.title,
              u"Lapsed customers: bought in the 12 months to 01/01/2026, nothing since"_s);

    // Unset, the cutoff is 180 days before the latest purchase (01/02/2026).
    EXPECT_EQ(lapsedCutoff(data, {}), QDate(2025, 7, 6));
    params.cutoff = QDate(2025, 12, 31); // Ann's last purchase now comes after it
    EXPECT_EQ(lapsedCustomers(data, params, kToday).rows.size(), 1u);
}

TEST_F(CampaignMailingTest, SavedRowsReadBackWithEveryColumn)
{
    const CampaignData data = load();
    LapsedParams params;
    params.cutoff = QDate(2026, 1, 1);
    const CampaignResult lapsed = lapsedCustomers(data, params, kToday);
    Database db = openLocalDb(folder.path());
    const Recordset rows = campaignCustomerRows(db, data, lapsed);
    ASSERT_EQ(rows.storedRowCount(), 2);
    EXPECT_EQ(rows.fields().back().name, u"Reason"_s);
    EXPECT_EQ(rows.fields().size(), 51u); // every column of Customers, then Reason

    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(saveCampaignList(db, screen, rows, lapsed.title));
    ASSERT_EQ(screen.messages().size(), 1u); // nothing to replace: nothing asked
    EXPECT_EQ(screen.messages()[0].title, u"Customers Added"_s);

    const auto saved = test::localDbRows(
        folder.path(),
        u"SELECT \"List\", \"ListID\", \"Name\", \"CompanyName\", \"Salutation\", \"FirstName\", "
        "\"MiddleName\", \"LastName\", \"FullName\", \"BillAddr1\", \"BillAddr2\", \"BillAddr3\", "
        "\"BillAddr4\", \"BillCity\", \"BillState\", \"BillZip\", \"Phone\", \"Fax\", \"Email\", "
        "\"Contact\", \"CustType\", \"SalesRep\", \"Reason\" FROM CampaignCustomers ORDER BY rowid"_s);
    ASSERT_EQ(saved.size(), 2u);
    const QVariant null;
    const std::vector<QVariant> ann = {
        lapsed.title,
        u"C1"_s,
        u"Ann"_s,
        null,
        null,
        u"Ann"_s,
        null,
        null,
        null,
        u"1 Elm St"_s,
        null,
        null,
        null,
        u"Troy"_s,
        u"NY"_s,
        u"12180"_s,
        u"555-1"_s,
        null,
        u"ann@x"_s,
        null,
        u"Retail"_s,
        u"RB"_s,
        u"Bought on 2 days for 150.00 in the 12 months to 01/01/2026; last "
        "purchase 01/01/2026, 180 days ago; nothing since."_s};
    EXPECT_EQ(saved[1], ann);
    EXPECT_EQ(saved[0][2].toString(), u"Dee's Diner"_s);
    EXPECT_EQ(saved[0][0].toString(), lapsed.title);

    // A second save asks first; No keeps the rows, Yes replaces them.
    ReorderParams anyGap;
    anyGap.minPurchases = 2;
    anyGap.factor = 0.5; // Ann and Bob: one gap each, 214 and 246 days
    const CampaignResult due = dueToReorder(data, anyGap, kToday);
    const Recordset dueRows = campaignCustomerRows(db, data, due);
    screen.answerNext(Answer::No);
    EXPECT_FALSE(saveCampaignList(db, screen, dueRows, due.title));
    EXPECT_EQ(screen.messages().back().title, u"Delete Previous Data"_s);
    EXPECT_TRUE(screen.messages().back().text.contains(lapsed.title));
    EXPECT_EQ(db.countRows(u"CampaignCustomers"_s), 2);
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(saveCampaignList(db, screen, dueRows, due.title));
    EXPECT_EQ(test::localDbRows(folder.path(), u"SELECT DISTINCT List FROM CampaignCustomers"_s),
              (std::vector<std::vector<QVariant>>{{due.title}}));
    EXPECT_EQ(db.countRows(u"CampaignCustomers"_s), static_cast<std::int64_t>(due.rows.size()));
}

TEST_F(CampaignMailingTest, WorkbookReadBack)
{
    const CampaignData data = load();
    LapsedParams params;
    params.cutoff = QDate(2026, 1, 1);
    const CampaignResult lapsed = lapsedCustomers(data, params, kToday);
    Database db = openLocalDb(folder.path());
    const Recordset rows = campaignCustomerRows(db, data, lapsed);
    test::TempAppFolder documents;
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(exportCampaignList(screen, rows, lapsed.title, documents.path()));
    EXPECT_EQ(screen.messages().back().title, u"Export Complete"_s);
    const auto cells = test::readXlsxSheet(documents.file(u"CampaignCustomers.xlsx"_s));
    EXPECT_EQ(cells.value(u"A1"_s).text, lapsed.title);
    EXPECT_TRUE(cells.value(u"A1"_s).bold && cells.value(u"A1"_s).italic);
    EXPECT_EQ(cells.value(u"A3"_s).text, u"ListID"_s);
    EXPECT_EQ(cells.value(u"AY3"_s).text, u"Reason"_s); // column 51
    EXPECT_EQ(cells.value(u"B5"_s).text, u"Dee's Diner"_s);
    EXPECT_EQ(cells.value(u"B6"_s).text, u"Ann"_s);
    EXPECT_TRUE(cells.value(u"AY6"_s).text.startsWith(u"Bought on 2 days for 150.00"_s));
    EXPECT_EQ(test::lastRow(cells), 6);
}

} // namespace
