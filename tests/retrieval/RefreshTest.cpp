// Refreshes: only what changed is asked for, the tables end up as a full retrieval of the
// same company writes them, a refresh that cannot be exact says so and retrieves in full,
// and a failure leaves copy and state as they were.

#include "RefreshFixture.h"

#include "base/Screen.h"
#include "qbxml/ComErrors.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"

#include <QFile>
#include <QVersionNumber>

#include <algorithm>
#include <random>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

const QString kOld = u"2024-02-01T09:00:00-05:00"_s;     // long before the retrieval
const QString kMorning = u"2024-03-01T09:00:00-05:00"_s; // the company's last change
const QString kNext = u"2024-03-02T10:00:00-05:00"_s;    // a day's work after the retrieval
const QString kPeriodFrom = u"01/01/2024"_s;
const QString kPeriodTo = u"12/31/2024"_s;

// A small company: customers Alder (with a job, and a sub-job), Birch, Cedar, Dogwood and an
// inactive Elm; items Paint (with a sub-item), Install, Haul, an unused one; invoices in and out of
// 2024.
TestCompany startingCompany()
{
    TestCompany c;
    c.customers = {
        {u"C1"_s, u"Alder"_s, {}, kOld},          {u"C1J"_s, u"Deck"_s, u"C1"_s, kOld},
        {u"C1JJ"_s, u"Stairs"_s, u"C1J"_s, kOld}, {u"C2"_s, u"Birch"_s, {}, kOld},
        {u"C3"_s, u"Cedar"_s, {}, kOld},          {u"C4"_s, u"Dogwood"_s, {}, kMorning},
        {u"C5"_s, u"Elm"_s, {}, kOld, false},
    };
    c.items = {
        {u"I1"_s, u"Paint"_s, {}, kOld},   {u"I1S"_s, u"Gloss"_s, u"I1"_s, kOld},
        {u"I2"_s, u"Install"_s, {}, kOld}, {u"I3"_s, u"Haul"_s, {}, kOld},
        {u"I5"_s, u"Old"_s, {}, kMorning},
    };
    c.invoices = {
        {u"T1"_s, u"C1"_s, QDate(2024, 1, 10), kOld, {{u"I1"_s, 10}, {u"I2"_s, 20}}},
        {u"T2"_s, u"C1J"_s, QDate(2024, 2, 10), kOld, {{u"I1S"_s, 30}}},
        {u"T3"_s, u"C1JJ"_s, QDate(2024, 2, 11), kOld, {{u"I2"_s, 40}}},
        {u"T4"_s, u"C2"_s, QDate(2024, 2, 12), kOld, {{u"I3"_s, 50}, {u"I1"_s, 5}}},
        {u"T5"_s, u"C3"_s, QDate(2023, 12, 20), kOld, {{u"I2"_s, 60}}},
        {u"T6"_s, u"C5"_s, QDate(2024, 2, 20), kMorning, {{u"I2"_s, 70}}},
    };
    return c;
}

// Host with or without iterators (qbXML 13.0 or a host that reports no versions).
class Refresh : public RefreshFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        if (GetParam())
            standIn.reportVersions(QVersionNumber(13, 0));
        company = startingCompany();
        publish();
        retrieveCustomers();
        retrieveInvoices(kPeriodFrom, kPeriodTo);
        ASSERT_EQ(state.errors().count(), 0);
        ASSERT_EQ(count(u"Invoices"_s), 7);
    }

    // The tables hold the rows a full retrieval of the same company and period writes (into
    // a second application folder, so the refreshes here go on from where they are).
    void expectSameAsFullRetrieval()
    {
        const Tables refreshed = tables();
        const Tables full = fullRetrievalElsewhere(kPeriodFrom, kPeriodTo);
        for (const auto &[table, fullRows] : full) {
            const auto &ours = refreshed.at(table);
            for (const QString &row : ours)
                EXPECT_EQ(ours.count(row), fullRows.count(row))
                    << table.toStdString() << " after the refresh: " << row.toStdString();
            for (const QString &row : fullRows)
                EXPECT_EQ(ours.count(row), fullRows.count(row))
                    << table.toStdString() << " after a retrieval: " << row.toStdString();
        }
    }
};

