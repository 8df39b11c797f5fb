#include "support/RetrievalFixture.h"

#include "retrieval/RetrievalDates.h"
#include "retrieval/Retrievals.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray
line(const QByteArray &itemId,
     const QByteArray &inner = "<Quantity>2</Quantity><Rate>5.00</Rate><Amount>10.00</Amount>")
{
    QByteArray xml = "<InvoiceLineRet><TxnLineID>L</TxnLineID>";
    if (!itemId.isEmpty())
        xml += "<ItemRef><ListID>" + itemId + "</ListID><FullName>Item " + itemId +
               "</FullName></ItemRef>";
    return xml + "<Desc>line " + itemId + "</Desc>" + inner + "</InvoiceLineRet>";
}

QByteArray group(const QByteArray &members)
{
    return "<InvoiceLineGroupRet><TxnLineID>G</TxnLineID><ItemGroupRef><ListID>G1</"
           "ListID><FullName>Kit</FullName>"
           "</ItemGroupRef><IsPrintItemsInGroup>true</IsPrintItemsInGroup><TotalAmount>0.00</"
           "TotalAmount>" +
           members + "</InvoiceLineGroupRet>";
}

QByteArray invoice(const QByteArray &ref, const QByteArray &date, const QByteArray &lines,
                   const QByteArray &header = "<SalesRepRef><FullName>JMH</FullName></SalesRepRef>")
{
    return "<InvoiceRet><TxnID>T" + ref +
           "</TxnID><CustomerRef><ListID>C1</ListID><FullName>Ann</FullName>"
           "</CustomerRef><TxnDate>" +
           date + "</TxnDate><RefNumber>" + ref + "</RefNumber>" + header + lines + "</InvoiceRet>";
}

const QByteArray kItem =
    "<ItemServiceRet><ListID>I1</ListID><Name>Labor</Name><FullName>Labor</FullName>"
    "<IsActive>true</IsActive><Sublevel>0</Sublevel><SalesOrPurchase><Desc>Labor</Desc>"
    "<AccountRef><FullName>Income</FullName></AccountRef></SalesOrPurchase></ItemServiceRet>";

class InvoiceRetrieval : public RetrievalFixture {
protected:
    QStringList invoiceNumbers()
    {
        QStringList out;
        for (const auto &r : rows(u"SELECT DISTINCT InvNo FROM Invoices ORDER BY InvNo"_s))
            out << r[0].toString();
        return out;
    }
    void useThreeInvoices()
    {
        useCompany({},
                   invoice("101", "2024-01-04", line("I1")) +
                       invoice("102", "2024-01-05", line("I1")) +
                       invoice("103", "2024-01-06", line("I1")),
                   kItem);
    }
};

} // namespace

TEST_F(InvoiceRetrieval, PeriodBoundsAreInclusiveAndOptional)
{
    struct Case {
        QString from, to;
        QStringList expected;
    };
    const Case cases[] = {
        {{}, {}, {u"101"_s, u"102"_s, u"103"_s}},
        {u"1/5/2024"_s, {}, {u"102"_s, u"103"_s}},
        {{}, u"01/05/2024"_s, {u"101"_s, u"102"_s}},
        {u"01/05/2024"_s, u"2024-01-05"_s, {u"102"_s}},
    };
    useThreeInvoices();
    for (const auto &c : cases) {
        screen.periodNext(c.from, c.to);
        screen.answerNext(Answer::Ok); // the Hint, shown after the first retrieval only
        GetInvoices(state);
        EXPECT_EQ(invoiceNumbers(), c.expected)
            << c.from.toStdString() << " - " << c.to.toStdString();
    }
    EXPECT_EQ(screen.unansweredMessages(), 3);
    const QByteArray lastInvoiceQuery = standIn.requestLog()[standIn.requestLog().size() - 2];
    EXPECT_TRUE(lastInvoiceQuery.contains("<FromTxnDate>2024-01-05</FromTxnDate>"));
    EXPECT_TRUE(lastInvoiceQuery.contains("<ToTxnDate>2024-01-05</ToTxnDate>"));
}

