// What changed and when: the company file's times and deletions, the modified-time filters of
// the list and invoice queries, and the deleted-record queries.

#include "QueryEngineFixture.h"

#include <QTimeZone>
#include <QVersionNumber>

namespace {

// Times written with several offsets. The latest is T3's, 2024-03-03T08:00:00Z, so deletions
// before 2023-12-04T08:00:00Z are forgotten; D4 lies exactly on that boundary.
const QByteArray kTimedCompany = R"(<?xml version="1.0" ?>
<QBXML><QBXMLMsgsRs>
<CustomerQueryRs statusCode="0" statusSeverity="Info">
  <CustomerRet><ListID>C1</ListID><TimeCreated>2024-01-05T09:00:00-05:00</TimeCreated><TimeModified>2024-03-01T09:00:00-05:00</TimeModified><Name>Alder</Name><FullName>Alder</FullName></CustomerRet>
  <CustomerRet><ListID>C2</ListID><TimeModified>2024-03-02T10:00:00-05:00</TimeModified><Name>Remodel</Name><FullName>Alder:Remodel</FullName><IsActive>false</IsActive></CustomerRet>
  <CustomerRet><ListID>C3</ListID><TimeModified>2024-03-02T15:00:00Z</TimeModified><Name>Birch</Name><FullName>Birch</FullName></CustomerRet>
  <CustomerRet><ListID>C4</ListID><Name>Cedar</Name><FullName>Cedar</FullName></CustomerRet>
</CustomerQueryRs>
<ItemQueryRs statusCode="0" statusSeverity="Info">
  <ItemServiceRet><ListID>I1</ListID><TimeModified>2024-03-01T08:00:00</TimeModified><Name>Install</Name></ItemServiceRet>
  <ItemServiceRet><ListID>I2</ListID><TimeModified>2023-03-01T08:00:00</TimeModified><Name>Paint</Name></ItemServiceRet>
</ItemQueryRs>
<InvoiceQueryRs statusCode="0" statusSeverity="Info">
  <InvoiceRet><TxnID>T1</TxnID><TimeModified>2024-02-01T12:00:00-05:00</TimeModified><TxnDate>2024-02-01</TxnDate>
    <InvoiceLineRet><TxnLineID>L1</TxnLineID></InvoiceLineRet></InvoiceRet>
  <InvoiceRet><TxnID>T2</TxnID><TimeModified>2024-03-02T12:00:00-05:00</TimeModified><TxnDate>2021-06-01</TxnDate>
    <InvoiceLineRet><TxnLineID>L2</TxnLineID></InvoiceLineRet></InvoiceRet>
  <InvoiceRet><TxnID>T3</TxnID><TimeModified>2024-03-03T09:00:00+01:00</TimeModified><TxnDate>2024-03-03</TxnDate>
    <InvoiceLineRet><TxnLineID>L3</TxnLineID></InvoiceLineRet></InvoiceRet>
</InvoiceQueryRs>
<TxnDeletedQueryRs statusCode="0" statusSeverity="Info">
  <TxnDeletedRet><TxnDelType>Invoice</TxnDelType><TxnID>D1</TxnID><TimeCreated>2024-01-02T10:00:00-05:00</TimeCreated><TimeDeleted>2024-03-02T11:00:00-05:00</TimeDeleted><RefNumber>1001</RefNumber></TxnDeletedRet>
  <TxnDeletedRet><TxnDelType>Invoice</TxnDelType><TxnID>D2</TxnID><TimeDeleted>2023-11-01T10:00:00-05:00</TimeDeleted></TxnDeletedRet>
  <TxnDeletedRet><TxnDelType>ReceivePayment</TxnDelType><TxnID>D3</TxnID><TimeDeleted>2024-03-01T10:00:00-05:00</TimeDeleted></TxnDeletedRet>
  <TxnDeletedRet><TxnDelType>Invoice</TxnDelType><TxnID>D4</TxnID><TimeDeleted>2023-12-04T03:00:00-05:00</TimeDeleted></TxnDeletedRet>
</TxnDeletedQueryRs>
<ListDeletedQueryRs statusCode="0" statusSeverity="Info">
  <ListDeletedRet><ListDelType>Customer</ListDelType><ListID>X1</ListID><TimeDeleted>2024-02-20T10:00:00-05:00</TimeDeleted><FullName>Gone</FullName></ListDeletedRet>
  <ListDeletedRet><ListDelType>ItemService</ListDelType><ListID>X2</ListID><TimeDeleted>2024-02-21T10:00:00-05:00</TimeDeleted></ListDeletedRet>
  <ListDeletedRet><ListDelType>SalesRep</ListDelType><ListID>X3</ListID><TimeDeleted>2024-02-22T10:00:00-05:00</TimeDeleted></ListDeletedRet>
</ListDeletedQueryRs>
</QBXMLMsgsRs></QBXML>
)";

