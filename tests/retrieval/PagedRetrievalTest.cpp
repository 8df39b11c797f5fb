// Paged retrievals: a host that speaks qbXML 5.0 or later is asked with iterators, one that
// reports only 2.1 gets its invoices asked one date window at a time; either way the tables
// hold exactly what one unpaged request gives, and a failure part-way keeps the old rows.

#include "support/RetrievalFixture.h"

#include "qbxml/ComErrors.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int kPage = PagedQuery::kPageSize;

// `customers` active customers (every fifth with a job), `invoices` invoices spread over
// 2019-2027 with one to three lines, and a few items.
struct Company {
    QByteArray customers, invoices, items;
};

Company makeCompany(int customers, int invoices)
{
    Company c;
    for (int i = 1; i <= customers; ++i) {
        const QByteArray id = "C" + QByteArray::number(i);
        c.customers +=
            "<CustomerRet><ListID>" + id + "</ListID><Name>Customer " + QByteArray::number(i) +
            "</Name><FullName>Customer " + QByteArray::number(i) +
            "</FullName><IsActive>true</IsActive><Sublevel>0</Sublevel><BillAddress><City>Town " +
            QByteArray::number(i % 7) + "</City></BillAddress><Balance>" + QByteArray::number(i) +
            ".00</Balance></CustomerRet>";
        if (i % 5 == 0)
            c.customers += "<CustomerRet><ListID>J" + QByteArray::number(i) +
                           "</ListID><Name>Job</Name><FullName>Customer " + QByteArray::number(i) +
                           ":Job</FullName><IsActive>true</IsActive><ParentRef><ListID>" + id +
                           "</ListID></ParentRef><Sublevel>1</Sublevel></CustomerRet>";
    }
    for (int n = 1; n <= invoices; ++n) {
        const QDate date = QDate(2019, 1, 1).addDays((n * 37) % 3000);
        QByteArray lines;
        for (int k = 0; k <= n % 3; ++k)
            lines += "<InvoiceLineRet><TxnLineID>L</TxnLineID><ItemRef><ListID>I" +
                     QByteArray::number(k + 1) + "</ListID><FullName>Item " +
                     QByteArray::number(k + 1) + "</FullName></ItemRef><Quantity>" +
                     QByteArray::number(k + 1) + "</Quantity><Amount>" +
                     QByteArray::number(n % 90 + k) + ".00</Amount></InvoiceLineRet>";
        c.invoices += "<InvoiceRet><TxnID>T" + QByteArray::number(n) +
                      "</TxnID><CustomerRef><ListID>C" +
                      QByteArray::number(n % std::max(customers, 1) + 1) +
                      "</ListID><FullName>Customer</FullName>" + "</CustomerRef><TxnDate>" +
                      date.toString(Qt::ISODate).toLatin1() + "</TxnDate><RefNumber>" +
                      QByteArray::number(n) + "</RefNumber>" + lines + "</InvoiceRet>";
    }
    for (int k = 1; k <= 3; ++k)
        c.items += "<ItemServiceRet><ListID>I" + QByteArray::number(k) + "</ListID><Name>Item " +
                   QByteArray::number(k) + "</Name><FullName>Item " + QByteArray::number(k) +
                   "</FullName><IsActive>true</IsActive><Sublevel>0</"
                   "Sublevel><SalesOrPurchase><Desc>d</Desc>"
                   "<AccountRef><FullName>Income</FullName></AccountRef></SalesOrPurchase></"
                   "ItemServiceRet>";
    return c;
}

class PagedRetrieval : public RetrievalFixture {
protected:
    void use(const Company &c) { useCompany(c.customers, c.invoices, c.items); }

    // Customers, then invoices (and with them the items) for the period.
    void retrieveAll(const QString &from = {}, const QString &to = {})
    {
        GetCustomers(state);
        screen.periodNext(from, to);
        screen.answerNext(Answer::Ok); // the Hint after the first invoice retrieval
        GetInvoices(state);
    }

