// Answering qbXML requests from a company file: envelope refusals, the filters the stand-in
// implements, statuses for everything else, and the layout of the answer.

#include "QueryEngineFixture.h"

TEST(QueryEngine, RefusesDocumentsThatAreNotValidRequests)
{
    const struct {
        const char *name;
        QByteArray request;
        std::int32_t number;
    } cases[] = {
        {"not well-formed", envelope("<CustomerQueryRq>"), hr::kXmlParse},
        {"no version",
         "<?xml version=\"1.0\"?><QBXML><QBXMLMsgsRq onError=\"stopOnError\"/></QBXML>",
         hr::kVersionUnsupported},
        {"version 14.0", envelope("<CustomerQueryRq/>", "stopOnError", "14.0"),
         hr::kVersionUnsupported},
        {"version 5", envelope("<CustomerQueryRq/>", "stopOnError", "5"), hr::kVersionUnsupported},
        {"version 13.0", envelope("<CustomerQueryRq/>", "stopOnError", "13.0"), 0},
        {"version 1.1", envelope("<CustomerQueryRq/>", "stopOnError", "1.1"), 0},
        {"rollbackOnError", envelope("<CustomerQueryRq/>", "rollbackOnError"),
         hr::kRollbackUnsupported},
        {"bad onError", envelope("<CustomerQueryRq/>", "ignoreErrors"), hr::kXmlParse},
        {"no onError",
         "<?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq><CustomerQueryRq/></QBXMLMsgsRq></QBXML>",
         hr::kXmlParse},
        {"wrong root",
         "<?qbxml version=\"2.1\"?><QBXMLRq><QBXMLMsgsRq onError=\"stopOnError\"/></QBXMLRq>",
         hr::kXmlParse},
        {"not a request", envelope("<CustomerQuery/>"), hr::kXmlParse},
        {"unknown child", envelope("<CustomerQueryRq><Colour>red</Colour></CustomerQueryRq>"),
         hr::kXmlParse},
        {"unknown attribute", envelope("<CustomerQueryRq iterator=\"Start\"/>"), hr::kXmlParse},
        {"filter after IncludeLineItems",
         envelope("<InvoiceQueryRq><IncludeLineItems>true</IncludeLineItems><TxnDateRangeFilter>"
                  "<FromTxnDate>2003-01-01</FromTxnDate></TxnDateRangeFilter></InvoiceQueryRq>"),
         hr::kXmlParse},
        {"ToTxnDate before FromTxnDate",
         envelope("<InvoiceQueryRq><TxnDateRangeFilter><ToTxnDate>2003-01-01</ToTxnDate>"
                  "<FromTxnDate>2003-01-01</FromTxnDate></TxnDateRangeFilter></InvoiceQueryRq>"),
         hr::kXmlParse},
        {"ListID with a filter",
         envelope(
             "<CustomerQueryRq><ListID>C1</ListID><MaxReturned>1</MaxReturned></CustomerQueryRq>"),
         hr::kXmlParse},
        {"ActiveStatus after MaxReturned is fine, before is not",
         envelope("<ItemQueryRq><ActiveStatus>All</ActiveStatus><MaxReturned>1</MaxReturned></"
                  "ItemQueryRq>"),
         hr::kXmlParse},
        {"OwnerID on sales reps",
         envelope("<SalesRepQueryRq><OwnerID>0</OwnerID></SalesRepQueryRq>"), hr::kXmlParse},
        {"unknown ActiveStatus",
         envelope("<CustomerQueryRq><ActiveStatus>Some</ActiveStatus></CustomerQueryRq>"),
         hr::kXmlParse},
        // The whole document is checked before anything is answered.
        {"bad request after a good one",
         envelope("<CustomerQueryRq/><ItemQueryRq><Name>x</Name></ItemQueryRq>"), hr::kXmlParse},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            QString diagnostic;
            processRequest(company(), c.request, &diagnostic);
            EXPECT_EQ(c.number, 0) << "answered";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), hr::description(c.number));
        }
    }
}

