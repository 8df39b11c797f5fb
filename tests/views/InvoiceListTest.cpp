#include "InvoiceTestLines.h"

#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "support/TempAppFolder.h"
#include "views/InvoiceList.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QLocale>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int kMemo = static_cast<int>(InvoiceColumn::Memo);

// Lines whose six sort columns hold NULLs, values equal but for case, numbers as text and
// dates, so that every order and every tie rule shows. Tags r1…r6 are in stored order.
std::vector<InvoiceTestLine> mixedLines()
{
    const QVariant null;
    return {
        {u"r1"_s, u"Baker"_s, u"9"_s, day(2024, 3, 1), u"B"_s, u"ann"_s, day(2024, 3, 5)},
        {u"r2"_s, u"apple"_s, u"10"_s, day(2024, 1, 15), null, u"Bob"_s, null},
        {u"r3"_s, u"Baker"_s, u"9"_s, day(2024, 3, 1), u"b"_s, u"ann"_s, day(2024, 3, 5)},
        {u"r4"_s, u"Carter"_s, null, day(2023, 12, 31), u"A"_s, null, day(2024, 1, 2)},
        {u"r5"_s, u"APPLE"_s, u"10a"_s, day(2024, 1, 10), u"a"_s, u"bob"_s, day(2024, 1, 20)},
        {u"r6"_s, null, u"1"_s, day(2025, 1, 1), u"c"_s, u"zed"_s, day(2025, 1, 1)},
    };
}

// The lines' tags in the list's order, as "r1 r2 …".
std::string tags(const InvoiceList &list)
{
    QStringList result;
    for (int row = 0; row < list.rowCount(); ++row)
        result << list.index(row, kMemo).data().toString();
    return result.join(u' ').toStdString();
}

class InvoiceListTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void openWith(const std::vector<InvoiceTestLine> &lines)
    {
        writeInvoiceLines(folder.path(), lines);
        list.open(localDbPath(folder.path()));
    }

    TempAppFolder folder;
    InvoiceList list;
};

struct OrderCase {
    InvoiceSort sort;
    std::string expected;
};

} // namespace

// Ascending, NULL first, without case; ties keep the customer order, and lines of one customer
// their stored order, whichever order was shown before.
TEST_F(InvoiceListTest, EachSortGivesItsOrder)
{
    openWith(mixedLines());
    const std::vector<OrderCase> cases = {
        {InvoiceSort::Customer, "r6 r2 r5 r1 r3 r4"}, {InvoiceSort::InvNo, "r4 r6 r2 r5 r1 r3"},
        {InvoiceSort::InvDate, "r4 r5 r2 r1 r3 r6"},  {InvoiceSort::Class, "r2 r5 r4 r1 r3 r6"},
        {InvoiceSort::SalesRep, "r4 r1 r3 r2 r5 r6"}, {InvoiceSort::ShipDate, "r2 r4 r5 r1 r3 r6"},
    };
    EXPECT_EQ(tags(list), cases[0].expected) << "as opened";
    // Forwards, then backwards, so each order follows a different one.
    for (const auto &c : cases) {
        list.sortBy(c.sort);
        EXPECT_EQ(tags(list), c.expected) << "sort " << static_cast<int>(c.sort);
    }
    for (auto c = cases.rbegin(); c != cases.rend(); ++c) {
        list.sortBy(c->sort);
        EXPECT_EQ(tags(list), c->expected) << "sort " << static_cast<int>(c->sort);
    }
}

TEST_F(InvoiceListTest, PassesTheModelTesterThroughSortsAndRefreshes)
{
    openWith(mixedLines());
    QStringList failures;
    static QStringList *sink = nullptr;
    sink = &failures;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &context, const QString &message) {
            if (QLatin1String(context.category) == QLatin1String("qt.modeltest"))
                sink->append(message);
        });
    {
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
        const QPersistentModelIndex followed = list.index(1, 3);
        for (const InvoiceSort sort :
             {InvoiceSort::ShipDate, InvoiceSort::InvNo, InvoiceSort::Customer})
            list.sortBy(sort);
        EXPECT_EQ(followed.row(), 1);
        writeInvoiceLines(folder.path(), {{u"r7"_s, u"Zeta"_s, u"70"_s}});
        EXPECT_TRUE(list.refreshIfChanged());
        EXPECT_EQ(list.rowCount(), 7);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
}

TEST_F(InvoiceListTest, ASortKeepsTheCurrentLineWhereverItMoves)
{
    openWith(mixedLines());
    const QPersistentModelIndex r4 = list.index(5, kMemo); // customer order: r4 is last
    ASSERT_EQ(r4.data().toString(), u"r4");
    list.sortBy(InvoiceSort::InvNo);
    EXPECT_EQ(r4.row(), 0);
    EXPECT_EQ(r4.data().toString(), u"r4");
    list.sortBy(InvoiceSort::InvDate);
    EXPECT_EQ(r4.data().toString(), u"r4");
}

