#include "analysis/CustsNotBuying.h"
#include "analysis/ItemAging.h"
#include "analysis/ItemAgingGrid.h"
#include "analysis/ItemAgingReport.h"
#include "analysis/RepsNotSelling.h"
#include "analysis/ui/Custs.h"
#include "analysis/ui/ItemAging.h"
#include "analysis/ui/ItemSalesChart.h"
#include "analysis/ui/ItemTypes.h"
#include "analysis/ui/Reps.h"
#include "localdb/LocalDb.h"
#include "reporting/MemoryRows.h"
#include "reporting/ui/ReportDocument.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "views/ui/CustFlds.h"
#include "views/ui/Prev.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableView>

#include "support/PdfText.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

using corvina::test::pdfText;

namespace {

class ItemAgingWindow : public ::testing::Test {
protected:
    ItemAgingWindow()
    {
        ensureLocalDb(folder.path());
        Database db = openLocalDb(folder.path());
        db.execute(u"INSERT INTO Items (ListID, Name, \"Desc\", Type, IsActive) VALUES "
                   u"('I1', 'O''Neil bolt', 'Bolt 5%_off', 'ItemInventoryRet', 1), "
                   u"('I2', 'Nut', 'O''Neil nut', 'ItemInventoryRet', 1), "
                   u"('I3', 'Washer', 'Flat washer', 'ItemInventoryRet', 1)"_s);
        db.execute(
            u"INSERT INTO Customers (Name, BillState, CustType) VALUES ('Acme', 'OR', 'Retail')"_s);
        db.execute(
            u"INSERT INTO Invoices (Customer, ItemRefID, InvNo, Qty, Amt, InvDate, Class) VALUES "
            u"('Acme', 'I1', '1', 2, 1234.5, '2026-01-05 00:00:00', 'East'), "
            u"('Zed', 'I1', '2', 1, 3, '2026-03-01 00:00:00', 'West'), "
            u"('Acme', 'I2', '3', 1, 7, '2026-02-01 00:00:00', 'East')"_s);
        screen.excludedKindsNext({});
        EXPECT_TRUE(GetItemAging(state, [] {}));
        window = new ItemAging(state);
        guard = window;
    }
    ~ItemAgingWindow() override { delete guard.data(); }
    QString cell(int row, int column) const
    {
        return window->model()->index(row, column).data().toString();
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    ItemAging *window = nullptr;
    QPointer<ItemAging> guard; // null once the window deleted itself
};

// The chart beside the grid follows the current row: the item's sales by month over the
// period analysed (January to March), months without sales at 0.
TEST_F(ItemAgingWindow, ChartFollowsTheCurrentItem)
{
    auto *chart = window->findChild<ItemSalesChart *>(u"salesChart"_s);
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->sales().months.empty());
    test::control<QTableView>(window, "MSHFlexGrid1")
        ->setCurrentIndex(window->model()->index(0, 1));
    ASSERT_EQ(chart->sales().months.size(), 3u);
    EXPECT_EQ(chart->sales().item, u"O'Neil bolt"_s);
    EXPECT_DOUBLE_EQ(chart->sales().months[0].sales, 1234.5);
    EXPECT_DOUBLE_EQ(chart->sales().months[1].sales, 0);
    EXPECT_DOUBLE_EQ(chart->sales().months[2].sales, 3);
    test::control<QTableView>(window, "MSHFlexGrid1")
        ->setCurrentIndex(window->model()->index(2, 1));
    EXPECT_EQ(chart->sales().item, u"Nut"_s);
    EXPECT_DOUBLE_EQ(chart->sales().total(), 7);
    // Beside the grid, as tall as it, after a resize too.
    window->resize(window->width(), window->height() + 100);
    EXPECT_GE(chart->x(), test::control<QTableView>(window, "MSHFlexGrid1")->geometry().right());
    EXPECT_EQ(chart->height(), test::control<QTableView>(window, "MSHFlexGrid1")->height());
}

TEST_F(ItemAgingWindow, GridColumnsByNumber)
{
    QAbstractItemModelTester tester(window->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_EQ(window->model()->rowCount(), 4); // two customers, one, and an item nobody bought
    EXPECT_EQ(window->model()->columnCount(), 14);
    EXPECT_EQ(cell(0, 1), u"O'Neil bolt"_s);
    EXPECT_EQ(cell(0, 2), u"Bolt 5%_off"_s);
    EXPECT_EQ(cell(0, 3), u"I1"_s);
    EXPECT_EQ(cell(0, 4), u"Acme"_s);
    EXPECT_EQ(cell(0, 5), u"1"_s);
    EXPECT_EQ(cell(0, 6), u"2"_s);
    EXPECT_EQ(cell(0, 7), u"1,234.50"_s);
    EXPECT_EQ(cell(0, 8), QLocale().toString(QDate(2026, 1, 5), QLocale::ShortFormat));
    EXPECT_EQ(cell(0, 10), u"East"_s);
    EXPECT_EQ(cell(0, 11), u"OR"_s);
    EXPECT_EQ(cell(0, 12), u"Retail"_s);
    EXPECT_EQ(cell(0, 13), u"I1"_s);
    // The item's second customer row; an unknown customer has no state or type.
    EXPECT_TRUE(cell(1, 1).isEmpty());
    EXPECT_EQ(cell(1, 4), u"Zed"_s);
    EXPECT_TRUE(cell(1, 11).isEmpty());
    EXPECT_EQ(window->model()->itemNameAt(1), u"O'Neil bolt"_s);
    // An item nobody bought: one row, no customer columns, no zero sales.
    EXPECT_EQ(cell(3, 1), u"Washer"_s);
    for (int column = 4; column <= 13; ++column)
        EXPECT_TRUE(cell(3, column).isEmpty()) << column;
    EXPECT_TRUE(test::control<QTableView>(window, "MSHFlexGrid1")->isColumnHidden(3));
    EXPECT_EQ(test::control<QLabel>(window, "Label4")->text(),
              u"Period Analyzed: "_s + QLocale().toString(QDate(2026, 1, 5), QLocale::ShortFormat) +
                  u" - "_s + QLocale().toString(QDate(2026, 3, 1), QLocale::ShortFormat));
}

TEST_F(ItemAgingWindow, FiltersTakeTextLiterally)
{
    struct Case {
        QLineEdit *box;
        QString text;
        QStringList items;
    };
    const std::vector<Case> cases = {
        {test::control<QLineEdit>(window, "Text1"), u"o'n"_s, {u"O'Neil bolt"_s}},
        {test::control<QLineEdit>(window, "Text2"), u"O'Neil"_s, {u"Nut"_s}},
        {test::control<QLineEdit>(window, "Text2"), u"Bolt 5%_"_s, {u"O'Neil bolt"_s}},
        {test::control<QLineEdit>(window, "Text2"), u"Bolt 5%x"_s, {}},
        {test::control<QLineEdit>(window, "Text1"), u"%"_s, {}},
        {test::control<QLineEdit>(window, "Text1"),
         QString(),
         {u"O'Neil bolt"_s, u"Nut"_s, u"Washer"_s}},
    };
    for (const Case &c : cases) {
        c.box->setText(c.text);
        EXPECT_EQ(window->model()->shownItemNames(), c.items) << c.text.toStdString();
    }
    // Clearing one box shows everything although the other still holds text.
    test::control<QLineEdit>(window, "Text2")->setText(u"Flat"_s);
    test::control<QLineEdit>(window, "Text1")->setText(u"N"_s);
    test::control<QLineEdit>(window, "Text1")->clear();
    EXPECT_EQ(window->model()->shownItemNames().size(), 3);
}

// The non-buyer and non-seller lists read the item from the current row; every option but
// the reps' "All Items" first makes the item name column current.
TEST_F(ItemAgingWindow, OptionsOpenTheListsForTheCurrentRow)
{
    {
        Database db = openLocalDb(folder.path());
        db.execute(u"INSERT INTO Reps (ListID, Rep, Name) VALUES ('R1', 'JD', 'Jo Dee')"_s);
    }
    QTableView *grid = test::control<QTableView>(window, "MSHFlexGrid1");
    const auto index = [&](int row, int column) { return window->model()->index(row, column); };
    const auto shown = [](auto *none) {
        std::vector<decltype(none)> windows;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *w = qobject_cast<decltype(none)>(widget); w && w->isVisible())
                windows.push_back(w);
        }
        return windows;
    };