TEST_F(InvoiceRetrieval, OneRowPerItemLineWithTheHeaderRepeated)
{
    const QByteArray header =
        "<ClassRef><FullName>West</FullName></ClassRef><PONumber>PO-1</PONumber>"
        "<TermsRef><FullName>Net 30</FullName></TermsRef><DueDate>2024-02-03</DueDate>"
        "<SalesRepRef><FullName>JMH</FullName></SalesRepRef><FOB>Dock</FOB>"
        "<ShipDate>2024-01-05</ShipDate><ShipMethodRef><FullName>UPS</FullName></ShipMethodRef>"
        "<Memo>Thanks</Memo>";
    useCompany({},
               invoice("7", "2024-01-04",
                       line("I1") + line({}) +
                           line("I2", "<RatePercent>-10.00</RatePercent><Amount>-1.00</Amount>"),
                       header),
               kItem);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);

    const auto r =
        rows(u"SELECT CustListID, Customer, Class, PO, Terms, DueDate, SalesRep, FOB, ShipDate, "
             u"ShipMethod, "
             u"Memo, InvNo, InvDate, ItemRefID, ItemRef, Desc, Qty, RateAmt, RatePct, Amt "
             u"FROM Invoices ORDER BY rowid"_s);
    ASSERT_EQ(r.size(), 2u); // the line without an item gives no row
    for (const auto &row : r) {
        EXPECT_EQ(row[0], u"C1"_s);
        EXPECT_EQ(row[1], u"Ann"_s);
        EXPECT_EQ(row[2], u"West"_s);
        EXPECT_EQ(row[3], u"PO-1"_s);
        EXPECT_EQ(row[4], u"Net 30"_s);
        EXPECT_EQ(row[5].toDateTime(), QDateTime(QDate(2024, 2, 3), QTime(0, 0)));
        EXPECT_EQ(row[6], u"JMH"_s);
        EXPECT_EQ(row[7], u"Dock"_s);
        EXPECT_EQ(row[9], u"UPS"_s);
        EXPECT_EQ(row[10], u"Thanks"_s);
        EXPECT_EQ(row[11], u"7"_s);
        EXPECT_EQ(row[12].toDateTime(), QDateTime(QDate(2024, 1, 4), QTime(0, 0)));
    }
    EXPECT_EQ(r[0][13], u"I1"_s);
    EXPECT_EQ(r[0][14], u"Item I1"_s);
    EXPECT_DOUBLE_EQ(r[0][16].toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(r[0][17].toDouble(), 5.0);
    EXPECT_TRUE(r[0][18].isNull()); // an amount rate leaves the percentage unset
    EXPECT_TRUE(r[1][17].isNull()); // and a percentage the amount
    EXPECT_DOUBLE_EQ(r[1][18].toDouble(), -10.0);
    EXPECT_TRUE(r[1][16].isNull());
    EXPECT_DOUBLE_EQ(r[1][19].toDouble(), -1.0);
}

TEST_F(InvoiceRetrieval, MissingHeaderValuesStayUnset)
{
    useCompany({}, invoice("8", "2024-01-04", line("I1"), {}), kItem);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    const auto r = rows(
        u"SELECT Class, PO, Terms, DueDate, SalesRep, FOB, ShipDate, ShipMethod, Memo, LineClass, "
        u"CustListID FROM Invoices"_s);
    ASSERT_EQ(r.size(), 1u);
    for (std::size_t c = 0; c + 1 < r[0].size(); ++c)
        EXPECT_TRUE(r[0][c].isNull()) << c;
    EXPECT_EQ(r[0].back(), u"C1"_s);
}

TEST_F(InvoiceRetrieval, GroupMembersStopAtTheFirstWithoutAnItem)
{
    useCompany({}, invoice("9", "2024-01-04", group(line("A") + line({}) + line("B")) + line("C")),
               kItem);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    QStringList items;
    for (const auto &r : rows(u"SELECT ItemRefID FROM Invoices ORDER BY rowid"_s))
        items << r[0].toString();
    EXPECT_EQ(items, (QStringList{u"A"_s, u"C"_s}));
}

TEST_F(InvoiceRetrieval, StampsTheTimeRunsItemsAndHintsOnlyIntoAnEmptyTable)
{
    useSmallCompany();
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Hint");
    EXPECT_TRUE(screen.messages()[0].text.contains(u"days.\r\rWhen you select"));
    EXPECT_EQ(count(u"Invoices"_s), 8); // every item line: 6 of the first invoice, 2 of the second
    EXPECT_GT(count(u"Items"_s), 0);
    EXPECT_EQ(readRetrievalDates(folder.path(), nullptr).inv, screen.now());
    EXPECT_EQ(screen.boxText(RetrievalBox::Inv), generalDateText(screen.now()));
    EXPECT_TRUE(screen.entryEnabled(MenuEntry::DispInv));
    EXPECT_TRUE(screen.entryEnabled(MenuEntry::ItemAging));
    EXPECT_FALSE(state.quickBooks().sessionOpen); // the item retrieval ended it
    EXPECT_FALSE(screen.statusOpen());
    EXPECT_TRUE(screen.events().contains(u"play:"_s + state.appFile(appfile::kClip)));

    screen.periodNext({}, {});
    GetInvoices(state);
    EXPECT_EQ(screen.messages().size(), 1u); // no second Hint
}

