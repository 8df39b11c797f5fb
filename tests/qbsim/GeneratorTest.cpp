// The company generator: the same bytes for the same options, the counts asked for, records
// in qbXML 2.1 element order with 2.1 value formats.

#include "GeneratedCompany.h"

using namespace corvina::qbsim;
using namespace corvina::qbsim::test;
using namespace Qt::Literals::StringLiterals;

namespace {

TEST(Generator, SameOptionsGiveSameBytes)
{
    const QByteArray first = generate(30, 700, 7);
    EXPECT_EQ(first, generate(30, 700, 7));
    EXPECT_NE(first, generate(30, 700, 8));
    EXPECT_TRUE(first.startsWith("<?xml version=\"1.0\" ?>\n<?qbxml version=\"2.1\"?>\n<QBXML>"));
}

TEST(Generator, WritesTheCountsAskedFor)
{
    struct Case {
        int customers, invoices;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{12, 40}, Case{25, 501}, Case{25, 502}}) {
        SCOPED_TRACE(testing::Message() << c.customers << " customers, " << c.invoices);
        const Node doc = parse(generate(c.customers, c.invoices));
        const Node &msgs = doc.at(u"QBXML").at(u"QBXMLMsgsRs");
        ASSERT_EQ(msgs.children.size(), 4u);
        const QStringList names = {u"CustomerQueryRs"_s, u"InvoiceQueryRs"_s, u"ItemQueryRs"_s,
                                   u"SalesRepQueryRs"_s};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(msgs.children[std::size_t(i)].name, names[i]);
        int topLevel = 0;
        for (const Node *customer : msgs.at(u"CustomerQueryRs").all(u"CustomerRet"))
            topLevel += customer->child(u"ParentRef") ? 0 : 1;
        EXPECT_EQ(topLevel, c.customers);
        EXPECT_EQ(int(msgs.at(u"InvoiceQueryRs").all(u"InvoiceRet").size()), c.invoices);
        EXPECT_GE(msgs.at(u"SalesRepQueryRs").all(u"SalesRepRet").size(), 6u);
    }
}

TEST(Generator, ResponsesCarryRequestIdsAndStatusOk)
{
    const QByteArray bytes = generate(3, 2);
    QXmlStreamReader reader(bytes);
    int requestId = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || !reader.name().endsWith(u"QueryRs"))
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        EXPECT_EQ(a.value(u"requestID"_s).toString(), QString::number(++requestId));
        EXPECT_EQ(a.value(u"statusCode"_s).toString(), u"0"_s);
        EXPECT_EQ(a.value(u"statusSeverity"_s).toString(), u"Info"_s);
        EXPECT_EQ(a.value(u"statusMessage"_s).toString(), u"Status OK"_s);
    }
    EXPECT_EQ(requestId, 4);
}

// A device that accepts `room` bytes and then fails every write.
class FullDisk : public QIODevice {
public:
    explicit FullDisk(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }
    qint64 written = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (written + size > m_room)
            return -1;
        written += size;
        return size;
    }

private:
    qint64 m_room;
};

