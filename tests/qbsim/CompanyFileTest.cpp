// Loading company files: the sample answers as they are, record bytes kept exactly,
// invoice parts that queries leave out, and refusals that say where the file is wrong.

#include "qbsim/CompanyFile.h"

#include "base/Error.h"
#include "support/TempAppFolder.h"

#include <QBuffer>
#include <QDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <set>

using namespace corvina;
using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kSamples = QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml");

CompanyFile fromText(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return CompanyFile::read(buffer, u"test.qbxml"_s);
}

QByteArray document(const QByteArray &lists)
{
    return "<?xml version=\"1.0\" ?>\n<?qbxml version=\"2.1\"?>\n<QBXML>\n<QBXMLMsgsRs>\n" + lists +
           "\n</QBXMLMsgsRs>\n</QBXML>\n";
}

QByteArray text(const CompanyFile &company, ByteSpan span)
{
    return company.xml(span).toByteArray();
}

QByteArray invoiceText(const CompanyFile &company, std::size_t index, unsigned keep)
{
    QByteArray out;
    company.appendInvoice(out, company.invoices()[index], keep);
    EXPECT_EQ(out.size(), company.invoiceSize(company.invoices()[index], keep));
    return out;
}

bool wellFormed(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

constexpr unsigned kAll =
    static_cast<unsigned>(InvoicePart::Lines) | static_cast<unsigned>(InvoicePart::LinkedTxns);

} // namespace

TEST(CompanyFile, LoadsEverySampleAnswerWithItsRecords)
{
    struct Expected {
        const char *file;
        std::size_t customers, invoices, items, reps;
    };
    // Answers of other requests (InvoiceAddRs, ItemInventoryQueryRs) are skipped.
    const Expected samples[] = {
        {"captured/CustomerQueryRs_iterator_qbwc-qbxml.xml", 1, 0, 0, 0},
        {"captured/CustomerQueryRs_single_qbwc-qbxml.xml", 1, 0, 0, 0},
        {"captured/InvoiceAddRs_invoiceret_flowlink.xml", 0, 0, 0, 0},
        {"captured/InvoiceQueryRs_two-invoices_consolibyte.xml", 0, 2, 0, 0},
        {"captured/ItemInventoryQueryRs_status1-nomatch_flowlink.xml", 0, 0, 0, 0},
        {"captured/ItemQueryRs_assembly_consolibyte.xml", 0, 0, 1, 0},
        {"captured/ItemQueryRs_service-inventory_flowlink.xml", 0, 0, 5, 0},
        {"composed/CustomerQueryRs_v21_mixed.xml", 4, 0, 0, 0},
        {"composed/InvoiceQueryRs_v21_groups-ratepercent.xml", 0, 2, 0, 0},
        {"composed/ItemQueryRs_v21_all-kinds.xml", 0, 0, 15, 0},
        {"composed/SalesRepQueryRs_v21.xml", 0, 0, 0, 3},
        {"composed/status-responses_v21.xml", 0, 0, 0, 0},
        {"composed/QueryRs_v130_paged.xml", 2, 1, 2, 0},
    };
    // Not answers: a lone EstimateRet and a request document.
    const std::set<QString> notAnswers = {
        u"captured/EstimateRet_ratepercent-lines_selfjared1.xml"_s,
        u"composed/requests_v21_four-queries.xml"_s};

    std::set<QString> covered = notAnswers;
    for (const Expected &sample : samples) {
        SCOPED_TRACE(sample.file);
        const QString path = kSamples + u'/' + QString::fromLatin1(sample.file);
        covered.insert(QString::fromLatin1(sample.file));
        const CompanyFile company = CompanyFile::load(path);
        EXPECT_EQ(company.path(), QDir::cleanPath(path));
        EXPECT_EQ(company.customers().size(), sample.customers);
        EXPECT_EQ(company.invoices().size(), sample.invoices);
        EXPECT_EQ(company.items().size(), sample.items);
        EXPECT_EQ(company.salesReps().size(), sample.reps);
        for (const auto *list : {&company.customers(), &company.items(), &company.salesReps()}) {
            for (const ListRecord &record : *list) {
                EXPECT_TRUE(wellFormed(text(company, record.xml)));
                EXPECT_TRUE(text(company, record.xml).contains(record.listId.toUtf8()));
            }
        }
    }
    for (const QString &folder : {u"captured"_s, u"composed"_s}) {
        for (const QString &name : QDir(kSamples + u'/' + folder).entryList(QDir::Files))
            EXPECT_TRUE(covered.count(folder + u'/' + name))
                << "sample not covered: " << name.toStdString();
    }
    for (const QString &name : notAnswers)
        EXPECT_THROW(CompanyFile::load(kSamples + u'/' + name), Error) << name.toStdString();
}

