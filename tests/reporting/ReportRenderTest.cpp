#include "SampleReport.h"

#include "reporting/ui/ReportDocument.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvina::reporting;
using namespace corvina::reporting::test;
using namespace Qt::StringLiterals;

namespace {

// Runs a poppler tool on a PDF and returns its output; fails the test when the tool is missing.
QString popplerOutput(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        ADD_FAILURE() << tool.toStdString()
                      << " was not found on PATH; scripts/bootstrap installs it (poppler-utils)";
        return {};
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page of a PDF, laid out as printed.
QStringList pdfPages(const QString &path)
{
    QStringList pages = popplerOutput(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s}).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Whether the texts all appear, each after the one before.
bool appearInOrder(const QString &text, const QStringList &needles)
{
    qsizetype from = 0;
    for (const QString &needle : needles) {
        from = text.indexOf(needle, from);
        if (from < 0)
            return false;
        from += needle.size();
    }
    return true;
}

class ReportRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QTemporaryDir dir;
};

TEST_F(ReportRender, PdfHoldsEverySectionInOrderOnTheRightPages)
{
    ReportDocument document(salesRows(9, 5), salesLayout());
    const QString path = dir.filePath(u"sales.pdf"_s);
    QString error;
    ASSERT_TRUE(exportPdf(document, path, &error)) << error.toStdString();

    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), document.pages().pageCount());
    ASSERT_GE(pages.size(), 3);
    const QString all = pages.join(u'\f');
    EXPECT_EQ(all.count(u"Customer Sales By State, Zip"_s), 1);
    EXPECT_TRUE(pages.first().contains(u"Customer Sales By State, Zip"_s));
    for (const QString &page : pages) {
        EXPECT_TRUE(
            appearInOrder(page, {u"Invoice Date"_s, u"Invoice Number"_s, u"Amt"_s, u"Sales Rep"_s}))
            << page.toStdString();
    }
    for (int c = 1; c <= 9; ++c) {
        const QString number = u"%1"_s.arg(c, 3, 10, QLatin1Char('0'));
        // Header, the five invoices with their formatted amounts, then the total of 15,003.75.
        EXPECT_TRUE(appearInOrder(all, {u"Customer:"_s, u"Customer "_s + number, u"State:"_s,
                                        u"S"_s + number.right(2), u"%1-1"_s.arg(c), u"1,000.25"_s,
                                        u"%1-5"_s.arg(c), u"5,001.25"_s, u"Customer Total"_s,
                                        u"15,003.75"_s}))
            << "customer " << c;
    }
    EXPECT_TRUE(appearInOrder(all, {u"Customer 001"_s, u"Customer 004"_s, u"Customer 009"_s}));
    // The invoice date prints in the short date form.
    EXPECT_TRUE(all.contains(u"1/3/24"_s));
}

TEST_F(ReportRender, NoPageEndsOnACustomerHeaderInThePdf)
{
    ReportDocument document(salesRows(12, 3), salesLayout());
    const QString path = dir.filePath(u"kept.pdf"_s);
    ASSERT_TRUE(exportPdf(document, path));
    const QStringList pages = pdfPages(path);
    ASSERT_GE(pages.size(), 2);
    for (const QString &page : pages) {
        const QString tail = page.trimmed().section(u'\n', -1).trimmed();
        EXPECT_FALSE(tail.startsWith(u"State:"_s) || tail.startsWith(u"Customer:"_s))
            << "page ends on a customer header: " << tail.toStdString();
    }
}

TEST_F(ReportRender, PrintingHonoursThePageRangeAndThePrintersPaper)
{
    ReportDocument document(salesRows(7, 5), salesLayout());
    const int letterPages = document.pages().pageCount();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(u"page2.pdf"_s));
    printer.setPageLayout(document.paper());
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    ASSERT_TRUE(printReport(document, printer));
    const QStringList range = pdfPages(dir.filePath(u"page2.pdf"_s));
    ASSERT_EQ(range.size(), 1);
    EXPECT_FALSE(range.first().contains(u"Customer Sales By State, Zip"_s));
    EXPECT_TRUE(range.first().contains(u"Invoice Date"_s));

    QPrinter a5(QPrinter::HighResolution);
    a5.setOutputFormat(QPrinter::PdfFormat);
    a5.setOutputFileName(dir.filePath(u"a5.pdf"_s));
    a5.setPageSize(QPageSize(QPageSize::A5));
    ASSERT_TRUE(printReport(document, a5));
    const QString info = popplerOutput(u"pdfinfo"_s, {dir.filePath(u"a5.pdf"_s)});
    EXPECT_TRUE(info.contains(u"x 595 pts (A5)"_s)) << info.toStdString();
    const QStringList a5Pages = pdfPages(dir.filePath(u"a5.pdf"_s));
    EXPECT_GT(a5Pages.size(), letterPages); // laid out again on the smaller sheet
    EXPECT_TRUE(a5Pages.join(u'\f').contains(u"Customer 007"_s));
    EXPECT_EQ(document.pages().pageCount(), letterPages); // the preview's pages stay as they were
}

