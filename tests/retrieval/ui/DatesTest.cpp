#include "retrieval/ui/Dates.h"
#include "retrieval/PeriodText.h"
#include "support/Controls.h"

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

const QDate kToday(2026, 12, 8);

class DatesWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        dialog = std::make_unique<Dates>(kToday);
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
    EXPECT_EQ(test::control<QLabel>(dialog.get(), "Label1")->text(),
              u"Select the beginning and ending date of invoices to be retrieved. Leave both "
              u"dates blank to retrieve all invoices."_s);
    EXPECT_EQ(test::control<QPushButton>(dialog.get(), "Command1")->text(), u"&OK");
    EXPECT_TRUE(test::control<QLineEdit>(dialog.get(), "Bdate")->text().isEmpty());
    EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Edate")->text(),
              u"12/08/2026"); // today, from the clock it was given
    EXPECT_EQ(QApplication::focusWidget(), test::control<QLineEdit>(dialog.get(), "Bdate"));
    EXPECT_NE(dialog->findChild<QLineEdit *>(u"Edate"_s), nullptr);
}

TEST_F(DatesWindow, EnterMovesOnAndLeavingNormalisesTheDate)
{
    QTest::keyClicks(test::control<QLineEdit>(dialog.get(), "Bdate"), u"1/5/2024"_s);
    QTest::keyClick(test::control<QLineEdit>(dialog.get(), "Bdate"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), test::control<QLineEdit>(dialog.get(), "Edate"));
    EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Bdate")->text(), u"01/05/2024");
    EXPECT_TRUE(dialog->isVisible()); // Enter in a box does not confirm

    QApplication::processEvents();
    EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Edate")->selectedText(),
              test::control<QLineEdit>(dialog.get(), "Edate")->text()); // entering Edate selects it
    QTest::keyClicks(test::control<QLineEdit>(dialog.get(), "Edate"),
                     u"2/29/24"_s); // typing replaces the selection
    QTest::keyClick(test::control<QLineEdit>(dialog.get(), "Edate"), Qt::Key_Enter);
    EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Edate")->text(), u"02/29/2024");
    EXPECT_EQ(QApplication::focusWidget(), test::control<QPushButton>(dialog.get(), "Command1"));

    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    QTest::keyClick(test::control<QPushButton>(dialog.get(), "Command1"), Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DatesWindow, TextThatIsNotADateStaysAsTyped)
{
    QTest::keyClicks(test::control<QLineEdit>(dialog.get(), "Bdate"), u"13/45/2024"_s);
    QTest::keyClick(test::control<QLineEdit>(dialog.get(), "Bdate"), Qt::Key_Tab);
    EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Bdate")->text(), u"13/45/2024");
    test::control<QLineEdit>(dialog.get(), "Edate")->clear();
    QTest::keyClick(test::control<QLineEdit>(dialog.get(), "Edate"), Qt::Key_Tab);
    EXPECT_TRUE(test::control<QLineEdit>(dialog.get(), "Edate")->text().isEmpty());
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
        const auto read = readTypedDate(QString::fromUtf16(c.text), kToday, c.locale);
        EXPECT_EQ(read.value_or(QDate()), c.expected) << QString::fromUtf16(c.text).toStdString();
    }
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), us), u"01/05/2024");
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), uk), u"05/01/2024");
    EXPECT_EQ(typedDateText(QDate(2024, 1, 5), QLocale(QLocale::German, QLocale::Germany)),
              u"05.01.2024");
}

TEST_F(DatesWindow, AnUntouchedToDateStillReadsAsTodayAfter2029)
{
    const QDate later(2031, 3, 4);
    Dates fresh(later);
    EXPECT_EQ(fresh.toText(), u"03/04/2031");
    EXPECT_EQ(readTypedDate(fresh.toText(), later), later);
}