TEST(CompanyFile, RecordsKnowTheFieldsQueriesFilterOn)
{
    const CompanyFile customers =
        CompanyFile::load(kSamples + u"/composed/CustomerQueryRs_v21_mixed.xml"_s);
    ASSERT_EQ(customers.customers().size(), 4u);
    const ListRecord &job = customers.customers()[1];
    EXPECT_EQ(job.fullName, u"Alder Creek Hardware:Store Remodel"_s); // not the ParentRef's
    EXPECT_EQ(job.listId.isEmpty(), false);
    EXPECT_NE(job.listId, customers.customers()[0].listId);
    std::vector<bool> active;
    for (const ListRecord &c : customers.customers())
        active.push_back(c.active);
    EXPECT_EQ(active, (std::vector<bool>{true, true, false, true}));

    const CompanyFile reps = CompanyFile::load(kSamples + u"/composed/SalesRepQueryRs_v21.xml"_s);
    EXPECT_EQ(reps.salesReps()[0].fullName, u"JMH"_s); // a rep is named by its Initial
    EXPECT_FALSE(reps.salesReps()[1].active);

    const CompanyFile items =
        CompanyFile::load(kSamples + u"/composed/ItemQueryRs_v21_all-kinds.xml"_s);
    std::set<QString> names;
    for (const ListRecord &item : items.items())
        names.insert(item.fullName);
    EXPECT_TRUE(names.count(u"Hardware:Hinge 3in"_s));
    EXPECT_TRUE(names.count(u"Subtotal"_s)); // no FullName in 2.1: its Name

    const CompanyFile invoices =
        CompanyFile::load(kSamples + u"/captured/InvoiceQueryRs_two-invoices_consolibyte.xml"_s);
    const InvoiceRecord &first = invoices.invoices()[0];
    EXPECT_EQ(first.txnId, u"4-1232328070"_s); // not the LinkedTxn's TxnID
    EXPECT_EQ(first.refNumber, QString());     // nor its RefNumber
    EXPECT_EQ(first.txnDate, QDate(2009, 1, 18));
    EXPECT_EQ(invoices.invoices()[1].refNumber, u"1"_s);
}

TEST(CompanyFile, KeepsEachRecordAsTheFileHasIt)
{
    const QByteArray record =
        "<CustomerRet><ListID>1-1</ListID><Name>Smith &amp; Sons &lt;Müller&gt;</Name>"
        "<FullName>Smith &#38; Sons <![CDATA[<Müller>]]></FullName><Notes></Notes><!-- note -->\r\n"
        "<FutureField kind='a&quot;b'>𝄞 Zoë</FutureField><Empty/></CustomerRet>";
    const CompanyFile company =
        fromText(document("<CustomerQueryRs statusCode=\"0\" statusSeverity=\"Info\">" + record +
                          "</CustomerQueryRs>"));
    ASSERT_EQ(company.customers().size(), 1u);
    EXPECT_EQ(company.customers()[0].fullName, u"Smith & Sons <Müller>"_s);
    EXPECT_EQ(text(company, company.customers()[0].xml), record);

    const CompanyFile captured =
        CompanyFile::load(kSamples + u"/captured/ItemQueryRs_assembly_consolibyte.xml"_s);
    EXPECT_TRUE(text(captured, captured.items()[0].xml).contains("<UnitOfMeasureSetRef>"));
}

TEST(CompanyFile, MissingListsAreEmpty)
{
    const CompanyFile company = fromText(document(
        "<SalesRepQueryRs statusCode=\"1\" statusSeverity=\"Info\"/>"
        "<VendorQueryRs statusCode=\"0\" statusSeverity=\"Info\"><VendorRet><ListID>9</ListID>"
        "</VendorRet></VendorQueryRs>"));
    EXPECT_TRUE(company.customers().empty());
    EXPECT_TRUE(company.invoices().empty());
    EXPECT_TRUE(company.items().empty());
    EXPECT_TRUE(company.salesReps().empty());
    EXPECT_TRUE(fromText("<QBXML/>").customers().empty());
}