CompanyFile readCompany(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return CompanyFile::read(buffer, u"/companies/Timed.qbxml"_s);
}

const CompanyFile &timed()
{
    static const CompanyFile file = readCompany(kTimedCompany);
    return file;
}

std::vector<Rs> askTimed(const QByteArray &requests, const char *version = "2.1")
{
    return parse(processRequest(timed(), envelope(requests, "continueOnError", version)));
}

Rs askTimedOne(const QByteArray &request)
{
    const auto answer = askTimed(request);
    EXPECT_EQ(answer.size(), 1u);
    return answer.empty() ? Rs{} : answer.front();
}

qint64 utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch();
}

} // namespace

TEST(CompanyTimes, DateTimesReadAsInstants)
{
    const qint64 noon = utc(2024, 3, 1, 12, 0, 0);
    int offset = -1;
    EXPECT_EQ(parseDateTime(u"2024-03-01T07:00:00-05:00", false, &offset), noon);
    EXPECT_EQ(offset, -5 * 3600);
    EXPECT_EQ(parseDateTime(u"2024-03-01T13:30:00+01:30", false, &offset), noon);
    EXPECT_EQ(offset, 5400);
    EXPECT_EQ(parseDateTime(u"2024-03-01T12:00:00Z"), noon);
    EXPECT_EQ(parseDateTime(u"2024-03-01T12:00:00"), noon); // no offset: UTC
    EXPECT_EQ(parseDateTime(u"2024-03-01"), utc(2024, 3, 1, 0, 0, 0));
    EXPECT_EQ(parseDateTime(u"2024-03-01", true), utc(2024, 3, 1, 23, 59, 59));
    for (const char16_t *bad :
         {u"", u"2024-03-01T12:00", u"2024-03-01 12:00:00", u"2024-03-01T24:00:00",
          u"2024-02-30T12:00:00", u"2024-03-01T12:00:00-5:00", u"2024-03-01T12:00:00+15:00",
          u"2024-03-01T12:00:00 ", u"2024-3-01T12:00:00", u"yesterday"}) {
        SCOPED_TRACE(QString::fromUtf16(bad).toStdString());
        EXPECT_FALSE(parseDateTime(bad).has_value());
    }
}

TEST(CompanyTimes, RecordsCarryTheirTimesAndTheFileItsDeletions)
{
    const CompanyFile &company = timed();
    EXPECT_EQ(company.customers()[0].created, utc(2024, 1, 5, 14, 0, 0));
    EXPECT_EQ(company.customers()[0].modified, utc(2024, 3, 1, 14, 0, 0));
    EXPECT_EQ(company.customers()[3].modified, kNoTime);
    EXPECT_EQ(company.invoices()[2].modified, utc(2024, 3, 3, 8, 0, 0));
    EXPECT_EQ(company.latestTime(), utc(2024, 3, 3, 8, 0, 0));
    EXPECT_EQ(company.latestOffset(), 3600);

    ASSERT_EQ(company.deletedTxns().size(), 4u);
    EXPECT_EQ(company.deletedTxns()[0].type, u"Invoice"_s);
    EXPECT_EQ(company.deletedTxns()[0].id, u"D1"_s);
    EXPECT_EQ(company.deletedTxns()[0].deleted, utc(2024, 3, 2, 16, 0, 0));
    ASSERT_EQ(company.deletedLists().size(), 3u);
    EXPECT_EQ(company.deletedLists()[1].type, u"ItemService"_s);
    EXPECT_EQ(company.deletedLists()[1].id, u"X2"_s);

    // Deletions count towards the latest time too.
    const CompanyFile onlyDeletions = readCompany(
        "<QBXML><QBXMLMsgsRs><TxnDeletedQueryRs><TxnDeletedRet><TxnDelType>Invoice</TxnDelType>"
        "<TxnID>D</TxnID><TimeDeleted>2025-01-01T00:00:00-08:00</TimeDeleted></TxnDeletedRet>"
        "</TxnDeletedQueryRs></QBXMLMsgsRs></QBXML>");
    EXPECT_EQ(onlyDeletions.latestTime(), utc(2025, 1, 1, 8, 0, 0));
}

