#include "../InvoiceTestLines.h"

#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "views/ui/InvoiceData.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

InvoiceTestLine invoiceLine(const QString &customer, const QString &invNo, double amt,
                            const QVariant &invDate)
{
    InvoiceTestLine line;
    line.memo = customer + u' ' + invNo;
    line.customer = customer;
    line.custListId = customer.left(3);
    line.invNo = invNo;
    line.amt = amt;
    line.invDate = invDate;
    line.rateAmt = amt;
    return line;
}

// Brown's invoice 200 has three lines; "Able" sorts first by customer, but its invoice
// number sorts last.
std::vector<InvoiceTestLine> sampleLines()
{
    return {invoiceLine(u"Brown"_s, u"200"_s, 10.0, day(2024, 5, 1)),
            invoiceLine(u"Brown"_s, u"200"_s, 2.5, day(2024, 5, 1)),
            invoiceLine(u"Able"_s, u"300"_s, 99.0, day(2024, 1, 1)),
            invoiceLine(u"Brown"_s, u"200"_s, 1000.0, day(2024, 5, 1)),
            invoiceLine(u"Cole"_s, u"100"_s, 4.0, day(2023, 7, 7))};
}

class InvoiceDataTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override
    {
        window.reset();
        QLocale::setDefault(QLocale::c());
    }

    InvoiceData &open()
    {
        window.reset(new InvoiceData(state));
        window->setAttribute(Qt::WA_DeleteOnClose, false); // the test owns it
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    QString cell(int row, InvoiceColumn column) const
    {
        return test::control<QTableView>(window, "DataGrid1")
            ->model()
            ->index(row, static_cast<int>(column))
            .data()
            .toString();
    }

    // The column's texts from top to bottom, as "a|b|…".
    std::string column(InvoiceColumn which) const
    {
        QStringList values;
        for (int row = 0; row < test::control<QTableView>(window, "DataGrid1")->model()->rowCount();
             ++row)
            values << cell(row, which);
        return values.join(u'|').toStdString();
    }

    void goToRow(int row)
    {
        test::control<QTableView>(window, "DataGrid1")
            ->setCurrentIndex(
                test::control<QTableView>(window, "DataGrid1")->model()->index(row, 1));
    }

    // The sort option at `index` (every option is named "Option1").
    static QRadioButton *sortOption(const InvoiceData &w, std::size_t index)
    {
        for (QRadioButton *option : w.findChildren<QRadioButton *>(u"Option1"_s)) {
            if (option->property("Index").toInt() == static_cast<int>(index))
                return option;
        }
        ADD_FAILURE() << "no sort option " << index;
        return nullptr;
    }

    static QList<QRadioButton *> sortOptions(const InvoiceData &w)
    {
        QList<QRadioButton *> options;
        for (std::size_t i = 0; i < static_cast<std::size_t>(kInvoiceSortCount); ++i)
            options << sortOption(w, i);
        return options;
    }

    std::pair<QString, QString> totals() const
    {
        return {test::control<QLineEdit>(window, "Text1")->text(),
                test::control<QLineEdit>(window, "Text2")->text()};
    }

    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    std::unique_ptr<InvoiceData> window;
};

} // namespace