    grid->setCurrentIndex(index(1, 5)); // Zed's row of the first item
    test::control<QRadioButton>(window, "Option1")->click();
    EXPECT_EQ(grid->currentIndex(), index(1, 1));
    auto custs = shown(static_cast<Custs *>(nullptr));
    ASSERT_EQ(custs.size(), 1u);
    EXPECT_FALSE(custs[0]->customers().allItems());
    EXPECT_EQ(test::control<QLineEdit>(custs[0], "Item")->text(), u"O'Neil bolt"_s);
    EXPECT_EQ(custs[0]->customers().chosenItem().listId, u"I1"_s);

    grid->setCurrentIndex(index(2, 7)); // the second item
    screen.answerNext(Answer::No);      // no refresh of the reps
    test::control<QRadioButton>(window, "Option4")->click();
    EXPECT_EQ(grid->currentIndex(), index(2, 7));
    auto reps = shown(static_cast<Reps *>(nullptr));
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_TRUE(reps[0]->list()->allItems());

    screen.answerNext(Answer::No);
    test::control<QRadioButton>(window, "Option3")->click();
    EXPECT_EQ(grid->currentIndex(), index(2, 1));
    reps = shown(static_cast<Reps *>(nullptr));
    ASSERT_EQ(reps.size(), 1u); // the all-items list made way for this item's
    EXPECT_FALSE(reps[0]->list()->allItems());
    EXPECT_EQ(reps[0]->list()->item(), u"Nut"_s);

