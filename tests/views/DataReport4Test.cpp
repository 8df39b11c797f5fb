#include "app/ui/MainMenu.h"
#include "localdb/LocalDb.h"
#include "reporting/ui/ReportDocument.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "views/CustSales.h"
#include "views/CustSalesReport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "support/PdfText.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

using corvina::test::pdfText;

namespace {

class DataReport4Test : public ::testing::Test {
protected:
    DataReport4Test()
    {
        ensureLocalDb(folder.path());
        Database db = openLocalDb(folder.path());
        db.execute(u"INSERT INTO Customers (ListID, Name, BillAddr1, BillCity, BillState, BillZip, "
                   u"Contact, Phone, CustType) "
                   u"VALUES ('C1', 'O''Brien & Sons', '12 Main St', 'Eugene', 'OR', '97401', "
                   u"'Pat', '541-555-0100', 'Retail'), "
                   u"('C2', 'Quiet Customer', NULL, 'Boise', 'ID', '83701', NULL, NULL, NULL)"_s);
        db.execute(u"INSERT INTO Invoices (CustListID, InvNo, Amt, InvDate, SalesRep) VALUES "
                   u"('C1', '1001', 10.00, '2024-01-05 00:00:00', 'JMH'), ('C1', '1001', 2.50, "
                   u"'2024-01-05 00:00:00', 'JMH'), "
                   u"('C1', '1002', 1000.00, '2024-02-01 00:00:00', 'RT')"_s);
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
};

} // namespace

TEST_F(DataReport4Test, PrintsEachCustomerBlockInvoicesAndTotal)
{
    auto rows = GetCustSales(state);
    reporting::ReportDocument document(rows, customerSalesReportLayout());
    const QString pdf = folder.file(u"sales.pdf"_s);
    QString error;
    ASSERT_TRUE(reporting::exportPdf(document, pdf, &error)) << error.toStdString();
    const QString text = pdfText(pdf);
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PDF"); !keep.isEmpty())
        QFile::copy(pdf, keep); // to look at the pages by hand

    EXPECT_TRUE(text.contains(u"Customer Sales By State, Zip")) << text.toStdString();
    for (const char16_t *heading : {u"Invoice Date", u"Invoice Number", u"Amt", u"Sales Rep"})
        EXPECT_TRUE(text.contains(QStringView(heading)))
            << QString::fromUtf16(heading).toStdString();
    // Idaho before Oregon; the customer without invoices still has its block and total.
    const qsizetype quiet = text.indexOf(u"Quiet Customer");
    const qsizetype obrien = text.indexOf(u"O'Brien & Sons");
    ASSERT_GE(quiet, 0);
    ASSERT_GT(obrien, quiet);
    EXPECT_EQ(text.count(u"Customer Total"), 2);
    // Two lines of invoice 1001 give one line of 12.50; the customer's total is 1,012.50.
    EXPECT_TRUE(text.contains(u"12.50"));
    EXPECT_TRUE(text.contains(u"1,000.00"));
    EXPECT_TRUE(text.contains(u"1,012.50"));
    EXPECT_EQ(text.count(u"1001"), 1);
    for (const char16_t *caption : {u"Customer:", u"Addr1:", u"City:", u"State:", u"Zip:",
                                    u"Customer Type:", u"Contact:", u"Phone:"})
        EXPECT_TRUE(text.contains(QStringView(caption)))
            << QString::fromUtf16(caption).toStdString();
    EXPECT_TRUE(text.contains(u"541-555-0100"));
    // The invoice date prints in the short date form, without a midnight time.
    EXPECT_TRUE(text.contains(QLocale().toString(QDate(2024, 1, 5), QLocale::ShortFormat)));
}

TEST_F(DataReport4Test, TheMenuEntryOpensAFreshReportEachTime)
{
    MainMenu menu(state);
    test::control<QAction>(&menu, "CustSales")->trigger();
    auto first = state.custSales();
    ASSERT_TRUE(first);
    test::control<QAction>(&menu, "CustSales")->trigger();
    EXPECT_NE(state.custSales(), first);
    const auto previews = menu.findChildren<reporting::ReportPreview *>();
    ASSERT_EQ(previews.size(), 2);
    EXPECT_EQ(previews[0]->windowTitle(), u"Customer Sales By State");
    EXPECT_EQ(previews[0]->objectName(), u"DataReport4");
}