TEST_P(Refresh, CustomerChangesLeaveTheTablesAsAFullRetrieval)
{
    // Alder renamed (its jobs' names and all their invoices follow, unmodified), Birch made
    // inactive, Cedar turned into a job of Alder, Dogwood deleted, Elm made active again,
    // a new customer with a job.
    company.customer(u"C1"_s) = {u"C1"_s, u"Alderwood"_s, {}, kNext};
    company.customer(u"C2"_s).active = false;
    company.customer(u"C2"_s).modified = kNext;
    company.customer(u"C3"_s).parent = u"C1"_s;
    company.customer(u"C3"_s).modified = kNext;
    std::erase_if(company.customers, [](const auto &c) { return c.id == u"C4"_s; });
    company.listDeletions.push_back({u"Customer"_s, u"C4"_s, kNext});
    company.customer(u"C5"_s).active = true;
    company.customer(u"C5"_s).modified = kNext;
    company.customers.push_back({u"C6"_s, u"Fir"_s, {}, kNext});
    company.customers.push_back({u"C6J"_s, u"Roof"_s, u"C6"_s, kNext});
    publish();

    const qsizetype first = standIn.requestLog().size();
    const size_t shown = screen.messages().size();
    screen.setNow(screen.now().addDays(1));
    RefreshCustomers(state);
    EXPECT_EQ(state.errors().count(), 0);
    EXPECT_EQ(screen.messages().size(), shown); // no fall-back

    // Only the changes were asked for, from a little before the last change seen.
    const QByteArray asked = requestsSince(first);
    EXPECT_TRUE(asked.contains("<ActiveStatus>All</ActiveStatus>"));
    EXPECT_TRUE(asked.contains("<FromModifiedDate>2024-03-01T08:55:00-05:00</FromModifiedDate>"));
    EXPECT_TRUE(asked.contains("<ListDelType>Customer</ListDelType>"));
    EXPECT_TRUE(asked.contains("<FromDeletedDate>2024-03-01T08:55:00-05:00</FromDeletedDate>"));

    EXPECT_EQ(value(u"SELECT group_concat(Customer, ',') FROM (SELECT DISTINCT InvNo, Customer "
                    u"FROM Invoices WHERE InvNo IN ('T1', 'T2', 'T3') ORDER BY InvNo)"_s)
                  .toString(),
              u"Alderwood,Alderwood:Deck,Alderwood:Deck:Stairs"_s);
    EXPECT_EQ(value(u"SELECT FullName FROM CustomerJobs WHERE ListID = 'C3'"_s).toString(),
              u"Alderwood:Cedar"_s);
    EXPECT_EQ(screen.boxText(RetrievalBox::Cust), generalDateText(screen.now()));
    expectSameAsFullRetrieval();
}

TEST_P(Refresh, InvoiceChangesLeaveTheTablesAsAFullRetrieval)
{
    // T1 loses a line; T4 moves out of the period, T5 into it; T3 is deleted; a new invoice
    // for a job; Alder renamed (no invoice modified); Paint renamed (its sub-item's lines
    // follow); Haul made inactive; a new item added, an unused one deleted.
    TestCompany::Invoice &t1 = company.invoice(u"T1"_s);
    t1.lines.pop_back();
    t1.modified = kNext;
    company.invoice(u"T4"_s).date = QDate(2023, 6, 1);
    company.invoice(u"T4"_s).modified = kNext;
    company.invoice(u"T5"_s).date = QDate(2024, 3, 1);
    company.invoice(u"T5"_s).modified = kNext;
    std::erase_if(company.invoices, [](const auto &i) { return i.id == u"T3"_s; });
    company.txnDeletions.push_back({u"Invoice"_s, u"T3"_s, kNext});
    company.invoices.push_back(
        {u"T7"_s, u"C1J"_s, QDate(2024, 3, 2), kNext, {{u"I1S"_s, 12}, {u"I2"_s, 13}}});
    company.customer(u"C1"_s).name = u"Alderwood"_s;
    company.customer(u"C1"_s).modified = kNext;
    company.item(u"I1"_s).name = u"Paints"_s;
    company.item(u"I1"_s).modified = kNext;
    company.item(u"I3"_s).active = false;
    company.item(u"I3"_s).modified = kNext;
    company.items.push_back({u"I4"_s, u"Sand"_s, {}, kNext, true, u"ItemNonInventory"_s});
    std::erase_if(company.items, [](const auto &i) { return i.id == u"I5"_s; });
    company.listDeletions.push_back({u"ItemService"_s, u"I5"_s, kNext});
    publish();

    const qsizetype first = standIn.requestLog().size();
    const size_t shown = screen.messages().size();
    RefreshInvoices(state);
    EXPECT_EQ(state.errors().count(), 0);
    EXPECT_EQ(screen.messages().size(), shown); // no fall-back
    const QByteArray asked = requestsSince(first);
    EXPECT_TRUE(asked.contains("<ModifiedDateRangeFilter>"));
    EXPECT_FALSE(asked.contains("<TxnDateRangeFilter>"));
    EXPECT_TRUE(asked.contains("<TxnDelType>Invoice</TxnDelType>"));
    EXPECT_TRUE(asked.contains("<ListDelType>ItemSalesTaxGroup</ListDelType>"));
    EXPECT_FALSE(state.quickBooks().sessionOpen); // ended, as after the item retrieval

    EXPECT_EQ(value(u"SELECT count(*) FROM Invoices WHERE InvNo = 'T1'"_s).toInt(), 1);
    EXPECT_EQ(value(u"SELECT count(*) FROM Invoices WHERE InvNo IN ('T3', 'T4')"_s).toInt(), 0);
    EXPECT_EQ(value(u"SELECT ItemRef FROM Invoices WHERE InvNo = 'T2'"_s).toString(),
              u"Paints:Gloss"_s);
    EXPECT_EQ(value(u"SELECT Customer FROM Invoices WHERE InvNo = 'T2'"_s).toString(),
              u"Alderwood:Deck"_s);
    // The customer tables are the customer refresh's: Customers still has the old name.
    EXPECT_EQ(value(u"SELECT Name FROM Customers WHERE ListID = 'C1'"_s).toString(), u"Alder"_s);
    RefreshCustomers(state);
    expectSameAsFullRetrieval();
}

