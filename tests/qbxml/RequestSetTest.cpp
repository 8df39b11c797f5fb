#include "qbxml/RequestSet.h"
#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::qb;
using namespace Qt::StringLiterals;

namespace {

// The document as a flat list of its meaningful tokens: processing instructions, elements
// with their attributes in order, and non-blank text. Layout and comments are left out.
QStringList tokens(const QByteArray &xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::ProcessingInstruction:
            out << QStringLiteral("?%1 %2").arg(r.processingInstructionTarget(),
                                                r.processingInstructionData());
            break;
        case QXmlStreamReader::StartElement:
            out << QStringLiteral("<") + r.name().toString();
            for (const auto &a : r.attributes())
                out << QStringLiteral("@%1=%2").arg(a.name(), a.value());
            break;
        case QXmlStreamReader::EndElement: out << QStringLiteral("</") + r.name().toString(); break;
        case QXmlStreamReader::Characters:
            if (!r.isWhitespace())
                out << r.text().toString();
            break;
        default: break;
        }
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return out;
}

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

} // namespace

TEST(RequestSet, FourQueriesMatchTheSchemaShapedSample)
{
    RequestSet set(2, 1);
    set.setOnError(OnError::Continue);
    set.appendCustomerQuery();
    InvoiceQuery &invoices = set.appendInvoiceQuery();
    invoices.setIncludeLineItems(true);
    invoices.setToTxnDate(QDate(2003, 12, 31)); // set out of order on purpose
    invoices.setFromTxnDate(QDate(2003, 1, 1));
    set.appendItemQuery();
    set.appendSalesRepQuery();

    EXPECT_EQ(tokens(set.toQbxml()), tokens(fixture("composed/requests_v21_four-queries.xml")));
}

TEST(RequestSet, InvoiceQueryWritesOnlyTheBoundsGiven)
{
    struct Case {
        const char *name;
        std::optional<QDate> from, to;
        QStringList filter;
    };
    const Case cases[] = {
        {"none", std::nullopt, std::nullopt, {}},
        {"from only",
         QDate(2024, 1, 5),
         std::nullopt,
         {u"<TxnDateRangeFilter"_s, u"<FromTxnDate"_s, u"2024-01-05"_s, u"</FromTxnDate"_s,
          u"</TxnDateRangeFilter"_s}},
        {"to only",
         std::nullopt,
         QDate(2026, 12, 8),
         {u"<TxnDateRangeFilter"_s, u"<ToTxnDate"_s, u"2026-12-08"_s, u"</ToTxnDate"_s,
          u"</TxnDateRangeFilter"_s}},
    };
    for (const auto &c : cases) {
        RequestSet set(2, 1);
        set.setOnError(OnError::Continue);
        InvoiceQuery &q = set.appendInvoiceQuery();
        q.setIncludeLineItems(true);
        if (c.from)
            q.setFromTxnDate(*c.from);
        if (c.to)
            q.setToTxnDate(*c.to);
        QStringList expected{u"?qbxml version=\"2.1\""_s, u"<QBXML"_s,
                             u"<QBXMLMsgsRq"_s,           u"@onError=continueOnError"_s,
                             u"<InvoiceQueryRq"_s,        u"@requestID=1"_s};
        expected << c.filter
                 << QStringList{u"<IncludeLineItems"_s, u"true"_s,          u"</IncludeLineItems"_s,
                                u"</InvoiceQueryRq"_s,  u"</QBXMLMsgsRq"_s, u"</QBXML"_s};
        EXPECT_EQ(tokens(set.toQbxml()), expected) << c.name;
    }
}

TEST(RequestSet, ClearVersionAndOnErrorShapeTheEnvelope)
{
    RequestSet set(1, 1);
    set.appendInvoiceQuery();
    set.clear();
    set.appendItemQuery();
    EXPECT_EQ(set.count(), 1);
    EXPECT_EQ(tokens(set.toQbxml()),
              (QStringList{u"?qbxml version=\"1.1\""_s, u"<QBXML"_s, u"<QBXMLMsgsRq"_s,
                           u"@onError=stopOnError"_s, u"<ItemQueryRq"_s, u"@requestID=1"_s,
                           u"</ItemQueryRq"_s, u"</QBXMLMsgsRq"_s, u"</QBXML"_s}));
    set.setOnError(OnError::Rollback);
    EXPECT_TRUE(set.toQbxml().contains("onError=\"rollbackOnError\""));
}

