// Iterators of one session, their pages and their end, and the host query of the stand-in.

#include "QueryEngineFixture.h"

namespace {

Rs askIn(QuerySession &session, const QByteArray &request, const char *version = "13.0")
{
    const auto answer =
        parse(processRequest(company(), session, envelope(request, "continueOnError", version)));
    EXPECT_EQ(answer.size(), 1u);
    return answer.empty() ? Rs{} : answer.front();
}

QByteArray continued(const char *element, const QString &id, const QByteArray &content)
{
    return "<" + QByteArray(element) + " iterator=\"Continue\" iteratorID=\"" + id.toUtf8() +
           "\">" + content + "</" + element + ">";
}

} // namespace

TEST(QueryEngine, IteratorsHandOutPagesThatAddUpToTheWholeAnswer)
{
    const struct {
        const char *element;
        QByteArray filters; // after MaxReturned
        int page;
    } cases[] = {
        {"CustomerQueryRq", "<ActiveStatus>All</ActiveStatus>", 1},
        {"CustomerQueryRq", "<ActiveStatus>All</ActiveStatus>", 3},
        {"ItemQueryRq", "", 2},
        {"InvoiceQueryRq", "<IncludeLineItems>true</IncludeLineItems>", 2},
        {"InvoiceQueryRq", "<IncludeLineItems>true</IncludeLineItems>", 3}, // exactly one full page
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.element) + " by " + std::to_string(c.page));
        QuerySession session;
        const Rs whole =
            askIn(session, "<" + QByteArray(c.element) + ">" + c.filters + "</" + c.element + ">");
        ASSERT_GT(whole.ids.size(), 0);
        const QByteArray content =
            "<MaxReturned>" + QByteArray::number(c.page) + "</MaxReturned>" + c.filters;
        Rs page = askIn(session, "<" + QByteArray(c.element) + " iterator=\"Start\">" + content +
                                     "</" + c.element + ">");
        QStringList ids = page.ids, lines = page.lineIds;
        int pages = 1;
        EXPECT_EQ(page.remaining, whole.ids.size() - page.ids.size());
        EXPECT_TRUE(page.iteratorId.startsWith(u'{'));
        const QString id = page.iteratorId;
        while (page.remaining > 0 && pages < 10) {
            const int before = page.remaining;
            page = askIn(session, continued(c.element, id, content));
            EXPECT_EQ(page.statusCode, 0);
            EXPECT_EQ(page.iteratorId, id);
            EXPECT_EQ(page.remaining, before - page.ids.size());
            ids << page.ids;
            lines << page.lineIds;
            ++pages;
        }
        EXPECT_EQ(ids, whole.ids);
        EXPECT_EQ(lines, whole.lineIds);
        EXPECT_EQ(pages, (whole.ids.size() + c.page - 1) / c.page);
        // Run out: the iterator is gone.
        EXPECT_EQ(session.openIterators(), 0);
        EXPECT_EQ(askIn(session, continued(c.element, id, content)).statusCode, 3391);
    }
}

