#include "RepsFixture.h"

#include "analysis/RepsNotSelling.h"
#include "analysis/ui/Reps.h"
#include "reporting/ui/ReportDocument.h"
#include "reporting/ui/ReportPreview.h"
#include "support/Controls.h"
#include "support/PdfText.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

using corvina::test::pdfText;

namespace {

class RepsWindowTest : public RepsFixture {
protected:
    // A window for the item, loaded without refreshing Reps.
    Reps *open(bool allItems, const QString &item)
    {
        screen.answerNext(Answer::No);
        auto *window = new Reps(state, allItems, item);
        m_window = window;
        return window;
    }
    ~RepsWindowTest() override { delete m_window.data(); }

    // The grid's column of that caption, row by row.
    static QStringList gridColumn(const QTableView *grid, const QString &caption)
    {
        const auto *model = grid->model();
        int column = -1;
        for (int c = 0; c < model->columnCount(); ++c) {
            if (model->headerData(c, Qt::Horizontal).toString() == caption)
                column = c;
        }
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, column).data().toString();
        return out;
    }

    QPointer<Reps> m_window;
};

} // namespace

TEST_F(RepsWindowTest, ShowsTheRepsLeftUnderTheItemsLabel)
{
    Reps *window = open(false, u"O'Neil's Door"_s);
    EXPECT_EQ(window->windowTitle(), u"Reps Not Selling"_s);
    EXPECT_EQ(test::control<QLabel>(window, "Label1")->text(),
              u"Rep(s) who have not sold item: O'Neil's Door"_s);
    EXPECT_EQ(test::control<QCheckBox>(window, "Check1")->text(),
              u"Add these Reps to the database for Mail Merge"_s);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(test::control<QPushButton>(window, "Command1")->text(), u"&Print"_s);
    QAbstractItemModelTester tester(test::control<QTableView>(window, "DataGrid1")->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(test::control<QTableView>(window, "DataGrid1")->model()->columnCount(), 3);
    EXPECT_EQ(gridColumn(test::control<QTableView>(window, "DataGrid1"), u"ListID"_s),
              (QStringList{u"R1"_s, u"R2"_s, u"R4"_s}));
    EXPECT_EQ(gridColumn(test::control<QTableView>(window, "DataGrid1"), u"Name"_s),
              (QStringList{u"Jamie M. Howell"_s, u"Robin Tanaka"_s, u"Kim O'Hara"_s}));
    EXPECT_EQ(window->findChild<QTableView *>(u"DataGrid1"_s),
              test::control<QTableView>(window, "DataGrid1"));
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PNG"); !keep.isEmpty())
        window->grab().save(keep); // to look at the window by hand
}

TEST_F(RepsWindowTest, CheckingSavesUncheckingDoesNothingCheckingAgainAsks)
{
    Reps *window = open(true, {});
    EXPECT_EQ(test::control<QLabel>(window, "Label1")->text(),
              u"Rep(s) who have not sold any of the items listed"_s);
    screen.answerNext(Answer::Ok);
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_TRUE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(screen.messages().back().title, u"Data Saved"_s);
    EXPECT_EQ(
        rows(u"SELECT Item, ListID FROM NoSellReps ORDER BY rowid"_s),
        (std::vector<std::vector<QVariant>>{{u"All Items"_s, u"R2"_s}, {u"All Items"_s, u"R4"_s}}));

    const auto before = screen.messages().size();
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_EQ(screen.messages().size(), before);

    screen.answerNext(Answer::No);
    QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
    EXPECT_EQ(screen.messages().back().title, u"Delete Previous Reps"_s);
    EXPECT_EQ(screen.unansweredMessages(), 0);
}

TEST_F(RepsWindowTest, PrintShowsTheGridsRowsInDataReport3)
{
    Reps *window = open(false, u"Hinge 3in"_s);
    QTest::mouseClick(test::control<QPushButton>(window, "Command1"), Qt::LeftButton);
    auto *preview = window->findChild<reporting::ReportPreview *>(u"DataReport3"_s);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->windowTitle(), u"Reps Not Selling"_s);
    EXPECT_TRUE(preview->isWindow());

    const QString pdf = folder.file(u"reps.pdf"_s);
    QString error;
    ASSERT_TRUE(reporting::exportPdf(preview->document(), pdf, &error)) << error.toStdString();
    if (const QString keep = qEnvironmentVariable("CORVINA_KEEP_PDF"); !keep.isEmpty())
        QFile::copy(pdf, keep);
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(u"Reps Not Selling Item Hinge 3in")) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Rep"));
    EXPECT_TRUE(text.contains(u"Name"));
    for (const char16_t *shown : {u"Robin Tanaka", u"NWR", u"Noel W. Reyes", u"KO", u"Kim O'Hara"})
        EXPECT_TRUE(text.contains(QStringView(shown))) << QString::fromUtf16(shown).toStdString();
    EXPECT_FALSE(text.contains(u"Jamie")); // sold the hinge
    // Same rows, same order as the grid.
    EXPECT_LT(text.indexOf(u"Robin Tanaka"), text.indexOf(u"Noel W. Reyes"));
    EXPECT_LT(text.indexOf(u"Noel W. Reyes"), text.indexOf(u"Kim O'Hara"));
    preview->close();
}

