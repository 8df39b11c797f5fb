#include "analysis/ItemAgingExport.h"

#include "reporting/MemoryRows.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"

#include <QDate>
#include <QFile>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// Four items: two customers of Widget, none of Gadget and wiper, one of Gizmo; Gadget and
// Gizmo have no description.
std::shared_ptr<reporting::MemoryRows> analyzerRows()
{
    auto rows = std::make_shared<reporting::MemoryRows>(
        QStringList{s("Name"), s("Desc"), s("ListID")}, s("Child"),
        QStringList{s("Customer"), s("Purchases"), s("QtyTot"), s("SalesTot"), s("LastPurch"),
                    s("FirstPurch"), s("Class"), s("State"), s("Type"), s("ListID")});
    const int widget = rows->addRow({s("Widget"), s("Blue widget"), s("I1")});
    rows->addChild(widget, {s("Acme"), 2, 5.0, 1234.5, QDate(2026, 3, 4), QDate(2026, 1, 2),
                            s("East"), s("NY"), s("Retail"), s("C1")});
    rows->addChild(widget, {s("O'Neil"), 1, 1.0, 10.0, QDate(2026, 2, 1), QDate(2026, 2, 1),
                            QVariant(), s("MA"), QVariant(), s("C2")});
    rows->addRow({s("Gadget"), QVariant(), s("I2")});
    const int gizmo = rows->addRow({s("Gizmo"), QVariant(), s("I3")});
    rows->addChild(gizmo, {s("Bob"), 1, 3.0, 7.25, QDate(2026, 5, 6), QDate(2026, 5, 6), QVariant(),
                           s("CT"), s("Trade"), s("C3")});
    rows->addRow({s("wiper"), s("Wet"), s("I4")});
    return rows;
}

QStringList summary(const std::vector<std::vector<QVariant>> &rows)
{
    QStringList out;
    for (const auto &row : rows)
        out << row[0].toString() + u'|' + row[1].toString() + u'|' + row[2].toString() + u'|' +
                   row[3].toString();
    return out;
}

