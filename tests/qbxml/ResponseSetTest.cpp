#include "qbxml/ResponseSet.h"
#include "base/Error.h"
#include "qbxml/ComErrors.h"
#include "qbxml/HostVersions.h"
#include "qbxml/Records.h"
#include "qbxml/RequestSet.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::qb;
using namespace Qt::StringLiterals;

namespace {

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

ResponseSet parseFixture(const char *name)
{
    return ResponseSet::parse(fixture(name));
}

QByteArray wrap(const char *rs, const QByteArray &records)
{
    return QByteArray("<?xml version=\"1.0\" ?><QBXML><QBXMLMsgsRs><") + rs +
           " requestID=\"1\" statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status "
           "OK\">" +
           records + "</" + rs + "></QBXMLMsgsRs></QBXML>";
}

std::int32_t errorNumberOf(const QByteArray &text, QString *description = nullptr)
{
    try {
        const auto set = ResponseSet::parse(text);
        for (int r = 0; r < set.count(); ++r) {
            for (int i = 0; i < set.response(r).count(); ++i) {
                const CustomerRet c(set.response(r).record(i));
                (void)c.balance();
                (void)c.isActive();
            }
        }
    } catch (const Error &e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace

TEST(ResponseSet, CustomersWithJobsInactiveAndMissingAddresses)
{
    const auto set = parseFixture("composed/CustomerQueryRs_v21_mixed.xml");
    ASSERT_EQ(set.count(), 1);
    const Response &r = set.response(0);
    EXPECT_EQ(r.type(), u"CustomerQueryRs");
    EXPECT_EQ(r.statusCode(), 0);
    EXPECT_EQ(r.statusMessage(), u"Status OK");
    ASSERT_EQ(r.count(), 4);

    const CustomerRet full(r.record(0));
    EXPECT_EQ(full.name(), u"Alder Creek Hardware"_s);
    EXPECT_EQ(full.listId(), u"80000001-1041867611");
    EXPECT_FALSE(full.parentRef());
    EXPECT_EQ(full.isActive(), true);
    ASSERT_TRUE(full.billAddress());
    EXPECT_EQ(full.billAddress()->addr4, u"Suite 4"_s);
    EXPECT_EQ(full.billAddress()->postalCode, u"97477"_s);
    ASSERT_TRUE(full.shipAddress());
    EXPECT_FALSE(full.shipAddress()->addr4);
    EXPECT_EQ(full.customerTypeRef()->fullName, u"Retail"_s);
    EXPECT_EQ(full.salesRepRef()->fullName, u"JMH"_s);
    EXPECT_DOUBLE_EQ(*full.balance(), 1250.75);
    EXPECT_DOUBLE_EQ(*full.creditLimit(), 5000.0);
    EXPECT_EQ(full.accountNumber(), u"AC-1001"_s);
    EXPECT_FALSE(full.mobile());
    EXPECT_FALSE(full.preferredDeliveryMethod());

    const CustomerRet job(r.record(1));
    ASSERT_TRUE(job.parentRef());
    EXPECT_EQ(job.parentRef()->listId, u"80000001-1041867611"_s);
    EXPECT_EQ(job.fullName(), u"Alder Creek Hardware:Store Remodel"_s);

    EXPECT_EQ(CustomerRet(r.record(2)).isActive(), false);

    const CustomerRet bare(r.record(3));
    EXPECT_FALSE(bare.billAddress());
    EXPECT_FALSE(bare.shipAddress());
    EXPECT_FALSE(bare.phone());
    EXPECT_FALSE(bare.salesRepRef());
}

TEST(ResponseSet, CapturedCustomerKeepsTextAndSkipsLaterElements)
{
    const auto set = parseFixture("captured/CustomerQueryRs_single_qbwc-qbxml.xml");
    ASSERT_EQ(set.response(0).count(), 1);
    const CustomerRet c(set.response(0).record(0));
    EXPECT_FALSE(c.listId().isEmpty());
    ASSERT_TRUE(c.billAddress());
    EXPECT_TRUE(c.billAddress()->country.has_value());
    EXPECT_EQ(c.name(), c.fullName());

    // Attributes of newer versions (iterators) are ignored, not refused.
    const auto iter = parseFixture("captured/CustomerQueryRs_iterator_qbwc-qbxml.xml");
    EXPECT_EQ(iter.response(0).count(), 1);
}

TEST(ResponseSet, InvoiceLinesGroupsAndPercentageRates)
{
    const auto set = parseFixture("composed/InvoiceQueryRs_v21_groups-ratepercent.xml");
    const Response &r = set.response(0);
    ASSERT_EQ(r.count(), 2);

    const InvoiceRet first(r.record(0));
    EXPECT_EQ(first.refNumber(), u"1047"_s);
    EXPECT_EQ(first.txnDate(), QDate(2003, 5, 6));
    EXPECT_EQ(first.customerRef()->listId, u"80000001-1041867611"_s);
    EXPECT_EQ(first.classRef()->fullName, u"Wholesale"_s);
    EXPECT_EQ(first.shipMethodRef()->fullName, u"UPS"_s);
    EXPECT_EQ(first.fob(), u"Portland"_s);
    EXPECT_EQ(first.poNumber(), u"PO-5521"_s);
    EXPECT_EQ(first.dueDate(), QDate(2003, 6, 5));
    EXPECT_EQ(first.memo(), u"Spring restock"_s);

    const auto lines = first.lines();
    ASSERT_EQ(lines.size(), 5u);
    ASSERT_TRUE(lines[0].line());
    EXPECT_FALSE(lines[0].group());
    EXPECT_EQ(lines[0].line()->itemRef()->fullName, u"Hardware:Hinge 3in"_s);
    EXPECT_DOUBLE_EQ(*lines[0].line()->quantity(), 100);
    EXPECT_DOUBLE_EQ(*lines[0].line()->rate(), 2.25);
    EXPECT_FALSE(lines[0].line()->ratePercent());
    EXPECT_EQ(lines[0].line()->classRef()->fullName, u"Wholesale"_s);

    ASSERT_TRUE(lines[1].group());
    EXPECT_FALSE(lines[1].line());
    const auto members = lines[1].group()->lines();
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[2].itemRef()->listId, u"80000022-1041869020"_s);
    EXPECT_DOUBLE_EQ(*members[2].quantity(), 1.5);
    EXPECT_EQ(lines[1].group()->itemGroupRef()->fullName, u"Door Kit"_s);

    const auto discount = *lines[3].line();
    EXPECT_FALSE(discount.rate());
    EXPECT_DOUBLE_EQ(*discount.ratePercent(), -10.0);
    EXPECT_DOUBLE_EQ(*discount.amount(), -72.5);

    const auto note = *lines[4].line();
    EXPECT_FALSE(note.itemRef());
    EXPECT_FALSE(note.quantity());
    EXPECT_EQ(note.desc(), u"Thank you for your business."_s);

    const InvoiceRet second(r.record(1));
    EXPECT_FALSE(second.salesRepRef());
    EXPECT_FALSE(second.classRef());
    EXPECT_FALSE(second.memo());
    EXPECT_FALSE(second.shipDate());
    EXPECT_EQ(second.customerRef()->fullName, u"Alder Creek Hardware:Store Remodel"_s);
}

TEST(ResponseSet, CapturedInvoicesReadOnlyDirectFields)
{
    const auto set = parseFixture("captured/InvoiceQueryRs_two-invoices_consolibyte.xml");
    const Response &r = set.response(0);
    ASSERT_EQ(r.count(), 2);
    const InvoiceRet first(r.record(0));
    // The linked payment carries its own TxnDate and RefNumber; the invoice's are its own.
    EXPECT_EQ(first.txnDate(), QDate(2009, 1, 18));
    EXPECT_EQ(first.salesRepRef()->fullName, u"SBD"_s);
    const auto lines = first.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].line()->itemRef());
    EXPECT_DOUBLE_EQ(*lines[0].line()->rate(), 100.0);