TEST_F(InvoiceDataTest, OpensInCustomerOrderWithTheFirstInvoicesTotals)
{
    writeInvoiceLines(folder.path(), sampleLines());
    InvoiceData &w = open();
    EXPECT_EQ(w.windowTitle(), u"Invoice Data");
    EXPECT_EQ(w.objectName(), u"InvoiceData");
    EXPECT_EQ(test::control<QGroupBox>(&w, "Frame1")->title(), u"Sort By");
    QStringList captions;
    for (QRadioButton *option : sortOptions(w))
        captions << option->text();
    EXPECT_EQ(captions, (QStringList{u"Customer"_s, u"InvNo"_s, u"InvDate"_s, u"Class"_s, u"Rep"_s,
                                     u"ShipDate"_s}));
    EXPECT_EQ(w.findChildren<QRadioButton *>(u"Option1"_s).size(), 6);
    EXPECT_TRUE(sortOption(w, 0)->isChecked());
    EXPECT_EQ(test::control<QLabel>(&w, "Label1")->text(), u"Current Invoice");
    EXPECT_EQ(test::control<QLabel>(&w, "Label2")->text(), u"Total");
    EXPECT_EQ(test::control<QLabel>(&w, "Label3")->text(), u"Items");
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Text1")->alignment() & Qt::AlignRight);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Text2")->alignment() & Qt::AlignRight);

    EXPECT_EQ(column(InvoiceColumn::Customer), "Able|Brown|Brown|Brown|Cole");
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().row(), 0);
    EXPECT_EQ(totals(), std::make_pair(u"99.00"_s, u"1"_s));
    EXPECT_TRUE(screen.messages().empty());

    QPointer<InvoiceData> shown = new InvoiceData(state);
    EXPECT_TRUE(shown->testAttribute(Qt::WA_DeleteOnClose));
    shown->show();
    shown->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull()) << "a closed window deletes itself";
}

TEST_F(InvoiceDataTest, TheTotalsFollowTheCurrentLine)
{
    writeInvoiceLines(folder.path(), sampleLines());
    open();
    for (const int row : {1, 2, 3}) {
        goToRow(row);
        EXPECT_EQ(totals(), std::make_pair(u"1,012.50"_s, u"3"_s)) << row;
    }
    goToRow(4);
    EXPECT_EQ(totals(), std::make_pair(u"4.00"_s, u"1"_s)) << "the last line of the list";
}

TEST_F(InvoiceDataTest, ASortKeepsTheTotalsOfTheCurrentInvoice)
{
    writeInvoiceLines(folder.path(), sampleLines());
    InvoiceData &w = open();
    goToRow(2); // Brown 200, second line
    const QString current = test::control<QTableView>(&w, "DataGrid1")
                                ->currentIndex()
                                .siblingAtColumn(static_cast<int>(InvoiceColumn::Memo))
                                .data()
                                .toString();
    QTest::mouseClick(sortOption(w, 1), Qt::LeftButton, {},
                      QPoint(4, sortOption(w, 1)->height() / 2));
    EXPECT_EQ(w.list()->sort(), InvoiceSort::InvNo);
    EXPECT_EQ(column(InvoiceColumn::InvNo), "100|200|200|200|300");
    EXPECT_EQ(totals(), std::make_pair(u"1,012.50"_s, u"3"_s));
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")
                  ->currentIndex()
                  .siblingAtColumn(static_cast<int>(InvoiceColumn::Memo))
                  .data()
                  .toString(),
              current)
        << "the current line stays current";

    goToRow(0); // Cole 100
    EXPECT_EQ(totals(), std::make_pair(u"4.00"_s, u"1"_s));
    goToRow(4); // Able 300
    EXPECT_EQ(totals(), std::make_pair(u"99.00"_s, u"1"_s));
    goToRow(1);
    EXPECT_EQ(totals(), std::make_pair(u"1,012.50"_s, u"3"_s));
}

TEST_F(InvoiceDataTest, EachOptionSortsByItsColumn)
{
    writeInvoiceLines(folder.path(), sampleLines());
    InvoiceData &w = open();
    for (const int option : {2, 1, 0, 5, 4, 3, 2}) {
        sortOption(w, static_cast<std::size_t>(option))->click();
        EXPECT_EQ(static_cast<int>(w.list()->sort()), option);
        EXPECT_EQ(sortOption(w, static_cast<std::size_t>(option))->property("Index").toInt(),
                  option);
        if (option == 2) {
            EXPECT_EQ(column(InvoiceColumn::Memo),
                      "Cole 100|Able 300|Brown 200|Brown 200|Brown 200");
        }
    }
}

