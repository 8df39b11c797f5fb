#include "support/CustomerTestRows.h"

#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "views/CustomerGridModel.h"
#include "views/ui/CustData.h"
#include "views/ui/CustFlds.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::test;

namespace {

const std::vector<CustomerRow> kCustomers = {
    {QStringLiteral("Baker Bros"), QStringLiteral("CA"), QStringLiteral("Retail")},
    {QStringLiteral("alder & co"), QStringLiteral("NY"), QStringLiteral("Wholesale")},
    {QStringLiteral("Birch Ltd"), QStringLiteral("CA"), QStringLiteral("Wholesale")},
    {QStringLiteral("Cedar's Café"), QStringLiteral("TX"), QStringLiteral("O'Brien & Sons")},
    {QStringLiteral("Dogwood"), QVariant(), QStringLiteral("Retail")},
    {QStringLiteral("bamboo"), QStringLiteral("ca"), QStringLiteral("Retail")},
};

class CustDataTest : public ::testing::Test {
protected:
    CustData &open(const std::vector<CustomerRow> &rows = kCustomers)
    {
        insertCustomers(folder.path(), rows);
        return openWindow();
    }
    CustData &openWindow()
    {
        window = new CustData(state);
        window->show();
        return *window;
    }
    void TearDown() override { delete window; }

    QStringList shownNames() const
    {
        QStringList names;
        const QAbstractItemModel *model = test::control<QTableView>(window, "DataGrid1")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }
    // The count box always shows the rows the grid shows.
    void expectCount(int rows) const
    {
        EXPECT_EQ(test::control<QLineEdit>(window, "Text1")->text(), QString::number(rows));
        EXPECT_EQ(test::control<QTableView>(window, "DataGrid1")->model()->rowCount(), rows);
    }
    static void choose(QComboBox *combo, const QString &entry)
    {
        const int index = combo->findText(entry, Qt::MatchExactly);
        ASSERT_GE(index, 0) << entry.toStdString();
        combo->setCurrentIndex(index);
    }

    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    CustData *window = nullptr;
};

} // namespace

TEST_F(CustDataTest, OpensWithEveryCustomerInNameOrderAndTheFiltersUnset)
{
    CustData &w = open();
    EXPECT_EQ(w.windowTitle(), u"Customer Data");
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->model()->columnCount(), 49);
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")
                  ->model()
                  ->headerData(1, Qt::Horizontal)
                  .toString(),
              u"IsActive");
    EXPECT_EQ(shownNames(),
              (QStringList{QStringLiteral("alder & co"), QStringLiteral("Baker Bros"),
                           QStringLiteral("bamboo"), QStringLiteral("Birch Ltd"),
                           QStringLiteral("Cedar's Café"), QStringLiteral("Dogwood")}));
    expectCount(6);
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().row(), 0);
    EXPECT_EQ(test::control<QLabel>(&w, "Label1")->text(), u"Count");
    EXPECT_EQ(test::control<QLabel>(&w, "Label2")->text(), u"Go To");
    EXPECT_EQ(test::control<QLineEdit>(&w, "Text2")->toolTip(),
              u"Enter the first letter of a customer to quickly go there");
    EXPECT_EQ(test::control<QGroupBox>(&w, "Frame1")->title(), u"Filter By");
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->currentText(), u"State");
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo2")->currentText(), u"Type");
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->count(),
              4); // the empty entry, CA, NY, TX
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->itemText(0), QString());
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo2")->count(), 3);
    EXPECT_FALSE(test::control<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_EQ(test::control<QPushButton>(&w, "Command1")->text(), u"&Clear Filter");
    EXPECT_EQ(test::control<QPushButton>(&w, "Command2")->text(), u"&Print");
    EXPECT_EQ(w.findChild<QTableView *>(QStringLiteral("DataGrid1")),
              test::control<QTableView>(&w, "DataGrid1"));
    EXPECT_TRUE(screen.messages().empty());
}