TEST(Generator, ReportsAFailedWrite)
{
    GeneratorOptions options;
    options.customers = 20;
    options.invoices = 3000;
    for (const qint64 room : {qint64(0), qint64(10'000), qint64(2'000'000)}) {
        FullDisk disk(room);
        EXPECT_FALSE(generateCompany(options, disk)) << room;
    }
    QByteArray bytes;
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(generateCompany(options, readOnly));
}

TEST(Generator, RefusesOptionsItCannotHonour)
{
    GeneratorOptions noCustomers;
    noCustomers.customers = 0; // invoices need someone to bill
    GeneratorOptions negative;
    negative.invoices = -1;
    GeneratorOptions noDate;
    noDate.lastDate = QDate();
    for (const GeneratorOptions &options : {noCustomers, negative, noDate}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_FALSE(generateCompany(options, buffer));
        EXPECT_TRUE(bytes.isEmpty());
    }
}

// qbXML 2.1 element order per record: "?" optional, "*" repeatable, "+" one or more,
// "|" alternatives at one place. Unlisted children are errors.
const std::map<QString, QStringList> &elementOrders()
{
    static const QStringList head = {u"ListID"_s, u"TimeCreated"_s, u"TimeModified"_s,
                                     u"EditSequence"_s, u"Name"_s};
    static const QStringList tree = {u"FullName"_s, u"IsActive?"_s, u"ParentRef?"_s, u"Sublevel"_s};
    static const QStringList inventory =
        head + tree + QStringList{u"SalesTaxCodeRef?"_s, u"SalesDesc?"_s,     u"SalesPrice?"_s,
                                  u"IncomeAccountRef"_s, u"PurchaseDesc?"_s,  u"PurchaseCost?"_s,
                                  u"COGSAccountRef"_s,   u"PrefVendorRef?"_s, u"AssetAccountRef"_s};
    static const QStringList stock = {u"QuantityOnHand?"_s, u"AverageCost?"_s,
                                      u"QuantityOnOrder?"_s, u"QuantityOnSalesOrder?"_s};
    static const QStringList sales =
        head + tree +
        QStringList{u"SalesTaxCodeRef?"_s, u"SalesOrPurchase|SalesAndPurchase"_s, u"DataExtRet*"_s};
    static const QStringList line = {u"TxnLineID"_s,  u"ItemRef?"_s,          u"Desc?"_s,
                                     u"Quantity?"_s,  u"Rate|RatePercent?"_s, u"ClassRef?"_s,
                                     u"Amount?"_s,    u"ServiceDate?"_s,      u"SalesTaxCodeRef?"_s,
                                     u"DataExtRet*"_s};
    static const std::map<QString, QStringList> orders = {
        {u"CustomerRet"_s, head + QStringList{u"FullName"_s,
                                              u"IsActive?"_s,
                                              u"ParentRef?"_s,
                                              u"Sublevel"_s,
                                              u"CompanyName?"_s,
                                              u"Salutation?"_s,
                                              u"FirstName?"_s,
                                              u"MiddleName?"_s,
                                              u"LastName?"_s,
                                              u"Suffix?"_s,
                                              u"BillAddress?"_s,
                                              u"ShipAddress?"_s,
                                              u"PrintAs?"_s,
                                              u"Phone?"_s,
                                              u"AltPhone?"_s,
                                              u"Fax?"_s,
                                              u"Email?"_s,
                                              u"Contact?"_s,
                                              u"AltContact?"_s,
                                              u"CustomerTypeRef?"_s,
                                              u"TermsRef?"_s,
                                              u"SalesRepRef?"_s,
                                              u"Balance?"_s,
                                              u"TotalBalance?"_s,
                                              u"SalesTaxCodeRef?"_s,
                                              u"ItemSalesTaxRef?"_s,
                                              u"ResaleNumber?"_s,
                                              u"AccountNumber?"_s,
                                              u"CreditLimit?"_s,
                                              u"JobStatus?"_s,
                                              u"JobStartDate?"_s,
                                              u"JobProjectedEndDate?"_s,
                                              u"JobEndDate?"_s,
                                              u"JobDesc?"_s,
                                              u"JobTypeRef?"_s,
                                              u"Notes?"_s,
                                              u"IsStatementWithParent?"_s,
                                              u"DeliveryMethod?"_s,
                                              u"DataExtRet*"_s}},
        {u"InvoiceRet"_s,
         {u"TxnID"_s,
          u"TimeCreated"_s,
          u"TimeModified"_s,
          u"EditSequence"_s,
          u"TxnNumber?"_s,
          u"CustomerRef"_s,
          u"ClassRef?"_s,
          u"ARAccountRef?"_s,
          u"TxnDate"_s,
          u"RefNumber?"_s,
          u"BillAddress?"_s,
          u"ShipAddress?"_s,
          u"IsPending?"_s,
          u"IsFinanceCharge?"_s,
          u"PONumber?"_s,
          u"TermsRef?"_s,
          u"DueDate?"_s,
          u"SalesRepRef?"_s,
          u"FOB?"_s,
          u"ShipDate?"_s,
          u"ShipMethodRef?"_s,
          u"Subtotal?"_s,
          u"ItemSalesTaxRef?"_s,
          u"SalesTaxPercentage?"_s,
          u"SalesTaxTotal?"_s,
          u"AppliedAmount?"_s,
          u"BalanceRemaining?"_s,
          u"Memo?"_s,
          u"IsPaid?"_s,
          u"CustomerMsgRef?"_s,
          u"IsToBePrinted?"_s,
          u"CustomerSalesTaxCodeRef?"_s,
          u"SuggestedDiscountAmount?"_s,
          u"SuggestedDiscountDate?"_s,
          u"LinkedTxn*"_s,
          u"InvoiceLineRet|InvoiceLineGroupRet*"_s,
          u"DataExtRet*"_s}},
        {u"InvoiceLineRet"_s, line},
        {u"InvoiceLineGroupRet"_s,
         {u"TxnLineID"_s, u"ItemGroupRef"_s, u"Desc?"_s, u"Quantity?"_s, u"IsPrintItemsInGroup"_s,
          u"TotalAmount"_s, u"ServiceDate?"_s, u"InvoiceLineRet+"_s, u"DataExtRet*"_s}},
        {u"LinkedTxn"_s,
         {u"TxnID"_s, u"TxnType"_s, u"TxnDate"_s, u"RefNumber?"_s, u"LinkType?"_s, u"Amount"_s}},
        {u"BillAddress"_s,
         {u"Addr1?"_s, u"Addr2?"_s, u"Addr3?"_s, u"Addr4?"_s, u"City?"_s, u"State?"_s,
          u"PostalCode?"_s, u"Country?"_s}},
        {u"SalesRepRet"_s,
         {u"ListID"_s, u"TimeCreated"_s, u"TimeModified"_s, u"EditSequence"_s, u"Initial"_s,
          u"IsActive?"_s, u"SalesRepEntityRef"_s}},
        {u"ItemServiceRet"_s, sales},
        {u"ItemNonInventoryRet"_s, sales},
        {u"ItemOtherChargeRet"_s, sales},
        {u"SalesOrPurchase"_s, {u"Desc?"_s, u"Price|PricePercent?"_s, u"AccountRef"_s}},
        {u"SalesAndPurchase"_s,
         {u"SalesDesc?"_s, u"SalesPrice?"_s, u"IncomeAccountRef"_s, u"PurchaseDesc?"_s,
          u"PurchaseCost?"_s, u"ExpenseAccountRef"_s, u"PrefVendorRef?"_s}},
        {u"ItemInventoryRet"_s,
         inventory + QStringList{u"ReorderPoint?"_s} + stock + QStringList{u"DataExtRet*"_s}},
        {u"ItemInventoryAssemblyRet"_s,
         inventory + QStringList{u"BuildPoint?"_s} + stock +
             QStringList{u"ItemInventoryAssemblyLine*"_s, u"DataExtRet*"_s}},
        {u"ItemInventoryAssemblyLine"_s, {u"ItemInventoryRef"_s, u"Quantity?"_s}},
        {u"ItemSubtotalRet"_s,
         head + QStringList{u"IsActive?"_s, u"ItemDesc?"_s, u"DataExtRet*"_s}},
        {u"ItemDiscountRet"_s, head + tree +
                                   QStringList{u"ItemDesc?"_s, u"SalesTaxCodeRef?"_s,
                                               u"DiscountRate|DiscountRatePercent?"_s,
                                               u"AccountRef?"_s, u"DataExtRet*"_s}},
        {u"ItemPaymentRet"_s,
         head + QStringList{u"IsActive?"_s, u"ItemDesc?"_s, u"DepositToAccountRef?"_s,
                            u"PaymentMethodRef?"_s, u"DataExtRet*"_s}},
        {u"ItemSalesTaxRet"_s, head + QStringList{u"IsActive?"_s, u"ItemDesc?"_s, u"TaxRate?"_s,
                                                  u"TaxVendorRef?"_s, u"DataExtRet*"_s}},
        {u"ItemSalesTaxGroupRet"_s, head + QStringList{u"IsActive?"_s, u"ItemDesc?"_s,
                                                       u"ItemSalesTaxRef*"_s, u"DataExtRet*"_s}},
        {u"ItemGroupRet"_s,
         head + QStringList{u"IsActive?"_s, u"ItemDesc?"_s, u"IsPrintItemsInGroup?"_s,
                            u"ItemGroupLine*"_s, u"DataExtRet*"_s}},
        {u"ItemGroupLine"_s, {u"ItemRef?"_s, u"Quantity?"_s}},
    };
    return orders;
}

// Empty when `node`'s children follow `order`, else what is wrong.
QString orderProblem(const Node &node, const QStringList &order)
{
    qsizetype at = 0;
    QSet<qsizetype> seen;
    for (const Node &c : node.children) {
        qsizetype found = -1;
        for (qsizetype i = at; i < order.size() && found < 0; ++i) {
            QString entry = order[i];
            const bool repeats = entry.endsWith(u'*') || entry.endsWith(u'+');
            entry.remove(QRegularExpression(u"[?*+]$"_s));
            if (entry.split(u'|').contains(c.name) && (i > at || repeats || !seen.contains(i)))
                found = i;
        }
        if (found < 0)
            return c.name + u" out of order or unknown in "_s + node.name;
        seen.insert(found);
        at = found;
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        const QString &entry = order[i];
        if (!entry.endsWith(u'?') && !entry.endsWith(u'*') && !seen.contains(i))
            return entry + u" missing in "_s + node.name;
    }
    return {};
}

TEST_F(GeneratedCompany, RecordsFollowTheQbxml21ElementOrder)
{
    QHash<QString, int> checked;
    visit(*s_doc, [&](const Node &node) {
        const QString key = node.name == u"ShipAddress" ? u"BillAddress"_s : node.name;
        const auto order = elementOrders().find(key);
        if (order == elementOrders().end())
            return;
        ++checked[key];
        const QString problem = orderProblem(node, order->second);
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    });
    for (const auto &[name, order] : elementOrders())
        EXPECT_GT(checked.value(name), 0) << name.toStdString() << " never written";
}

// Auto-formatted output: one tag or one text element per line, indented two spaces per level,
// no stray text between elements (the invoices are written in blocks that must join seamlessly).
TEST_F(GeneratedCompany, EveryLineIsOneTagIndentedByItsDepth)
{
    const QRegularExpression start(u"^( *)<([A-Za-z0-9]+)( [^<>]*)?>$"_s);
    const QRegularExpression end(u"^( *)</([A-Za-z0-9]+)>$"_s);
    const QRegularExpression leaf(u"^( *)<([A-Za-z0-9]+)>[^<>]*</\\2>$"_s);
    const QList<QByteArray> lines = s_bytes->split('\n');
    ASSERT_EQ(lines[0], "<?xml version=\"1.0\" ?>");
    ASSERT_EQ(lines[1], "<?qbxml version=\"2.1\"?>");
    qsizetype depth = 0;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]);
        if (line.isEmpty() && i == lines.size() - 1)
            break;
        const QRegularExpressionMatch closing = end.match(line);
        depth -= closing.hasMatch() ? 1 : 0;
        const QRegularExpressionMatch match =
            closing.hasMatch()
                ? closing
                : (leaf.match(line).hasMatch() ? leaf.match(line) : start.match(line));
        ASSERT_TRUE(match.hasMatch()) << "line " << i + 1 << ": " << line.toStdString();
        ASSERT_EQ(match.capturedLength(1), 2 * depth)
            << "line " << i + 1 << ": " << line.toStdString();
        depth += match.regularExpression() == start ? 1 : 0;
    }
    EXPECT_EQ(depth, 0);
}

