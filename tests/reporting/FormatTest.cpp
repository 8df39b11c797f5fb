#include "reporting/Format.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

using namespace corvina::reporting;
using namespace Qt::StringLiterals;

namespace {

struct FormatCase {
    const char *what;
    QVariant value;
    QString format;
    QString expected;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.what;
}

class Formats : public ::testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_P(Formats, PrintAsVbFormatWould)
{
    const FormatCase &c = GetParam();
    EXPECT_EQ(formatValue(c.value, c.format), c.expected) << c.what;
}

const QString money = u"#,##0.00"_s;
const QDate jan5(2024, 1, 5);

INSTANTIATE_TEST_SUITE_P(
    Numbers, Formats,
    ::testing::Values(
        FormatCase{"thousands and two decimals", 1234.5, money, u"1,234.50"_s},
        FormatCase{"millions", 1234567.891, money, u"1,234,567.89"_s},
        FormatCase{"negative", -1234.5, money, u"-1,234.50"_s},
        FormatCase{"zero", 0.0, money, u"0.00"_s},
        FormatCase{"below one keeps the zero", 0.07, money, u"0.07"_s},
        FormatCase{"integer value", 12, money, u"12.00"_s},
        FormatCase{"64-bit integer", QVariant(qlonglong(123456789012)), u"#,##0"_s,
                   u"123,456,789,012"_s},
        FormatCase{"2.675 is stored just below, still rounds up", 2.675, money, u"2.68"_s},
        FormatCase{"1.005 rounds up", 1.005, money, u"1.01"_s},
        FormatCase{"half rounds away from zero", -0.125, money, u"-0.13"_s},
        FormatCase{"sum of tenths", 0.1 + 0.2, money, u"0.30"_s},
        FormatCase{"carry into a new group", 999999.995, money, u"1,000,000.00"_s},
        FormatCase{"a negative that rounds to zero has no sign", -0.004, money, u"0.00"_s},
        FormatCase{"whole number format", 2.5, u"0"_s, u"3"_s},
        FormatCase{"optional decimals", 5.0, u"#.##"_s, u"5"_s},
        FormatCase{"optional integer digit", 0.5, u"#.##"_s, u".5"_s},
        FormatCase{"minimum integer digits", 7, u"000"_s, u"007"_s},
        FormatCase{"percent", 0.256, u"0.0%"_s, u"25.6%"_s},
        FormatCase{"currency prefix", 1234, u"$#,##0"_s, u"$1,234"_s},
        FormatCase{"sign before the prefix", -5, u"$#,##0.00"_s, u"-$5.00"_s},
        FormatCase{"own negative section", -5, u"#,##0.00;(#,##0.00)"_s, u"(5.00)"_s},
        FormatCase{"own zero section", 0.0, u"0.00;-0.00;\"nil\""_s, u"nil"_s},
        FormatCase{"large value", 1e15, u"#,##0"_s, u"1,000,000,000,000,000"_s},
        FormatCase{"number held as text", u"1234.5"_s, money, u"1,234.50"_s},
        FormatCase{"text that is no number prints as it is", u"n/a"_s, money, u"n/a"_s},
        FormatCase{"null prints empty", QVariant(), money, QString()}));

INSTANTIATE_TEST_SUITE_P(
    Dates, Formats,
    ::testing::Values(
        FormatCase{"M/dd/yy", jan5, u"M/dd/yy"_s, u"1/05/24"_s},
        FormatCase{"MM/dd/yyyy", jan5, u"MM/dd/yyyy"_s, u"01/05/2024"_s},
        FormatCase{"lower-case m is the month too", jan5, u"mm/dd/yyyy"_s, u"01/05/2024"_s},
        FormatCase{"single d and M", QDate(2024, 11, 25), u"d.M.yy"_s, u"25.11.24"_s},
        FormatCase{"year first", jan5, u"yyyy-MM-dd"_s, u"2024-01-05"_s},
        FormatCase{"month and day names", jan5, u"dddd, mmmm d, yyyy"_s,
                   u"Friday, January 5, 2024"_s},
        FormatCase{"short names", jan5, u"ddd mmm d"_s, u"Fri Jan 5"_s},
        FormatCase{"m after h is the minute", QDateTime(jan5, QTime(13, 7, 9)), u"hh:mm:ss"_s,
                   u"13:07:09"_s},
        FormatCase{"twelve-hour clock", QDateTime(jan5, QTime(13, 7)), u"h:nn AM/PM"_s,
                   u"1:07 PM"_s},
        FormatCase{"midnight is 12 AM", QDateTime(jan5, QTime(0, 30)), u"h:nn am/pm"_s,
                   u"12:30 am"_s},
        FormatCase{"date-time with a date format", QDateTime(jan5, QTime(9, 0)), u"M/dd/yy"_s,
                   u"1/05/24"_s},
        FormatCase{"ISO text as the database stores it", u"2024-01-05 00:00:00"_s, u"M/dd/yy"_s,
                   u"1/05/24"_s},
        FormatCase{"ISO date text", u"2023-12-31"_s, u"M/d/yyyy"_s, u"12/31/2023"_s},
        FormatCase{"quoted and escaped literals", jan5, u"\"Day \"d \\d"_s, u"Day 5 d"_s},
        FormatCase{"text that is no date prints as it is", u"soon"_s, u"M/dd/yy"_s, u"soon"_s}));

INSTANTIATE_TEST_SUITE_P(
    EmptyFormat, Formats,
    ::testing::Values(FormatCase{"double as it is", 1234.5, QString(), u"1234.5"_s},
                      FormatCase{"no binary noise", 0.1 + 0.2, QString(), u"0.3"_s},
                      FormatCase{"integer", 42, QString(), u"42"_s},
                      FormatCase{"negative integer", -42, QString(), u"-42"_s},
                      FormatCase{"date in the short form", jan5, QString(), u"1/5/24"_s},
                      FormatCase{"midnight date-time shows no time", QDateTime(jan5, QTime(0, 0)),
                                 QString(), u"1/5/24"_s},
                      FormatCase{"boolean", true, QString(), u"True"_s},
                      FormatCase{"text as it is", u"O'Brien & Co, 50% off"_s, QString(),
                                 u"O'Brien & Co, 50% off"_s},
                      FormatCase{"null", QVariant(), QString(), QString()}));

TEST(FormatsElsewhere, DateTimeWithATimeShowsTheShortTime)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString text = formatValue(QDateTime(jan5, QTime(13, 45)), QString());
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(text.startsWith(u"1/5/24 ")) << qPrintable(text);
    EXPECT_TRUE(text.contains(u"1:45")) << qPrintable(text);
}

TEST(FormatsElsewhere, SeparatorsFollowTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString grouped = formatValue(-1234567.5, u"#,##0.00"_s);
    const QString plain = formatValue(1234.5, QString());
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(grouped, u"-1.234.567,50");
    EXPECT_EQ(plain, u"1234,5");
}

} // namespace
