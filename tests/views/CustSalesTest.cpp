#include "views/CustSales.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

class CustSales : public ::testing::Test {
protected:
    CustSales()
    {
        ensureLocalDb(folder.path());
        db = std::make_unique<Database>(openLocalDb(folder.path()));
    }
    void customer(const QString &listId, const QString &name, const QVariant &billState,
                  const QVariant &zip)
    {
        db->execute(
            u"INSERT INTO Customers (ListID, Name, BillState, BillZip) VALUES (?, ?, ?, ?)"_s,
            {listId, name, billState, zip});
    }
    void line(const QString &custListId, const QString &invNo, double amount, const QString &date,
              const QString &rep)
    {
        db->execute(
            u"INSERT INTO Invoices (CustListID, InvNo, Amt, InvDate, SalesRep) VALUES (?, ?, ?, ?, ?)"_s,
            {custListId, invNo, amount, date, rep});
    }
    static QStringList names(const reporting::ReportRows &rows)
    {
        QStringList out;
        for (int i = 0; i < rows.count(); ++i)
            out << rows.value(i, rows.fieldIndex(u"Name"_s)).toString();
        return out;
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    std::unique_ptr<Database> db;
};

} // namespace

TEST_F(CustSales, CustomersInStateAndZipOrderWithTheirInvoices)
{
    customer(u"C1"_s, u"Oregon Late"_s, u"OR"_s, u"97477"_s);
    customer(u"C2"_s, u"No State"_s, QVariant(), u"10001"_s);
    customer(u"C3"_s, u"Oregon Early"_s, u"OR"_s, u"97005"_s);
    customer(u"C4"_s, u"Empty State"_s, u""_s, u"00001"_s);
    customer(u"C5"_s, u"Alaska"_s, u"AK"_s, u"99501"_s);
    // Two lines of one invoice give one row: amounts summed, date and rep of the last line.
    line(u"C1"_s, u"1001"_s, 10.00, u"2024-01-05 00:00:00"_s, u"JMH"_s);
    line(u"C1"_s, u"1001"_s, 2.50, u"2024-01-06 00:00:00"_s, u"RT"_s);
    line(u"C1"_s, u"1000"_s, 1000.00, u"2024-01-01 00:00:00"_s, u"JMH"_s);
    line(u"GONE"_s, u"9"_s, 5.00, u"2024-01-01 00:00:00"_s, u"JMH"_s); // no such customer

    const auto result = GetCustSales(state);
    EXPECT_EQ(names(*result), (QStringList{u"No State"_s, u"Empty State"_s, u"Alaska"_s,
                                           u"Oregon Early"_s, u"Oregon Late"_s}));
    EXPECT_EQ(state.custSales(), result);

    const reporting::ReportRows *none = result->children(0, u"Child"_s);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->count(), 0); // a customer without invoices keeps its block

    const reporting::ReportRows *child = result->children(4, u"Child"_s);
    ASSERT_EQ(child->count(), 2);
    const int invNo = child->fieldIndex(u"InvNo"_s);
    EXPECT_EQ(child->value(0, invNo), u"1000"_s);
    EXPECT_EQ(child->value(1, invNo), u"1001"_s);
    EXPECT_DOUBLE_EQ(child->value(1, child->fieldIndex(u"TotAmt"_s)).toDouble(), 12.5);
    EXPECT_EQ(child->value(1, child->fieldIndex(u"LRep"_s)), u"RT"_s);
    EXPECT_EQ(child->value(1, child->fieldIndex(u"LDate"_s)).toDateTime(),
              QDateTime(QDate(2024, 1, 6), QTime(0, 0)));
    EXPECT_EQ(result->children(4, u"Other"_s), nullptr);
}

TEST_F(CustSales, LastIsTakenInStoredOrderNotDateOrder)
{
    customer(u"C1"_s, u"Ann"_s, u"OR"_s, u"1"_s);
    line(u"C1"_s, u"7"_s, 1, u"2024-03-01 00:00:00"_s, u"LATEST-DATE"_s);
    line(u"C1"_s, u"7"_s, 1, u"2024-01-01 00:00:00"_s, u"STORED-LAST"_s);
    const auto result = GetCustSales(state);
    const auto *child = result->children(0, u"Child"_s);
    ASSERT_EQ(child->count(), 1);
    EXPECT_EQ(child->value(0, child->fieldIndex(u"LRep"_s)), u"STORED-LAST"_s);
    EXPECT_EQ(child->value(0, child->fieldIndex(u"LDate"_s)).toDateTime().date(),
              QDate(2024, 1, 1));
}

TEST_F(CustSales, EachCallBuildsAFreshResult)
{
    customer(u"C1"_s, u"Ann"_s, u"OR"_s, u"1"_s);
    const auto first = GetCustSales(state);
    line(u"C1"_s, u"1"_s, 3, u"2024-01-01 00:00:00"_s, u"X"_s);
    const auto second = GetCustSales(state);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->children(0, u"Child"_s)->count(), 0);
    EXPECT_EQ(second->children(0, u"Child"_s)->count(), 1);
    EXPECT_EQ(state.custSales(), second);
}

TEST_F(CustSales, AMissingKeyMatchesNothing)
{
    // A customer without a ListID (NULL or empty) collects no invoice, least of all the
    // lines that have no customer ListID either; a job without a ListID ties nothing.
    db->execute(
        u"INSERT INTO Customers (Name, BillState) VALUES ('No Key', 'AK');"
        u"INSERT INTO Customers (ListID, Name, BillState) VALUES ('', 'Empty Key', 'AL');"
        u"INSERT INTO Invoices (CustListID, InvNo, Amt) VALUES (NULL, '1', 5), ('', '2', 7);"
        u"INSERT INTO CustomerJobs (ListID, CustListID) VALUES (NULL, 'C1'), ('', 'C1')"_s);
    customer(u"C1"_s, u"Keyed"_s, u"AZ"_s, u"1"_s);
    line(u"C1"_s, u"3"_s, 1, u"2024-01-01 00:00:00"_s, u"X"_s);

    const auto result = GetCustSales(state);
    ASSERT_EQ(names(*result), (QStringList{u"No Key"_s, u"Empty Key"_s, u"Keyed"_s}));
    EXPECT_EQ(result->children(0, u"Child"_s)->count(), 0);
    EXPECT_EQ(result->children(1, u"Child"_s)->count(), 0);
    EXPECT_EQ(result->children(2, u"Child"_s)->count(), 1);
}

TEST_F(CustSales, AFileWithoutTheJobTableStillReports)
{
    db->execute(u"DROP TABLE CustomerJobs"_s);
    customer(u"C1"_s, u"Ann"_s, u"OR"_s, u"1"_s);
    line(u"C1"_s, u"1"_s, 3, u"2024-01-01 00:00:00"_s, u"X"_s);
    const auto result = GetCustSales(state);
    EXPECT_EQ(result->children(0, u"Child"_s)->count(), 1);
}