TEST_F(CustDataTest, AnEmptyTableShowsZeroAndEmptyCombos)
{
    CustData &w = open({});
    expectCount(0);
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->count(), 0);
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo2")->count(), 0);
    EXPECT_FALSE(test::control<QTableView>(&w, "DataGrid1")->currentIndex().isValid());
    EXPECT_TRUE(screen.messages().empty());
}

TEST_F(CustDataTest, StateThenTypeThenTheEmptyStateEntry)
{
    CustData &w = open();
    choose(test::control<QComboBox>(&w, "DataCombo1"), QStringLiteral("CA"));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral("Baker Bros"), QStringLiteral("bamboo"),
                                         QStringLiteral("Birch Ltd")}));
    expectCount(3);
    EXPECT_TRUE(test::control<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().row(), 0);

    choose(test::control<QComboBox>(&w, "DataCombo2"), QStringLiteral("Retail"));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral("Baker Bros"), QStringLiteral("bamboo")}));
    expectCount(2);

    // The empty state entry removes every filter, the type's too, though its combo keeps its text.
    choose(test::control<QComboBox>(&w, "DataCombo1"), QString());
    expectCount(6);
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo2")->currentText(), u"Retail");
    EXPECT_FALSE(w.customers()->stateFilter().has_value());
    EXPECT_FALSE(w.customers()->typeFilter().has_value());
    EXPECT_TRUE(w.printHeader().lines.isEmpty());
}

TEST_F(CustDataTest, TypedValuesWithApostrophesFilterAsTyped)
{
    CustData &w = open();
    QLineEdit *typeBox = test::control<QComboBox>(&w, "DataCombo2")->lineEdit();
    typeBox->selectAll();
    QTest::keyClicks(typeBox, QStringLiteral("o'brien & sons"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("Cedar's Café")});
    expectCount(1);
    EXPECT_EQ(w.printHeader().lines, QStringList{QStringLiteral("Type Filter: o'brien & sons")});

    typeBox->selectAll();
    QTest::keyClicks(typeBox, QStringLiteral("Retail%"));
    expectCount(0);
}

TEST_F(CustDataTest, GoToJumpsToTheFirstNameWithTheLetterWithinTheFilter)
{
    CustData &w = open();
    QTest::keyClicks(test::control<QLineEdit>(&w, "Text2"), QStringLiteral("b"));
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().row(), 1); // Baker Bros
    EXPECT_EQ(w.customers()->currentRow(), 1);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Text2")->text().isEmpty());

    QTest::keyClicks(test::control<QLineEdit>(&w, "Text2"), QStringLiteral("D"));
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().row(), 5);

    QTest::keyClicks(test::control<QLineEdit>(&w, "Text2"), QStringLiteral("z"));
    EXPECT_FALSE(test::control<QTableView>(&w, "DataGrid1")->currentIndex().isValid());
    EXPECT_FALSE(test::control<QTableView>(&w, "DataGrid1")->selectionModel()->hasSelection());
    EXPECT_EQ(w.customers()->currentRow(), -1);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Text2")->text().isEmpty());

    choose(test::control<QComboBox>(&w, "DataCombo2"), QStringLiteral("Wholesale"));
    QTest::keyClicks(test::control<QLineEdit>(&w, "Text2"), QStringLiteral("B"));
    EXPECT_EQ(test::control<QTableView>(&w, "DataGrid1")->currentIndex().data().toString(),
              u"Birch Ltd");
}

TEST_F(CustDataTest, ClickingARowMakesItCurrent)
{
    CustData &w = open();
    test::control<QTableView>(&w, "DataGrid1")
        ->setCurrentIndex(test::control<QTableView>(&w, "DataGrid1")->model()->index(4, 3));
    EXPECT_EQ(w.customers()->currentRow(), 4);
}