TEST_F(ReportRender, ExportToAnUnwritablePlaceFailsWithTheReason)
{
    ReportDocument document(salesRows(1, 1), salesLayout());
    const QString path = dir.filePath(u"missing-folder/sales.pdf"_s);
    QString error;
    EXPECT_FALSE(exportPdf(document, path, &error));
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
}

// Ink (non-white pixels) within the given columns and rows of an image.
int inkIn(const QImage &image, int left, int right, int top, int bottom)
{
    int ink = 0;
    for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y)
        for (int x = std::max(0, left); x < std::min(image.width(), right); ++x)
            ink += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
    return ink;
}

int rightmostInk(const QImage &image, int top, int bottom)
{
    for (int x = image.width() - 1; x >= 0; --x) {
        if (inkIn(image, x, x + 1, top, bottom) > 0)
            return x;
    }
    return -1;
}

TEST_F(ReportRender, TextStaysInItsBoxAndAlignsInIt)
{
    // At 96 DPI, 15 twips are one pixel. Margins 1440 (96 px); rows 300 twips (20 px) apart.
    auto rows = std::make_shared<MemoryRows>(QStringList{u"Long"_s, u"Amount"_s});
    rows->addRow({u"A name far too long for the narrow box it is printed in"_s, 1234.5});
    ReportLayout layout{
        .sections = {detailSection(
            u"Section1"_s, 600, QString(),
            {textBox(u"Text1"_s, u"Long"_s, {0, 0, 1440, 300}),
             textBox(u"Text2"_s, u"Amount"_s, {0, 300, 2880, 300}, Align::Right, u"#,##0.00"_s)})},
    };
    ReportDocument document(rows, layout);
    QImage image(816, 1056, QImage::Format_RGB32);
    ASSERT_EQ(image.logicalDpiX(), 96);
    image.fill(Qt::white);
    QPainter painter(&image);
    ASSERT_TRUE(document.paintPage(painter, 0));
    EXPECT_FALSE(document.paintPage(painter, 1));
    painter.end();

    // The long text is elided within its 96 px box and nothing spills to its right.
    EXPECT_GT(inkIn(image, 96, 192, 96, 116), 50);
    EXPECT_EQ(inkIn(image, 193, 816, 96, 116), 0);
    // The amount ends at the right edge of its 192 px box.
    const int right = rightmostInk(image, 116, 136);
    EXPECT_GE(right, 96 + 192 - 6);
    EXPECT_LE(right, 96 + 192);
    EXPECT_GT(inkIn(image, 96, 96 + 192, 116, 136), 50);
    EXPECT_EQ(inkIn(image, 0, 816, 0, 96), 0);
}

TEST_F(ReportRender, LinesAndHiddenControls)
{
    auto rows = std::make_shared<MemoryRows>(QStringList{u"Name"_s});
    rows->addRow({u"Shown"_s});
    ReportLayout layout{
        .reportWidth = 1440,
        .sections = {detailSection(u"Section1"_s, 600, QString(),
                                   {line(u"Line1"_s, 0, 0, 7200, 0),
                                    textBox(u"Text1"_s, u"Name"_s, {0, 150, 1440, 300}).hidden()})},
    };
    ReportDocument document(rows, layout);
    QImage image(816, 1056, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    document.paintPage(painter, 0);
    painter.end();
    // The rule runs across the report's width of one inch and no further.
    EXPECT_GT(inkIn(image, 96, 192, 95, 98), 90);
    EXPECT_EQ(inkIn(image, 194, 816, 95, 98), 0);
    EXPECT_EQ(inkIn(image, 0, 816, 100, 200), 0); // the hidden text box
}

} // namespace