TEST(CompanyTimes, UnreadableTimesAndDeletionsWithoutATimeAreRefused)
{
    const struct {
        QByteArray body;
        const char *says;
    } cases[] = {
        {"<CustomerQueryRs><CustomerRet><ListID>C</ListID><TimeModified>March</TimeModified>"
         "</CustomerRet></CustomerQueryRs>",
         "TimeModified \"March\""},
        {"<InvoiceQueryRs><InvoiceRet><TxnID>T</TxnID><TimeCreated>2024-01-01T10:00</TimeCreated>"
         "</InvoiceRet></InvoiceQueryRs>",
         "TimeCreated"},
        {"<ListDeletedQueryRs><ListDeletedRet><ListDelType>Customer</ListDelType><ListID>C</ListID>"
         "</ListDeletedRet></ListDeletedQueryRs>",
         "no TimeDeleted"},
        {"<TxnDeletedQueryRs/><TxnDeletedQueryRs/>", "a second <TxnDeletedQueryRs>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        try {
            readCompany("<QBXML><QBXMLMsgsRs>" + c.body + "</QBXMLMsgsRs></QBXML>");
            ADD_FAILURE() << "read";
        } catch (const Error &e) {
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.says)))
                << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(u"line 1"_s)) << e.description().toStdString();
        }
    }
}

TEST(ModifiedFilters, ListQueriesSelectByModifiedTimeAndStatusTogether)
{
    const struct {
        const char *request;
        QStringList ids;
    } cases[] = {
        // C1 was modified exactly at the bound, written with another offset; C2 is inactive.
        {"<CustomerQueryRq><FromModifiedDate>2024-03-01T14:00:00Z</FromModifiedDate>"
         "</CustomerQueryRq>",
         {u"C1"_s, u"C3"_s}},
        {"<CustomerQueryRq><ActiveStatus>All</"
         "ActiveStatus><FromModifiedDate>2024-03-01T09:00:00-05:00"
         "</FromModifiedDate></CustomerQueryRq>",
         {u"C1"_s, u"C2"_s, u"C3"_s}},
        {"<CustomerQueryRq><ActiveStatus>InactiveOnly</ActiveStatus><FromModifiedDate>"
         "2024-03-01T09:00:00-05:00</FromModifiedDate></CustomerQueryRq>",
         {u"C2"_s}},
        {"<CustomerQueryRq><ActiveStatus>All</ActiveStatus><FromModifiedDate>2024-03-01T14:00:01Z"
         "</FromModifiedDate></CustomerQueryRq>",
         {u"C2"_s, u"C3"_s}},
        // The upper bound is inclusive too; a record without TimeModified matches no bound.
        {"<CustomerQueryRq><ActiveStatus>All</ActiveStatus><ToModifiedDate>2024-03-01T14:00:00Z"
         "</ToModifiedDate></CustomerQueryRq>",
         {u"C1"_s}},
        // A day alone: the whole day.
        {"<CustomerQueryRq><ActiveStatus>All</ActiveStatus><FromModifiedDate>2024-03-02"
         "</FromModifiedDate><ToModifiedDate>2024-03-02</ToModifiedDate></CustomerQueryRq>",
         {u"C2"_s, u"C3"_s}},
        {"<CustomerQueryRq><MaxReturned>1</MaxReturned><ActiveStatus>All</ActiveStatus>"
         "<FromModifiedDate>2024-03-02</FromModifiedDate></CustomerQueryRq>",
         {u"C2"_s}},
        {"<ItemQueryRq><FromModifiedDate>2024-01-01T00:00:00</FromModifiedDate></ItemQueryRq>",
         {u"I1"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        const Rs rs = askTimedOne(c.request);
        EXPECT_EQ(rs.statusCode, 0) << rs.message.toStdString();
        EXPECT_EQ(rs.ids, c.ids);
    }
    EXPECT_EQ(askTimedOne("<CustomerQueryRq><FromModifiedDate>2025-01-01T00:00:00Z"
                          "</FromModifiedDate></CustomerQueryRq>")
                  .statusCode,
              1);
}

TEST(ModifiedFilters, BadOrReversedBoundsAreErrorsOfTheirRequestOnly)
{
    const auto answers = askTimed(
        "<CustomerQueryRq><FromModifiedDate>last week</FromModifiedDate></CustomerQueryRq>"
        "<InvoiceQueryRq><ModifiedDateRangeFilter><FromModifiedDate>2024-03-02T00:00:00Z"
        "</FromModifiedDate><ToModifiedDate>2024-03-01T00:00:00Z</ToModifiedDate>"
        "</ModifiedDateRangeFilter></InvoiceQueryRq>"
        "<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><DeletedDateRangeFilter>"
        "<ToDeletedDate>2024-13-01</ToDeletedDate></DeletedDateRangeFilter></TxnDeletedQueryRq>"
        "<ItemQueryRq/>");
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0].statusCode, 3020);
    EXPECT_TRUE(answers[0].message.contains(u"\"last week\""_s));
    EXPECT_TRUE(answers[0].message.contains(u"FromModifiedDate"_s));
    EXPECT_EQ(answers[1].statusCode, 3030);
    EXPECT_EQ(answers[2].statusCode, 3020);
    EXPECT_TRUE(answers[2].message.contains(u"ToDeletedDate"_s));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(answers[static_cast<std::size_t>(i)].ids.isEmpty());
    EXPECT_EQ(answers[3].ids, (QStringList{u"I1"_s, u"I2"_s}));
}