    const InvoiceRet second(r.record(1));
    EXPECT_EQ(second.refNumber(), u"1"_s);
    EXPECT_EQ(second.lines().size(), 2u);
}

TEST(ResponseSet, EveryItemKindWithItsDescription)
{
    const auto set = parseFixture("composed/ItemQueryRs_v21_all-kinds.xml");
    const Response &r = set.response(0);
    std::map<QString, int> kinds;
    for (int i = 0; i < r.count(); ++i) {
        const ItemEntry entry(r.record(i));
        ASSERT_TRUE(entry.kind()) << entry.typeName().toStdString();
        EXPECT_EQ(entry.typeName(), itemTypeName(*entry.kind()));
        EXPECT_TRUE(entry.record(*entry.kind()));
        ++kinds[entry.typeName()];
    }
    EXPECT_EQ(kinds.size(), 11u); // every 2.1 kind; FixedAsset arrives in 3.0

    const ItemEntry installation(r.record(0));
    EXPECT_EQ(installation.kind(), ItemKind::Service);
    EXPECT_FALSE(installation.record(ItemKind::Inventory));
    const ItemRecord service = *installation.record(ItemKind::Service);
    EXPECT_EQ(service.itemName(), u"Installation"_s);
    ASSERT_TRUE(service.salesOrPurchase());
    EXPECT_EQ(service.salesOrPurchase()->textOf(Tag::Desc), u"Installation labor"_s);
    EXPECT_FALSE(service.salesAndPurchase());

    const ItemRecord consult = *ItemEntry(r.record(1)).record(ItemKind::Service);
    EXPECT_EQ(consult.isActive(), false);
    EXPECT_EQ(consult.salesAndPurchase()->textOf(Tag::SalesDesc),
              u"Design consultation (subcontracted)"_s);

    for (int i = 0; i < r.count(); ++i) {
        const ItemEntry entry(r.record(i));
        if (entry.kind() == ItemKind::SalesTaxGroup) {
            EXPECT_EQ(entry.record(ItemKind::SalesTaxGroup)->itemDesc(),
                      u"State and city combined rate"_s);
        }
        if (entry.kind() == ItemKind::InventoryAssembly) {
            EXPECT_EQ(entry.record(ItemKind::InventoryAssembly)->salesDesc(),
                      u"Set of 10 cabinet pulls with screws"_s);
        }
    }
    EXPECT_EQ(itemTypeName(ItemKind::FixedAsset), u"ItemFixedAssetRet");
    EXPECT_EQ(itemTypeName(ItemKind::SalesTaxGroup), u"ItemSalesTaxGroupRet");
}

