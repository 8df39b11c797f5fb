#include "analysis/ui/Custs.h"

#include "analysis/CustsNotBuying.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"
#include "views/ui/CustFlds.h"
#include "views/ui/MailingLabels.h"
#include "views/ui/Prev.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class CustsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureLocalDb(folder.path()));
        db().execute(
            u"INSERT INTO Customers (ListID, Name, BillState, CustType) VALUES "
            u"('C1', 'Acme', 'NY', 'Retail'), ('C2', 'O''Neil''s Shop', 'MA', NULL), "
            u"('C3', 'Zed', NULL, 'Trade');"
            u"INSERT INTO Invoices (CustListID, ItemRef) VALUES ('C1', 'O''Brien''s Door'), "
            u"('C3', 'Pull')"_s);
    }
    ~CustsWindowTest() override { delete m_window.data(); }

    Database db() { return Database::open(folder.file(u"QBData.mdb"_s)); }
    int saved()
    {
        Database d = db();
        return static_cast<int>(d.countRows(u"NoBuyCustomers"_s));
    }

    Custs *open(bool allItems, const QString &item)
    {
        auto *window = new Custs(state, allItems, item);
        m_window = window;
        window->setExportFolder(folder.file(u"Docs"_s));
        window->show();
        return window;
    }

    static QStringList gridColumn(const QTableView *grid, int column)
    {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, column).data().toString();
        return out;
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    QPointer<Custs> m_window;
};

// The check box's caption is never clipped nor under the buttons, in the program's own
// font (narrower than the designed one) or in a wide one.
TEST_F(CustsWindowTest, CheckBoxCaptionFitsInAnyFont)
{
    const QFont saved = QApplication::font();
    for (const QFont &font : {QFont(u"Liberation Sans"_s, 8), QFont(u"DejaVu Sans"_s, 11)}) {
        QApplication::setFont(font);
        Custs window(state, false, u"Hinge"_s);
        EXPECT_GE(test::control<QCheckBox>(&window, "Check1")->width(),
                  test::control<QCheckBox>(&window, "Check1")->sizeHint().width())
            << font.family().toStdString();
        EXPECT_LT(test::control<QCheckBox>(&window, "Check1")->geometry().right(),
                  test::control<QPushButton>(&window, "Command1")->x());
    }
    QApplication::setFont(saved);
}