TEST(ModifiedFilters, InvoicesModifiedSinceWithLinesAlsoPageByPage)
{
    const QByteArray since =
        "<ModifiedDateRangeFilter><FromModifiedDate>2024-03-02T00:00:00-05:00</FromModifiedDate>"
        "</ModifiedDateRangeFilter><IncludeLineItems>true</IncludeLineItems>";
    // T2's date lies years back: the modified time alone decides.
    const Rs all = askTimedOne("<InvoiceQueryRq>" + since + "</InvoiceQueryRq>");
    EXPECT_EQ(all.ids, (QStringList{u"T2"_s, u"T3"_s}));
    EXPECT_EQ(all.lineIds, (QStringList{u"L2"_s, u"L3"_s}));

    QuerySession session;
    const auto first = parse(processRequest(
        timed(), session,
        envelope("<InvoiceQueryRq iterator=\"Start\"><MaxReturned>1</MaxReturned>" +
                     since.sliced(0, since.indexOf("<IncludeLineItems>")) + "</InvoiceQueryRq>",
                 "stopOnError", "13.0")));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].ids, (QStringList{u"T2"_s}));
    EXPECT_TRUE(first[0].lineIds.isEmpty());
    EXPECT_EQ(first[0].remaining, 1);
    const auto second =
        parse(processRequest(timed(), session,
                             envelope("<InvoiceQueryRq iterator=\"Continue\" iteratorID=\"" +
                                          first[0].iteratorId.toUtf8() +
                                          "\"><MaxReturned>1</MaxReturned></InvoiceQueryRq>",
                                      "stopOnError", "13.0")));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].ids, (QStringList{u"T3"_s}));
    EXPECT_EQ(second[0].remaining, 0);

    // Never both date filters at once.
    EXPECT_THROW(processRequest(timed(), envelope("<InvoiceQueryRq><ModifiedDateRangeFilter>"
                                                  "</ModifiedDateRangeFilter><TxnDateRangeFilter>"
                                                  "</TxnDateRangeFilter></InvoiceQueryRq>")),
                 Error);
}