TEST(ResponseSet, CapturedItemsAndUnknownKinds)
{
    const auto assembly = parseFixture("captured/ItemQueryRs_assembly_consolibyte.xml");
    const ItemEntry a(assembly.response(0).record(0));
    EXPECT_EQ(a.kind(), ItemKind::InventoryAssembly);
    EXPECT_TRUE(a.record(ItemKind::InventoryAssembly)->salesDesc().has_value());

    const auto mixed = parseFixture("captured/ItemQueryRs_service-inventory_flowlink.xml");
    const Response &r = mixed.response(0);
    ASSERT_EQ(r.count(), 5);
    const ItemRecord service = *ItemEntry(r.record(0)).record(ItemKind::Service);
    ASSERT_TRUE(service.salesOrPurchase());
    EXPECT_FALSE(service.salesOrPurchase()->textOf(Tag::Desc)); // priced, not described
    EXPECT_FALSE(ItemEntry(r.record(1)).record(ItemKind::Inventory)->salesDesc());

    const auto future = ResponseSet::parse(
        wrap("ItemQueryRs", "<ItemFutureKindRet><ListID>9</ListID></ItemFutureKindRet>"));
    const ItemEntry unknown(future.response(0).record(0));
    EXPECT_FALSE(unknown.kind());
    EXPECT_EQ(unknown.typeName(), u"ItemFutureKindRet");
}

TEST(ResponseSet, SalesRepsAndStatusAnswers)
{
    const auto reps = parseFixture("composed/SalesRepQueryRs_v21.xml");
    ASSERT_EQ(reps.response(0).count(), 3);
    const SalesRepRet jmh(reps.response(0).record(0));
    EXPECT_EQ(jmh.initial(), u"JMH"_s);
    EXPECT_EQ(jmh.salesRepEntityRef()->fullName, u"Jamie M. Howell"_s);
    EXPECT_EQ(SalesRepRet(reps.response(0).record(1)).isActive(), false);

    const auto statuses = parseFixture("composed/status-responses_v21.xml");
    ASSERT_EQ(statuses.count(), 4);
    EXPECT_EQ(statuses.response(0).statusCode(), 1);
    EXPECT_EQ(statuses.response(0).count(), 0);
    EXPECT_EQ(statuses.response(1).statusCode(), 3020);
    EXPECT_EQ(statuses.response(1).statusSeverity(), u"Error");
    EXPECT_EQ(
        statuses.response(1).statusMessage(),
        u"There was an error when converting the date value \"2003-13-01\" in the field \"FromTxnDate\"."_s);
    EXPECT_EQ(statuses.response(1).requestId(), u"2");

    const auto none = parseFixture("captured/ItemInventoryQueryRs_status1-nomatch_flowlink.xml");
    EXPECT_EQ(none.response(0).statusCode(), 1);
    EXPECT_EQ(none.response(0).statusMessage(),
              u"A query request did not find a matching object in QuickBooks");
}

