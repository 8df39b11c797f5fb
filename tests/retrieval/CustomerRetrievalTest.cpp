#include "support/RetrievalFixture.h"

#include "localdb/SavedRecordset.h"
#include "qbxml/ComErrors.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/Retrievals.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;
using Call = InProcessStandIn::Call;

namespace {

QByteArray customer(const QByteArray &listId, const QByteArray &name, const QByteArray &inner = {})
{
    return "<CustomerRet><ListID>" + listId + "</ListID><Name>" + name + "</Name><FullName>" +
           name + "</FullName><IsActive>true</IsActive>" + inner + "</CustomerRet>";
}

QByteArray job(const QByteArray &listId, const QByteArray &parentId, const QByteArray &name)
{
    return "<CustomerRet><ListID>" + listId + "</ListID><Name>" + name +
           "</Name><FullName>P:" + name +
           "</FullName><IsActive>true</IsActive><ParentRef><ListID>" + parentId +
           "</ListID></ParentRef><Sublevel>1</Sublevel></CustomerRet>";
}

class CustomerRetrieval : public RetrievalFixture {};

} // namespace

TEST_F(CustomerRetrieval, WritesTopLevelCustomersAndStampsTheTime)
{
    useSmallCompany();
    GetCustomers(state);

    EXPECT_TRUE(screen.messages().empty());
    const auto all = rows(
        u"SELECT ListID, Name, CompanyName, BillAddr4, ShipAddr4, CustType, SalesRep, "
        u"OpenBalance, CreditLimit, IsActive, Terms, AccountNo FROM Customers ORDER BY ListID"_s);
    ASSERT_EQ(all.size(), 2u); // the job is skipped, the inactive customer never returned
    EXPECT_EQ(all[0][1], u"Alder Creek Hardware"_s);
    EXPECT_EQ(all[0][2], u"Alder Creek Hardware Inc."_s);
    EXPECT_EQ(all[0][3], u"Suite 4"_s);
    EXPECT_TRUE(all[0][4].isNull());
    EXPECT_EQ(all[0][5], u"Retail"_s);
    EXPECT_EQ(all[0][6], u"JMH"_s);
    EXPECT_DOUBLE_EQ(all[0][7].toDouble(), 1250.75);
    EXPECT_DOUBLE_EQ(all[0][8].toDouble(), 5000.0);
    EXPECT_EQ(all[0][9], true);
    EXPECT_EQ(all[0][10], u"Net 30"_s);
    EXPECT_EQ(all[0][11], u"AC-1001"_s);
    EXPECT_EQ(all[1][1], u"Cash Customer"_s);

    const RetrievalDates dates = readRetrievalDates(folder.path(), nullptr);
    EXPECT_EQ(dates.cust, screen.now());
    EXPECT_EQ(screen.boxText(RetrievalBox::Cust), generalDateText(screen.now()));
    EXPECT_TRUE(screen.entryEnabled(MenuEntry::DispCust));
    EXPECT_TRUE(screen.entryEnabled(MenuEntry::LettersAndLabels));
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
    EXPECT_TRUE(state.quickBooks().sessionOpen); // left open for the next retrieval
}

TEST_F(CustomerRetrieval, JobsAreSkippedButStillAdvanceTheBar)
{
    useCompany(customer("1", "Ann") + job("2", "1", "Porch") + customer("3", "Bo") +
               job("4", "3", "Roof"));
    GetCustomers(state);
    EXPECT_EQ(count(u"Customers"_s), 2);
    const QStringList events = screen.eventsWithout(u"yield"_s);
    EXPECT_TRUE(events.contains(u"text:Updating the Customers table in the QBData database..."_s));
    EXPECT_TRUE(events.contains(u"bar:150:shown"_s));
    EXPECT_TRUE(events.contains(u"bar:300:shown"_s)); // full width after the last (skipped) job
}

TEST_F(CustomerRetrieval, AddressesSetOnlyTheirPresentParts)
{
    useCompany(customer("1", "City Only", "<BillAddress><City>Eugene</City></BillAddress>") +
               customer("2", "No Address"));
    GetCustomers(state);
    const auto r =
        rows(u"SELECT BillAddr1, BillCity, BillState, BillZip, ShipAddr1, ShipCity, ShipZip "
             u"FROM Customers ORDER BY ListID"_s);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0][0].isNull());
    EXPECT_EQ(r[0][1], u"Eugene"_s);
    for (int c : {2, 3, 4, 5, 6})
        EXPECT_TRUE(r[0][static_cast<std::size_t>(c)].isNull()) << c;
    for (const auto &v : r[1])
        EXPECT_TRUE(v.isNull());
}

TEST_F(CustomerRetrieval, TextIsStoredAsReturned)
{
    useCompany(customer("1", "O'Brien &amp; Sons", "<CompanyName>Müller 100%_*[x] </CompanyName>"));
    GetCustomers(state);
    EXPECT_EQ(value(u"SELECT Name FROM Customers"_s), u"O'Brien & Sons"_s);
    EXPECT_EQ(value(u"SELECT CompanyName FROM Customers"_s), u"Müller 100%_*[x] "_s);
}