TEST_F(InvoiceDataTest, TheGridShowsAmountsInStandardFormAndHidesItemRefID)
{
    writeInvoiceLines(folder.path(), sampleLines());
    InvoiceData &w = open();
    const QHeaderView *header = test::control<QTableView>(&w, "DataGrid1")->horizontalHeader();
    EXPECT_EQ(header->count(), 20);
    for (int column = 0; column < header->count(); ++column)
        EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->isColumnHidden(column),
                  column == static_cast<int>(InvoiceColumn::ItemRefID))
            << column;
    EXPECT_EQ(cell(3, InvoiceColumn::Amt), u"1,000.00");
    EXPECT_EQ(cell(3, InvoiceColumn::RateAmt), u"1,000.00");
    EXPECT_EQ(cell(2, InvoiceColumn::Amt), u"2.50");
    const QModelIndex amount = test::control<QTableView>(&w, "DataGrid1")
                                   ->model()
                                   ->index(3, static_cast<int>(InvoiceColumn::Amt));
    EXPECT_EQ(amount.data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->editTriggers(),
              QAbstractItemView::NoEditTriggers);
}

TEST_F(InvoiceDataTest, ALoadErrorNamesItsStepAndLeavesTheWindowOpen)
{
    screen.answerNext(Answer::Ok); // no QBData.mdb in the folder
    InvoiceData &w = open();
    ASSERT_EQ(screen.messages().size(), 1u);
    const auto &message = screen.messages().front();
    const QStringList parts = message.text.split(u'\r');
    ASSERT_EQ(parts.size(), 5) << message.text.toStdString();
    EXPECT_EQ(parts[0], u"Error while loading InvoiceData form on line 10");
    EXPECT_TRUE(parts[1].isEmpty());
    EXPECT_TRUE(parts[2].contains(u"QBData.mdb"_s)) << parts[2].toStdString();
    EXPECT_TRUE(parts[3].isEmpty());
    EXPECT_EQ(parts[4], u"Current Path: "_s + folder.path());
    EXPECT_FALSE(message.text.contains(u'\n'));
    EXPECT_EQ(message.title, u"Tallis");
    EXPECT_EQ(message.buttons, Buttons::Ok);

    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->model(), nullptr);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Text1")->text().isEmpty());
    sortOption(w, 1)->click(); // nothing to sort, and no failure
    EXPECT_EQ(screen.messages().size(), 1u);
}

TEST_F(InvoiceDataTest, AnEmptyTableShowsNoLinesAndZeroTotals)
{
    ensureLocalDb(folder.path());
    InvoiceData &w = open();
    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->model()->rowCount(), 0);
    EXPECT_EQ(totals(), std::make_pair(u"0.00"_s, u"0"_s));
}

// A retrieval run while the window is open rewrites the table; coming back to the window
// shows the new lines in the chosen order.
TEST_F(InvoiceDataTest, ComingBackAfterARetrievalShowsTheNewLines)
{
    writeInvoiceLines(folder.path(), sampleLines());
    InvoiceData &w = open();
    sortOption(w, 1)->click();
    {
        Database db = openLocalDb(folder.path());
        db.execute(u"DELETE FROM Invoices"_s);
    }
    writeInvoiceLines(folder.path(), {invoiceLine(u"Dean"_s, u"050"_s, 8.0, day(2025, 1, 1))});
    QEvent activation(QEvent::ActivationChange);
    QApplication::setActiveWindow(&w);
    QApplication::sendEvent(&w, &activation);
    QApplication::processEvents();
    EXPECT_EQ(column(InvoiceColumn::Customer), "Dean");
    EXPECT_EQ(w.list()->sort(), InvoiceSort::InvNo);
    EXPECT_TRUE(sortOption(w, 1)->isChecked());
    EXPECT_EQ(totals(), std::make_pair(u"8.00"_s, u"1"_s));
}