TEST(ResponseSet, TextWithEntitiesAndNonAsciiLetters)
{
    const auto set = ResponseSet::parse(
        wrap("CustomerQueryRs",
             "<CustomerRet><ListID>1</ListID><Name>O'Brien &amp; M\xc3\xbcller <![CDATA[<&>]]> "
             "100%_*[x]</Name>"
             "<CompanyName>  Z\xc3\xb6\xc3\xab  </CompanyName><Phone></Phone></CustomerRet>"));
    const CustomerRet c(set.response(0).record(0));
    EXPECT_EQ(c.name(), u"O'Brien & Müller <&> 100%_*[x]"_s);
    EXPECT_EQ(c.companyName(), u"  Zöë  "_s);
    EXPECT_EQ(c.phone(), QString()); // present but empty
}

TEST(ResponseSet, MalformedAnswersAreRefusedWithTheirPlace)
{
    const QByteArray good = fixture("composed/CustomerQueryRs_v21_mixed.xml");
    struct Case {
        const char *name;
        QByteArray text;
    };
    const Case cases[] = {
        {"truncated", good.left(good.size() / 2)},
        {"empty", QByteArray()},
        {"not xml", QByteArray("Status OK")},
        {"wrong root", QByteArray("<?xml version=\"1.0\"?><HTML><body/></HTML>")},
        {"mismatched tag", wrap("CustomerQueryRs", "<CustomerRet><ListID>1</Name></CustomerRet>")},
        {"no status code",
         QByteArray("<QBXML><QBXMLMsgsRs><CustomerQueryRs/></QBXMLMsgsRs></QBXML>")},
        {"bad number",
         wrap("CustomerQueryRs",
              "<CustomerRet><ListID>1</ListID><Balance>12,50</Balance></CustomerRet>")},
        {"bad boolean",
         wrap("CustomerQueryRs",
              "<CustomerRet><ListID>1</ListID><IsActive>maybe</IsActive></CustomerRet>")},
    };
    for (const auto &c : cases) {
        QString description;
        EXPECT_EQ(errorNumberOf(c.text, &description), hr::kInvalidData) << c.name;
        EXPECT_FALSE(description.isEmpty()) << c.name;
    }
    QString description;
    errorNumberOf(good.left(good.size() / 2), &description);
    EXPECT_TRUE(description.contains(u"line")) << description.toStdString();
    EXPECT_EQ(errorNumberOf(good), 0);
}

TEST(ResponseSet, BadDatesAreRefusedAndDateTimesAccepted)
{
    const auto set = ResponseSet::parse(wrap(
        "InvoiceQueryRs", "<InvoiceRet><TxnID>1</TxnID><TxnDate>2024-02-30</"
                          "TxnDate><DueDate>2024-03-01T10:00:00-05:00</DueDate></InvoiceRet>"));
    const InvoiceRet inv(set.response(0).record(0));
    EXPECT_EQ(inv.dueDate(), QDate(2024, 3, 1));
    try {
        (void)inv.txnDate();
        FAIL() << "an impossible date was read";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), hr::kInvalidData);
        EXPECT_TRUE(e.description().contains(u"2024-02-30"));
    }
}

TEST(ResponseSet, WhiteSpaceThatIsContentIsKept)
{
    const auto set = ResponseSet::parse(
        wrap("CustomerQueryRs",
             "<CustomerRet>\r\n  <ListID>1</ListID>\r\n  <Name> <![CDATA[Ann]]></Name>\n"
             "  <CompanyName>&#32;</CompanyName><Phone>  </Phone><Fax>\r\n</Fax>\n"
             "  <BillAddress>\n    <Addr1>a\r\nb\rc</Addr1>\n  </BillAddress>\n</CustomerRet>"));
    const CustomerRet c(set.response(0).record(0));
    EXPECT_EQ(c.name(), u" Ann"_s);
    EXPECT_EQ(c.companyName(), u" "_s);
    EXPECT_EQ(c.phone(), u"  "_s);
    EXPECT_EQ(c.fax(), u"\n"_s);
    EXPECT_EQ(c.billAddress()->addr1, u"a\nb\nc"_s);
    // White space between child elements is layout.
    EXPECT_EQ(c.text(), QString());
    EXPECT_EQ(c.child(Tag::BillAddress).text(), QString());
}

