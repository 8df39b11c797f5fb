// The company generator: the same bytes for the same options, the counts asked for, records
// in qbXML 2.1 element order with 2.1 value formats, amounts that add up, references that
// resolve, and awkward names that survive being written and read back.

#include "qbsim/Generator.h"
#include "qbsim/CompanyFile.h"

#include <QBuffer>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray generate(int customers, int invoices, std::uint64_t seed = 2026)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    GeneratorOptions options;
    options.customers = customers;
    options.invoices = invoices;
    options.seed = seed;
    EXPECT_TRUE(generateCompany(options, buffer));
    return bytes;
}

// An element of the parsed document.
struct Node {
    QString name;
    QString text;
    std::vector<Node> children;

    const Node *child(QStringView wanted) const
    {
        for (const Node &c : children) {
            if (c.name == wanted)
                return &c;
        }
        return nullptr;
    }
    // The child named `wanted`, or an empty node.
    const Node &at(QStringView wanted) const
    {
        static const Node none;
        const Node *c = child(wanted);
        return c ? *c : none;
    }
    QString value(QStringView wanted) const
    {
        const Node *c = child(wanted);
        return c ? c->text : QString();
    }
    QString refId(QStringView ref) const
    {
        return child(ref) ? child(ref)->value(u"ListID") : QString();
    }
    QString refName(QStringView ref) const
    {
        return child(ref) ? child(ref)->value(u"FullName") : QString();
    }
    std::vector<const Node *> all(QStringView wanted) const
    {
        std::vector<const Node *> found;
        for (const Node &c : children) {
            if (c.name == wanted)
                found.push_back(&c);
        }
        return found;
    }
};

Node parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    Node root;
    std::vector<Node *> open{&root};
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            open.back()->children.push_back({reader.name().toString(), {}, {}});
            open.push_back(&open.back()->children.back());
        } else if (reader.isEndElement()) {
            open.pop_back();
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            open.back()->text += reader.text();
        }
    }
    EXPECT_FALSE(reader.hasError())
        << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    return root;
}

// Every node under `node` (itself included), depth first.
void visit(const Node &node, const std::function<void(const Node &)> &f)
{
    f(node);
    for (const Node &c : node.children)
        visit(c, f);
}

// "12.34" / "-0.50" in hundredths; the test fails on any other shape.
qint64 hundredths(const QString &text)
{
    static const QRegularExpression shape(u"^-?\\d+(\\.\\d{1,2})?$"_s);
    EXPECT_TRUE(shape.match(text).hasMatch()) << text.toStdString();
    const bool negative = text.startsWith(u'-');
    const QStringList parts = text.mid(negative ? 1 : 0).split(u'.');
    qint64 value = parts[0].toLongLong() * 100;
    if (parts.size() > 1)
        value += parts[1].leftJustified(2, u'0').toLongLong();
    return negative ? -value : value;
}

