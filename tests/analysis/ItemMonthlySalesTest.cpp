#include "analysis/ItemMonthlySales.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class ItemMonthlySalesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureLocalDb(folder.path()));
        db().execute(
            u"INSERT INTO Invoices (ItemRefID, ItemRef, Amt, InvDate) VALUES "
            u"('I1', 'Tools:Saw', 10, '2026-01-31 00:00:00'), " // before the period
            u"('I1', 'Tools:Saw', 20, '2026-02-15 00:00:00'), " // its first day
            u"('I1', 'Tools:Saw', 5.5, '2026-02-28 23:59:00'), "
            u"('I1', 'Tools:Saw', NULL, '2026-04-01 00:00:00'), " // no amount
            u"('I1', 'Tools:Saw', 7, '2026-04-30 00:00:00'), "
            u"('I1', 'Tools:Saw', 100, '2026-05-04 00:00:00'), " // after its last day
            u"('I2', 'Saw', 1000, '2026-03-10 00:00:00')"_s);    // another item of the same name
    }
    Database db() { return Database::open(folder.file(u"QBData.mdb"_s)); }

    test::TempAppFolder folder;
};

TEST_F(ItemMonthlySalesTest, EveryMonthOfThePeriodWithTheItemsSales)
{
    Database d = db();
    const ItemMonthlySales sales =
        itemMonthlySales(d, ChosenItem(u"Saw"_s, u"I1"_s), QDate(2026, 2, 15), QDate(2026, 5, 3));
    EXPECT_EQ(sales.item, u"Saw"_s);
    ASSERT_EQ(sales.months.size(), 4u);
    const QDate months[] = {QDate(2026, 2, 1), QDate(2026, 3, 1), QDate(2026, 4, 1),
                            QDate(2026, 5, 1)};
    const double amounts[] = {25.5, 0, 7, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sales.months[i].month, months[i]);
        EXPECT_DOUBLE_EQ(sales.months[i].sales, amounts[i]) << i;
    }
    EXPECT_DOUBLE_EQ(sales.total(), 32.5);
    EXPECT_DOUBLE_EQ(sales.highest(), 25.5);
}

TEST_F(ItemMonthlySalesTest, ByNameWithoutListIdAndNothingWithoutItemOrPeriod)
{
    Database d = db();
    const ItemMonthlySales byName =
        itemMonthlySales(d, ChosenItem(u"saw"_s), QDate(2026, 3, 1), QDate(2026, 3, 31));
    ASSERT_EQ(byName.months.size(), 1u);
    EXPECT_DOUBLE_EQ(byName.months[0].sales, 1000);
    EXPECT_TRUE(
        itemMonthlySales(d, ChosenItem(), QDate(2026, 1, 1), QDate(2026, 6, 1)).months.empty());
    EXPECT_TRUE(
        itemMonthlySales(d, ChosenItem(u"Saw"_s, u"I1"_s), QDate(), QDate()).months.empty());
}

} // namespace