TEST(ResponseSet, AmountsAreDecimalNumbers)
{
    struct Case {
        const char *text;
        std::optional<double> value; // empty: refused
    };
    const Case cases[] = {
        {"12.50", 12.5},  {" -3 ", -3.0}, {"+4.25", 4.25}, {".5", 0.5}, {"7.", 7.0},
        {"1.5e2", 150.0}, {"nan", {}},    {"NaN", {}},     {"inf", {}}, {"-INF", {}},
        {"Infinity", {}}, {"1e999", {}},  {"0x10", {}},    {"", {}},    {"1 2", {}},
        {"12,50", {}},    {"1e", {}},     {".", {}},
    };
    for (const auto &c : cases) {
        const auto set = ResponseSet::parse(
            wrap("CustomerQueryRs", QByteArray("<CustomerRet><ListID>1</ListID><Balance>") +
                                        c.text + "</Balance></CustomerRet>"));
        const CustomerRet customer(set.response(0).record(0));
        try {
            const std::optional<double> value = customer.balance();
            EXPECT_TRUE(c.value) << '"' << c.text << "\" was read as " << value.value_or(-1);
            if (c.value) {
                EXPECT_DOUBLE_EQ(*value, *c.value) << c.text;
            }
        } catch (const Error &e) {
            EXPECT_FALSE(c.value) << '"' << c.text << "\" was refused";
            EXPECT_EQ(e.number(), hr::kInvalidData) << c.text;
        }
    }
}

TEST(ResponseSet, IteratorAttributesAreRead)
{
    const auto captured = parseFixture("captured/CustomerQueryRs_iterator_qbwc-qbxml.xml");
    ASSERT_EQ(captured.count(), 1);
    EXPECT_EQ(captured.response(0).iteratorId(), u"{eb05f701-e727-472f-8ade-6753c4f67a46}"_s);
    EXPECT_EQ(captured.response(0).iteratorRemainingCount(), 18);
    EXPECT_EQ(captured.response(0).count(), 1);

    const auto plain = parseFixture("composed/CustomerQueryRs_v21_mixed.xml");
    EXPECT_FALSE(plain.response(0).iteratorId().has_value());
    EXPECT_FALSE(plain.response(0).iteratorRemainingCount().has_value());

    QByteArray bad = wrap("CustomerQueryRs", {});
    bad.replace("statusCode=\"0\"", "statusCode=\"0\" iteratorRemainingCount=\"many\"");
    EXPECT_EQ(errorNumberOf(bad), hr::kInvalidData);
}

TEST(ResponseSet, Version13AnswersReadTheKnownFieldsAndSkipTheRest)
{
    const auto set = parseFixture("composed/QueryRs_v130_paged.xml");
    ASSERT_EQ(set.count(), 3);

    const Response &customers = set.response(0);
    EXPECT_EQ(customers.iteratorRemainingCount(), 0);
    ASSERT_EQ(customers.count(), 2);
    const CustomerRet top(customers.record(0));
    EXPECT_EQ(top.textOf(Tag::ListID), u"80000011-1700000001"_s);
    EXPECT_FALSE(top.parentRef().has_value()); // ClassRef, new before ParentRef, is not a parent
    EXPECT_EQ(top.balance(), 120.50);
    EXPECT_EQ(top.creditLimit(), 5000.0);
    EXPECT_EQ(top.preferredDeliveryMethod(), 1);
    EXPECT_EQ(top.refOf(Tag::SalesRepRef)->fullName, u"JMH"_s);
    const auto bill = top.addressOf(Tag::BillAddress);
    ASSERT_TRUE(bill.has_value());
    EXPECT_EQ(bill->addr4, u"Dock B"_s);
    EXPECT_EQ(bill->postalCode, u"04101"_s);
    const CustomerRet job(customers.record(1));
    ASSERT_TRUE(job.parentRef().has_value());
    EXPECT_EQ(job.parentRef()->listId, u"80000011-1700000001"_s);

    const Response &invoices = set.response(1);
    EXPECT_EQ(invoices.iteratorId(), u"{7c1e0b9a-aaaa-bbbb-cccc-0123456789ab}"_s);
    EXPECT_EQ(invoices.iteratorRemainingCount(), 41);
    ASSERT_EQ(invoices.count(), 1);
    const InvoiceRet invoice(invoices.record(0));
    EXPECT_EQ(invoice.txnDate(), QDate(2024, 2, 1));
    EXPECT_EQ(invoice.textOf(Tag::RefNumber), u"1077"_s);
    EXPECT_EQ(invoice.textOf(Tag::PONumber), u"PO-88"_s);
    const auto lines = invoice.lines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(lines[0].line().has_value());
    EXPECT_EQ(lines[0].line()->amount(), 120.50);
    EXPECT_EQ(lines[0].line()->rate(), 24.10);

    const Response &items = set.response(2);
    ASSERT_EQ(items.count(), 2);
    const ItemEntry service(items.record(0));
    EXPECT_EQ(service.kind(), ItemKind::Service);
    const auto record = service.record(ItemKind::Service);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->salesOrPurchase()->textOf(Tag::Desc), u"Rope splicing, per splice"_s);
    EXPECT_EQ(ItemEntry(items.record(1)).kind(), ItemKind::FixedAsset);
}