TEST_F(InvoiceListTest, ShowsColumnsAndValuesInTheGridsForms)
{
    openWith({{u"line"_s, u"O'Brien & Co"_s, u"A-1"_s, day(2024, 2, 29), u"Retail"_s, u"JD"_s,
               QVariant(), 1234567.5, u"C-9"_s, 0.5, 12.5, 3.0, u"80000001-1"_s}});
    QStringList headers;
    for (int column = 0; column < list.columnCount(); ++column)
        headers << list.headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{u"Customer"_s,  u"InvNo"_s,     u"InvDate"_s,    u"Class"_s,
                                    u"SalesRep"_s,  u"ShipDate"_s,  u"ShipMethod"_s, u"DueDate"_s,
                                    u"FOB"_s,       u"Memo"_s,      u"PO"_s,         u"Terms"_s,
                                    u"Amt"_s,       u"LineClass"_s, u"Desc"_s,       u"ItemRef"_s,
                                    u"ItemRefID"_s, u"RateAmt"_s,   u"RatePct"_s,    u"Qty"_s}));

    const auto shown = [&](InvoiceColumn column) {
        return list.index(0, static_cast<int>(column)).data().toString();
    };
    const auto alignment = [&](InvoiceColumn column) {
        return list.index(0, static_cast<int>(column)).data(Qt::TextAlignmentRole).toInt() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(shown(InvoiceColumn::Customer), u"O'Brien & Co");
    EXPECT_EQ(shown(InvoiceColumn::Amt), u"1,234,567.50");
    EXPECT_EQ(shown(InvoiceColumn::RateAmt), u"0.50");
    EXPECT_EQ(shown(InvoiceColumn::RatePct), u"12.5");
    EXPECT_EQ(shown(InvoiceColumn::Qty), u"3");
    EXPECT_EQ(shown(InvoiceColumn::InvDate),
              QLocale().toString(QDate(2024, 2, 29), QLocale::ShortFormat));
    EXPECT_EQ(shown(InvoiceColumn::ShipDate), u"");
    EXPECT_EQ(shown(InvoiceColumn::Terms), u"Net 30");
    EXPECT_EQ(shown(InvoiceColumn::ItemRefID), u"80000001-1");
    EXPECT_EQ(alignment(InvoiceColumn::Amt), Qt::AlignRight);
    EXPECT_EQ(alignment(InvoiceColumn::RateAmt), Qt::AlignRight);
    EXPECT_EQ(alignment(InvoiceColumn::Customer), Qt::AlignLeft);
    EXPECT_FALSE(list.flags(list.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

// Lines are read a block at a time; every block must land on its own rows, in any order.
TEST_F(InvoiceListTest, ReadsLinesAcrossBlocksInTheShownOrder)
{
    std::vector<InvoiceTestLine> lines;
    for (int i = 0; i < 500; ++i) {
        // Stored in descending invoice number, customers in a scattered order.
        lines.push_back({QString::number(i),
                         u"Cust %1"_s.arg((i * 37) % 500, 3, 10, QLatin1Char('0')),
                         u"%1"_s.arg(1000 - i, 4, 10, QLatin1Char('0'))});
    }
    openWith(lines);
    list.sortBy(InvoiceSort::InvNo);
    for (const int row : {499, 0, 250, 64, 63, 128, 377})
        EXPECT_EQ(list.index(row, kMemo).data().toString(), QString::number(499 - row)) << row;
    list.sortBy(InvoiceSort::Customer);
    for (const int row : {0, 100, 499})
        EXPECT_EQ(list.index(row, 0).data().toString(),
                  u"Cust %1"_s.arg(row, 3, 10, QLatin1Char('0')));
}

// After a retrieval rewrote the table, the rowids the list kept name other lines; the list
// must notice and read the table again rather than show those.
TEST_F(InvoiceListTest, ReadsTheTableAgainAfterAnotherProgramRewroteIt)
{
    openWith(mixedLines());
    list.sortBy(InvoiceSort::InvDate);
    {
        Database db = openLocalDb(folder.path());
        db.execute(u"DELETE FROM Invoices"_s);
    }
    std::vector<InvoiceTestLine> rewritten = mixedLines();
    for (auto &line : rewritten)
        line.memo = u"new "_s + line.memo.toString();
    writeInvoiceLines(folder.path(), rewritten); // the same rowids, other lines

    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    EXPECT_TRUE(list.index(0, kMemo).data().isNull()) << "old lines are not shown";
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(list.sort(), InvoiceSort::InvDate);
    EXPECT_EQ(tags(list), "new r4 new r5 new r2 new r1 new r3 new r6");
    EXPECT_FALSE(list.refreshIfChanged());
}

TEST_F(InvoiceListTest, OpeningAFileWithoutTheTableFailsAndLeavesTheListEmpty)
{
    Database::create(folder.file(u"QBData.mdb"_s)).execute(u"CREATE TABLE Other (x)"_s);
    EXPECT_THROW(list.open(localDbPath(folder.path())), Error);
    EXPECT_FALSE(list.isOpen());
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_THROW(list.open(folder.file(u"missing/QBData.mdb"_s)), Error);
}

// Case variants beyond ASCII are one value, as in SQL: "émile" and "ÉMILE" tie (stored order)
// and sort after "zed".
TEST_F(InvoiceListTest, SortsCaseVariantsBeyondAsciiAsOneValue)
{
    const QVariant null;
    openWith({
        {u"r1"_s, u"émile"_s, u"1"_s, day(2024, 1, 1), u"Été"_s, u"ann"_s, null},
        {u"r2"_s, u"zed"_s, u"2"_s, day(2024, 1, 1), u"été"_s, u"ann"_s, null},
        {u"r3"_s, u"ÉMILE"_s, u"3"_s, day(2024, 1, 1), u"ÉTÉ"_s, u"ann"_s, null},
        {u"r4"_s, u"Émilf"_s, u"4"_s, day(2024, 1, 1), u"Zone"_s, u"ann"_s, null},
    });
    list.sortBy(InvoiceSort::Customer);
    EXPECT_EQ(tags(list), "r2 r1 r3 r4");
    list.sortBy(InvoiceSort::Class);
    EXPECT_EQ(tags(list), "r4 r2 r1 r3"); // within one class, the customer order
}