TEST(CompanyFile, InvoiceLinesAndLinkedTxnsCanBeLeftOut)
{
    // Compact, and with a LinkedTxn first: no white space to take along.
    const CompanyFile compact = fromText(document(
        "<InvoiceQueryRs statusCode=\"0\" "
        "statusSeverity=\"Info\"><InvoiceRet><LinkedTxn><TxnID>L</TxnID>"
        "</LinkedTxn><TxnID>T1</TxnID><TxnDate>2020-02-29</TxnDate><InvoiceLineRet><TxnLineID>1"
        "</TxnLineID></InvoiceLineRet><InvoiceLineGroupRet><TxnLineID>2</TxnLineID><InvoiceLineRet>"
        "<TxnLineID>3</TxnLineID></InvoiceLineRet></InvoiceLineGroupRet><InvoiceLineRet/>"
        "<DataExtRet><DataExtName>Region</DataExtName></DataExtRet></InvoiceRet></"
        "InvoiceQueryRs>"));
    ASSERT_EQ(compact.invoices().size(), 1u);
    EXPECT_EQ(compact.invoices()[0].txnId, u"T1"_s);
    EXPECT_EQ(compact.invoices()[0].txnDate, QDate(2020, 2, 29));
    EXPECT_EQ(invoiceText(compact, 0, 0),
              QByteArray("<InvoiceRet><TxnID>T1</TxnID><TxnDate>2020-02-29</TxnDate><DataExtRet>"
                         "<DataExtName>Region</DataExtName></DataExtRet></InvoiceRet>"));
    EXPECT_EQ(invoiceText(compact, 0, static_cast<unsigned>(InvoicePart::LinkedTxns)),
              QByteArray("<InvoiceRet><LinkedTxn><TxnID>L</TxnID></LinkedTxn><TxnID>T1</TxnID>"
                         "<TxnDate>2020-02-29</TxnDate><DataExtRet><DataExtName>Region"
                         "</DataExtName></DataExtRet></InvoiceRet>"));
    EXPECT_EQ(invoiceText(compact, 0, kAll), text(compact, compact.invoices()[0].xml));

    // Indented: each left-out element goes with the white space before it.
    const CompanyFile indented =
        CompanyFile::load(kSamples + u"/composed/InvoiceQueryRs_v21_groups-ratepercent.xml"_s);
    for (std::size_t i = 0; i < indented.invoices().size(); ++i) {
        const QByteArray full = invoiceText(indented, i, kAll);
        const QByteArray bare = invoiceText(indented, i, 0);
        EXPECT_TRUE(full.contains("<InvoiceLineRet>"));
        EXPECT_FALSE(bare.contains("InvoiceLine"));
        EXPECT_TRUE(wellFormed(bare));
        EXPECT_FALSE(bare.contains("\n\n")) << bare.toStdString();
    }
}

TEST(CompanyFile, RefusalsNameTheFileLineAndColumn)
{
    test::TempAppFolder folder;
    const QByteArray good = document("<CustomerQueryRs statusCode=\"0\" statusSeverity=\"Info\">\n"
                                     "<CustomerRet><ListID>1</ListID></CustomerRet>\n"
                                     "</CustomerQueryRs>");
    const struct {
        const char *name;
        QByteArray text;
        const char *where; // part of the message
    } cases[] = {
        {"mismatched tag", "<QBXML>\n<QBXMLMsgsRs>\n<CustomerQueryRs></Customer>", "line 3"},
        {"truncated", good.left(good.indexOf("<ListID>") + 4), "line 6"},
        {"empty", "", "line 1"},
        {"wrong root", "<?xml version=\"1.0\"?>\n<EstimateRet/>", "EstimateRet"},
        {"second list", document("<CustomerQueryRs/>\n<CustomerQueryRs/>"),
         "second <CustomerQueryRs>"},
        {"second message set", "<QBXML><QBXMLMsgsRs/><QBXMLMsgsRs/></QBXML>",
         "second <QBXMLMsgsRs>"},
        {"not UTF-8",
         document("<CustomerQueryRs>\n<CustomerRet><Name>Caf\xE9</Name></CustomerRet>"
                  "</CustomerQueryRs>"),
         "UTF-8"},
        {"undeclared entity",
         document("<CustomerQueryRs>\n<CustomerRet><Name>Caf&eacute;</Name>"
                  "</CustomerRet></CustomerQueryRs>"),
         "reference"},
        {"a request", "<QBXML><QBXMLMsgsRq onError=\"stopOnError\"/></QBXML>", "requests"},
        {"bad TxnDate",
         document("<InvoiceQueryRs>\n<InvoiceRet><TxnID>1</TxnID>"
                  "<TxnDate>2020-13-01</TxnDate></InvoiceRet></InvoiceQueryRs>"),
         "2020-13-01"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name) + u".qbxml"_s;
        folder.write(name, c.text);
        try {
            CompanyFile::load(folder.file(name));
            ADD_FAILURE() << "loaded";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errc::kFileFailure);
            EXPECT_TRUE(e.description().contains(folder.file(name))) << e.what();
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.where))) << e.what();
            EXPECT_TRUE(e.description().contains(u"column"_s)) << e.what();
        }
    }
    EXPECT_THROW(CompanyFile::load(folder.file(u"missing.qbxml"_s)), Error);
}
