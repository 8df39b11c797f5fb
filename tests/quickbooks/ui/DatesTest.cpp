#include "quickbooks/PeriodText.h"
#include "quickbooks/ui/Dates.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class DatesWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        dialog = std::make_unique<Dates>();
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    std::unique_ptr<Dates> dialog;
};

} // namespace

TEST_F(DatesWindow, OpensWithItsCaptionsTodayAndTheFocusInBdate)
{
    EXPECT_EQ(dialog->windowTitle(), u"Period To Retrieve");
    EXPECT_EQ(dialog->Label1->text(), u"Select the beginning and ending date of invoices to be retrieved. Leave both "
                                      u"dates blank to retrieve all invoices."_s);
    EXPECT_EQ(dialog->Command1->text(), u"&OK");
    EXPECT_TRUE(dialog->Bdate->text().isEmpty());
    EXPECT_EQ(readTypedDate(dialog->Edate->text()), QDate::currentDate());
    EXPECT_EQ(QApplication::focusWidget(), dialog->Bdate);
    EXPECT_NE(dialog->findChild<QLineEdit *>(u"Edate"_s), nullptr);
}

TEST_F(DatesWindow, EnterMovesOnAndLeavingNormalisesTheDate)
{
    QTest::keyClicks(dialog->Bdate, u"1/5/2024"_s);
    QTest::keyClick(dialog->Bdate, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), dialog->Edate);
    EXPECT_EQ(dialog->Bdate->text(), u"01/05/2024");
    EXPECT_TRUE(dialog->isVisible()); // Enter in a box does not confirm

    QApplication::processEvents();
    EXPECT_EQ(dialog->Edate->selectedText(), dialog->Edate->text()); // entering Edate selects it
    QTest::keyClicks(dialog->Edate, u"2/29/24"_s); // typing replaces the selection
    QTest::keyClick(dialog->Edate, Qt::Key_Enter);
    EXPECT_EQ(dialog->Edate->text(), u"02/29/2024");
    EXPECT_EQ(QApplication::focusWidget(), dialog->Command1);

    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    QTest::keyClick(dialog->Command1, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DatesWindow, TextThatIsNotADateStaysAsTyped)
{
    QTest::keyClicks(dialog->Bdate, u"13/45/2024"_s);
    QTest::keyClick(dialog->Bdate, Qt::Key_Tab);
    EXPECT_EQ(dialog->Bdate->text(), u"13/45/2024");
    dialog->Edate->clear();
    QTest::keyClick(dialog->Edate, Qt::Key_Tab);
    EXPECT_TRUE(dialog->Edate->text().isEmpty());
}

TEST(TypedDates, ReadInTheLocalesOrder)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    struct Case {
        const char16_t *text;
        QLocale locale;
        QDate expected;
    };
    const Case cases[] = {
        {u"1/5/2024", us, QDate(2024, 1, 5)},
        {u"1/5/2024", uk, QDate(2024, 5, 1)},
        {u"1-5-24", us, QDate(2024, 1, 5)},
        {u"12/31/99", us, QDate(1999, 12, 31)},
        {u"2024-01-05", uk, QDate(2024, 1, 5)},
        {u" 1/5/2024 ", us, QDate(2024, 1, 5)},
        {u"1/5/2024", QLocale::c(), QDate(2024, 1, 5)},
        {u"8 Dec 2026", QLocale::c(), QDate(2026, 12, 8)},
        {u"2/30/2024", us, QDate()},
        {u"1/5/202", us, QDate()},
        {u"tomorrow", us, QDate()},
        {u"1/5/2024 x", us, QDate()},
        {u"", us, QDate()},
    };
    for (const auto &c : cases) {
        const auto read = readTypedDate(QString::fromUtf16(c.text), c.locale);
        EXPECT_EQ(read.value_or(QDate()), c.expected) << QString::fromUtf16(c.text).toStdString();
    }
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), us), u"01/05/2024");
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), uk), u"05/01/2024");
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), QLocale(QLocale::German, QLocale::Germany)), u"05.01.2024");
}