TEST_F(CustsWindowTest, ShowsTheNonBuyersOfTheItem)
{
    Custs *window = open(false, u"O'Brien's Door"_s);
    EXPECT_EQ(window->windowTitle(), u"Non-Buying Customer Data"_s);
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(test::control<QLabel>(window, "Label1")->text(),
              u"Customers who have not purchased item:"_s);
    EXPECT_TRUE(test::control<QLineEdit>(window, "Item")->isVisible());
    EXPECT_EQ(test::control<QLineEdit>(window, "Item")->text(), u"O'Brien's Door"_s);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    QAbstractItemModelTester tester(test::control<QTableView>(window, "DataGrid1")->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(test::control<QTableView>(window, "DataGrid1")
                  ->model()
                  ->headerData(1, Qt::Horizontal)
                  .toString(),
              u"BillState"_s);
    EXPECT_EQ(gridColumn(test::control<QTableView>(window, "DataGrid1"), 0),
              (QStringList{u"O'Neil's Shop"_s, u"Zed"_s}));
    EXPECT_EQ(gridColumn(test::control<QTableView>(window, "DataGrid1"), 1),
              (QStringList{u"MA"_s, QString()}));
    EXPECT_EQ(window->printHeader().title,
              u"Customers who have not purchased item: O'Brien's Door"_s);
    EXPECT_EQ(window->printList().rowCount(), 2);
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PNG"); !keep.isEmpty())
        window->grab().save(keep); // to look at the window by hand

    QTest::mouseClick(test::control<QPushButton>(window, "Command1"), Qt::LeftButton);
    EXPECT_NE(window->findChild<CustFlds *>(), nullptr);
}

TEST_F(CustsWindowTest, AllItemsHidesTheItem)
{
    Custs *window = open(true, u"Pull"_s);
    EXPECT_FALSE(test::control<QLineEdit>(window, "Item")->isVisible());
    EXPECT_EQ(test::control<QLabel>(window, "Label1")->text(),
              u"Customers who have not purchased any shown items."_s);
    EXPECT_GT(test::control<QLabel>(window, "Label1")->width(),
              test::control<QLineEdit>(window, "Item")->x() -
                  test::control<QLabel>(window, "Label1")->x());
    EXPECT_EQ(gridColumn(test::control<QTableView>(window, "DataGrid1"), 0),
              (QStringList{u"O'Neil's Shop"_s}));
    EXPECT_EQ(window->printHeader().title, u"Customers who have not purchased any shown items."_s);
}

TEST_F(CustsWindowTest, CheckBoxSavesAndNoUnchecksIt)
{
    Custs *window = open(false, u"Pull"_s);
    screen.answerNext(Answer::Ok);
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_TRUE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(saved(), 2);
    EXPECT_EQ(screen.messages().back().title, u"Customers Added"_s);

    // Unchecking leaves the table; checking again asks, and No unchecks the box.
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(saved(), 2);
    screen.answerNext(Answer::No);
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(screen.messages().back().title, u"Delete Previous Data"_s);
    EXPECT_EQ(saved(), 2);
    EXPECT_EQ(screen.unansweredMessages(), 0);
}

TEST_F(CustsWindowTest, PrintsTheListUnderTheLabelAndItem)
{
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    Custs *window = open(false, u"O'Brien's Door"_s);
    QTest::mouseClick(test::control<QPushButton>(window, "Command1"), Qt::LeftButton);
    auto *fields = window->findChild<CustFlds *>();
    ASSERT_NE(fields, nullptr);
    test::control<QListWidget>(fields, "List1")->clearSelection();
    for (const QString &name : {u"Name"_s, u"BillState"_s})
        test::control<QListWidget>(fields, "List1")
            ->findItems(name, Qt::MatchExactly)
            .value(0)
            ->setSelected(true);
    const QString pdf = folder.file(u"custs.pdf"_s);
    fields->setPrinterSetup([&pdf](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    test::control<QPushButton>(fields, "Command1")->click();
    ASSERT_NE(fields->preview(), nullptr);
    screen.answerNext(Answer::Ok);
    test::control<QPushButton>(fields->preview(), "Command1")->click(); // "&Print"

    QProcess p;
    p.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
    p.waitForFinished(30000);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    // The middle of the title: at its double size the whole of it is wider than the page.
    EXPECT_TRUE(text.contains(u"who have not purchased item: O'Brien's Do"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"O'Neil's Shop"_s));
    EXPECT_TRUE(text.contains(u"Zed"_s));
    EXPECT_FALSE(text.contains(u"Acme"_s));
}

TEST_F(CustsWindowTest, FailuresAreReportedAndTheWindowStays)
{
    {
        Database d = db();
        d.execute(u"INSERT INTO NoBuyCustomers (Item, ListID) VALUES ('Old', 'X1');"
                  u"CREATE TRIGGER Refuse BEFORE INSERT ON NoBuyCustomers WHEN NEW.ListID = 'C2' "
                  u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s);
    }
    Custs *window = open(false, u"Pull"_s);
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(screen.messages().back().title, u"Customers Not Added"_s);
    EXPECT_EQ(saved(), 1);

    // A database that cannot be opened: reported as the error of "Custs", the list empty.
    test::TempAppFolder empty;
    ProgramState other{empty.path(), screen};
    screen.answerNext(Answer::Ok);
    Custs lost(other, true, {});
    EXPECT_EQ(screen.messages().back().title, u"Error"_s);
    EXPECT_TRUE(screen.messages().back().text.contains(u"Custs"_s));
    EXPECT_EQ(test::control<QTableView>(&lost, "DataGrid1")->model()->rowCount(), 0);
    EXPECT_EQ(screen.unansweredMessages(), 0);
}

TEST_F(CustsWindowTest, ShowingAgainBringsTheSameListForward)
{
    QPointer<Custs> first = showCusts(state, false, u"Pull"_s);
    EXPECT_EQ(showCusts(state, false, u"Pull"_s), first.data());
    QPointer<Custs> other = showCusts(state, false, u"O'Brien's Door"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(other.isNull());
    EXPECT_EQ(test::control<QLineEdit>(other, "Item")->text(), u"O'Brien's Door"_s);
    QPointer<Custs> all = showCusts(state, true, u"Pull"_s);
    EXPECT_EQ(showCusts(state, true, u"Hinge"_s), all.data());
    delete all.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(other.isNull());
}

TEST_F(CustsWindowTest, ExportButtonWritesTheWorkbook)
{
    Custs *window = open(true, {});
    screen.answerNext(Answer::Ok);
    QTest::mouseClick(test::control<QPushButton>(window, "Command2"), Qt::LeftButton);
    EXPECT_EQ(screen.messages().back().title, u"Export Complete"_s);
    const auto cells = test::readXlsxSheet(folder.file(u"Docs/CustsNotBuying.xlsx"_s));
    EXPECT_EQ(cells[u"A1"_s].text, u"Customers who have not purchased any shown items."_s);
    EXPECT_EQ(cells[u"B5"_s].text, u"O'Neil's Shop"_s);
}

// "Mailing &Labels" prints the list's labels: here Acme, the only customer with an address;
// the others are counted as left out.
TEST_F(CustsWindowTest, LabelsButtonOpensTheListsLabels)
{
    db().execute(u"UPDATE Customers SET BillAddr1 = '1 A St', BillCity = 'Salem', BillZip = "
                 u"'97301' WHERE ListID = 'C1'"_s);
    Custs *window = open(false, u"Pull"_s);
    auto *button = window->findChild<QPushButton *>(u"labelsButton"_s);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), u"Mailing &Labels"_s);
    EXPECT_FALSE(
        button->geometry().intersects(test::control<QTableView>(window, "DataGrid1")->geometry()));
    button->click();
    auto *labels = window->findChild<MailingLabels *>();
    ASSERT_NE(labels, nullptr);
    // Zed bought Pull; Acme and O'Neil's Shop did not.
    ASSERT_EQ(labels->rows().labels.size(), 1u);
    EXPECT_EQ(labels->rows().labels[0].lines.first(), u"Acme"_s);
    EXPECT_EQ(labels->rows().unusable, 1);
}

} // namespace