TEST(RequestSet, InvalidDateIsRefused)
{
    RequestSet set(2, 1);
    InvoiceQuery &q = set.appendInvoiceQuery();
    try {
        q.setFromTxnDate(QDate());
        FAIL() << "an invalid date was accepted";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), hr::kInvalidArgument);
    }
    EXPECT_FALSE(q.fromTxnDate().has_value());
}

namespace {

// The child element names of the first `element` in Intuit's 13.0 query skeletons, in the
// order the schema demands (the skeletons are a list of elements; a root is put around them).
QStringList skeletonOrder(const QString &element)
{
    QXmlStreamReader r(QByteArray("<r>") + fixture("reference/qbxml130-queries.xml") + "</r>");
    QStringList order;
    int depth = -1;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth >= 0) {
                ++depth;
                if (depth == 1 || r.name() == u"FromTxnDate" || r.name() == u"ToTxnDate" ||
                    r.name() == u"FromModifiedDate" || r.name() == u"ToModifiedDate" ||
                    r.name() == u"FromDeletedDate" || r.name() == u"ToDeletedDate")
                    order << r.name().toString();
            } else if (r.name() == element) {
                depth = 0;
            }
        } else if (token == QXmlStreamReader::EndElement && depth >= 0) {
            if (depth-- == 0)
                break;
        }
    }
    EXPECT_FALSE(order.isEmpty()) << element.toStdString();
    return order;
}

// The element names a written request holds inside `element`, in document order.
QStringList writtenOrder(const QByteArray &xml, const QString &element)
{
    QStringList order;
    bool inside = false;
    for (const QString &t : tokens(xml)) {
        if (t == u"<"_s + element)
            inside = true;
        else if (t == u"</"_s + element)
            inside = false;
        else if (inside && t.startsWith(u'<') && !t.startsWith(u"</"_s))
            order << t.mid(1);
    }
    return order;
}