TEST_F(InvoiceRetrieval, TextThatIsNotADateStopsBeforeQuickBooksIsAsked)
{
    useThreeInvoices();
    screen.periodNext(u"tomorrow"_s, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.startsWith(u"\"tomorrow\" is not a date."));
    EXPECT_EQ(standIn.connections(), 0);
    EXPECT_FALSE(screen.events().contains(u"show"_s));

    screen.periodClosedNext(); // the dialog closed without OK does nothing
    GetInvoices(state);
    EXPECT_EQ(standIn.connections(), 0);
    EXPECT_EQ(count(u"Invoices"_s), 0);
}

TEST_F(InvoiceRetrieval, NonZeroStatusTouchesNothingAndKeepsTheSession)
{
    useThreeInvoices();
    execute(u"INSERT INTO Invoices (InvNo) VALUES ('old')"_s);
    screen.periodNext(u"01/01/2030"_s, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].text,
              u"A query request did not find a matching object in QuickBooks"_s);
    EXPECT_EQ(invoiceNumbers(), QStringList{u"old"_s});
    EXPECT_FALSE(readRetrievalDates(folder.path(), nullptr).inv);
    EXPECT_EQ(count(u"Items"_s), 0);
    EXPECT_TRUE(state.quickBooks().sessionOpen);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(InvoiceRetrieval, LockedTableRetriesFromTheQuery)
{
    useThreeInvoices();
    execute(u"INSERT INTO Invoices (InvNo) VALUES ('old')"_s);
    holdLock();
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    screen.onMessage([&](const QString &) { releaseLock(); });
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].text, u"You cannot have the Invoices table open in the QBData "
                                         u"database. Please close the table in the "
                                         u"database, then click \"OK\" to try again."_s);
    EXPECT_EQ(standIn.requests(), 3); // invoices twice, then items
    EXPECT_EQ(invoiceNumbers(), (QStringList{u"101"_s, u"102"_s, u"103"_s}));
}

TEST_F(InvoiceRetrieval, AnErrorMidWriteKeepsTheOldRows)
{
    useCompany({},
               invoice("1", "2024-01-04", line("I1")) +
                   invoice("2", "2024-01-05", line("I1", "<Quantity>x</Quantity>")),
               kItem);
    execute(u"INSERT INTO Invoices (InvNo) VALUES ('old')"_s);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages()[0].title, u"Error");
    EXPECT_TRUE(screen.messages()[0].text.contains(u"GetInvoices"));
    EXPECT_EQ(invoiceNumbers(), QStringList{u"old"_s});
    EXPECT_FALSE(readRetrievalDates(folder.path(), nullptr).inv);
    EXPECT_EQ(count(u"Items"_s), 0);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(InvoiceRetrieval, PeriodTextsAreReadAsTheDialogReadsThemAroundTheProgramsClock)
{
    useThreeInvoices();
    screen.setNow(QDateTime(QDate(2031, 6, 1), QTime(8, 0)));
    screen.periodNext(u"Jan 5, 2024 10:00"_s, u"1/5/24"_s);
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    EXPECT_EQ(invoiceNumbers(), QStringList{u"102"_s});

    // A year left out is the clock's; two digits fall within the 80 years before it and the
    // 19 after, not in 1930-2029.
    screen.periodNext(u"12/31/30"_s, u"1/5"_s);
    screen.answerNext(Answer::Ok); // no invoice in that period
    GetInvoices(state);
    const QByteArray query = standIn.requestLog().back();
    EXPECT_TRUE(query.contains("<FromTxnDate>2030-12-31</FromTxnDate>")) << query.toStdString();
    EXPECT_TRUE(query.contains("<ToTxnDate>2031-01-05</ToTxnDate>")) << query.toStdString();
}

TEST_F(InvoiceRetrieval, ADatesFileWithoutItsDateFieldIsMadeAnewAndTheItemsStillCome)
{
    useThreeInvoices();
    const QByteArray nameOnly = R"({"format": "corvina-recordset", "version": 1,
        "fields": [{"name": "Name", "kind": "text", "size": 20}], "rows": [["Inv"]]})";
    folder.write(u"Dates.adtg"_s, nameOnly);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok); // Dates.adtg was kept aside
    screen.answerNext(Answer::Ok); // the Hint
    GetInvoices(state);

    ASSERT_EQ(screen.messages().size(), 2u);
    EXPECT_TRUE(screen.messages()[0].text.contains(u"Dates.adtg.bad"_s))
        << screen.messages()[0].text.toStdString();
    EXPECT_EQ(screen.messages()[1].title, u"Hint"_s); // no error box
    EXPECT_EQ(folder.read(u"Dates.adtg.bad"_s), nameOnly);
    EXPECT_GT(count(u"Items"_s), 0);
    std::optional<RecoveryNotice> notice;
    EXPECT_EQ(readRetrievalDates(folder.path(), &notice).inv, screen.now());
    EXPECT_FALSE(notice.has_value());
}