TEST(DeletedQueries, AnswerTheRememberedDeletionsOfTheKindsAsked)
{
    const struct {
        const char *request;
        const char *response;
        QStringList ids;
    } cases[] = {
        // D2 is older than 90 days before the company's latest time; D4 is exactly 90 days.
        {"<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType></TxnDeletedQueryRq>",
         "TxnDeletedQueryRs",
         {u"D1"_s, u"D4"_s}},
        {"<TxnDeletedQueryRq requestID=\"7\"><TxnDelType>Invoice</TxnDelType><TxnDelType>"
         "ReceivePayment</TxnDelType></TxnDeletedQueryRq>",
         "TxnDeletedQueryRs",
         {u"D1"_s, u"D3"_s, u"D4"_s}},
        {"<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><DeletedDateRangeFilter>"
         "<FromDeletedDate>2024-03-02T11:00:00-05:00</FromDeletedDate></DeletedDateRangeFilter>"
         "</TxnDeletedQueryRq>",
         "TxnDeletedQueryRs",
         {u"D1"_s}},
        {"<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><DeletedDateRangeFilter>"
         "<ToDeletedDate>2024-03-02T11:00:00-05:00</ToDeletedDate></DeletedDateRangeFilter>"
         "</TxnDeletedQueryRq>",
         "TxnDeletedQueryRs",
         {u"D1"_s, u"D4"_s}},
        {"<ListDeletedQueryRq><ListDelType>Customer</ListDelType><ListDelType>ItemService"
         "</ListDelType></ListDeletedQueryRq>",
         "ListDeletedQueryRs",
         {u"X1"_s, u"X2"_s}},
        {"<ListDeletedQueryRq><ListDelType>SalesRep</ListDelType><DeletedDateRangeFilter>"
         "<FromDeletedDate>2024-02-22</FromDeletedDate><ToDeletedDate>2024-02-22</ToDeletedDate>"
         "</DeletedDateRangeFilter></ListDeletedQueryRq>",
         "ListDeletedQueryRs",
         {u"X3"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        const Rs rs = askTimedOne(c.request);
        EXPECT_EQ(rs.name, QString::fromLatin1(c.response));
        EXPECT_EQ(rs.statusCode, 0);
        EXPECT_EQ(rs.ids, c.ids);
        EXPECT_EQ(rs.remaining, -1);
    }
    // Nothing deleted of a kind: status 1, also in a company without deletion records.
    EXPECT_EQ(askTimedOne("<ListDeletedQueryRq><ListDelType>ItemInventory</ListDelType>"
                          "</ListDeletedQueryRq>")
                  .statusCode,
              1);
    const Rs none =
        askOne("<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType></TxnDeletedQueryRq>");
    EXPECT_EQ(none.statusCode, 1);
    EXPECT_EQ(none.name, u"TxnDeletedQueryRs"_s);
}

TEST(DeletedQueries, RequestsOutsideTheirContentModelAreRefused)
{
    for (const QByteArray &request : {
             QByteArray("<TxnDeletedQueryRq/>"),
             QByteArray("<TxnDeletedQueryRq><TxnDelType>Customer</TxnDelType></TxnDeletedQueryRq>"),
             QByteArray(
                 "<ListDeletedQueryRq><ListDelType>Invoice</ListDelType></ListDeletedQueryRq>"),
             QByteArray("<TxnDeletedQueryRq><DeletedDateRangeFilter/><TxnDelType>Invoice"
                        "</TxnDelType></TxnDeletedQueryRq>"),
             QByteArray(
                 "<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><DeletedDateRangeFilter>"
                 "<ToDeletedDate>2024-01-01</ToDeletedDate><FromDeletedDate>2023-01-01"
                 "</FromDeletedDate></DeletedDateRangeFilter></TxnDeletedQueryRq>"),
             QByteArray("<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><MaxReturned>5"
                        "</MaxReturned></TxnDeletedQueryRq>"),
         }) {
        SCOPED_TRACE(request.toStdString());
        QString diagnostic;
        EXPECT_THROW(processRequest(timed(), envelope(request), &diagnostic), Error);
        EXPECT_FALSE(diagnostic.isEmpty());
    }
    // No iterators on deletions, whatever the version.
    EXPECT_THROW(
        processRequest(timed(), envelope("<TxnDeletedQueryRq iterator=\"Start\"><TxnDelType>Invoice"
                                         "</TxnDelType></TxnDeletedQueryRq>",
                                         "stopOnError", "13.0")),
        Error);
}

TEST(RequestReport, NamesEachRequestsFiltersAndWhatItCarried)
{
    RequestReport report;
    QuerySession session;
    processRequest(timed(), session,
                   envelope("<CustomerQueryRq requestID=\"1\"><ActiveStatus>All</ActiveStatus>"
                            "<FromModifiedDate>2024-03-02T00:00:00-05:00</FromModifiedDate>"
                            "</CustomerQueryRq>"
                            "<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType>"
                            "<DeletedDateRangeFilter><FromDeletedDate>2024-03-01T00:00:00-05:00"
                            "</FromDeletedDate></DeletedDateRangeFilter></TxnDeletedQueryRq>"),
                   report);
    ASSERT_EQ(report.requests.size(), 2);
    EXPECT_EQ(report.requests[0], u"CustomerQueryRq requestID=1 ActiveStatus=All "
                                  "FromModifiedDate=2024-03-02T00:00:00-05:00"_s);
    EXPECT_EQ(report.outcomes[0], u"status 0, 2 records"_s);
    EXPECT_EQ(report.requests[1], u"TxnDeletedQueryRq types=Invoice "
                                  "FromDeletedDate=2024-03-01T00:00:00-05:00"_s);
    EXPECT_EQ(report.outcomes[1], u"status 0, 1 records"_s);
    EXPECT_EQ(report.records, 3);
}
