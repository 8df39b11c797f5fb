#include "analysis/ui/ExportCrit.h"

#include "reporting/MemoryRows.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

TEST(ExportCrit, OpensWithNothingChosenAndMapsOptions)
{
    ExportCrit dialog;
    EXPECT_EQ(dialog.windowTitle(), u"Export Criteria");
    EXPECT_FALSE(test::control<QRadioButton>(&dialog, "Option1")->isChecked() ||
                 test::control<QRadioButton>(&dialog, "Option2")->isChecked() ||
                 test::control<QRadioButton>(&dialog, "Option3")->isChecked());
    EXPECT_EQ(dialog.criterion(), ExportCriterion::AllItems);
    dialog.show();
    EXPECT_EQ(dialog.focusWidget(), test::control<QRadioButton>(&dialog, "Option1"));
    EXPECT_FALSE(test::control<QRadioButton>(&dialog, "Option1")->isChecked());
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PNG"); !keep.isEmpty())
        dialog.grab().save(keep); // to look at the dialog by hand
    test::control<QRadioButton>(&dialog, "Option1")->setChecked(true);
    EXPECT_EQ(dialog.criterion(), ExportCriterion::WithSales);
    test::control<QRadioButton>(&dialog, "Option2")->setChecked(true);
    EXPECT_FALSE(test::control<QRadioButton>(&dialog, "Option1")->isChecked());
    EXPECT_EQ(dialog.criterion(), ExportCriterion::WithoutSales);
    test::control<QRadioButton>(&dialog, "Option3")->setChecked(true);
    EXPECT_EQ(dialog.criterion(), ExportCriterion::AllItems);
}

// Answers the next modal ExportCrit: picks `option` (none when null) and presses "&OK", or
// closes it when `ok` is false.
void answerDialog(const char *option, bool ok)
{
    QTimer::singleShot(0, [option, ok] {
        auto *dialog = qobject_cast<ExportCrit *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (option)
            dialog->findChild<QRadioButton *>(QString::fromLatin1(option))->setChecked(true);
        if (ok)
            QTest::mouseClick(test::control<QPushButton>(dialog, "Command1"), Qt::LeftButton);
        else
            dialog->reject();
    });
}

TEST(ExportCrit, ExportTakesTheChosenRowsAndCancelWritesNothing)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    auto rows = std::make_shared<reporting::MemoryRows>(
        QStringList{QStringLiteral("Name"), QStringLiteral("Desc"), QStringLiteral("ListID")},
        QStringLiteral("Child"),
        QStringList{QStringLiteral("Customer"), QStringLiteral("Purchases"),
                    QStringLiteral("QtyTot")});
    rows->addChild(rows->addRow({QStringLiteral("Sold")}), {QStringLiteral("Acme"), 1, 1});
    rows->addRow({QStringLiteral("Unsold")});
    state.itemAging() = rows;
    const QString path = folder.file(QStringLiteral("ItemAnalyzerData.xlsx"));

    answerDialog(nullptr, false);
    exportItemAging(state, {}, nullptr, folder.path());
    EXPECT_FALSE(folder.exists(QStringLiteral("ItemAnalyzerData.xlsx")));
    EXPECT_TRUE(screen.messages().empty());

    answerDialog("Option2", true);
    screen.answerNext(Answer::Ok);
    exportItemAging(state, {}, nullptr, folder.path());
    auto cells = test::readXlsxSheet(path);
    EXPECT_EQ(test::lastRow(cells), 3);
    EXPECT_EQ(cells[QStringLiteral("A3")].text, u"Unsold");

    answerDialog(nullptr, true);
    screen.answerNext(Answer::Ok);
    exportItemAging(state, {}, nullptr, folder.path());
    EXPECT_EQ(test::lastRow(test::readXlsxSheet(path)), 4);
}

} // namespace