TEST(QueryEngine, IteratorsLiveOnlyInTheirSessionAndCanBeStopped)
{
    QuerySession first, second;
    const Rs start = askIn(
        first, "<InvoiceQueryRq iterator=\"Start\"><MaxReturned>1</MaxReturned></InvoiceQueryRq>");
    ASSERT_EQ(start.remaining, 2);
    const QByteArray next =
        continued("InvoiceQueryRq", start.iteratorId, "<MaxReturned>1</MaxReturned>");
    const Rs elsewhere = askIn(second, next);
    EXPECT_EQ(elsewhere.statusCode, 3391);
    EXPECT_EQ(elsewhere.severity, u"Error"_s);
    EXPECT_TRUE(elsewhere.ids.isEmpty());
    // The id names an invoice iterator; a customer query cannot continue it.
    EXPECT_EQ(askIn(first, continued("CustomerQueryRq", start.iteratorId, {})).statusCode, 3391);
    EXPECT_EQ(askIn(first, continued("InvoiceQueryRq", u"{not-an-iterator}"_s, {})).statusCode,
              3391);

    const Rs stopped = askIn(first, "<InvoiceQueryRq iterator=\"Stop\" iteratorID=\"" +
                                        start.iteratorId.toUtf8() + "\"/>");
    EXPECT_EQ(stopped.statusCode, 0);
    EXPECT_EQ(stopped.remaining, 0);
    EXPECT_EQ(askIn(first, next).statusCode, 3391);
    first.clear();
    EXPECT_EQ(first.openIterators(), 0);

    // Nothing to page: no match, nothing remains.
    const Rs none =
        askIn(second,
              "<InvoiceQueryRq iterator=\"Start\"><MaxReturned>5</MaxReturned><TxnDateRangeFilter>"
              "<FromTxnDate>2030-01-01</FromTxnDate></TxnDateRangeFilter></InvoiceQueryRq>");
    EXPECT_EQ(none.statusCode, 1);
    EXPECT_EQ(none.remaining, 0);
}

TEST(QueryEngine, IteratorsNeedVersion5AndTheSchemasOrder)
{
    const struct {
        const char *name;
        QByteArray request;
        const char *version;
        QVersionNumber host;
        std::int32_t number;
    } cases[] = {
        {"iterator in 4.1", "<CustomerQueryRq iterator=\"Start\"/>", "4.1", {13, 0}, hr::kXmlParse},
        {"iterator in 5.0", "<CustomerQueryRq iterator=\"Start\"/>", "5.0", {13, 0}, 0},
        {"sales reps take none",
         "<SalesRepQueryRq iterator=\"Start\"/>",
         "13.0",
         {13, 0},
         hr::kXmlParse},
        {"unknown iterator value",
         "<ItemQueryRq iterator=\"Begin\"/>",
         "13.0",
         {13, 0},
         hr::kXmlParse},
        {"continue without id",
         "<ItemQueryRq iterator=\"Continue\"/>",
         "13.0",
         {13, 0},
         hr::kXmlParse},
        {"MaxReturned after the date filter",
         "<InvoiceQueryRq "
         "iterator=\"Start\"><TxnDateRangeFilter><FromTxnDate>2003-01-01</FromTxnDate>"
         "</TxnDateRangeFilter><MaxReturned>2</MaxReturned></InvoiceQueryRq>",
         "13.0",
         {13, 0},
         hr::kXmlParse},
        {"13.0 to a 2.1 host", "<CustomerQueryRq/>", "13.0", {2, 1}, hr::kVersionUnsupported},
        {"2.1 to a 2.1 host", "<CustomerQueryRq/>", "2.1", {2, 1}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QuerySession session(c.host);
        try {
            processRequest(company(), session, envelope(c.request, "stopOnError", c.version));
            EXPECT_EQ(c.number, 0) << "answered";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), c.number);
        }
    }
}

TEST(QueryEngine, HostQueryReportsTheVersionsOfTheSession)
{
    QuerySession modern;
    const Rs host = askIn(modern, "<HostQueryRq/>", "1.0");
    EXPECT_EQ(host.statusCode, 0);
    ASSERT_FALSE(host.versions.isEmpty());
    EXPECT_EQ(host.versions.first(), u"1.0"_s);
    EXPECT_EQ(host.versions.last(), u"13.0"_s);
    EXPECT_TRUE(host.versions.contains(u"5.0"_s));

    QuerySession old(QVersionNumber(2, 1));
    EXPECT_EQ(askIn(old, "<HostQueryRq/>", "2.1").versions,
              (QStringList{u"1.0"_s, u"1.1"_s, u"2.0"_s, u"2.1"_s}));
    EXPECT_EQ(old.supportedVersions().last(), QVersionNumber(2, 1));
}