TEST_F(RepsWindowTest, UnreadableRepsTableIsReportedAndTheWindowStillOpens)
{
    execute(u"DROP TABLE Reps"_s);
    screen.answerNext(Answer::Ok); // the error report
    auto *window = new Reps(state, false, u"Hinge 3in"_s);
    m_window = window;
    EXPECT_EQ(state.errors().count(), 1);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"Reps"))
        << screen.messages()[0].text.toStdString();
    EXPECT_EQ(test::control<QTableView>(window, "DataGrid1")->model()->rowCount(), 0);
    EXPECT_EQ(test::control<QLabel>(window, "Label1")->text(),
              u"Rep(s) who have not sold item: Hinge 3in"_s);
    // Printing the empty list still gives a report with its title and headings.
    reporting::ReportPreview *preview = window->print();
    ASSERT_NE(preview, nullptr);
    const QString pdf = folder.file(u"empty.pdf"_s);
    ASSERT_TRUE(reporting::exportPdf(preview->document(), pdf));
    EXPECT_TRUE(pdfText(pdf).contains(u"Reps Not Selling Item Hinge 3in"));
}

TEST_F(RepsWindowTest, ShowingAgainBringsTheSameListForwardAndLoadsAnotherItemAfresh)
{
    screen.answerNext(Answer::No);
    QPointer<Reps> hinge = showReps(state, false, u"Hinge 3in"_s);
    ASSERT_FALSE(hinge.isNull());
    EXPECT_EQ(showReps(state, false, u"Hinge 3in"_s), hinge.data()); // no second load, no question
    EXPECT_EQ(screen.messages().size(), 1u);

    screen.answerNext(Answer::No);
    QPointer<Reps> all = showReps(state, true, {});
    EXPECT_NE(all.data(), hinge.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(hinge.isNull()); // the other item's window was closed
    EXPECT_EQ(test::control<QLabel>(all, "Label1")->text(),
              u"Rep(s) who have not sold any of the items listed"_s);
    EXPECT_EQ(screen.unansweredMessages(), 0);
    m_window = all;
}

// A save that fails says so every time, not only as the run's first error, and unchecks
// the box: the mail merge would read the earlier rows.
TEST_F(RepsWindowTest, FailedSaveIsToldEachTimeAndUnchecksTheBox)
{
    execute(u"INSERT INTO NoSellReps (Item, ListID) VALUES ('Old', 'X1');"
            u"ALTER TABLE NoSellReps ADD COLUMN Region TEXT"_s);
    Reps *window = open(true, {});
    window->show();
    for (int attempt = 0; attempt < 2; ++attempt) {
        screen.answerNext(Answer::Ok);
        QTest::mouseClick(test::control<QCheckBox>(window, "Check1"), Qt::LeftButton);
        EXPECT_FALSE(test::control<QCheckBox>(window, "Check1")->isChecked());
        EXPECT_EQ(screen.messages().back().title, u"Reps Not Added"_s);
        EXPECT_TRUE(screen.messages().back().text.contains(u"Region"_s));
    }
    EXPECT_EQ(rows(u"SELECT Item FROM NoSellReps"_s),
              (std::vector<std::vector<QVariant>>{{u"Old"_s}}));
    EXPECT_EQ(screen.unansweredMessages(), 0);
}
