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