TEST_F(DatesWindow, DatesTypedAsPeopleWriteThemAreNormalised)
{
    const std::pair<const char16_t *, const char16_t *> typed[] = {
        {u"Jan 5, 2024", u"01/05/2024"},    {u"January 5, 2024", u"01/05/2024"},
        {u"5 Jan 2024", u"01/05/2024"},     {u"1/5", u"01/05/2026"},
        {u"1/5/2024 10:00", u"01/05/2024"}, {u"3/1/30", u"03/01/2030"},
    };
    for (const auto &[text, normalised] : typed) {
        test::control<QLineEdit>(dialog.get(), "Bdate")->setFocus();
        test::control<QLineEdit>(dialog.get(), "Bdate")->clear();
        QTest::keyClicks(test::control<QLineEdit>(dialog.get(), "Bdate"), QString::fromUtf16(text));
        QTest::keyClick(test::control<QLineEdit>(dialog.get(), "Bdate"), Qt::Key_Tab);
        EXPECT_EQ(test::control<QLineEdit>(dialog.get(), "Bdate")->text(),
                  QString::fromUtf16(normalised))
            << QString::fromUtf16(text).toStdString();
    }
}

TEST(TypedDates, TwoDigitYearsFallAroundToday)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    struct Case {
        const char16_t *text;
        QDate today;
        QDate expected;
    };
    const Case cases[] = {
        {u"1/5/30", QDate(2026, 12, 8), QDate(2030, 1, 5)},
        {u"1/5/45", QDate(2026, 12, 8), QDate(2045, 1, 5)}, // 19 years ahead
        {u"1/5/46", QDate(2026, 12, 8), QDate(1946, 1, 5)}, // 80 years back
        {u"12/31/99", QDate(2026, 12, 8), QDate(1999, 12, 31)},
        {u"1/5/29", QDate(2031, 1, 1), QDate(2029, 1, 5)},
        {u"1/5/30", QDate(2060, 6, 1), QDate(2030, 1, 5)},
        {u"1/5/10", QDate(2095, 6, 1), QDate(2110, 1, 5)},
        {u"5 Jan 40", QDate(2035, 6, 1), QDate(2040, 1, 5)},
        {u"1/5", QDate(2031, 6, 1), QDate(2031, 1, 5)},
        {u"2/29", QDate(2031, 6, 1), QDate()}, // not a leap year
    };
    for (const auto &c : cases) {
        const auto read = readTypedDate(QString::fromUtf16(c.text), c.today, us);
        EXPECT_EQ(read.value_or(QDate()), c.expected)
            << QString::fromUtf16(c.text).toStdString() << " in " << c.today.year();
    }
}

TEST(TypedDates, MonthNamesAndTimesAsTheLocaleWritesThem)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        const char16_t *text;
        QLocale locale;
        QDate expected;
    };
    const Case cases[] = {
        {u"Jan 5, 2024", us, QDate(2024, 1, 5)},
        {u"january 5 2024", us, QDate(2024, 1, 5)},
        {u"Jan. 5, 2024", us, QDate(2024, 1, 5)},
        {u"Friday, January 5, 2024", us, QDate(2024, 1, 5)},
        {u"5 Jan 2024", us, QDate(2024, 1, 5)},
        {u"5-Jan-24", uk, QDate(2024, 1, 5)},
        {u"2024 Jan 5", us, QDate(2024, 1, 5)},
        {u"Jan 5", us, QDate(2026, 1, 5)},
        {u"5. Januar 2024", de, QDate(2024, 1, 5)},
        {u"5.1.", de, QDate(2026, 1, 5)},
        {u"1/5/2024 10:00", us, QDate(2024, 1, 5)},
        {u"1/5/2024 10:00:59 PM", us, QDate(2024, 1, 5)},
        {u"Jan 5, 2024, 10:00 am", us, QDate(2024, 1, 5)},
        {u"2024-01-05T10:00", uk, QDate(2024, 1, 5)},
        {u"1/5", uk, QDate(2026, 5, 1)},
        {u"Jan 2024", us, QDate()},
        {u"Jan 32, 2024", us, QDate()},
        {u"Jan 5, 2024 soon", us, QDate()},
        {u"Jan Feb 5", us, QDate()},
        {u"5 Jan 202", us, QDate()},
        {u"10:00", us, QDate()},
        {u"1/5/2024 25", us, QDate()},
        {u"2024-01", us, QDate()},
    };
    for (const auto &c : cases) {
        const auto read = readTypedDate(QString::fromUtf16(c.text), kToday, c.locale);
        EXPECT_EQ(read.value_or(QDate()), c.expected) << QString::fromUtf16(c.text).toStdString();
    }
}