bool isSubsequence(const QStringList &part, const QStringList &whole)
{
    qsizetype at = 0;
    for (const QString &name : part) {
        at = whole.indexOf(name, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

} // namespace

TEST(RequestSet, PagedQueriesFollowTheVersion13ElementOrder)
{
    RequestSet set(13, 0);
    set.setOnError(OnError::Continue);
    Query &customers = set.appendCustomerQuery();
    customers.setMaxReturned(250);
    customers.setIterator(Iterator::Start);
    InvoiceQuery &invoices = set.appendInvoiceQuery();
    invoices.setIncludeLineItems(true);
    invoices.setToTxnDate(QDate(2024, 12, 31));
    invoices.setFromTxnDate(QDate(2024, 1, 1));
    invoices.setIterator(Iterator::Continue, u"{7c1e0b9a-aaaa-bbbb-cccc-0123456789ab}"_s);
    invoices.setMaxReturned(300);
    Query &items = set.appendItemQuery();
    items.setIterator(Iterator::Start);
    items.setMaxReturned(1);
    const QByteArray xml = set.toQbxml();

    const QStringList t = tokens(xml);
    EXPECT_EQ(t.first(), u"?qbxml version=\"13.0\""_s);
    EXPECT_EQ(
        t.mid(t.indexOf(u"<CustomerQueryRq"_s), 7),
        (QStringList{u"<CustomerQueryRq"_s, u"@requestID=1"_s, u"@iterator=Start"_s,
                     u"<MaxReturned"_s, u"250"_s, u"</MaxReturned"_s, u"</CustomerQueryRq"_s}));
    EXPECT_EQ(t.mid(t.indexOf(u"<InvoiceQueryRq"_s), 4),
              (QStringList{u"<InvoiceQueryRq"_s, u"@requestID=2"_s, u"@iterator=Continue"_s,
                           u"@iteratorID={7c1e0b9a-aaaa-bbbb-cccc-0123456789ab}"_s}));
    const QStringList invoiceOrder = writtenOrder(xml, u"InvoiceQueryRq"_s);
    EXPECT_EQ(invoiceOrder, (QStringList{u"MaxReturned"_s, u"TxnDateRangeFilter"_s,
                                         u"FromTxnDate"_s, u"ToTxnDate"_s, u"IncludeLineItems"_s}));
    for (const QString &element : {u"CustomerQueryRq"_s, u"InvoiceQueryRq"_s, u"ItemQueryRq"_s}) {
        const QStringList written = writtenOrder(xml, element);
        EXPECT_FALSE(written.isEmpty());
        EXPECT_TRUE(isSubsequence(written, skeletonOrder(element)))
            << element.toStdString() << ": " << written.join(u',').toStdString();
    }
}

TEST(RequestSet, IteratorsNeedVersion5AndAreNotForSalesReps)
{
    RequestSet old(2, 1);
    old.appendCustomerQuery().setIterator(Iterator::Start);
    EXPECT_THROW(old.toQbxml(), Error);

    RequestSet set(13, 0);
    Query &reps = set.appendSalesRepQuery();
    EXPECT_THROW(reps.setIterator(Iterator::Start), Error);
    EXPECT_THROW(set.appendItemQuery().setIterator(Iterator::Continue), Error); // no id
    EXPECT_THROW(set.appendCustomerQuery().setMaxReturned(0), Error);
    EXPECT_FALSE(set.toQbxml().contains("iterator"));
}

TEST(RequestSet, IteratorVersionIsTheNewestWrittenFromFiveOn)
{
    const auto v = [](const char *text) { return QVersionNumber::fromString(QLatin1String(text)); };
    EXPECT_TRUE(iteratorVersionFor({}).isNull());
    EXPECT_TRUE(iteratorVersionFor({v("1.0"), v("2.0"), v("2.1")}).isNull());
    EXPECT_TRUE(iteratorVersionFor({v("4.1")}).isNull());
    EXPECT_EQ(iteratorVersionFor({v("2.1"), v("5.0")}), v("5.0"));
    EXPECT_EQ(iteratorVersionFor({v("13.0"), v("2.1"), v("8.0")}), v("13.0"));
    // A newer host also speaks 13.0; the library writes nothing newer than it knows.
    EXPECT_EQ(iteratorVersionFor({v("2.1"), v("13.0"), v("16.0")}), v("13.0"));
}

TEST(RequestSet, ChangedAndDeletedQueriesFollowTheSchemaOrder)
{
    const DateTime since = *DateTime::parse("2024-03-01T09:00:00-05:00");
    const DateTime until = *DateTime::parse("2024-03-02T00:00:00Z");
    for (const int major : {2, 13}) {
        SCOPED_TRACE(major);
        RequestSet set(major, major == 2 ? 1 : 0);
        set.setOnError(OnError::Continue);
        // Set in an order unlike the schema's on purpose.
        Query &customers = set.appendCustomerQuery();
        customers.setToModifiedDate(until);
        customers.setFromModifiedDate(since);
        customers.setActiveStatus(ActiveStatus::All);
        customers.setMaxReturned(250);
        InvoiceQuery &invoices = set.appendInvoiceQuery();
        invoices.setIncludeLineItems(true);
        invoices.setFromModifiedDate(since);
        invoices.setMaxReturned(250);
        Query &items = set.appendItemQuery();
        items.setFromModifiedDate(since);
        items.setActiveStatus(ActiveStatus::InactiveOnly);
        set.appendTxnDeletedQuery({u"Invoice"_s}).setFromDeletedDate(since);
        DeletedQuery &lists = set.appendListDeletedQuery({u"ItemService"_s, u"Customer"_s});
        lists.setToDeletedDate(until);
        lists.setFromDeletedDate(since);
        const QByteArray xml = set.toQbxml();

        EXPECT_EQ(writtenOrder(xml, u"CustomerQueryRq"_s),
                  (QStringList{u"MaxReturned"_s, u"ActiveStatus"_s, u"FromModifiedDate"_s,
                               u"ToModifiedDate"_s}));
        EXPECT_EQ(writtenOrder(xml, u"InvoiceQueryRq"_s),
                  (QStringList{u"MaxReturned"_s, u"ModifiedDateRangeFilter"_s,
                               u"FromModifiedDate"_s, u"IncludeLineItems"_s}));
        EXPECT_EQ(writtenOrder(xml, u"ListDeletedQueryRq"_s),
                  (QStringList{u"ListDelType"_s, u"ListDelType"_s, u"DeletedDateRangeFilter"_s,
                               u"FromDeletedDate"_s, u"ToDeletedDate"_s}));
        for (const QString &element : {u"CustomerQueryRq"_s, u"InvoiceQueryRq"_s, u"ItemQueryRq"_s,
                                       u"TxnDeletedQueryRq"_s}) {
            const QStringList written = writtenOrder(xml, element);
            EXPECT_TRUE(isSubsequence(written, skeletonOrder(element)))
                << element.toStdString() << ": " << written.join(u',').toStdString();
        }
        // Times go out in the form they were read in, offset included.
        const QStringList t = tokens(xml);
        EXPECT_EQ(t.mid(t.indexOf(u"<TxnDeletedQueryRq"_s), 10),
                  (QStringList{u"<TxnDeletedQueryRq"_s, u"@requestID=4"_s, u"<TxnDelType"_s,
                               u"Invoice"_s, u"</TxnDelType"_s, u"<DeletedDateRangeFilter"_s,
                               u"<FromDeletedDate"_s, u"2024-03-01T09:00:00-05:00"_s,
                               u"</FromDeletedDate"_s, u"</DeletedDateRangeFilter"_s}));
        EXPECT_TRUE(t.contains(u"2024-03-02T00:00:00+00:00"_s));
    }
}

TEST(RequestSet, FiltersThatCannotGoTogetherAreRefused)
{
    const DateTime since = *DateTime::parse("2024-03-01T09:00:00Z");
    const auto refused = [](auto call) {
        try {
            call();
            return false;
        } catch (const Error &e) {
            return e.number() == hr::kInvalidArgument;
        }
    };
    RequestSet set(13, 0);
    InvoiceQuery &byDate = set.appendInvoiceQuery();
    byDate.setFromTxnDate(QDate(2024, 1, 1));
    EXPECT_TRUE(refused([&] { byDate.setFromModifiedDate(since); }));
    InvoiceQuery &byChange = set.appendInvoiceQuery();
    byChange.setToModifiedDate(since);
    EXPECT_TRUE(refused([&] { byChange.setToTxnDate(QDate(2024, 1, 1)); }));
    EXPECT_TRUE(refused([&] { byChange.setActiveStatus(ActiveStatus::All); }));
    EXPECT_TRUE(refused([&] { byChange.setFromModifiedDate(DateTime()); }));

    EXPECT_TRUE(refused([&] { set.appendTxnDeletedQuery({}); }));
    DeletedQuery &deleted = set.appendListDeletedQuery({u"Customer"_s});
    EXPECT_TRUE(refused([&] { deleted.setMaxReturned(10); }));
    EXPECT_TRUE(refused([&] { deleted.setIterator(Iterator::Start); }));
    EXPECT_TRUE(refused([&] { deleted.setFromModifiedDate(since); }));
    EXPECT_TRUE(refused([&] { deleted.setFromDeletedDate(DateTime()); }));
    // What was refused left nothing behind.
    const QByteArray xml = set.toQbxml();
    EXPECT_FALSE(xml.contains("ModifiedDateRangeFilter><FromModifiedDate"));
    EXPECT_FALSE(xml.contains("MaxReturned"));
}

TEST(QbxmlDateTime, ReadsInstantsAndWritesTheFormItWasReadIn)
{
    const auto utc = [](int h, int m) {
        return QDateTime(QDate(2024, 3, 1), QTime(h, m), Qt::UTC);
    };
    const auto eastern = DateTime::parse("2024-03-01T07:00:00-05:00");
    ASSERT_TRUE(eastern);
    EXPECT_EQ(eastern->instant(), utc(12, 0));
    EXPECT_EQ(eastern->text(), u"2024-03-01T07:00:00-05:00"_s);
    const auto zulu = DateTime::parse("2024-03-01T12:00:00Z");
    EXPECT_EQ(*zulu, *eastern); // compared as instants
    EXPECT_EQ(zulu->text(), u"2024-03-01T12:00:00+00:00"_s);
    const auto bare = DateTime::parse("2024-03-01T12:00:00"); // no offset: counts as UTC
    EXPECT_EQ(bare->instant(), utc(12, 0));
    EXPECT_EQ(bare->text(), u"2024-03-01T12:00:00"_s);
    const auto half = DateTime::parse("2024-03-01T17:30:00+05:30");
    EXPECT_EQ(half->instant(), utc(12, 0));
    EXPECT_LT(*DateTime::parse("2024-03-01T11:59:59Z"), *eastern);

    // Moving a value keeps its offset, across a day's end too.
    EXPECT_EQ(eastern->addSecs(-5 * 60).text(), u"2024-03-01T06:55:00-05:00"_s);
    EXPECT_EQ(DateTime::parse("2024-03-01T00:02:00+01:00")->addSecs(-300).text(),
              u"2024-02-29T23:57:00+01:00"_s);
    EXPECT_EQ(DateTime::fromText(eastern->text())->text(), eastern->text());

    for (const char *bad :
         {"", "2024-03-01", "2024-03-01 12:00:00", "2024-03-01T24:00:00", "2024-02-30T12:00:00",
          "2024-03-01T12:00:00-5:00", "2024-03-01T12:00:00+15:00", "2024-03-01T12:00", "yesterday",
          "2024-03-01T12:00:00+05:00x"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(DateTime::parse(bad).has_value());
    }
}