// Applying the same change twice, or a change stamped exactly at the last time seen, neither
// loses nor doubles rows.
TEST_P(Refresh, AChangeAtTheLastTimeSeenIsNeitherLostNorDoubled)
{
    // Made in the same second as the last change the retrieval saw, after it looked.
    company.invoices.push_back({u"T8"_s, u"C2"_s, QDate(2024, 3, 1), kMorning, {{u"I2"_s, 8}}});
    company.customers.push_back({u"C7"_s, u"Gum"_s, {}, kMorning});
    publish();
    RefreshInvoices(state);
    RefreshCustomers(state);
    EXPECT_EQ(value(u"SELECT count(*) FROM Invoices WHERE InvNo = 'T8'"_s).toInt(), 1);
    EXPECT_EQ(value(u"SELECT count(*) FROM Customers WHERE ListID = 'C7'"_s).toInt(), 1);
    const Tables once = tables();

    // Nothing new: the overlap brings the same records again, and they replace themselves.
    RefreshInvoices(state);
    RefreshCustomers(state);
    EXPECT_EQ(tables(), once);
    EXPECT_EQ(state.errors().count(), 0);
    expectSameAsFullRetrieval();
}

TEST_P(Refresh, AFailureOnTheLastAnswerLeavesCopyAndStateAsTheyWere)
{
    // How many requests a refresh makes here, learnt from one that changes nothing.
    int before = standIn.requests();
    RefreshInvoices(state);
    const int invoiceRequests = standIn.requests() - before;
    before = standIn.requests();
    RefreshCustomers(state);
    const int customerRequests = standIn.requests() - before;
    ASSERT_EQ(state.errors().count(), 0);

    company.invoice(u"T1"_s).lines.pop_back();
    company.invoice(u"T1"_s).modified = kNext;
    company.customer(u"C1"_s).name = u"Alderwood"_s;
    company.customer(u"C1"_s).modified = kNext;
    company.item(u"I1"_s).name = u"Paints"_s;
    company.item(u"I1"_s).modified = kNext;
    publish();
    const Tables old = tables();
    const auto oldState = rows(u"SELECT * FROM RefreshStates ORDER BY List"_s);
    const QString oldBox = screen.boxText(RetrievalBox::Inv);
    screen.setNow(screen.now().addSecs(3600));

    standIn.failRequest(standIn.requests() + invoiceRequests, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok); // the error report
    RefreshInvoices(state);
    EXPECT_EQ(state.errors().count(), 1);
    standIn.failRequest(standIn.requests() + customerRequests, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok);
    RefreshCustomers(state);
    EXPECT_EQ(state.errors().count(), 2);
    EXPECT_EQ(tables(), old);
    EXPECT_EQ(rows(u"SELECT * FROM RefreshStates ORDER BY List"_s), oldState);
    EXPECT_EQ(screen.boxText(RetrievalBox::Inv), oldBox);

    // The next refreshes start from the same point and catch everything up.
    RefreshInvoices(state);
    RefreshCustomers(state);
    EXPECT_EQ(state.errors().count(), 2);
    expectSameAsFullRetrieval();
}