TEST(ItemAgingExport, RowsByCriterionAndFilterEachWithItsOwnItem)
{
    const auto items = analyzerRows();
    struct Case {
        const char *name;
        ItemFilter filter;
        ExportCriterion criterion;
        QStringList expected;
    };
    const QString acme = s("Widget|Blue widget|I1|Acme");
    const QString oneil = s("Widget|Blue widget|I1|O'Neil");
    const QString gadget = s("Gadget||I2|");
    const QString bob = s("Gizmo||I3|Bob");
    const QString wiper = s("wiper|Wet|I4|");
    const Case cases[] = {
        {"all", {}, ExportCriterion::AllItems, {acme, oneil, gadget, bob, wiper}},
        {"with sales", {}, ExportCriterion::WithSales, {acme, oneil, bob}},
        {"without sales", {}, ExportCriterion::WithoutSales, {gadget, wiper}},
        {"name filter folds case",
         {s("Name"), s("WI")},
         ExportCriterion::AllItems,
         {acme, oneil, wiper}},
        {"desc filter", {s("Desc"), s("bl")}, ExportCriterion::AllItems, {acme, oneil}},
        {"filter and criterion", {s("Name"), s("w")}, ExportCriterion::WithoutSales, {wiper}},
        {"apostrophe filter", {s("Name"), s("O'")}, ExportCriterion::AllItems, {}},
        {"nothing left", {s("Name"), s("zz")}, ExportCriterion::AllItems, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(summary(itemExportRows(*items, c.filter, c.criterion)), c.expected) << c.name;
}

// A sale is a purchase or a sales total: a service sold without a quantity is a sale.
TEST(ItemAgingExport, ServiceSoldWithoutQuantityCountsAsASale)
{
    auto rows = std::make_shared<reporting::MemoryRows>(
        QStringList{s("Name"), s("Desc"), s("ListID")}, s("Child"),
        QStringList{s("Customer"), s("Purchases"), s("QtyTot"), s("SalesTot"), s("LastPurch"),
                    s("FirstPurch"), s("Class"), s("State"), s("Type"), s("ListID")});
    const int setup = rows->addRow({s("Setup"), s("Installation"), s("S1")});
    rows->addChild(setup, {s("Acme"), 1, QVariant(), 20.0, QDate(2026, 3, 4), QDate(2026, 3, 4),
                           QVariant(), s("NY"), QVariant(), s("C1")});
    rows->addRow({s("Unsold"), QVariant(), s("S2")});
    EXPECT_EQ(summary(itemExportRows(*rows, {}, ExportCriterion::WithSales)),
              QStringList{s("Setup|Installation|S1|Acme")});
    EXPECT_EQ(summary(itemExportRows(*rows, {}, ExportCriterion::WithoutSales)),
              QStringList{s("Unsold||S2|")});
}

// A description past what a cell holds no longer fails the export: it is cut, and the
// message says so.
TEST(ItemAgingExport, OverlongTextIsCutAndTheMessageSaysSo)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    auto rows = analyzerRows();
    rows->addRow({s("Long"), QString(40000, u'd'), s("I9")});
    state.itemAging() = rows;
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(exportItemAgingTo(state, {}, ExportCriterion::AllItems, folder.file(s("Docs"))));
    const QString path = folder.file(s("Docs/ItemAnalyzerData.xlsx"));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Data Exported");
    EXPECT_EQ(screen.messages()[0].text, s("Your Item Analyzer data has been exported to ") + path +
                                             QChar(13) + reporting::cutCellsNote(1));
    const auto cells = test::readXlsxSheet(path);
    EXPECT_EQ(cells[s("B8")].text, QString(reporting::Workbook::kMaxCellText, u'd'));
}

TEST(ItemAgingExport, WorkbookHasHeadingsThenDataFromA3)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    state.itemAging() = analyzerRows();
    screen.answerNext(Answer::Ok);

    ASSERT_TRUE(exportItemAgingTo(state, {}, ExportCriterion::WithSales, folder.file(s("Docs"))));
    const QString path = folder.file(s("Docs/ItemAnalyzerData.xlsx"));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Data Exported");
    EXPECT_EQ(screen.messages()[0].text, s("Your Item Analyzer data has been exported to ") + path);
    EXPECT_FALSE(screen.busy());

    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_XLSX"); !keep.isEmpty())
        QFile::copy(path, keep); // to open it in a spreadsheet program by hand
    auto cells = test::readXlsxSheet(path);
    const char *columns = "ABCDEFGHIJKLM";
    for (int i = 0; i < kItemExportFields.size(); ++i) {
        const QString ref = QString(QLatin1Char(columns[i])) + u'1';
        EXPECT_EQ(cells[ref].text, kItemExportFields[i]);
        EXPECT_TRUE(cells[ref].bold) << ref.toStdString();
    }
    for (auto it = cells.begin(); it != cells.end(); ++it)
        EXPECT_FALSE(it.key().endsWith(u'2') && it.key().size() == 2) << it.key().toStdString();
    EXPECT_EQ(test::lastRow(cells), 5);
    EXPECT_EQ(cells[s("A3")].text, u"Widget");
    EXPECT_EQ(cells[s("B4")].text, u"Blue widget");
    EXPECT_EQ(cells[s("C4")].text, u"I1");
    EXPECT_EQ(cells[s("D4")].text, u"O'Neil");
    EXPECT_EQ(cells[s("A5")].text, u"Gizmo");
    EXPECT_FALSE(cells.contains(s("B5"))); // Gizmo's own empty description, not Widget's
    EXPECT_EQ(cells[s("E3")].type, u"n");
    EXPECT_EQ(cells[s("G3")].text, u"1234.5");
    EXPECT_EQ(cells[s("G3")].numberFormat, u"#,##0.00");
    EXPECT_EQ(cells[s("H3")].numberFormat, u"m/d/yyyy");
    EXPECT_EQ(cells[s("M5")].text, u"C3");
    EXPECT_FALSE(cells[s("A3")].bold);

    // Nothing chosen: the headings alone, and the message all the same.
    screen.answerNext(Answer::Ok);
    ASSERT_TRUE(exportItemAgingTo(state, {s("Name"), s("zz")}, ExportCriterion::AllItems,
                                  folder.file(s("Docs"))));
    cells = test::readXlsxSheet(path);
    EXPECT_EQ(test::lastRow(cells), 1);
    EXPECT_EQ(screen.messages().size(), 2u);
}

TEST(ItemAgingExport, FailureIsReportedNotThrown)
{
    test::TempAppFolder folder;
    folder.write(s("NotAFolder"), "x");
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    state.itemAging() = analyzerRows();
    screen.answerNext(Answer::Ok);

    EXPECT_FALSE(
        exportItemAgingTo(state, {}, ExportCriterion::AllItems, folder.file(s("NotAFolder"))));
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Export Failed");
    EXPECT_FALSE(screen.busy());
}

} // namespace