    // Every table's rows as sorted text, so that contents compare whatever the order of
    // writing.
    std::map<QString, QStringList> tables()
    {
        std::map<QString, QStringList> out;
        for (const QString &table :
             {u"Customers"_s, u"CustomerJobs"_s, u"Invoices"_s, u"Items"_s}) {
            QStringList lines;
            for (const auto &row : rows(u"SELECT * FROM \"%1\""_s.arg(table))) {
                QStringList values;
                for (const QVariant &v : row)
                    values << (v.isNull() ? u"<null>"_s : v.toString());
                lines << values.join(u'|');
            }
            lines.sort();
            out[table] = lines;
        }
        return out;
    }

    // The tables one unpaged request per list gives, from a host that reports no versions.
    std::map<QString, QStringList> unpaged(const Company &c, const QString &from = {},
                                           const QString &to = {})
    {
        use(c);
        retrieveAll(from, to);
        EXPECT_EQ(otherMessages(), 0);
        auto result = tables();
        for (const QByteArray &request : standIn.requestLog())
            EXPECT_FALSE(request.contains("iterator")) << request.constData();
        return result;
    }

    // Message boxes other than the Hint of the first invoice retrieval.
    int otherMessages() const
    {
        int n = 0;
        for (const auto &m : screen.messages())
            n += m.title != u"Hint"_s ? 1 : 0;
        return n;
    }

    int requestsContaining(const char *text) const
    {
        int n = 0;
        for (const QByteArray &request : standIn.requestLog())
            n += request.contains(text) ? 1 : 0;
        return n;
    }
};

} // namespace

TEST_F(PagedRetrieval, IteratorPagesFillTheTablesAsOneRequestDoes)
{
    // 620 customers and 130 jobs make three pages; 700 invoices three more.
    const Company company = makeCompany(620, 700);
    const auto expected = unpaged(company);
    ASSERT_EQ(expected.at(u"Customers"_s).size(), 620);
    ASSERT_EQ(expected.at(u"CustomerJobs"_s).size(), 124);

    standIn.reportVersions(QVersionNumber(13, 0));
    const int before = standIn.requests();
    retrieveAll();
    EXPECT_EQ(tables(), expected);
    EXPECT_EQ(otherMessages(), 0);
    const QList<QByteArray> log = standIn.requestLog().mid(before);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(requestsContaining("<CustomerQueryRq requestID=\"1\" iterator=\"Start\""), 1);
    EXPECT_EQ(requestsContaining("<CustomerQueryRq requestID=\"1\" iterator=\"Continue\""), 2);
    EXPECT_EQ(requestsContaining("<InvoiceQueryRq requestID=\"1\" iterator=\"Start\""), 1);
    EXPECT_EQ(requestsContaining("<InvoiceQueryRq requestID=\"1\" iterator=\"Continue\""), 2);
    EXPECT_EQ(requestsContaining("<MaxReturned>250</MaxReturned>"), 6 + 1); // and one item page
    EXPECT_EQ(requestsContaining("<?qbxml version=\"13.0\"?>"), 7);
}

TEST_F(PagedRetrieval, EachLaterIteratorPageIsAnnouncedBeforeThePageBeforeIsWritten)
{
    const Company company = makeCompany(620, 700);
    const auto expected = unpaged(company);
    EXPECT_TRUE(standIn.aheadLog().isEmpty()); // single requests are never announced

    standIn.reportVersions(QVersionNumber(13, 0));
    const int before = standIn.requests();
    retrieveAll();
    EXPECT_EQ(tables(), expected);
    // Every Continue page was announced with the very text then sent, and nothing else was:
    // not the first page, nor a page after the last.
    QList<QByteArray> continued;
    for (const QByteArray &request : standIn.requestLog().mid(before))
        if (request.contains("iterator=\"Continue\""))
            continued << request;
    ASSERT_EQ(continued.size(), 4);
    EXPECT_EQ(standIn.aheadLog(), continued);

    // A failure on an announced page ends the retrieval as any failure part-way does, and the
    // next retrieval starts again from the first page.
    CloseQB(state);
    standIn.failRequest(standIn.requests() + 3, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok); // the error report
    GetCustomers(state);
    EXPECT_EQ(state.errors().count(), 1);
    EXPECT_EQ(tables(), expected);
    GetCustomers(state);
    EXPECT_EQ(state.errors().count(), 1);
    EXPECT_EQ(tables(), expected);
}