TEST_F(GeneratedCompany, ValuesUseTheQbxmlFormats)
{
    const QRegularExpression date(u"^\\d{4}-\\d{2}-\\d{2}$"_s);
    const QRegularExpression dateTime(u"^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}-0[45]:00$"_s);
    const QRegularExpression amount(u"^-?\\d{1,8}\\.\\d{2}$"_s);
    const QRegularExpression boolean(u"^(true|false)$"_s);
    const QRegularExpression listId(u"^[0-9A-F]+-\\d{10}$"_s);
    const std::vector<std::pair<QStringList, const QRegularExpression *>> formats = {
        {{u"TxnDate"_s, u"DueDate"_s, u"ShipDate"_s, u"ServiceDate"_s, u"JobStartDate"_s,
          u"JobProjectedEndDate"_s, u"JobEndDate"_s, u"SuggestedDiscountDate"_s},
         &date},
        {{u"TimeCreated"_s, u"TimeModified"_s}, &dateTime},
        {{u"Amount"_s, u"Subtotal"_s, u"SalesTaxTotal"_s, u"AppliedAmount"_s, u"BalanceRemaining"_s,
          u"Balance"_s, u"TotalBalance"_s, u"CreditLimit"_s, u"TotalAmount"_s,
          u"SuggestedDiscountAmount"_s},
         &amount},
        {{u"IsActive"_s, u"IsPaid"_s, u"IsPending"_s, u"IsFinanceCharge"_s, u"IsToBePrinted"_s,
          u"IsPrintItemsInGroup"_s},
         &boolean},
        {{u"ListID"_s, u"TxnID"_s, u"TxnLineID"_s}, &listId},
    };
    visit(*s_doc, [&](const Node &node) {
        for (const auto &[names, format] : formats) {
            if (names.contains(node.name)) {
                EXPECT_TRUE(format->match(node.text).hasMatch())
                    << node.name.toStdString() << ": " << node.text.toStdString();
            }
        }
        EXPECT_NE(node.name, u"Mobile");
        EXPECT_NE(node.name, u"Pager");
    });
}

} // namespace
