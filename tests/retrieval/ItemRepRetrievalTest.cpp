#include "support/RetrievalFixture.h"

#include "qbxml/ComErrors.h"
#include "retrieval/Retrievals.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;
using Call = InProcessStandIn::Call;

namespace {

QByteArray rep(const QByteArray &listId, const QByteArray &initial, const QByteArray &entity)
{
    QByteArray xml = "<SalesRepRet><ListID>" + listId + "</ListID>";
    if (!initial.isEmpty())
        xml += "<Initial>" + initial + "</Initial>";
    xml += "<IsActive>true</IsActive>";
    if (!entity.isEmpty())
        xml += "<SalesRepEntityRef><FullName>" + entity + "</FullName></SalesRepEntityRef>";
    return xml + "</SalesRepRet>";
}

QByteArray item(const QByteArray &kind, const QByteArray &listId, const QByteArray &inner)
{
    return "<Item" + kind + "Ret><ListID>" + listId + "</ListID><Name>N" + listId + "</Name>" +
           inner + "</Item" + kind + "Ret>";
}

class ItemRetrieval : public RetrievalFixture {};
class RepRetrieval : public RetrievalFixture {};

} // namespace

TEST_F(ItemRetrieval, SixKindsWithTheirThreeShapesOfDescription)
{
    useSmallCompany();
    GetItems(state);
    EXPECT_TRUE(screen.messages().empty());

    std::map<QString, std::pair<QString, QVariant>> byName; // name -> (type, desc)
    for (const auto &r : rows(u"SELECT Name, Type, Desc, IsActive, ListID FROM Items"_s)) {
        byName[r[0].toString()] = {r[1].toString(), r[2]};
        EXPECT_FALSE(r[4].toString().isEmpty());
        EXPECT_EQ(r[3], true); // the unfiltered query returns active items only
    }
    EXPECT_EQ(byName[u"Installation"_s].first, u"ItemServiceRet");
    EXPECT_EQ(byName[u"Installation"_s].second, u"Installation labor"_s); // sales-or-purchase Desc
    EXPECT_EQ(byName[u"Special Order"_s].second,
              u"Special order merchandise"_s); // sales-and-purchase
    EXPECT_EQ(byName[u"Hinge 3in"_s].first, u"ItemInventoryRet");
    EXPECT_EQ(byName[u"Hinge 3in"_s].second, u"3 inch brass hinge"_s);
    EXPECT_EQ(byName[u"Cabinet Pull Set"_s].first, u"ItemInventoryAssemblyRet");
    EXPECT_EQ(byName[u"Metro Combined"_s].first, u"ItemSalesTaxGroupRet");
    EXPECT_EQ(byName[u"Metro Combined"_s].second, u"State and city combined rate"_s);
    EXPECT_TRUE(
        byName[u"Shipping"_s].second.isNull()); // a sales/purchase part without a description
    // The other kinds give no row.
    for (const char *name : {"Subtotal", "Volume Discount", "Deposit", "Lane County", "Door Kit"})
        EXPECT_EQ(byName.count(QString::fromLatin1(name)), 0u) << name;

    EXPECT_FALSE(state.quickBooks().sessionOpen);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(ItemRetrieval, MissingPartsAndNamesStillGiveARowAndTheBarStopsShort)
{
    useCompany({}, {},
               item("Service", "1", "<IsActive>true</IsActive>") +
                   "<ItemNonInventoryRet><ListID>2</ListID><IsActive>true</IsActive></"
                   "ItemNonInventoryRet>" +
                   item("Payment", "3", "<IsActive>true</IsActive>") +
                   item("Inventory", "4", "<IsActive>false</IsActive>"));
    GetItems(state);
    const auto r = rows(u"SELECT ListID, Name, Desc, Type FROM Items ORDER BY ListID"_s);
    ASSERT_EQ(r.size(), 2u); // the payment gives none, the inactive one is not returned
    EXPECT_EQ(r[0][0], u"1"_s);
    EXPECT_TRUE(r[0][2].isNull());
    EXPECT_TRUE(r[1][1].isNull()); // no name
    EXPECT_EQ(r[1][3], u"ItemNonInventoryRet"_s);
    // Three entries: the bar ends at 2/3 of its width.
    EXPECT_EQ(screen.eventsWithout(u"yield"_s).filter(u"bar:"_s).last(), u"bar:200:shown"_s);
    EXPECT_TRUE(screen.events().contains(u"text:Writing 3 items to the Items table..."_s));
}

TEST_F(ItemRetrieval, NonZeroStatusKeepsTheTableEndsTheSessionAndClosesTheWindow)
{
    useCompany({});
    execute(u"INSERT INTO Items (Name) VALUES ('old')"_s);
    screen.answerNext(Answer::Ok);
    GetItems(state);
    EXPECT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(count(u"Items"_s), 1);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(ItemRetrieval, LockedTableCancelLeavesTheSessionOpen)
{
    useSmallCompany();
    holdLock();
    screen.answerNext(Answer::Cancel);
    GetItems(state);
    releaseLock();
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"Items table"));
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_EQ(count(u"Items"_s), 0);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(RepRetrieval, ThreeRepsWithAndWithoutShortNames)
{
    useCompany({}, {}, {},
               rep("1", "JMH", "Jamie M. Howell") + rep("2", {}, "Robin Tanaka") +
                   rep("3", "NWR", {}));
    execute(u"INSERT INTO Reps (Rep) VALUES ('old')"_s);
    GetReps(state);
    EXPECT_TRUE(screen.messages().empty());
    const auto r = rows(u"SELECT ListID, Rep, Name FROM Reps ORDER BY ListID"_s);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0][1], u"JMH"_s);
    EXPECT_TRUE(r[1][1].isNull());
    EXPECT_EQ(r[1][2], u"Robin Tanaka"_s);
    EXPECT_TRUE(r[2][2].isNull());
    EXPECT_EQ(screen.eventsWithout(u"yield"_s).filter(u"bar:"_s).last(), u"bar:300:shown"_s);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

