#include "support/CustomerTestRows.h"

#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "views/ui/CustData.h"
#include "views/ui/CustFlds.h"
#include "views/ui/FieldPrintPainter.h"
#include "views/ui/Prev.h"

#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace corvina;
using namespace corvina::test;

namespace {

// The text of a PDF as pdftotext lays it out; pages end with a form feed.
QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                  {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool havePdfToText()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

class CustFldsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        insertCustomers(folder.path(), numberedCustomers(60));
        mainWindow.setObjectName(QStringLiteral("MainMenu"));
        mainWindow.show();
        browser = new CustData(state);
        browser->show();
    }
    void TearDown() override
    {
        delete browser;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the dialog from the browser and chooses these fields.
    CustFlds &fieldDialog(const QStringList &fields)
    {
        test::control<QPushButton>(browser, "Command2")->click();
        CustFlds *found = browser->findChild<CustFlds *>();
        if (found == nullptr)
            throw std::logic_error("Print opened no CustFlds");
        dialog = found;
        opened = found;
        test::control<QListWidget>(found, "List1")->clearSelection();
        for (const QString &field : fields)
            test::control<QListWidget>(found, "List1")
                ->findItems(field, Qt::MatchExactly)
                .value(0)
                ->setSelected(true);
        return *found;
    }
    // "&OK": the preview of page 1.
    Prev &preview(const QStringList &fields)
    {
        CustFlds &chosen = fieldDialog(fields);
        test::control<QPushButton>(&chosen, "Command1")->click();
        Prev *prev = chosen.preview();
        if (prev == nullptr)
            throw std::logic_error("OK showed no preview");
        return *prev;
    }
    static QImage page(const Prev &prev) { return prev.shownPage().toImage(); }
    static void typePage(Prev &prev, const QString &text)
    {
        test::control<QLineEdit>(&prev, "Text1")->selectAll();
        QTest::keyClicks(test::control<QLineEdit>(&prev, "Text1"), text);
        QTest::keyClick(test::control<QLineEdit>(&prev, "Text1"), Qt::Key_Return);
    }
    void expectRunFinished()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull());
        EXPECT_TRUE(browser->isVisible());
        EXPECT_TRUE(mainWindow.isVisible());
    }

    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    QWidget mainWindow;
    CustData *browser = nullptr;
    QPointer<CustFlds> dialog;  // to see it go
    CustFlds *opened = nullptr; // while it is there
};

} // namespace

TEST_F(CustFldsTest, PagesReachedBackwardsOrByNumberShowWhatPagingForwardShowed)
{
    Prev &prev = preview({QStringLiteral("Name"), QStringLiteral("Phone")});
    EXPECT_TRUE(prev.isVisible());
    EXPECT_TRUE(prev.isModal());
    EXPECT_FALSE(opened->isVisible());
    EXPECT_FALSE(browser->isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(prev.geometry(), prev.screen()->geometry());
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"1");

    std::vector<QImage> forward = {page(prev)};
    for (int n = 2; n <= 4; ++n) {
        test::control<QPushButton>(&prev, "Command8")->click();
        EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), QString::number(n));
        forward.push_back(page(prev));
        EXPECT_NE(forward[static_cast<std::size_t>(n - 1)],
                  forward[static_cast<std::size_t>(n - 2)]);
    }
    test::control<QPushButton>(&prev, "Command5")->click(); // "<" from page 4
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"3");
    EXPECT_EQ(page(prev), forward[2]);
    typePage(prev, QStringLiteral("2"));
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"2");
    EXPECT_EQ(page(prev), forward[1]);
    test::control<QPushButton>(&prev, "Command6")->click(); // "|<"
    EXPECT_EQ(page(prev), forward[0]);
    test::control<QPushButton>(&prev, "Command5")->click(); // "<" on page 1 stays
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"1");
    EXPECT_TRUE(prev.isVisible());
}

TEST_F(CustFldsTest, TypedPagesOutsideThePagesAreBroughtInsideAndOtherTextIsRefused)
{
    Prev &prev = preview({QStringLiteral("Name"), QStringLiteral("Phone")});
    test::control<QPushButton>(&prev, "Command7")->click(); // ">|"
    const QString last = test::control<QLineEdit>(&prev, "Text1")->text();
    const QImage lastPage = page(prev);
    ASSERT_GT(last.toInt(), 2);
    test::control<QPushButton>(&prev, "Command6")
        ->setEnabled(true); // only to reach page 1 for the next checks
    test::control<QPushButton>(&prev, "Command6")->click();

    typePage(prev, QStringLiteral("999"));
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), last);
    EXPECT_EQ(page(prev), lastPage);
    typePage(prev, QStringLiteral("0"));
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"1");
    typePage(prev, QStringLiteral("two"));
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"1");
    typePage(prev, QString());
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"1");
    EXPECT_TRUE(prev.isVisible());
}

TEST_F(CustFldsTest, AfterLastPageTheBackButtonsStayDisabledAndNextFinishes)
{
    Prev &prev = preview({QStringLiteral("Name"), QStringLiteral("Phone")});
    test::control<QPushButton>(&prev, "Command7")->click();
    EXPECT_FALSE(test::control<QPushButton>(&prev, "Command5")->isEnabled());
    EXPECT_FALSE(test::control<QPushButton>(&prev, "Command6")->isEnabled());
    typePage(prev, QStringLiteral("2"));
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"2");
    EXPECT_FALSE(test::control<QPushButton>(&prev, "Command5")->isEnabled());
    EXPECT_FALSE(test::control<QPushButton>(&prev, "Command6")->isEnabled());
    test::control<QPushButton>(&prev, "Command7")->click();
    test::control<QPushButton>(&prev, "Command8")->click(); // ">" on the last page ends the preview
    EXPECT_TRUE(screen.messages().empty());
    expectRunFinished();
}