// Days of work of every kind, one after another, each followed by both refreshes: after each
// day the tables equal a full retrieval.
TEST_P(Refresh, DayAfterDayTheCopyStaysExact)
{
    std::mt19937 random(GetParam() ? 7u : 11u);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const auto hasChildren = [&](const QString &id) {
        return std::any_of(company.customers.begin(), company.customers.end(),
                           [&](const auto &c) { return c.parent == id; });
    };
    const auto hasInvoices = [&](const QString &id) {
        return std::any_of(company.invoices.begin(), company.invoices.end(),
                           [&](const auto &i) { return i.customerId == id; });
    };
    int serial = 100;
    for (int day = 1; day <= 6; ++day) {
        SCOPED_TRACE(day);
        const QString now = QDateTime(QDate(2024, 3, 1).addDays(day), QTime(17, 0))
                                .toString(u"yyyy-MM-ddTHH:mm:ss"_s) +
                            u"-05:00"_s;
        const QString tag = QString::number(day);
        // A customer renamed, one deactivated with its jobs, one turned into a job.
        TestCompany::Customer &renamed = company.customers[below(company.customers.size())];
        renamed.name += tag;
        renamed.modified = now;
        if (day % 2 == 0) {
            const QString id = company.customers[below(company.customers.size())].id;
            std::vector<QString> branch{id};
            for (size_t k = 0; k < branch.size(); ++k)
                for (auto &c : company.customers)
                    if (c.parent == branch[k] || c.id == branch[k]) {
                        if (c.id != branch[k])
                            branch.push_back(c.id);
                        c.active = false;
                        c.modified = now;
                    }
        }
        std::vector<size_t> tops;
        for (size_t k = 0; k < company.customers.size(); ++k)
            if (company.customers[k].parent.isEmpty() && company.customers[k].active)
                tops.push_back(k);
        if (tops.size() >= 2) {
            TestCompany::Customer &child = company.customers[tops[below(tops.size())]];
            const QString parent = company.customers[tops[below(tops.size())]].id;
            if (parent != child.id && !hasChildren(child.id)) {
                child.parent = parent;
                child.modified = now;
            }
        }
        // New customers, one of them a job; an unused one deleted.
        const QString top = u"N"_s + QString::number(++serial);
        company.customers.push_back({top, u"New "_s + tag, {}, now});
        company.customers.push_back({u"N"_s + QString::number(++serial), u"Job"_s, top, now});
        for (auto it = company.customers.begin(); it != company.customers.end(); ++it) {
            if (it->id != top && !hasChildren(it->id) && !hasInvoices(it->id) && below(3) == 0) {
                company.listDeletions.push_back({u"Customer"_s, it->id, now});
                company.customers.erase(it);
                break;
            }
        }
        // Invoices edited, moved in or out of the period, deleted, added.
        TestCompany::Invoice &edited = company.invoices[below(company.invoices.size())];
        if (edited.lines.size() > 1)
            edited.lines.pop_back();
        else
            edited.lines.front().amount += 1;
        edited.modified = now;
        TestCompany::Invoice &moved = company.invoices[below(company.invoices.size())];
        moved.date = QDate(2023, 6, 1).addDays(static_cast<qint64>(below(730)));
        moved.modified = now;
        const size_t gone = below(company.invoices.size());
        company.txnDeletions.push_back({u"Invoice"_s, company.invoices[gone].id, now});
        company.invoices.erase(company.invoices.begin() + static_cast<std::ptrdiff_t>(gone));
        for (int k = 0; k < 2; ++k) {
            const auto &buyer = company.customers[below(company.customers.size())];
            TestCompany::Invoice added{u"T"_s + QString::number(++serial),
                                       buyer.id,
                                       QDate(2024, 1, 1).addDays(static_cast<qint64>(below(360))),
                                       now,
                                       {}};
            for (size_t n = 0; n <= below(3); ++n)
                added.lines.push_back(
                    {company.items[below(company.items.size())].id, double(below(100))});
            company.invoices.push_back(added);
        }
        // An item renamed, another made inactive or active again.
        TestCompany::Item &item = company.items[below(company.items.size())];
        item.name += tag;
        item.modified = now;
        TestCompany::Item &toggled = company.items[below(company.items.size())];
        toggled.active = !toggled.active;
        toggled.modified = now;
        publish();

        screen.setNow(screen.now().addDays(1));
        const size_t shown = screen.messages().size();
        RefreshCustomers(state);
        RefreshInvoices(state);
        ASSERT_EQ(state.errors().count(), 0);
        ASSERT_EQ(screen.messages().size(), shown) << screen.messages().back().text.toStdString();
        expectSameAsFullRetrieval();
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, Refresh, ::testing::Values(false, true), [](const auto &param) {
    return param.param ? std::string("Iterators") : std::string("SingleRequest");
});

// The refresh falls back to the full retrieval, saying why in one sentence.
class RefreshFallback : public RefreshFixture {
protected:
    void SetUp() override
    {
        company = startingCompany();
        publish();
    }

    // Runs `refresh`, which must show one message containing `why` and then retrieve in
    // full (a request without a modified-date filter).
    void expectFullRetrieval(void (*refresh)(ProgramState &), const QString &why)
    {
        const size_t shown = screen.messages().size();
        const qsizetype first = standIn.requestLog().size();
        screen.answerNext(Answer::Ok);
        refresh(state);
        ASSERT_GT(screen.messages().size(), shown);
        const auto &message = screen.messages()[shown];
        EXPECT_TRUE(message.text.contains(why)) << message.text.toStdString();
        EXPECT_EQ(message.text.count(u'.'), 1) << message.text.toStdString(); // one sentence
        const QByteArray asked = requestsSince(first);
        EXPECT_FALSE(asked.contains("FromModifiedDate")) << asked.constData();
        EXPECT_EQ(state.errors().count(), 0);
    }
};

TEST_F(RefreshFallback, WithoutAnEarlierRetrieval)
{
    expectFullRetrieval(RefreshCustomers, u"no earlier retrieval"_s);
    EXPECT_EQ(count(u"Customers"_s), 4);
    // No invoice state: the period is asked as for a retrieval.
    screen.periodNext(kPeriodFrom, kPeriodTo);
    screen.answerNext(Answer::Ok); // the Hint
    expectFullRetrieval(RefreshInvoices, u"no earlier retrieval"_s);
    EXPECT_EQ(count(u"Invoices"_s), 7);
}

TEST_F(RefreshFallback, ADatabaseFromBeforeInvoicesKnewTheirTxnIdUsesTheRememberedPeriod)
{
    retrieveCustomers();
    retrieveInvoices(kPeriodFrom, kPeriodTo);
    execute(u"UPDATE Invoices SET TxnID = NULL"_s);
    const qsizetype first = standIn.requestLog().size();
    expectFullRetrieval(RefreshInvoices, u"earlier version"_s);
    EXPECT_EQ(screen.events().count(u"period"_s), 1) << "the period was asked again";
    EXPECT_TRUE(requestsSince(first).contains("<FromTxnDate>2024-01-01</FromTxnDate>"));
    EXPECT_EQ(value(u"SELECT count(*) FROM Invoices WHERE TxnID IS NULL"_s).toInt(), 0);
    // Now it can refresh.
    RefreshInvoices(state);
    EXPECT_EQ(screen.messages().size(), 2u); // the Hint and the one sentence

    // Customers retrieved by a version that kept no refresh state.
    execute(u"DELETE FROM RefreshStates WHERE List = 'Cust'"_s);
    expectFullRetrieval(RefreshCustomers, u"earlier version"_s);
    RefreshCustomers(state);
    EXPECT_EQ(screen.messages().size(), 3u);
}

TEST_F(RefreshFallback, MoreThanNinetyDaysSinceTheLastRetrieval)
{
    retrieveCustomers();
    screen.setNow(screen.now().addDays(90));
    RefreshCustomers(state); // 90 days: still refreshed
    EXPECT_TRUE(screen.messages().empty());
    screen.setNow(screen.now().addDays(91));
    expectFullRetrieval(RefreshCustomers, u"more than 90 days"_s);
}

TEST_F(RefreshFallback, AnotherCompanyFileOrTablesChangedMeanwhile)
{
    retrieveCustomers();
    execute(u"DELETE FROM Customers WHERE ListID = 'C2'"_s);
    expectFullRetrieval(RefreshCustomers, u"changed since"_s);
    EXPECT_EQ(count(u"Customers"_s), 4);

    // The same company under another path counts as another company file.
    CloseQB(state);
    const QString other = folder.path() + u"/Other.qbw"_s;
    ASSERT_TRUE(QFile::copy(companyPath, other));
    standIn.open(other);
    folder.write(u"QBPath.txt"_s, other.toUtf8() + "\n");
    expectFullRetrieval(RefreshCustomers, u"another company file"_s);
}

} // namespace