qint64 roundedDiv(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// One generated company, parsed once for all the tests that read it. 1100 invoices span
// several of the blocks the generator writes in parallel.
class GeneratedCompany : public ::testing::Test {
protected:
    static constexpr int kCustomers = 150;
    static constexpr int kInvoices = 1100;

    static void SetUpTestSuite()
    {
        s_bytes = new QByteArray(generate(kCustomers, kInvoices));
        s_doc = new Node(parse(*s_bytes));
    }
    static void TearDownTestSuite()
    {
        delete s_doc;
        delete s_bytes;
    }

    static const Node &response(QStringView name)
    {
        return s_doc->at(u"QBXML").at(u"QBXMLMsgsRs").at(name);
    }
    static const Node &customers() { return response(u"CustomerQueryRs"); }
    static const Node &invoices() { return response(u"InvoiceQueryRs"); }
    static const Node &items() { return response(u"ItemQueryRs"); }
    static const Node &reps() { return response(u"SalesRepQueryRs"); }

    // Each invoice's lines with the group members flattened in.
    static std::vector<const Node *> pricedLines(const Node &invoice)
    {
        std::vector<const Node *> lines;
        for (const Node &entry : invoice.children) {
            if (entry.name == u"InvoiceLineRet")
                lines.push_back(&entry);
            for (const Node *member : entry.all(u"InvoiceLineRet"))
                lines.push_back(member);
        }
        return lines;
    }

    static QByteArray *s_bytes;
    static Node *s_doc;
};
QByteArray *GeneratedCompany::s_bytes = nullptr;
Node *GeneratedCompany::s_doc = nullptr;

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

TEST_F(GeneratedCompany, ItemsOfEveryKindComeGroupedInSchemaOrder)
{
    const QStringList kinds = {u"ItemServiceRet"_s,
                               u"ItemNonInventoryRet"_s,
                               u"ItemOtherChargeRet"_s,
                               u"ItemInventoryRet"_s,
                               u"ItemInventoryAssemblyRet"_s,
                               u"ItemSubtotalRet"_s,
                               u"ItemDiscountRet"_s,
                               u"ItemPaymentRet"_s,
                               u"ItemSalesTaxRet"_s,
                               u"ItemSalesTaxGroupRet"_s,
                               u"ItemGroupRet"_s};
    qsizetype previous = 0;
    QSet<QString> present;
    int inactive = 0, subItems = 0;
    for (const Node &item : items().children) {
        const qsizetype kind = kinds.indexOf(item.name);
        ASSERT_GE(kind, previous) << item.name.toStdString() << " after "
                                  << kinds[previous].toStdString();
        previous = kind;
        present.insert(item.name);
        inactive += item.value(u"IsActive") == u"false" ? 1 : 0;
        if (item.child(u"ParentRef")) {
            ++subItems;
            EXPECT_EQ(item.value(u"Sublevel"), u"1");
            EXPECT_EQ(item.value(u"FullName"),
                      item.refName(u"ParentRef") + u':' + item.value(u"Name"));
        }
    }
    EXPECT_EQ(present.size(), kinds.size());
    EXPECT_GT(inactive, 0);
    EXPECT_GT(subItems, 0);
    // Both sales forms, prices and percentages, and items without a description.
    QSet<QString> salesParts;
    for (const Node &item : items().children) {
        for (const QString &form : {u"SalesOrPurchase"_s, u"SalesAndPurchase"_s}) {
            if (const Node *part = item.child(form)) {
                for (const Node &c : part->children)
                    salesParts.insert(form + u'/' + c.name);
                if (!part->child(u"Desc") && !part->child(u"SalesDesc"))
                    salesParts.insert(form + u"/no description"_s);
            }
        }
    }
    for (const QString &part :
         {u"SalesOrPurchase/Price"_s, u"SalesOrPurchase/PricePercent"_s,
          u"SalesOrPurchase/no description"_s, u"SalesAndPurchase/SalesDesc"_s,
          u"SalesAndPurchase/PurchaseCost"_s})
        EXPECT_TRUE(salesParts.contains(part)) << part.toStdString();
}

TEST_F(GeneratedCompany, InvoiceAmountsAddUp)
{
    int percentLines = 0, subtotalLines = 0;
    for (const Node *invoice : invoices().all(u"InvoiceRet")) {
        SCOPED_TRACE(invoice->value(u"RefNumber").toStdString());
        qint64 sum = 0, sinceSubtotal = 0, previous = 0;
        for (const Node &entry : invoice->children) {
            qint64 amount = 0;
            if (entry.name == u"InvoiceLineGroupRet") {
                qint64 members = 0;
                for (const Node *member : entry.all(u"InvoiceLineRet")) {
                    const qint64 line = hundredths(member->value(u"Amount"));
                    EXPECT_EQ(line, roundedDiv(hundredths(member->value(u"Quantity")) *
                                                   hundredths(member->value(u"Rate")),
                                               100));
                    members += line;
                }
                amount = hundredths(entry.value(u"TotalAmount"));
                EXPECT_EQ(amount, members);
            } else if (entry.name != u"InvoiceLineRet" || !entry.child(u"Amount")) {
                continue;
            } else if (entry.refName(u"ItemRef") == u"Subtotal") {
                EXPECT_EQ(hundredths(entry.value(u"Amount")), sinceSubtotal);
                previous = sinceSubtotal;
                sinceSubtotal = 0;
                ++subtotalLines;
                continue;
            } else if (entry.child(u"RatePercent")) {
                amount = hundredths(entry.value(u"Amount"));
                EXPECT_EQ(amount,
                          roundedDiv(previous * hundredths(entry.value(u"RatePercent")), 10000));
                ++percentLines;
            } else {
                amount = hundredths(entry.value(u"Amount"));
                EXPECT_EQ(amount, roundedDiv(hundredths(entry.value(u"Quantity")) *
                                                 hundredths(entry.value(u"Rate")),
                                             100));
            }
            sum += amount;
            sinceSubtotal += amount;
            previous = amount;
        }
        EXPECT_EQ(hundredths(invoice->value(u"Subtotal")), sum);

        qint64 taxable = 0;
        for (const Node *line : pricedLines(*invoice)) {
            if (line->refName(u"SalesTaxCodeRef") == u"Tax")
                taxable += hundredths(line->value(u"Amount"));
        }
        const qint64 tax =
            invoice->refName(u"CustomerSalesTaxCodeRef") == u"Non"
                ? 0
                : roundedDiv(taxable * hundredths(invoice->value(u"SalesTaxPercentage")), 10000);
        EXPECT_EQ(hundredths(invoice->value(u"SalesTaxTotal")), tax);
        const qint64 applied = hundredths(invoice->value(u"AppliedAmount"));
        const qint64 balance = hundredths(invoice->value(u"BalanceRemaining"));
        EXPECT_EQ(balance, sum + tax + applied);
        EXPECT_EQ(invoice->value(u"IsPaid"), balance == 0 ? u"true" : u"false");
        qint64 linked = 0;
        for (const Node *payment : invoice->all(u"LinkedTxn"))
            linked += hundredths(payment->value(u"Amount"));
        EXPECT_EQ(linked, applied);
    }
    EXPECT_GT(percentLines, 0);
    EXPECT_GT(subtotalLines, 0);
}

TEST_F(GeneratedCompany, ReferencesNameRecordsInTheFile)
{
    QHash<QString, const Node *> itemsById, customersById;
    QHash<QString, QString> repInitials;
    QSet<QString> ids, names;
    for (const Node &item : items().children) {
        EXPECT_FALSE(itemsById.contains(item.value(u"ListID")));
        itemsById.insert(item.value(u"ListID"), &item);
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        EXPECT_FALSE(customersById.contains(c->value(u"ListID")));
        customersById.insert(c->value(u"ListID"), c);
        EXPECT_FALSE(names.contains(c->value(u"FullName").toCaseFolded()))
            << c->value(u"FullName").toStdString();
        names.insert(c->value(u"FullName").toCaseFolded());
    }
    for (const Node *rep : reps().all(u"SalesRepRet"))
        repInitials.insert(rep->value(u"ListID"), rep->value(u"Initial"));

    const auto itemNamed = [&](const Node &owner, QStringView ref) {
        const Node *item = itemsById.value(owner.refId(ref));
        EXPECT_TRUE(item) << ref.toString().toStdString() << " " << owner.refId(ref).toStdString();
        if (item) {
            const QString name =
                item->child(u"FullName") ? item->value(u"FullName") : item->value(u"Name");
            EXPECT_EQ(owner.refName(ref), name);
        }
        return item;
    };
    for (const Node &item : items().children) {
        if (item.child(u"ParentRef"))
            itemNamed(item, u"ParentRef");
        for (const QString &part : {u"ItemGroupLine"_s, u"ItemInventoryAssemblyLine"_s}) {
            for (const Node *line : item.all(part))
                itemNamed(*line, part == u"ItemGroupLine" ? u"ItemRef" : u"ItemInventoryRef");
        }
        for (const Node *tax : item.all(u"ItemSalesTaxRef"))
            EXPECT_TRUE(itemsById.contains(tax->value(u"ListID")));
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        if (const Node *parent = customersById.value(c->refId(u"ParentRef"))) {
            EXPECT_FALSE(parent->child(u"ParentRef")) << "a job's parent is a top-level customer";
            EXPECT_EQ(c->value(u"FullName"), parent->value(u"FullName") + u':' + c->value(u"Name"));
            EXPECT_EQ(c->value(u"Sublevel"), u"1");
        } else {
            EXPECT_FALSE(c->child(u"ParentRef"));
            EXPECT_EQ(c->value(u"FullName"), c->value(u"Name"));
        }
        if (c->child(u"SalesRepRef")) {
            EXPECT_EQ(repInitials.value(c->refId(u"SalesRepRef")), c->refName(u"SalesRepRef"));
        }
        if (c->child(u"ItemSalesTaxRef"))
            itemNamed(*c, u"ItemSalesTaxRef");
    }
    for (const Node *invoice : invoices().all(u"InvoiceRet")) {
        EXPECT_TRUE(!ids.contains(invoice->value(u"TxnID")));
        ids.insert(invoice->value(u"TxnID"));
        const Node *customer = customersById.value(invoice->refId(u"CustomerRef"));
        ASSERT_TRUE(customer);
        EXPECT_EQ(invoice->refName(u"CustomerRef"), customer->value(u"FullName"));
        if (invoice->child(u"SalesRepRef")) {
            EXPECT_EQ(repInitials.value(invoice->refId(u"SalesRepRef")),
                      invoice->refName(u"SalesRepRef"));
        }
        for (const Node &entry : invoice->children) {
            if (entry.name == u"InvoiceLineGroupRet") {
                const Node *group = itemNamed(entry, u"ItemGroupRef");
                const std::vector<const Node *> parts =
                    group ? group->all(u"ItemGroupLine") : std::vector<const Node *>{};
                const std::vector<const Node *> members = entry.all(u"InvoiceLineRet");
                ASSERT_EQ(members.size(), parts.size());
                for (std::size_t i = 0; i < parts.size(); ++i) {
                    EXPECT_EQ(members[i]->refId(u"ItemRef"), parts[i]->refId(u"ItemRef"));
                    EXPECT_EQ(hundredths(members[i]->value(u"Quantity")),
                              hundredths(parts[i]->value(u"Quantity")) *
                                  hundredths(entry.value(u"Quantity")) / 100);
                }
            }
        }
        for (const Node *line : pricedLines(*invoice)) {
            EXPECT_FALSE(ids.contains(line->value(u"TxnLineID")));
            ids.insert(line->value(u"TxnLineID"));
            if (line->child(u"ItemRef"))
                itemNamed(*line, u"ItemRef");
        }
    }
}

TEST_F(GeneratedCompany, CustomerBalancesAreTheirOpenInvoices)
{
    QHash<QString, qint64> open;
    for (const Node *invoice : invoices().all(u"InvoiceRet"))
        open[invoice->refId(u"CustomerRef")] += hundredths(invoice->value(u"BalanceRemaining"));
    QHash<QString, qint64> total = open;
    for (const Node *c : customers().all(u"CustomerRet")) {
        if (c->child(u"ParentRef"))
            total[c->refId(u"ParentRef")] += open.value(c->value(u"ListID"));
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        EXPECT_EQ(hundredths(c->value(u"Balance")), open.value(c->value(u"ListID")));
        EXPECT_EQ(hundredths(c->value(u"TotalBalance")), total.value(c->value(u"ListID")));
    }
}

TEST_F(GeneratedCompany, InvoicesRunInDateOrderOverFourYears)
{
    const GeneratorOptions defaults;
    const QDate first = defaults.lastDate.addYears(-4);
    QDate previousDate = first;
    qint64 previousRef = 0;
    int lines = 0, groups = 0, notes = 0;
    const std::vector<const Node *> all = invoices().all(u"InvoiceRet");
    for (const Node *invoice : all) {
        const QDate date = QDate::fromString(invoice->value(u"TxnDate"), Qt::ISODate);
        EXPECT_GE(date, previousDate);
        EXPECT_LE(date, defaults.lastDate);
        EXPECT_GE(QDate::fromString(invoice->value(u"DueDate"), Qt::ISODate), date);
        previousDate = date;
        EXPECT_GT(invoice->value(u"RefNumber").toLongLong(), previousRef);
        previousRef = invoice->value(u"RefNumber").toLongLong();
        const auto count =
            invoice->all(u"InvoiceLineRet").size() + invoice->all(u"InvoiceLineGroupRet").size();
        EXPECT_GE(count, 1u);
        EXPECT_LE(count, 8u);
        lines += int(count);
        groups += invoice->all(u"InvoiceLineGroupRet").empty() ? 0 : 1;
        for (const Node *line : invoice->all(u"InvoiceLineRet"))
            notes += line->child(u"ItemRef") || line->child(u"Quantity") ? 0 : 1;
    }
    EXPECT_LT(QDate::fromString(all.front()->value(u"TxnDate"), Qt::ISODate), first.addDays(10));
    EXPECT_GT(QDate::fromString(all.back()->value(u"TxnDate"), Qt::ISODate),
              defaults.lastDate.addDays(-10));
    const double average = double(lines) / double(all.size());
    EXPECT_GT(average, 2.6);
    EXPECT_LT(average, 3.5);
    EXPECT_GT(groups, kInvoices / 50);
    EXPECT_LT(groups, kInvoices / 10);
    EXPECT_GT(notes, 0);
}

TEST_F(GeneratedCompany, CustomersVaryLikeARealList)
{
    int inactive = 0, withJobs = 0, noAddress = 0, cityOnly = 0, fullAddress = 0, noPhone = 0;
    QSet<QString> parents;
    const std::vector<const Node *> all = customers().all(u"CustomerRet");
    for (const Node *c : all) {
        inactive += c->value(u"IsActive") == u"false" ? 1 : 0;
        if (c->child(u"ParentRef"))
            parents.insert(c->refId(u"ParentRef"));
        noAddress += !c->child(u"BillAddress") && !c->child(u"ShipAddress") ? 1 : 0;
        if (const Node *bill = c->child(u"BillAddress")) {
            cityOnly += !bill->child(u"Addr2") && !bill->child(u"PostalCode") ? 1 : 0;
            fullAddress += bill->child(u"Addr4") && bill->child(u"PostalCode") ? 1 : 0;
        }
        noPhone += c->child(u"Phone") ? 0 : 1;
    }
    withJobs = int(parents.size());
    EXPECT_GT(inactive, 0);
    EXPECT_LT(inactive, int(all.size()) / 6);
    EXPECT_GT(withJobs, kCustomers / 12);
    EXPECT_LT(withJobs, kCustomers / 3);
    EXPECT_GT(noAddress, 0);
    EXPECT_GT(cityOnly, 0);
    EXPECT_GT(fullAddress, 0);
    EXPECT_GT(noPhone, 0);
}

TEST_F(GeneratedCompany, AwkwardNamesSurviveTheRoundTrip)
{
    QStringList names;
    for (const Node *c : customers().all(u"CustomerRet"))
        names << c->value(u"Name");
    const auto any = [&](const auto &predicate) {
        return std::any_of(names.cbegin(), names.cend(), predicate);
    };
    for (const QString &fixed : {u"O'Brien Plumbing"_s, u"Smith & Sons Hardware"_s,
                                 u"Müller Precision Tools"_s, u"Ñandú Café"_s})
        EXPECT_TRUE(names.contains(fixed)) << fixed.toStdString();
    for (const QChar c : {u'%', u'_', u'*', u'['})
        EXPECT_TRUE(any([c](const QString &n) { return n.contains(c); })) << char(c.unicode());
    EXPECT_TRUE(any([](const QString &n) {
        return std::any_of(n.cbegin(), n.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    })) << "a letter outside Latin-1";
    EXPECT_TRUE(s_bytes->contains("Smith &amp; Sons Hardware"));
    EXPECT_TRUE(s_bytes->contains("M\xC3\xBCller Precision Tools")); // UTF-8, not an entity
}

TEST_F(GeneratedCompany, LoadsAsACompanyFile)
{
    QBuffer buffer(s_bytes);
    buffer.open(QIODevice::ReadOnly);
    const CompanyFile company = CompanyFile::read(buffer, u"generated.qbxml"_s);
    EXPECT_EQ(company.customers().size(), customers().all(u"CustomerRet").size());
    EXPECT_EQ(company.invoices().size(), std::size_t(kInvoices));
    EXPECT_EQ(company.items().size(), items().children.size());
    EXPECT_EQ(company.salesReps().size(), reps().all(u"SalesRepRet").size());
}

} // namespace