TEST_F(CustomerRetrieval, NonZeroStatusLeavesEverythingAsItWas)
{
    useCompany({}); // no customers: QuickBooks answers "no match"
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    screen.answerNext(Answer::Ok);
    GetCustomers(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, kAppTitle);
    EXPECT_EQ(screen.messages()[0].text,
              u"A query request did not find a matching object in QuickBooks"_s);
    EXPECT_EQ(count(u"Customers"_s), 1);
    EXPECT_FALSE(readRetrievalDates(folder.path(), nullptr).cust);
    EXPECT_TRUE(screen.boxText(RetrievalBox::Cust).isEmpty());
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(CustomerRetrieval, LockedTableThenOkRewritesCompletely)
{
    useSmallCompany();
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    holdLock();
    screen.answerNext(Answer::Ok);
    screen.onMessage([&](const QString &) { releaseLock(); });
    GetCustomers(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].text, u"You cannot have the Customers table open in the QBData "
                                         u"database. Please close the table in the "
                                         u"database, then click \"OK\" to try again."_s);
    EXPECT_EQ(screen.messages()[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(count(u"Customers"_s), 2);
    EXPECT_EQ(value(u"SELECT COUNT(*) FROM Customers WHERE ListID = 'old'"_s).toInt(), 0);
    EXPECT_TRUE(readRetrievalDates(folder.path(), nullptr).cust);
}

TEST_F(CustomerRetrieval, LockedTableThenCancelKeepsTheOldRows)
{
    useSmallCompany();
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    holdLock();
    screen.answerNext(Answer::Cancel);
    GetCustomers(state);
    releaseLock();
    EXPECT_EQ(count(u"Customers"_s), 1);
    EXPECT_FALSE(readRetrievalDates(folder.path(), nullptr).cust);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(CustomerRetrieval, ABadRecordOrAVanishedStandInKeepsTheOldRows)
{
    useCompany(customer("1", "Good") + customer("2", "Bad", "<Balance>twelve</Balance>"));
    execute(u"INSERT INTO Customers (ListID, Name) VALUES ('old', 'Old Customer')"_s);
    screen.answerNext(Answer::Ok);
    GetCustomers(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Error");
    EXPECT_TRUE(screen.messages()[0].text.contains(u"GetCustomers"));
    EXPECT_TRUE(screen.messages()[0].text.contains(u"twelve"));
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);

    standIn.failNext(Call::ProcessRequest, qb::hr::kCouldNotAccess);
    GetCustomers(state); // reported in the log only: the box shows once a run
    EXPECT_EQ(state.errors().count(), 2);
    EXPECT_EQ(value(u"SELECT ListID FROM Customers"_s), u"old"_s);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

namespace {

// A job or sub-customer whose parent reference holds `parentRef` (ListID and/or FullName).
QByteArray subCustomer(const QByteArray &listId, const QByteArray &fullName,
                       const QByteArray &parentRef)
{
    const QByteArray name = fullName.mid(fullName.lastIndexOf(':') + 1);
    return "<CustomerRet><ListID>" + listId + "</ListID><Name>" + name + "</Name><FullName>" +
           fullName + "</FullName><IsActive>true</IsActive><ParentRef>" + parentRef +
           "</ParentRef></CustomerRet>";
}

QByteArray byId(const QByteArray &listId)
{
    return "<ListID>" + listId + "</ListID>";
}

} // namespace

TEST_F(CustomerRetrieval, EveryJobIsTiedToItsTopLevelCustomer)
{
    useCompany(subCustomer("S2", "Ann:Porch:Paint", byId("J1")) // before its parent
               + customer("C1", "Ann") + subCustomer("J1", "Ann:Porch", byId("C1")) +
               subCustomer("S3", "Ann:Porch:Paint:Trim", byId("S2")) + customer("C2", "Bo") +
               subCustomer("J2", "Bo:Roof", "<FullName>Bo</FullName>") +
               subCustomer("J3", "Gone:Shed", byId("INACTIVE")) // parent not returned
               + subCustomer("L1", "Loop:A", byId("L2")) + subCustomer("L2", "Loop:B", byId("L1")));
    execute(
        u"INSERT INTO CustomerJobs (ListID, FullName, CustListID) VALUES ('OLD', 'Old:Job', 'C9')"_s);
    GetCustomers(state);

    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(count(u"Customers"_s), 2);
    const auto jobs =
        rows(u"SELECT ListID, FullName, CustListID FROM CustomerJobs ORDER BY ListID"_s);
    const std::vector<std::vector<QVariant>> expected = {
        {u"J1"_s, u"Ann:Porch"_s, u"C1"_s},
        {u"J2"_s, u"Bo:Roof"_s, u"C2"_s},
        {u"S2"_s, u"Ann:Porch:Paint"_s, u"C1"_s},
        {u"S3"_s, u"Ann:Porch:Paint:Trim"_s, u"C1"_s},
    };
    EXPECT_EQ(jobs, expected);
}

TEST_F(CustomerRetrieval, AFileWithoutTheJobTableGetsIt)
{
    execute(u"DROP TABLE CustomerJobs"_s);
    useCompany(customer("C1", "Ann") + subCustomer("J1", "Ann:Porch", byId("C1")));
    GetCustomers(state);
    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(value(u"SELECT CustListID FROM CustomerJobs WHERE ListID = 'J1'"_s), u"C1"_s);
}