TEST(HostVersions, CapturedHostAnswerGivesItsVersionsAndNamesTheDamage)
{
    QFile f(QStringLiteral(CORVINA_TEST_DATA_DIR "/webconnector/hcp-response.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const HostVersions host = readHostVersions(f.readAll());
    ASSERT_EQ(host.versions.size(), 16);
    EXPECT_EQ(host.versions.first(), QVersionNumber(1, 0));
    EXPECT_EQ(host.versions.last(), QVersionNumber(13, 0));
    EXPECT_EQ(iteratorVersionFor(host.versions), QVersionNumber(13, 0));
    // The published copy has one damaged element, after the host's answer: reading stops
    // at the end of the host's record and never reaches it.
    EXPECT_TRUE(host.damage.isEmpty()) << host.damage.toStdString();

    const HostVersions none = readHostVersions(wrap("HostQueryRs", {}));
    EXPECT_TRUE(none.versions.isEmpty());
    EXPECT_TRUE(none.damage.contains(u"no HostRet"_s)) << none.damage.toStdString();
    // Versions outside a HostRet are not the host's.
    EXPECT_TRUE(
        readHostVersions("<QBXML><SupportedQBXMLVersion>13.0</SupportedQBXMLVersion></QBXML>")
            .versions.isEmpty());
}

TEST(ResponseSet, DeletedRecordsAndModifiedTimes)
{
    const auto txns = ResponseSet::parse(
        wrap("TxnDeletedQueryRs",
             "<TxnDeletedRet><TxnDelType>Invoice</TxnDelType><TxnID>T-9</TxnID>"
             "<TimeCreated>2024-01-02T10:00:00-05:00</TimeCreated>"
             "<TimeDeleted>2024-03-02T11:00:00-05:00</TimeDeleted><RefNumber>1001</RefNumber>"
             "</TxnDeletedRet><TxnDeletedRet><TxnDelType>Invoice</TxnDelType><TxnID>T-10</TxnID>"
             "<TimeDeleted>2024-03-02T16:00:01Z</TimeDeleted></TxnDeletedRet>"));
    ASSERT_EQ(txns.response(0).type(), u"TxnDeletedQueryRs"_s);
    ASSERT_EQ(txns.response(0).count(), 2);
    const TxnDeletedRet first(txns.response(0).record(0));
    EXPECT_EQ(first.txnDelType(), u"Invoice"_s);
    EXPECT_EQ(first.txnId(), u"T-9"_s);
    EXPECT_EQ(first.refNumber(), u"1001"_s);
    EXPECT_EQ(first.timeCreated()->text(), u"2024-01-02T10:00:00-05:00"_s);
    const TxnDeletedRet second(txns.response(0).record(1));
    EXPECT_LT(*first.timeDeleted(), *second.timeDeleted()); // 16:00:00Z against 16:00:01Z
    EXPECT_FALSE(second.refNumber().has_value());

    const auto lists = ResponseSet::parse(
        wrap("ListDeletedQueryRs",
             "<ListDeletedRet><ListDelType>ItemService</ListDelType><ListID>80000001-1</ListID>"
             "<TimeCreated>2024-01-01T00:00:00</TimeCreated>"
             "<TimeDeleted>2024-02-21T10:00:00-05:00</TimeDeleted><FullName>Paint:Walls</FullName>"
             "</ListDeletedRet>"));
    const ListDeletedRet item(lists.response(0).record(0));
    EXPECT_EQ(item.listDelType(), u"ItemService"_s);
    EXPECT_EQ(item.listId(), u"80000001-1"_s);
    EXPECT_EQ(item.fullName(), u"Paint:Walls"_s);
    EXPECT_EQ(item.timeDeleted()->text(), u"2024-02-21T10:00:00-05:00"_s);

    // Every kind of record carries its TimeModified; a bad one is named.
    const auto customers = ResponseSet::parse(wrap(
        "CustomerQueryRs", "<CustomerRet><ListID>1</ListID><TimeModified>2024-03-01T09:00:00+01:00"
                           "</TimeModified></CustomerRet><CustomerRet><ListID>2</ListID>"
                           "<TimeModified>2024-03-01 09:00</TimeModified></CustomerRet>"
                           "<CustomerRet><ListID>3</ListID></CustomerRet>"));
    EXPECT_EQ(CustomerRet(customers.response(0).record(0)).timeModified()->text(),
              u"2024-03-01T09:00:00+01:00"_s);
    try {
        (void)CustomerRet(customers.response(0).record(1)).timeModified();
        FAIL() << "a time that is not a qbXML date-time was read";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), hr::kInvalidData);
        EXPECT_TRUE(e.description().contains(u"TimeModified"));
    }
    EXPECT_FALSE(CustomerRet(customers.response(0).record(2)).timeModified().has_value());
    const auto items = ResponseSet::parse(
        wrap("ItemQueryRs", "<ItemServiceRet><ListID>I</ListID><TimeModified>2024-03-01T09:00:00Z"
                            "</TimeModified></ItemServiceRet>"));
    EXPECT_EQ(ItemRecord(items.response(0).record(0)).timeModified()->text(),
              u"2024-03-01T09:00:00+00:00"_s);
}

