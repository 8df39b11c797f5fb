#include "InvoiceTestLines.h"

#include "support/TempAppFolder.h"
#include "views/InvoiceFormat.h"
#include "views/InvoiceList.h"
#include "views/InvoiceTotals.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

class InvoiceTotalsTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // The totals as the window shows them, for the line at `row` of the list in customer order.
    std::pair<QString, int> totalsOfRow(int row)
    {
        const InvoiceTotal total = totals->of(list.invoiceAt(row));
        return {currencyText(total.amount), total.lines};
    }

    void openWith(const std::vector<InvoiceTestLine> &lines)
    {
        writeInvoiceLines(folder.path(), lines);
        list.open(localDbPath(folder.path()));
        totals = std::make_unique<InvoiceTotals>(list.connection());
    }

    InvoiceTestLine line(const QString &customer, const QString &listId, const QVariant &invNo,
                         const QVariant &amt)
    {
        InvoiceTestLine result;
        result.memo = QString::number(++m_lines);
        result.customer = customer;
        result.custListId = listId;
        result.invNo = invNo;
        result.amt = amt;
        return result;
    }

    TempAppFolder folder;
    InvoiceList list;
    std::unique_ptr<InvoiceTotals> totals;
    int m_lines = 0;
};

} // namespace

TEST_F(InvoiceTotalsTest, AddsTheLinesOfTheCurrentLinesInvoice)
{
    openWith({line(u"Abbot"_s, u"A"_s, u"100"_s, 5.0), line(u"Brown"_s, u"B"_s, u"200"_s, 10.0),
              line(u"Brown"_s, u"B"_s, u"200"_s, 2.5), line(u"Brown"_s, u"B"_s, u"201"_s, 7.0),
              line(u"Brown"_s, u"B"_s, u"200"_s, 1000.0)});
    // Customer order: Abbot 100; Brown 200, 200, 201, 200.
    for (const int row : {1, 2, 4})
        EXPECT_EQ(totalsOfRow(row), std::make_pair(u"1,012.50"_s, 3)) << row;
    EXPECT_EQ(totalsOfRow(3), std::make_pair(u"7.00"_s, 1));
    EXPECT_EQ(totalsOfRow(0), std::make_pair(u"5.00"_s, 1));
}

TEST_F(InvoiceTotalsTest, TheInvoiceAtTheEndOfTheCustomerOrderSumsToItsLastLine)
{
    openWith({line(u"Zeta"_s, u"Z"_s, u"9"_s, 1.25), line(u"Alpha"_s, u"A"_s, u"1"_s, 3.0),
              line(u"Zeta"_s, u"Z"_s, u"9"_s, 2.25)});
    const int last = list.rowCount() - 1;
    EXPECT_EQ(list.index(last, 0).data().toString(), u"Zeta");
    EXPECT_EQ(totalsOfRow(last), std::make_pair(u"3.50"_s, 2));
    EXPECT_EQ(totalsOfRow(last - 1), std::make_pair(u"3.50"_s, 2));
}

TEST_F(InvoiceTotalsTest, ALineWithoutAnInvoiceNumberBelongsToNoInvoice)
{
    openWith({line(u"Abbot"_s, u"A"_s, QVariant(), 5.0), line(u"Abbot"_s, u"A"_s, u""_s, 6.0),
              line(u"Abbot"_s, u"A"_s, QVariant(), 7.0)});
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(totalsOfRow(row), std::make_pair(u"0.00"_s, 0)) << row;
    EXPECT_EQ(totalsOfRow(3), std::make_pair(u"0.00"_s, 0)) << "no line at all";
}

// Invoice numbers repeat across customers; each line's totals are those of its own invoice.
TEST_F(InvoiceTotalsTest, AnInvoiceIsItsCustomersNumber)
{
    openWith({line(u"Abbot"_s, u"A"_s, u"1001"_s, 10.0), line(u"Brown"_s, u"B"_s, u"1001"_s, 20.0),
              line(u"Abbot"_s, u"A"_s, u"1001"_s, 30.0), line(u"Brown"_s, u"B"_s, u"1001"_s, 40.0),
              line(u"Brown"_s, u"B"_s, u"1001"_s, 50.0)});
    EXPECT_EQ(totalsOfRow(0), std::make_pair(u"40.00"_s, 2));
    EXPECT_EQ(totalsOfRow(4), std::make_pair(u"110.00"_s, 3));
}

TEST_F(InvoiceTotalsTest, NumbersWithQuotesAndLinesWithoutAmounts)
{
    openWith({line(u"O'Hara"_s, u"O'1"_s, u"7'A"_s, 12.0),
              line(u"O'Hara"_s, u"O'1"_s, u"7'a"_s, QVariant()),
              line(u"O'Hara"_s, u"O'1"_s, u"7'A"_s, -0.004)});
    EXPECT_EQ(totalsOfRow(0), std::make_pair(u"12.00"_s, 3)) << "numbers compare without case";
}

// A currency total keeps four decimals: a thousand lines of 0.0001 make 0.10, not 0.00.
TEST_F(InvoiceTotalsTest, TotalsAddInTenThousandths)
{
    std::vector<InvoiceTestLine> lines;
    for (int i = 0; i < 1000; ++i)
        lines.push_back(line(u"Abbot"_s, u"A"_s, u"1"_s, 0.0001));
    openWith(lines);
    const InvoiceTotal total = totals->of(list.invoiceAt(0));
    EXPECT_EQ(total.amount, 1000);
    EXPECT_EQ(total.lines, 1000);
    EXPECT_EQ(currencyText(total.amount), u"0.10");
}

TEST(InvoiceFormatTest, NumbersInTheirForms)
{
    QLocale::setDefault(QLocale::c());
    struct Case {
        double value;
        const char16_t *standard;
    };
    const Case cases[] = {
        {0.0, u"0.00"},         {1012.5, u"1,012.50"},
        {2.675, u"2.68"},       {-2.675, u"-2.68"},
        {0.005, u"0.01"},       {0.00495, u"0.00"},
        {-0.004, u"0.00"},      {-1234567.891, u"-1,234,567.89"},
        {999.995, u"1,000.00"}, {1e20, u"100,000,000,000,000,000,000.00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(standardNumberText(c.value), QString::fromUtf16(c.standard)) << c.value;

    EXPECT_EQ(currencyText(toCurrency(1012.5)), u"1,012.50");
    EXPECT_EQ(currencyText(-50), u"-0.01");
    EXPECT_EQ(currencyText(-49), u"0.00");
    EXPECT_EQ(toCurrency(0.00005), 1);
    EXPECT_EQ(toCurrency(-0.00005), -1);
    EXPECT_EQ(toCurrency(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(generalNumberText(3.0), u"3");
    EXPECT_EQ(generalNumberText(0.1 + 0.2), u"0.3");
    EXPECT_EQ(generalNumberText(1234567.25), u"1234567.25");

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(standardNumberText(1012.5), u"1.012,50");
    EXPECT_EQ(currencyText(-10125000), u"-1.012,50");
    QLocale::setDefault(QLocale::c());
}