TEST_F(CustDataTest, ClearFilterReadsTheWindowAfresh)
{
    CustData &w = open();
    choose(test::control<QComboBox>(&w, "DataCombo1"), QStringLiteral("TX"));
    expectCount(1);
    insertCustomers(folder.path(),
                    {{QStringLiteral("Elm"), QStringLiteral("WA"), QStringLiteral("Retail")}});
    expectCount(1); // the window keeps what it read

    test::control<QPushButton>(&w, "Command1")->click();
    expectCount(7);
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->currentText(), u"State");
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo2")->currentText(), u"Type");
    EXPECT_EQ(test::control<QComboBox>(&w, "DataCombo1")->count(), 5); // WA added, nothing twice
    EXPECT_FALSE(test::control<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_FALSE(w.customers()->stateFilter().has_value());
}

TEST_F(CustDataTest, ALoadErrorNamesItsStepAndLeavesTheWindowOpen)
{
    struct Case {
        const char *what;
        std::function<void(const QString &folder)> prepare;
        int step;
    };
    const std::vector<Case> cases = {
        {"no database", [](const QString &) {}, 10},
        {"no Customers table",
         [](const QString &path) {
             ensureLocalDb(path);
             openLocalDb(path).execute(QStringLiteral("Drop Table Customers"));
         },
         20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempAppFolder place;
        ScriptedScreen messages;
        ProgramState local(place.path(), messages);
        c.prepare(place.path());
        messages.answerNext(Answer::Ok);
        CustData failed(local);
        ASSERT_EQ(messages.messages().size(), 1u);
        const auto &message = messages.messages().front();
        const QString prefix =
            QStringLiteral(
                "An unexpected error has occurred while loading form CustData on line %1\r\r")
                .arg(c.step);
        EXPECT_TRUE(message.text.startsWith(prefix)) << message.text.toStdString();
        EXPECT_TRUE(message.text.endsWith(QStringLiteral("\r\rCurrent Path: ") + place.path()));
        EXPECT_GT(message.text.size(), prefix.size() + 20); // the database's own description
        EXPECT_EQ(message.title, kAppTitle);
        EXPECT_EQ(message.buttons, Buttons::Ok);
        EXPECT_EQ(failed.customers(), nullptr);
        EXPECT_EQ(test::control<QTableView>(&failed, "DataGrid1")->model()->rowCount(), 0);
        QTest::keyClicks(test::control<QLineEdit>(&failed, "Text2"),
                         QStringLiteral("a")); // the window still answers
        EXPECT_TRUE(test::control<QLineEdit>(&failed, "Text2")->text().isEmpty());
    }
}

TEST_F(CustDataTest, PrintOpensTheFieldDialogWithoutWaiting)
{
    CustData &w = open();
    test::control<QPushButton>(&w, "Command2")->click();
    auto *dialog = w.findChild<CustFlds *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), u"Customer Fields");
    EXPECT_EQ(test::control<QLabel>(dialog, "Label1")->text(),
              u"Select the field(s) you want to print on your report");
    ASSERT_EQ(test::control<QListWidget>(dialog, "List1")->count(), 50);
    EXPECT_EQ(test::control<QListWidget>(dialog, "List1")->item(0)->text(), u"ListID");
    EXPECT_EQ(test::control<QListWidget>(dialog, "List1")->item(1)->text(), u"Name");
    EXPECT_EQ(test::control<QListWidget>(dialog, "List1")->selectedItems().size(), 1);
    EXPECT_TRUE(test::control<QListWidget>(dialog, "List1")->item(0)->isSelected());

    // Each click toggles one entry; with none chosen there is nothing to print.
    test::control<QListWidget>(dialog, "List1")->item(0)->setSelected(false);
    EXPECT_FALSE(test::control<QPushButton>(dialog, "Command1")->isEnabled());
    test::control<QListWidget>(dialog, "List1")->item(1)->setSelected(true);
    EXPECT_TRUE(test::control<QPushButton>(dialog, "Command1")->isEnabled());

    // Closing the browser takes its open dialogs with it.
    QPointer<CustFlds> guard(dialog);
    delete window;
    window = nullptr;
    EXPECT_TRUE(guard.isNull());
}