TEST_F(RepRetrieval, NonZeroStatusKeepsTheOldRows)
{
    useCompany({});
    execute(u"INSERT INTO Reps (Rep) VALUES ('old')"_s);
    screen.answerNext(Answer::Ok);
    GetReps(state);
    EXPECT_EQ(count(u"Reps"_s), 1);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_FALSE(screen.busy());
}

TEST_F(RepRetrieval, RefusedLoginDuringTheRequest)
{
    useCompany({}, {}, {}, rep("1", "JMH", "Jamie"));
    standIn.failNext(Call::ProcessRequest, qb::hr::kNoAutoLogin);
    screen.answerNext(Answer::Ok);
    GetReps(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Login Failed");
    EXPECT_TRUE(screen.messages()[0].text.startsWith(qb::hr::description(qb::hr::kNoAutoLogin) +
                                                     u" In order for Fenwick"_s));
    EXPECT_EQ(screen.mainWindowShown(), 1);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_EQ(count(u"Reps"_s), 0);
}

TEST_F(RepRetrieval, AnUnexpectedErrorIsReportedAndTheRestStillRuns)
{
    useCompany({}, {}, {}, rep("1", "JMH", "Jamie"));
    execute(u"INSERT INTO Reps (Rep) VALUES ('old')"_s);
    standIn.failNext(Call::ProcessRequest, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok);
    GetReps(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"GetReps"));
    EXPECT_TRUE(screen.messages()[0].text.contains(u"Line Number: 30\r")) << "the request step";
    EXPECT_EQ(count(u"Reps"_s), 1);       // the table is left as it was
    EXPECT_EQ(standIn.openSessions(), 0); // the session was still ended
    EXPECT_FALSE(screen.statusOpen());

    // A database that cannot be opened ends the retrieval instead of trying again and again.
    QFile::remove(localDbPath(folder.path()));
    GetReps(state);
    EXPECT_EQ(state.errors().count(), 2);
    EXPECT_FALSE(screen.statusOpen());
}
