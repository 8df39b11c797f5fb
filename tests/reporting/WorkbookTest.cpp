#include "reporting/Workbook.h"

#include "support/TempAppFolder.h"
#include "support/XlsxRead.h"

#include <QDate>
#include <QFile>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::reporting;

namespace {

TEST(Workbook, KeepsKindsAndStylesOfCells)
{
    test::TempAppFolder folder;
    Workbook book;
    const int sheet = book.addSheet();
    book.setCell(sheet, 0, 0, QStringLiteral("Heading"), CellStyle{true, false, {}});
    book.setCell(sheet, 0, 1, QStringLiteral("Both"), CellStyle{true, true, {}});
    book.setRow(sheet, 2, 0,
                {QVariant(42), QVariant(1234.5), QVariant(QDate(2026, 3, 4)),
                 QVariant(QStringLiteral("O'Brien & Co <x>")), QVariant(), QVariant(true),
                 QVariant(QStringLiteral("007"))});
    book.setCell(sheet, 3, 0, 1234.5, CellStyle{false, false, QStringLiteral("#,##0.00")});
    QString error;
    ASSERT_TRUE(book.save(folder.file(QStringLiteral("b.xlsx")), &error)) << error.toStdString();

    const auto cells = test::readXlsxSheet(folder.file(QStringLiteral("b.xlsx")));
    EXPECT_TRUE(cells[QStringLiteral("A1")].bold);
    EXPECT_FALSE(cells[QStringLiteral("A1")].italic);
    EXPECT_TRUE(cells[QStringLiteral("B1")].italic);
    EXPECT_EQ(cells[QStringLiteral("A3")].type, u"n");
    EXPECT_EQ(cells[QStringLiteral("A3")].text, u"42");
    EXPECT_EQ(cells[QStringLiteral("B3")].text, u"1234.5");
    EXPECT_FALSE(cells[QStringLiteral("A3")].bold);
    // 4 March 2026 is day 46085 of Excel's calendar.
    EXPECT_EQ(cells[QStringLiteral("C3")].text, u"46085");
    EXPECT_EQ(cells[QStringLiteral("C3")].numberFormat, u"m/d/yyyy");
    EXPECT_EQ(cells[QStringLiteral("D3")].type, u"s");
    EXPECT_EQ(cells[QStringLiteral("D3")].text, u"O'Brien & Co <x>");
    EXPECT_FALSE(cells.contains(QStringLiteral("E3")));
    EXPECT_EQ(cells[QStringLiteral("F3")].type, u"b");
    EXPECT_EQ(cells[QStringLiteral("G3")].text, u"007");
    EXPECT_EQ(cells[QStringLiteral("A4")].numberFormat, u"#,##0.00");
    EXPECT_EQ(test::lastRow(cells), 4);
}

TEST(Workbook, CellsSetInAnyOrderLandOnTheirSheets)
{
    test::TempAppFolder folder;
    Workbook book;
    const int first = book.addSheet(QStringLiteral("First"));
    const int second = book.addSheet();
    book.setCell(second, 4, 2, QStringLiteral("late"));
    book.setCell(second, 0, 1, QStringLiteral("early"));
    book.setCell(first, 9, 0, 1.5);
    book.setCell(second, 4, 0, QStringLiteral("left"));
    QString error;
    ASSERT_TRUE(book.save(folder.file(QStringLiteral("two.xlsx")), &error)) << error.toStdString();
    auto cells = test::readXlsxSheet(folder.file(QStringLiteral("two.xlsx")), 2);
    EXPECT_EQ(cells[QStringLiteral("C5")].text, u"late");
    EXPECT_EQ(cells[QStringLiteral("A5")].text, u"left");
    EXPECT_EQ(cells[QStringLiteral("B1")].text, u"early");
    EXPECT_FALSE(cells.contains(QStringLiteral("B5")));
    EXPECT_EQ(
        test::readXlsxSheet(folder.file(QStringLiteral("two.xlsx")), 1)[QStringLiteral("A10")].text,
        u"1.5");
}

TEST(Workbook, FailuresLeaveTheOldFileAndSayWhy)
{
    test::TempAppFolder folder;
    folder.write(QStringLiteral("old.xlsx"), "old");
    QString error;

    Workbook tooBig;
    tooBig.setCell(tooBig.addSheet(), Workbook::kMaxRows, 0, 1);
    tooBig.setCell(0, 0, -1, 1);
    EXPECT_FALSE(tooBig.save(folder.file(QStringLiteral("old.xlsx")), &error));
    EXPECT_TRUE(error.contains(u"more rows"));

    Workbook badName;
    badName.addSheet(QStringLiteral("a/b"));
    error.clear();
    EXPECT_FALSE(badName.save(folder.file(QStringLiteral("old.xlsx")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(folder.read(QStringLiteral("old.xlsx")), "old");
    EXPECT_FALSE(folder.exists(QStringLiteral("old.xlsx.part")));

    Workbook fine;
    fine.addSheet();
    error.clear();
    EXPECT_FALSE(fine.save(folder.file(QStringLiteral("missing/x.xlsx")), &error));
    EXPECT_TRUE(error.contains(u"does not exist"));
    EXPECT_TRUE(fine.save(folder.file(QStringLiteral("old.xlsx")), &error));
    EXPECT_NE(folder.read(QStringLiteral("old.xlsx")), "old");
}

// A text longer than a cell holds is written cut to the limit, never through a character
// made of two UTF-16 units, and counted; the rest of the sheet is written as usual.
TEST(Workbook, TextsPastTheCellLimitAreCutAndCounted)
{
    test::TempAppFolder folder;
    const QString exact(Workbook::kMaxCellText, u'e');
    const QString tooLong = QString(Workbook::kMaxCellText + 10, u'x');
    // An emoji (two units) straddling the limit is left out whole.
    const QString straddling =
        QString(Workbook::kMaxCellText - 1, u'y') + QStringLiteral("\U0001F600z");
    Workbook book;
    const int sheet = book.addSheet();
    book.setRow(sheet, 0, 0, {exact, tooLong, straddling, QStringLiteral("after")});
    QString error;
    int cut = -1;
    ASSERT_TRUE(book.save(folder.file(QStringLiteral("long.xlsx")), &error, &cut))
        << error.toStdString();
    EXPECT_EQ(cut, 2);
    auto cells = test::readXlsxSheet(folder.file(QStringLiteral("long.xlsx")));
    EXPECT_EQ(cells[QStringLiteral("A1")].text, exact);
    EXPECT_EQ(cells[QStringLiteral("B1")].text, tooLong.left(Workbook::kMaxCellText));
    EXPECT_EQ(cells[QStringLiteral("C1")].text, straddling.left(Workbook::kMaxCellText - 1));
    EXPECT_EQ(cells[QStringLiteral("D1")].text, QStringLiteral("after"));

    WorkbookWriter writer(folder.file(QStringLiteral("stream.xlsx")));
    writer.setCell(0, 0, tooLong);
    writer.setCell(1, 0, exact);
    ASSERT_TRUE(writer.finish(&error)) << error.toStdString();
    EXPECT_EQ(writer.cutCells(), 1);
    cells = test::readXlsxSheet(folder.file(QStringLiteral("stream.xlsx")));
    EXPECT_EQ(cells[QStringLiteral("A1")].text.size(), Workbook::kMaxCellText);
    EXPECT_TRUE(cutCellsNote(0).isEmpty());
    EXPECT_TRUE(cutCellsNote(3).startsWith(QStringLiteral("3 cells held more than 32,767")));
}

TEST(WorkbookWriter, WritesRowsAsTheyComeAndReplacesTheFileOnlyWhenDone)
{
    test::TempAppFolder folder;
    const QString path = folder.file(QStringLiteral("w.xlsx"));
    folder.write(QStringLiteral("w.xlsx"), "old");
    {
        WorkbookWriter abandoned(path);
        abandoned.setCell(0, 0, QStringLiteral("never finished"));
    }
    EXPECT_EQ(folder.read(QStringLiteral("w.xlsx")), "old");
    EXPECT_FALSE(folder.exists(QStringLiteral("w.xlsx.part")));

    WorkbookWriter book(path);
    book.setCell(0, 0, QStringLiteral("Heading"), CellStyle{true, false, {}});
    book.setCell(2, 0, QStringLiteral("O'Brien & Co <x>"));
    book.setCell(2, 1, 1234.5, CellStyle{false, false, QStringLiteral("#,##0.00")});
    book.setCell(2, 2, QDate(2026, 3, 4));
    book.setCell(2, 3, QVariant());
    QString error;
    ASSERT_TRUE(book.finish(&error)) << error.toStdString();
    const auto cells = test::readXlsxSheet(path);
    EXPECT_TRUE(cells[QStringLiteral("A1")].bold);
    EXPECT_EQ(cells[QStringLiteral("A3")].text, u"O'Brien & Co <x>");
    EXPECT_EQ(cells[QStringLiteral("B3")].numberFormat, u"#,##0.00");
    EXPECT_EQ(cells[QStringLiteral("C3")].text, u"46085");
    EXPECT_FALSE(cells.contains(QStringLiteral("D3")));
    EXPECT_EQ(test::lastRow(cells), 3);

    // A row past the sheet's end fails the whole file; the finished one stays.
    WorkbookWriter tooLong(path);
    tooLong.setCell(0, 0, 1);
    tooLong.setCell(Workbook::kMaxRows, 0, 1);
    EXPECT_FALSE(tooLong.finish(&error));
    EXPECT_TRUE(error.contains(u"more rows"));
    EXPECT_EQ(test::readXlsxSheet(path)[QStringLiteral("A3")].text, u"O'Brien & Co <x>");
    EXPECT_FALSE(folder.exists(QStringLiteral("w.xlsx.part")));

    WorkbookWriter nowhere(folder.file(QStringLiteral("missing/x.xlsx")));
    nowhere.setCell(0, 0, 1);
    EXPECT_FALSE(nowhere.finish(&error));
    EXPECT_TRUE(error.contains(u"does not exist"));
}

} // namespace