    grid->setCurrentIndex(index(3, 9));
    test::control<QRadioButton>(window, "Option2")->click();
    EXPECT_EQ(grid->currentIndex(), index(3, 1));
    custs = shown(static_cast<Custs *>(nullptr));
    ASSERT_EQ(custs.size(), 1u);
    EXPECT_TRUE(custs[0]->customers().allItems());
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<Custs *>(widget) || qobject_cast<Reps *>(widget))
            delete widget;
    }
}

TEST_F(ItemAgingWindow, ResizeKeepsTheBottomRow)
{
    window->show();
    const int gap = window->height() - test::control<QGroupBox>(window, "Frame1")->y();
    window->resize(window->width(), window->height() + 200);
    EXPECT_EQ(window->height() - test::control<QGroupBox>(window, "Frame1")->y(), gap);
    EXPECT_EQ(test::control<QTableView>(window, "MSHFlexGrid1")->y() +
                  test::control<QTableView>(window, "MSHFlexGrid1")->height(),
              test::control<QGroupBox>(window, "Frame1")->y());
    EXPECT_EQ(test::control<QLineEdit>(window, "Text1")->y(),
              test::control<QLabel>(window, "Label2")->y() +
                  test::control<QLabel>(window, "Label2")->height());
    window->resize(window->width(), 40); // too small for the layout: still no negative grid
    EXPECT_GE(test::control<QTableView>(window, "MSHFlexGrid1")->height(), 0);
}

TEST_F(ItemAgingWindow, ClosingReleasesTheResult)
{
    EXPECT_TRUE(state.itemAging());
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_FALSE(state.itemAging());
}

TEST_F(ItemAgingWindow, ReportPrintsTheFilteredItems)
{
    test::control<QLineEdit>(window, "Text1")->setText(u"O"_s);
    reporting::ReportDocument document(window->model()->shownItems(), itemAgingReportLayout());
    const QString pdf = folder.file(u"aging.pdf"_s);
    QString error;
    ASSERT_TRUE(reporting::exportPdf(document, pdf, &error)) << error.toStdString();
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PDF"); !keep.isEmpty())
        QFile::copy(pdf, keep);
    const QString text = pdfText(pdf);
    for (const char16_t *s :
         {u"Item Analyzer", u"Customer", u"Purchases", u"Qty Total", u"Sales Total", u"LastPurch",
          u"FirstPurch", u"Item:", u"O'Neil bolt", u"1,234.50", u"1/05/26", u"3/01/26"})
        EXPECT_TRUE(text.contains(QStringView(s))) << QString::fromUtf16(s).toStdString() << "\n"
                                                   << text.toStdString();
    EXPECT_FALSE(text.contains(u"Washer"));
    EXPECT_FALSE(text.contains(u"Nut "));
}

} // namespace

