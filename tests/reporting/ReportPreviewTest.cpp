#include "SampleReport.h"

#include "reporting/ui/ReportPreview.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace corvina::reporting;
using namespace corvina::reporting::test;
using namespace Qt::StringLiterals;

namespace {

class PreviewWindow : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override
    {
        delete preview;
        QLocale::setDefault(QLocale::c());
    }

    void open(int customers, int invoices)
    {
        preview = showReport(salesRows(customers, invoices), salesLayout());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
    }
    void waitForAllPages()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return preview->document().pages().isComplete(); }));
        QApplication::processEvents();
    }
    // Enabled state of first, previous, next and last.
    std::vector<bool> buttons() const
    {
        return {preview->firstPage->isEnabled(), preview->previousPage->isEnabled(),
                preview->nextPage->isEnabled(), preview->lastPage->isEnabled()};
    }

    ReportPreview *preview = nullptr;
};

TEST_F(PreviewWindow, OpensOnTheFirstPageAndLearnsThePageCount)
{
    open(12, 5);
    EXPECT_EQ(preview->windowTitle(), u"Customer Sales By State");
    EXPECT_EQ(preview->currentPage(), 0);
    EXPECT_EQ(preview->pageNumber->text(), u"1");
    waitForAllPages();
    const int count = preview->document().pages().pageCount();
    ASSERT_GE(count, 4);
    EXPECT_EQ(preview->pageCountLabel->text(), u"of %1"_s.arg(count));
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, true, true}));
    EXPECT_NE(preview->findChild<QPushButton *>(u"printButton"_s), nullptr);
}

TEST_F(PreviewWindow, NavigatesWithTheButtonsAndTheTypedPage)
{
    open(12, 5);
    waitForAllPages();
    const int count = preview->document().pages().pageCount();
    QSignalSpy shown(preview, &ReportPreview::pageShown);

    QTest::mouseClick(preview->nextPage, Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 1);
    EXPECT_EQ(preview->pageNumber->text(), u"2");
    EXPECT_EQ(buttons(), (std::vector<bool>{true, true, true, true}));

    QTest::mouseClick(preview->lastPage, Qt::LeftButton);
    EXPECT_EQ(preview->pageNumber->text(), QString::number(count));
    EXPECT_EQ(buttons(), (std::vector<bool>{true, true, false, false}));

    QTest::mouseClick(preview->previousPage, Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), count - 2);

    preview->pageNumber->selectAll();
    QTest::keyClicks(preview->pageNumber, u"3"_s);
    QTest::keyClick(preview->pageNumber, Qt::Key_Return);
    EXPECT_EQ(preview->currentPage(), 2);

    // Past the end shows the last page; the box always shows the page in view.
    preview->pageNumber->selectAll();
    QTest::keyClicks(preview->pageNumber, u"999"_s);
    QTest::keyClick(preview->pageNumber, Qt::Key_Return);
    EXPECT_EQ(preview->currentPage(), count - 1);
    EXPECT_EQ(preview->pageNumber->text(), QString::number(count));

    QTest::mouseClick(preview->firstPage, Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 0);
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(shown.size(), 6);
}

TEST_F(PreviewWindow, ZoomScalesThePage)
{
    open(2, 2);
    QWidget *page = preview->scrollArea->widget();
    preview->setZoom(1.0);
    EXPECT_EQ(preview->zoomBox->currentText(), u"100%");
    const int actual = page->width();
    preview->zoomBox->setCurrentIndex(preview->zoomBox->findText(u"50%"_s));
    emit preview->zoomBox->activated(preview->zoomBox->currentIndex());
    EXPECT_NEAR(page->width(), actual / 2 + 12, 2); // the grey gap around the page stays
    preview->resize(500, 600);
    QApplication::processEvents();
    preview->setZoom(0); // fit width
    QApplication::processEvents();
    EXPECT_EQ(preview->zoomBox->currentText(), u"Fit Width");
    EXPECT_LE(page->width(), preview->scrollArea->viewport()->width() + 1);
    EXPECT_GT(page->width(), preview->scrollArea->viewport()->width() - 30);
}

TEST_F(PreviewWindow, ALongReportOpensAtOnceAndCountsItsPagesLater)
{
    preview = showReport(salesRows(20000, 5), salesLayout());
    // Before any idle time only the first page is laid out.
    EXPECT_EQ(preview->document().pages().knownPageCount(), 1);
    EXPECT_EQ(preview->pageCountLabel->text(), u"of 1+");
    EXPECT_TRUE(preview->nextPage->isEnabled());
    QTest::mouseClick(preview->nextPage, Qt::LeftButton);
    EXPECT_EQ(preview->pageNumber->text(), u"2");
    waitForAllPages();
    EXPECT_EQ(preview->pageCountLabel->text(),
              u"of %1"_s.arg(preview->document().pages().knownPageCount()));
    EXPECT_GT(preview->document().pages().knownPageCount(), 5000);
}

TEST_F(PreviewWindow, AReportWithoutRowsShowsOneEmptyPage)
{
    open(0, 0);
    waitForAllPages();
    EXPECT_EQ(preview->pageCountLabel->text(), u"of 1");
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, false, false}));
    EXPECT_FALSE(preview->showPage(1));
}

} // namespace