TEST_F(CustFldsTest, CancelRestoresTheCurrentRowAndTheWindows)
{
    test::control<QTableView>(browser, "DataGrid1")
        ->setCurrentIndex(test::control<QTableView>(browser, "DataGrid1")->model()->index(7, 2));
    Prev &prev = preview({QStringLiteral("Name")});
    test::control<QPushButton>(&prev, "Command8")->click();
    test::control<QPushButton>(&prev, "Command2")->click(); // "&Cancel"
    expectRunFinished();
    EXPECT_EQ(browser->customers()->currentRow(), 7);
    EXPECT_EQ(test::control<QTableView>(browser, "DataGrid1")->currentIndex().row(), 7);
    EXPECT_TRUE(screen.messages().empty());
}

TEST_F(CustFldsTest, EscapeCancelsThePreview)
{
    Prev &prev = preview({QStringLiteral("Name")});
    QTest::keyClick(&prev, Qt::Key_Escape);
    expectRunFinished();
    EXPECT_TRUE(screen.messages().empty());
}

TEST_F(CustFldsTest, PrintFromALaterPagePrintsEveryCustomerFromTheFirst)
{
    if (!havePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    const QString pdf = folder.file(QStringLiteral("printed.pdf"));
    Prev &prev = preview({QStringLiteral("Name"), QStringLiteral("Phone")});
    opened->setPrinterSetup([&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    test::control<QPushButton>(&prev, "Command8")->click();
    test::control<QPushButton>(&prev, "Command8")->click();
    ASSERT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"3");
    screen.answerNext(Answer::Ok);
    test::control<QPushButton>(&prev, "Command1")->click(); // "&Print"

    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].text, u"Your data has been sent to the printer.");
    EXPECT_EQ(screen.messages()[0].title, u"Print Complete");
    EXPECT_EQ(screen.messages()[0].buttons, Buttons::Ok);
    expectRunFinished();

    const QString text = pdfText(pdf);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Customer Data")));
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("Name +Customer 001\\b"))));
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("Phone +555-0001\\b"))));
    EXPECT_TRUE(text.contains(QStringLiteral("Customer 060")));
    // Every customer exactly once, in order, and each page numbered.
    const QRegularExpression nameLine(QStringLiteral("Name +(Customer \\d{3})"));
    QStringList printed;
    for (auto match = nameLine.globalMatch(text); match.hasNext();)
        printed << match.next().captured(1);
    ASSERT_EQ(printed.size(), 60);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(printed[i], QStringLiteral("Customer %1").arg(i + 1, 3, 10, QLatin1Char('0')));
    for (int n = 1; n <= pages.size(); ++n)
        EXPECT_TRUE(pages[n - 1].contains(QStringLiteral("Page %1").arg(n))) << n;
}

TEST_F(CustFldsTest, APrintDialogClosedWithoutPrintingKeepsThePreviewOnItsPage)
{
    Prev &prev = preview({QStringLiteral("Name")});
    opened->setPrinterSetup([](QPrinter &) { return false; });
    test::control<QPushButton>(&prev, "Command8")->click();
    test::control<QPushButton>(&prev, "Command1")->click();
    EXPECT_TRUE(prev.isVisible());
    EXPECT_EQ(test::control<QLineEdit>(&prev, "Text1")->text(), u"2");
    EXPECT_TRUE(screen.messages().empty());
    test::control<QPushButton>(&prev, "Command2")->click();
    expectRunFinished();
}

TEST_F(CustFldsTest, PdfOfAFilteredListHasTheFilterLinesAndTheBlocks)
{
    if (!havePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    const int index =
        test::control<QComboBox>(browser, "DataCombo1")->findText(QStringLiteral("CA"));
    test::control<QComboBox>(browser, "DataCombo1")->setCurrentIndex(index);
    test::control<QComboBox>(browser, "DataCombo2")->setEditText(QStringLiteral("Retail"));
    const QStringList columns = browser->customers()->columnNames();
    std::vector<int> chosen;
    for (const char *field : {"Name", "BillState", "CustType", "Phone"})
        chosen.push_back(static_cast<int>(columns.indexOf(QLatin1String(field))));
    FieldPrintJob job(*browser->customers(), chosen, browser->printHeader());
    const QString pdf = folder.file(QStringLiteral("filtered.pdf"));
    ASSERT_TRUE(printFieldJobToPdf(job, pdf));

    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("State Filter: CA")));
    EXPECT_TRUE(text.contains(QStringLiteral("Type Filter: Retail")));
    // Customers 3, 9, 15, … are in CA, and the even ones among them Retail: 6, 12, …, 60 by 6.
    const QRegularExpression block(QStringLiteral("Name +Customer (\\d{3})\\s*\\n"
                                                  " *BillState +CA +CustType +Retail\\s*\\n"
                                                  " *Phone +555-0\\1\\s*\\n"));
    QStringList numbers;
    for (auto match = block.globalMatch(text); match.hasNext();)
        numbers << match.next().captured(1);
    EXPECT_EQ(numbers.size(), 10);
    EXPECT_EQ(numbers.value(0), u"006");
    EXPECT_EQ(numbers.value(9), u"060");
    EXPECT_FALSE(text.contains(QStringLiteral("Customer 003")));
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1")));
}