TEST(ResponseSet, PeekReadsOnlyTheFirstResponsesHead)
{
    // An iterator page: the head is read before the records, which may still be damaged.
    const QByteArray page =
        "<?xml version=\"1.0\" ?><QBXML><SignonMsgsRs/><QBXMLMsgsRs><InvoiceQueryRs "
        "requestID=\"1\" statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\" "
        "iteratorRemainingCount=\"9750\" iteratorID=\"{eb05f701-e727-472f-8ade-6753c4f67a1b}\">"
        "<InvoiceRet><TxnID>1</TxnID></InvoiceRet><InvoiceRet><TxnID>";
    const auto head = ResponseSet::peekFirst(page);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->statusCode, 0);
    EXPECT_EQ(head->iteratorRemainingCount, 9750);
    EXPECT_EQ(head->iteratorId, u"{eb05f701-e727-472f-8ade-6753c4f67a1b}"_s);
    EXPECT_THROW(ResponseSet::parse(page), Error);

    // A last page and a refusal say so; a single request's answer has no iterator.
    const auto last = ResponseSet::peekFirst(
        "<QBXML><QBXMLMsgsRs><InvoiceQueryRs statusCode=\"1\" iteratorRemainingCount=\"0\" "
        "iteratorID=\"{x}\"/></QBXMLMsgsRs></QBXML>");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->statusCode, 1);
    EXPECT_EQ(last->iteratorRemainingCount, 0);
    const auto single = ResponseSet::peekFirst(
        "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"></CustomerQueryRs></QBXMLMsgsRs>"
        "</QBXML>");
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->iteratorId);
    EXPECT_FALSE(single->iteratorRemainingCount);

    // What is not a qbXML answer's head gives nothing, so nothing is asked ahead.
    for (const char *text :
         {"", "<html><body/></html>", "<QBXML><QBXMLMsgsRs></QBXMLMsgsRs></QBXML>",
          "<QBXML><QBXMLMsgsRs><InvoiceQueryRs statusCode=\"ok\"/></QBXMLMsgsRs></QBXML>",
          "<QBXML><QBXMLMsgsRs><InvoiceQueryRs statusCode=\"0\" "
          "iteratorRemainingCount=\"-3\"/></QBXMLMsgsRs></QBXML>"})
        EXPECT_FALSE(ResponseSet::peekFirst(text)) << text;
}