namespace {

TEST(ItemTypesDialog, PreselectsAndReturnsKindsInListOrder)
{
    ItemTypes dialog({u"Inventory"_s, u"OtherCharge"_s, u"Service"_s}, {u"Service"_s, u"Gone"_s});
    EXPECT_EQ(dialog.windowTitle(), u"Exclude Item Types"_s);
    EXPECT_TRUE(test::control<QLabel>(&dialog, "Label1")
                    ->text()
                    .startsWith(u"One or more of your item types may not be meaningful in the Item "
                                u"Analyzer report."_s));
    EXPECT_TRUE(test::control<QLabel>(&dialog, "Label1")
                    ->text()
                    .contains(u"be relevant.\r\n\r\nSelect the item type(s)"_s));
    ASSERT_EQ(test::control<QListWidget>(&dialog, "List1")->count(), 3);
    EXPECT_EQ(dialog.selectedKinds(), QStringList{u"Service"_s});
    test::control<QListWidget>(&dialog, "List1")->item(0)->setSelected(true);
    EXPECT_EQ(dialog.selectedKinds(), (QStringList{u"Inventory"_s, u"Service"_s}));
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PNG"); !keep.isEmpty())
        dialog.grab().save(keep);
    test::control<QPushButton>(&dialog, "Command1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace

namespace {

// Quantities add up in binary: 0.1 + 0.2 shows as 0.3, to 15 significant digits as the
// report and the invoice browser show numbers.
TEST(ItemAgingGrid, QuantityTotalShowsFifteenSignificantDigits)
{
    auto rows = std::make_shared<reporting::MemoryRows>(
        QStringList{u"Name"_s, u"Desc"_s, u"ListID"_s}, u"Child"_s,
        QStringList{u"Customer"_s, u"Purchases"_s, u"QtyTot"_s, u"SalesTot"_s, u"LastPurch"_s,
                    u"FirstPurch"_s, u"Class"_s, u"State"_s, u"Type"_s, u"ListID"_s});
    const int item = rows->addRow({u"Rope"_s, u"by the metre"_s, u"I1"_s});
    rows->addChild(item, {u"Acme"_s, 2, 0.1 + 0.2});
    rows->addChild(item, {u"Bolt Co"_s, 1, 1234567.125});
    rows->addChild(item, {u"Zed"_s, 1, 2.0 / 3.0});
    ItemAgingGridModel model(rows);
    const auto qty = [&](int row) {
        return model.index(row, ItemAgingGridModel::QtyTot).data().toString();
    };
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    EXPECT_EQ(qty(0), locale.toString(0.3, 'g', 15));
    EXPECT_EQ(qty(0).size(), 3);
    EXPECT_EQ(qty(1), locale.toString(1234567.125, 'g', 15));
    EXPECT_EQ(qty(2), locale.toString(0.666666666666667, 'g', 15));
}

} // namespace

// Clicking an option that is already set shows its list again, for the current row's item,
// after making the item name column current.
TEST_F(ItemAgingWindow, ClickingASetOptionShowsTheListAgain)
{
    QTableView *grid = test::control<QTableView>(window, "MSHFlexGrid1");
    const auto index = [&](int row, int column) { return window->model()->index(row, column); };
    const auto openCusts = [] {
        std::vector<Custs *> windows;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *w = qobject_cast<Custs *>(widget); w && w->isVisible())
                windows.push_back(w);
        }
        return windows;
    };

    grid->setCurrentIndex(index(0, 4));
    test::control<QRadioButton>(window, "Option1")->click();
    ASSERT_EQ(openCusts().size(), 1u);
    openCusts()[0]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(openCusts().empty());

    // The same option again, on another row: column 1 current, the list of that row's item.
    grid->setCurrentIndex(index(2, 6));
    ASSERT_TRUE(test::control<QRadioButton>(window, "Option1")->isChecked());
    test::control<QRadioButton>(window, "Option1")->click();
    EXPECT_EQ(grid->currentIndex(), index(2, 1));
    auto custs = openCusts();
    ASSERT_EQ(custs.size(), 1u);
    EXPECT_EQ(test::control<QLineEdit>(custs[0], "Item")->text(), u"Nut"_s);

    // The reps' options too.
    {
        Database db = openLocalDb(folder.path());
        db.execute(u"INSERT INTO Reps (ListID, Rep, Name) VALUES ('R1', 'JD', 'Jo Dee')"_s);
    }
    screen.answerNext(Answer::No);
    test::control<QRadioButton>(window, "Option3")->click();
    screen.answerNext(Answer::No);
    grid->setCurrentIndex(index(0, 9));
    test::control<QRadioButton>(window, "Option3")->click();
    EXPECT_EQ(grid->currentIndex(), index(0, 1));
    std::vector<Reps *> reps;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *w = qobject_cast<Reps *>(widget); w && w->isVisible())
            reps.push_back(w);
    }
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0]->list()->item(), u"O'Neil bolt"_s);
    EXPECT_EQ(screen.unansweredMessages(), 0);
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<Custs *>(widget) || qobject_cast<Reps *>(widget))
            delete widget;
    }
}

// While a list of non-buyers prints, the Item Analyzer goes out of the way with it, and
// both come back when the preview ends.
TEST_F(ItemAgingWindow, PrintingNonBuyersHidesTheAnalyzerToo)
{
    window->show();
    test::control<QTableView>(window, "MSHFlexGrid1")
        ->setCurrentIndex(window->model()->index(3, 1)); // Washer: Acme left
    test::control<QRadioButton>(window, "Option1")->click();
    Custs *custs = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *w = qobject_cast<Custs *>(widget); w && w->isVisible())
            custs = w;
    }
    ASSERT_NE(custs, nullptr);
    QPointer<Custs> custsGuard = custs;
    test::control<QPushButton>(custs, "Command1")->click();
    auto *fields = custs->findChild<CustFlds *>();
    ASSERT_NE(fields, nullptr);
    test::control<QPushButton>(fields, "Command1")->click();
    ASSERT_NE(fields->preview(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(custs->isVisible());

    test::control<QPushButton>(fields->preview(), "Command2")->click(); // "&Cancel"
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(custs->isVisible());
    delete custsGuard.data();
}
