#include "analysis/campaign/ui/CampaignLists.h"

#include "analysis/campaign/ui/CampaignPanels.h"
#include "analysis/campaign/ui/RfmChart.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/LocalDbRows.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

TEST(CampaignWindow, ListsChartAndSaveFromTheWindow)
{
    test::TempAppFolder folder;
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    openLocalDb(folder.path())
        .execute(u"INSERT INTO Customers (ListID, Name) VALUES ('C1', 'Ann'), ('C2', 'Bob'), "
                 u"('C3', 'Cy');"
                 u"INSERT INTO Invoices (CustListID, ItemRefID, ItemRef, InvDate, Amt) VALUES "
                 u"('C1', 'I1', 'Filter', '2025-01-10 00:00:00', 10), ('C2', 'I1', 'Filter', "
                 u"'2025-09-01 00:00:00', 20),"
                 u"('C3', 'I2', 'Pump', '2026-03-01 00:00:00', 30)"_s);
    test::ScriptedScreen screen;
    screen.setNow(QDateTime(QDate(2026, 6, 30), QTime(9, 0)));
    ProgramState state(folder.path(), screen);
    CampaignLists window(state);
    window.setAttribute(Qt::WA_DeleteOnClose, false);

    // The lapsed list is found on opening: cutoff 180 days before 03/01/2026 is 09/02/2025,
    // so Ann and Bob bought in the 12 months before it and nothing since.
    auto *lapsed = window.findChild<CampaignPanel *>(u"pnlLapsed"_s);
    ASSERT_TRUE(lapsed && lapsed->hasList());
    EXPECT_EQ(lapsed->grid()->model()->rowCount(), 2);
    EXPECT_EQ(lapsed->grid()->model()->index(0, 0).data().toString(), u"Bob"_s);
    EXPECT_TRUE(
        window.findChild<QLabel *>(u"lblCount"_s)->text().startsWith(u"2 customers: Lapsed"_s));
    EXPECT_EQ(window.findChild<QLabel *>(u"lblPeriod"_s)->text(),
              u"Invoices from 01/10/2025 to 03/01/2026"_s);

    // The chart shows what the scores give; choosing a segment lists its customers.
    auto *tabs = window.findChild<QTabWidget *>(u"tabLists"_s);
    tabs->setCurrentIndex(3);
    auto *chart = window.findChild<RfmChart *>(u"chtSegments"_s);
    ASSERT_TRUE(chart);
    const auto expected = rfmChartData(scoreRfm(window.campaignData(), QDate(2026, 6, 30)));
    ASSERT_EQ(chart->bars().size(), expected.size());
    int shown = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(chart->bars()[i].customers, expected[i].customers);
        shown += chart->bars()[i].customers;
    }
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(window.findChild<QTableWidget *>(u"tblRules"_s)->rowCount(),
              static_cast<int>(kRfmRules.size()));
    window.rfmPanel()->segmentBox()->setCurrentIndex(expected[0].customers ? 0 : 4);
    EXPECT_EQ(window.rfmPanel()->list().rows.size(),
              static_cast<size_t>(
                  expected[static_cast<size_t>(window.rfmPanel()->segmentBox()->currentIndex())]
                      .customers));

    tabs->setCurrentIndex(0);
    screen.answerNext(Answer::Ok);
    window.findChild<QPushButton *>(u"cmdSave"_s)->click();
    ASSERT_FALSE(screen.messages().empty());
    EXPECT_EQ(screen.messages().back().title, u"Customers Added"_s);
    const auto saved =
        test::localDbRows(folder.path(), u"SELECT Name FROM CampaignCustomers ORDER BY rowid"_s);
    EXPECT_EQ(saved, (std::vector<std::vector<QVariant>>{{u"Bob"_s}, {u"Ann"_s}}));
}

} // namespace