TEST_F(PagedRetrieval, ACountThatIsAnExactMultipleOfThePageAsksNoEmptyPage)
{
    const Company company = makeCompany(2 * kPage, 2 * kPage);
    const auto expected = unpaged(company);
    standIn.reportVersions(QVersionNumber(5, 0));
    retrieveAll();
    EXPECT_EQ(tables(), expected);
    EXPECT_EQ(expected.at(u"Customers"_s).size(), 2 * kPage);
    // Customers: 500 plus 100 jobs = 600, three pages; invoices exactly two.
    EXPECT_EQ(requestsContaining("<InvoiceQueryRq requestID=\"1\" iterator="), 2);
    EXPECT_EQ(requestsContaining("<?qbxml version=\"5.0\"?>"), 3 + 2 + 1);
    EXPECT_EQ(otherMessages(), 0);
}

TEST_F(PagedRetrieval, AFailureOnALaterPageKeepsTheOldRows)
{
    const Company company = makeCompany(600, 600);
    const auto old = unpaged(company);
    standIn.reportVersions(QVersionNumber(13, 0));

    // Request 1 of the session is the HostQuery, 2 the first customer page.
    standIn.failRequest(standIn.requests() + 3, qb::hr::kCouldNotAccess);
    screen.answerNext(Answer::Ok); // the error report
    GetCustomers(state);
    EXPECT_EQ(tables(), old);
    EXPECT_EQ(state.errors().count(), 1);

    // Invoices: the second page is refused.
    CloseQB(state);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    standIn.failRequest(standIn.requests() + 3, qb::hr::kXmlParse);
    GetInvoices(state);
    EXPECT_EQ(state.errors().count(), 2);
    EXPECT_EQ(tables(), old);
    EXPECT_EQ(rows(u"SELECT COUNT(*) FROM Invoices"_s)[0][0].toInt(), old.at(u"Invoices"_s).size());
}

TEST_F(PagedRetrieval, AnOlderHostGetsItsInvoicesOneDateWindowAtATime)
{
    const Company company = makeCompany(40, 900);
    struct Case {
        QString from, to;
    };
    const Case cases[] = {
        {{}, {}}, {u"03/01/2020"_s, {}}, {{}, u"06/30/2024"_s}, {u"02/10/2021"_s, u"02/20/2023"_s}};
    for (const Case &c : cases) {
        SCOPED_TRACE((c.from + u" - "_s + c.to).toStdString());
        standIn.reportVersions({});
        const auto expected = unpaged(company, c.from, c.to);
        standIn.reportVersions(QVersionNumber(2, 1));
        const int before = standIn.requests();
        retrieveAll(c.from, c.to);
        EXPECT_EQ(tables(), expected);
        const QList<QByteArray> log = standIn.requestLog().mid(before);
        int windows = 0;
        for (const QByteArray &request : log) {
            EXPECT_FALSE(request.contains("iterator"));
            windows += request.contains("<IncludeLineItems>true") ? 1 : 0;
        }
        EXPECT_GT(windows, 3); // several windows, none holding everything
    }
}

TEST_F(PagedRetrieval, AnOlderHostWithoutInvoicesInThePeriodSaysSoOnce)
{
    const Company company = makeCompany(3, 5);
    use(company);
    standIn.reportVersions(QVersionNumber(2, 1));
    screen.periodNext(u"01/01/2030"_s, u"12/31/2031"_s);
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages().back().text,
              u"A query request did not find a matching object in QuickBooks"_s);
    EXPECT_EQ(count(u"Invoices"_s), 0);
}