TEST(QueryEngine, ListQueriesSelectByStatusIdsAndNames)
{
    const struct {
        const char *request;
        QStringList ids;
    } cases[] = {
        {"<CustomerQueryRq/>", {u"C1"_s, u"C2"_s, u"C4"_s}}, // active only, the job included
        {"<CustomerQueryRq><ActiveStatus>All</ActiveStatus></CustomerQueryRq>",
         {u"C1"_s, u"C2"_s, u"C3"_s, u"C4"_s}},
        {"<CustomerQueryRq><ActiveStatus>InactiveOnly</ActiveStatus></CustomerQueryRq>", {u"C3"_s}},
        {"<CustomerQueryRq><MaxReturned>2</MaxReturned><ActiveStatus>All</ActiveStatus></"
         "CustomerQueryRq>",
         {u"C1"_s, u"C2"_s}},
        // Lists of ids or names ignore the status; names compare without case.
        {"<CustomerQueryRq><ListID>C4</ListID><ListID>C3</ListID></CustomerQueryRq>",
         {u"C3"_s, u"C4"_s}},
        {"<CustomerQueryRq><FullName>alder creek:REMODEL</FullName><FullName>birch &amp; "
         "co</FullName>"
         "</CustomerQueryRq>",
         {u"C2"_s, u"C3"_s}},
        {"<ItemQueryRq/>", {u"I1"_s, u"I3"_s}},
        {"<ItemQueryRq><FullName>subtotal</FullName></ItemQueryRq>", {u"I2"_s}},
        {"<SalesRepQueryRq/>", {u"R1"_s}},
        {"<SalesRepQueryRq><ActiveStatus>All</ActiveStatus></SalesRepQueryRq>", {u"R1"_s, u"R2"_s}},
        {"<SalesRepQueryRq><FullName>RT</FullName></SalesRepQueryRq>", {u"R2"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        const Rs rs = askOne(c.request);
        EXPECT_EQ(rs.statusCode, 0);
        EXPECT_EQ(rs.severity, u"Info"_s);
        EXPECT_EQ(rs.message, u"Status OK"_s);
        EXPECT_EQ(rs.ids, c.ids);
    }
}

TEST(QueryEngine, InvoiceDateRangeIsInclusiveAndOpenOnEitherSide)
{
    const auto range = [](const char *from, const char *to) {
        QByteArray filter = "<InvoiceQueryRq><TxnDateRangeFilter>";
        if (from)
            filter += "<FromTxnDate>" + QByteArray(from) + "</FromTxnDate>";
        if (to)
            filter += "<ToTxnDate>" + QByteArray(to) + "</ToTxnDate>";
        return askOne(filter + "</TxnDateRangeFilter></InvoiceQueryRq>");
    };
    const struct {
        const char *from;
        const char *to;
        QStringList ids;
    } cases[] = {
        {"2003-01-01", "2003-12-31", {u"T1"_s, u"T2"_s, u"T3"_s}},
        {"2003-05-06", "2003-05-06", {u"T2"_s}},
        {"2003-01-02", "2003-12-30", {u"T2"_s}},
        {"2003-05-06", nullptr, {u"T2"_s, u"T3"_s}},
        {nullptr, "2003-05-06", {u"T1"_s, u"T2"_s}},
        {"", "2003-01-01", {u"T1"_s}}, // an empty date leaves that side open
        {nullptr, nullptr, {u"T1"_s, u"T2"_s, u"T3"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from ? c.from : "-") + " .. " + (c.to ? c.to : "-"));
        const Rs rs = range(c.from, c.to);
        EXPECT_EQ(rs.statusCode, 0);
        EXPECT_EQ(rs.ids, c.ids);
    }

    const Rs reversed = range("2003-06-01", "2003-05-31");
    EXPECT_EQ(reversed.statusCode, 3030);
    EXPECT_EQ(reversed.severity, u"Error"_s);
    EXPECT_EQ(reversed.message, u"Invalid date range: From date is greater than To date."_s);
    EXPECT_TRUE(reversed.ids.isEmpty());

    for (const char *bad : {"2003-13-01", "05/06/2003", "2003-5-6", "2003-02-29"}) {
        SCOPED_TRACE(bad);
        const Rs rs = range("2003-01-01", bad);
        EXPECT_EQ(rs.statusCode, 3020);
        EXPECT_EQ(rs.severity, u"Error"_s);
        EXPECT_EQ(rs.message, u"There was an error when converting the date value \"%1\" in the "
                              "field \"ToTxnDate\"."_s.arg(QString::fromLatin1(bad)));
    }
}

TEST(QueryEngine, InvoiceLinesAndLinkedTxnsOnlyWhenAskedFor)
{
    const Rs plain = askOne("<InvoiceQueryRq><TxnID>T2</TxnID></InvoiceQueryRq>");
    EXPECT_EQ(plain.ids, QStringList{u"T2"_s});
    EXPECT_TRUE(plain.lineIds.isEmpty());
    EXPECT_TRUE(plain.linkedTxns.isEmpty());
    EXPECT_EQ(plain.customFields, 1); // after the lines, kept

    const Rs no =
        askOne("<InvoiceQueryRq><TxnID>T2</TxnID><IncludeLineItems>false</IncludeLineItems>"
               "</InvoiceQueryRq>");
    EXPECT_TRUE(no.lineIds.isEmpty());

    const Rs lines =
        askOne("<InvoiceQueryRq><TxnID>T2</TxnID><IncludeLineItems>true</IncludeLineItems>"
               "</InvoiceQueryRq>");
    EXPECT_EQ(lines.lineIds, (QStringList{u"L2"_s, u"G1"_s, u"L3"_s}));
    EXPECT_TRUE(lines.linkedTxns.isEmpty());
    EXPECT_EQ(lines.customFields, 1);

    const Rs linked = askOne("<InvoiceQueryRq><RefNumber>a-1002</RefNumber><IncludeLinkedTxns>true"
                             "</IncludeLinkedTxns></InvoiceQueryRq>");
    EXPECT_EQ(linked.ids, QStringList{u"T2"_s});
    EXPECT_EQ(linked.linkedTxns, QStringList{u"P1"_s});
    EXPECT_TRUE(linked.lineIds.isEmpty());

    const Rs bad =
        askOne("<InvoiceQueryRq><IncludeLineItems>yes</IncludeLineItems></InvoiceQueryRq>");
    EXPECT_EQ(bad.statusCode, 3010);
    EXPECT_EQ(bad.severity, u"Error"_s);
    EXPECT_TRUE(bad.message.contains(u"\"yes\""_s)) << bad.message.toStdString();
    EXPECT_TRUE(bad.ids.isEmpty());
}

TEST(QueryEngine, FiltersAndRequestsTheStandInLacksAreNotAvailable)
{
    const struct {
        const char *request;
        const char *response;
    } cases[] = {
        {"<CustomerQueryRq><NameFilter><MatchCriterion>StartsWith</MatchCriterion><Name>A</Name>"
         "</NameFilter></CustomerQueryRq>",
         "CustomerQueryRs"},
        {"<CustomerQueryRq><TotalBalanceFilter><Operator>GreaterThan</Operator><Amount>1.00</"
         "Amount>"
         "</TotalBalanceFilter></CustomerQueryRq>",
         "CustomerQueryRs"},
        {"<CustomerQueryRq><OwnerID>0</OwnerID></CustomerQueryRq>", "CustomerQueryRs"},
        {"<ItemQueryRq><NameRangeFilter><FromName>A</FromName></NameRangeFilter></ItemQueryRq>",
         "ItemQueryRs"},
        {"<InvoiceQueryRq><EntityFilter><FullName>Cedar</FullName></EntityFilter></InvoiceQueryRq>",
         "InvoiceQueryRs"},
        {"<InvoiceQueryRq><TxnDateRangeFilter><DateMacro>ThisYear</DateMacro></TxnDateRangeFilter>"
         "</InvoiceQueryRq>",
         "InvoiceQueryRs"},
        {"<InvoiceQueryRq><RefNumberFilter><MatchCriterion>StartsWith</MatchCriterion>"
         "<RefNumber>A</RefNumber></RefNumberFilter><IncludeLineItems>true</IncludeLineItems>"
         "</InvoiceQueryRq>",
         "InvoiceQueryRs"},
        {"<InvoiceQueryRq><PaidStatus>PaidOnly</PaidStatus></InvoiceQueryRq>", "InvoiceQueryRs"},
        {"<VendorQueryRq/>", "VendorQueryRs"},
        {"<CustomerAddRq><CustomerAdd><Name>New</Name></CustomerAdd></CustomerAddRq>",
         "CustomerAddRs"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        const Rs rs = askOne(c.request);
        EXPECT_EQ(rs.name, QString::fromLatin1(c.response));
        EXPECT_EQ(rs.statusCode, 3250);
        EXPECT_EQ(rs.severity, u"Error"_s);
        EXPECT_EQ(rs.message, kNotAvailable);
        EXPECT_TRUE(rs.ids.isEmpty());
    }
}

TEST(QueryEngine, NoMatchIsStatusOneWithoutRecords)
{
    for (const char *request : {"<CustomerQueryRq><ListID>nope</ListID></CustomerQueryRq>",
                                "<InvoiceQueryRq><TxnDateRangeFilter><FromTxnDate>2020-01-01</"
                                "FromTxnDate></TxnDateRangeFilter>"
                                "</InvoiceQueryRq>",
                                "<ItemQueryRq><MaxReturned>0</MaxReturned></ItemQueryRq>"}) {
        SCOPED_TRACE(request);
        const Rs rs = askOne(request);
        EXPECT_EQ(rs.statusCode, 1);
        EXPECT_EQ(rs.severity, u"Info"_s);
        EXPECT_EQ(rs.message, u"A query request did not find a matching object in QuickBooks"_s);
        EXPECT_TRUE(rs.ids.isEmpty());
    }
}

TEST(QueryEngine, StopOnErrorLeavesTheRestUnansweredContinueOnErrorAnswersAll)
{
    const QByteArray requests = "<CustomerQueryRq requestID=\"1\"/><VendorQueryRq requestID=\"2\"/>"
                                "<ListQueryRq requestID=\"3\"/><ItemQueryRq/>";
    const auto stopped = ask(requests, "stopOnError");
    ASSERT_EQ(stopped.size(), 2u);
    EXPECT_EQ(stopped[1].statusCode, 3250);

    const auto all = ask(requests, "continueOnError");
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ((QStringList{all[0].name, all[1].name, all[2].name, all[3].name}),
              (QStringList{u"CustomerQueryRs"_s, u"VendorQueryRs"_s, u"ListQueryRs"_s,
                           u"ItemQueryRs"_s}));
    EXPECT_EQ(all[3].ids, (QStringList{u"I1"_s, u"I3"_s}));
    // No-match is Info: stopOnError goes on after it.
    EXPECT_EQ(
        ask("<CustomerQueryRq><ListID>x</ListID></CustomerQueryRq><ItemQueryRq/>", "stopOnError")
            .size(),
        2u);
}

TEST(QueryEngine, AnswerEchoesRequestIdsAndCarriesTheStoredRecords)
{
    const QByteArray answer = processRequest(
        company(), envelope("<CustomerQueryRq requestID=\"1\"><ListID>C1</ListID></CustomerQueryRq>"
                            "<SalesRepQueryRq requestID='a&quot;&amp;&lt;b&#10;'/><ItemQueryRq/>"));
    EXPECT_TRUE(
        answer.startsWith("<?xml version=\"1.0\" ?>\n<QBXML>\n<QBXMLMsgsRs>\n<CustomerQueryRs "
                          "requestID=\"1\" statusCode=\"0\" statusSeverity=\"Info\" "
                          "statusMessage=\"Status OK\">\n"))
        << answer.toStdString();
    const qsizetype stored = kCompany.indexOf("<CustomerRet><ListID>C1</ListID>");
    const QByteArray record =
        kCompany.mid(stored, kCompany.indexOf("</CustomerRet>", stored) + 14 - stored);
    EXPECT_TRUE(answer.contains(record)) << answer.toStdString();

    const auto rs = parse(answer);
    ASSERT_EQ(rs.size(), 3u);
    EXPECT_EQ(rs[0].unknown, QStringList{u"kept"_s});
    EXPECT_EQ(rs[1].requestId, u"a\"&<b\n"_s);
    EXPECT_FALSE(rs[2].hasRequestId);

    const auto none = parse(processRequest(
        company(), "<?qbxml version=\"2.0\"?><QBXML><QBXMLMsgsRq onError=\"stopOnError\" "
                   "responseData=\"includeNone\"><CustomerQueryRq/></QBXMLMsgsRq></QBXML>"));
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].statusCode, 0);
    EXPECT_TRUE(none[0].ids.isEmpty());
}
