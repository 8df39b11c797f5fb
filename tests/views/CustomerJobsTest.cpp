// Jobs and sub-customers belong to their top-level customer: a company retrieved through the
// stand-in, then the sales report (read back from its PDF), both non-buyer modes and the Item
// Analyzer, each against figures worked out by hand.

#include "support/RetrievalFixture.h"

#include "analysis/CustsNotBuying.h"
#include "analysis/ItemAging.h"
#include "reporting/ui/ReportDocument.h"
#include "retrieval/Retrievals.h"
#include "support/PdfText.h"
#include "views/CustSales.h"
#include "views/CustSalesReport.h"

#include <QRegularExpression>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray customerRecord(const QByteArray &listId, const QByteArray &fullName,
                          const QByteArray &parentId, const QByteArray &state,
                          const QByteArray &type)
{
    const QByteArray name = fullName.mid(fullName.lastIndexOf(':') + 1);
    QByteArray xml = "<CustomerRet><ListID>" + listId + "</ListID><Name>" + name +
                     "</Name><FullName>" + fullName + "</FullName><IsActive>true</IsActive>";
    if (!parentId.isEmpty())
        xml += "<ParentRef><ListID>" + parentId + "</ListID></ParentRef>";
    if (!state.isEmpty())
        xml += "<BillAddress><State>" + state + "</State></BillAddress>";
    if (!type.isEmpty())
        xml += "<CustomerTypeRef><FullName>" + type + "</FullName></CustomerTypeRef>";
    return xml + "</CustomerRet>";
}

QByteArray lineOf(const QByteArray &itemId, const QByteArray &amount)
{
    const QByteArray name = itemId == "I1" ? "Nails" : "Paint";
    return "<InvoiceLineRet><TxnLineID>L</TxnLineID><ItemRef><ListID>" + itemId +
           "</ListID><FullName>" + name + "</FullName></ItemRef><Quantity>1</Quantity><Amount>" +
           amount + "</Amount></InvoiceLineRet>";
}

QByteArray invoiceOf(const QByteArray &number, const QByteArray &custId, const QByteArray &custName,
                     const QByteArray &lines)
{
    return "<InvoiceRet><TxnID>T" + number + "</TxnID><CustomerRef><ListID>" + custId +
           "</ListID><FullName>" + custName + "</FullName></CustomerRef><TxnDate>2024-03-0" +
           number.right(1) + "</TxnDate><RefNumber>" + number + "</RefNumber>" + lines +
           "</InvoiceRet>";
}

QByteArray itemOf(const QByteArray &listId, const QByteArray &name)
{
    return "<ItemServiceRet><ListID>" + listId + "</ListID><Name>" + name + "</Name><FullName>" +
           name + "</FullName><IsActive>true</IsActive><SalesOrPurchase><Desc>" + name +
           "</Desc></SalesOrPurchase></ItemServiceRet>";
}

class CustomerJobs : public RetrievalFixture {
protected:
    // Alder (OR, Retail) with the job Porch and its sub-job Paint, listed before their
    // parents; Birch (WA, Trade) with the job Roof; Cedar (ID) whose job Shed bought nothing;
    // Dogwood (VT) buying for herself; Ghost, not a customer of the company file.
    void retrieveCompany()
    {
        const QByteArray customers = customerRecord("A2", "Alder:Porch:Paint", "A1", "", "") +
                                     customerRecord("A1", "Alder:Porch", "A0", "", "") +
                                     customerRecord("A0", "Alder", "", "OR", "Retail") +
                                     customerRecord("B0", "Birch", "", "WA", "Trade") +
                                     customerRecord("B1", "Birch:Roof", "B0", "CA",
                                                    "Other") // a job's own address is not used
                                     + customerRecord("C0", "Cedar", "", "ID", "Retail") +
                                     customerRecord("C1", "Cedar:Shed", "C0", "", "") +
                                     customerRecord("D0", "Dogwood", "", "VT", "");
        const QByteArray invoices =
            invoiceOf("1001", "A0", "Alder", lineOf("I1", "10.00")) +
            invoiceOf("1002", "A1", "Alder:Porch", lineOf("I1", "20.00") + lineOf("I2", "5.00")) +
            invoiceOf("1003", "A2", "Alder:Porch:Paint", lineOf("I2", "7.50")) +
            invoiceOf("1004", "B1", "Birch:Roof", lineOf("I2", "100.00")) +
            invoiceOf("1005", "D0", "Dogwood", lineOf("I1", "1.25")) +
            invoiceOf("1006", "X9", "Ghost", lineOf("I1", "1000.00"));
        useCompany(customers, invoices, itemOf("I1", "Nails") + itemOf("I2", "Paint"));
        GetCustomers(state);
        screen.periodNext({}, {});
        screen.answerNext(Answer::Ok); // the Hint after the first invoice retrieval
        GetInvoices(state);
        ASSERT_EQ(count(u"Invoices"_s), 7);
    }

    QStringList nonBuyers(bool allItems, const ChosenItem &item)
    {
        CustsNotBuying list(state, allItems, item);
        list.load();
        QStringList names;
        const int name = list.list().fieldIndex(u"Name"_s);
        for (int r = 0; r < list.list().storedRowCount(); ++r)
            names << list.list().storedRow(r).at(static_cast<size_t>(name)).toString();
        return names;
    }
};

} // namespace

TEST_F(CustomerJobs, SalesReportTotalsIncludeEveryJobsInvoices)
{
    retrieveCompany();
    const auto rows = GetCustSales(state);
    reporting::ReportDocument document(rows, customerSalesReportLayout());
    const QString pdf = folder.file(u"sales.pdf"_s);
    QString error;
    ASSERT_TRUE(reporting::exportPdf(document, pdf, &error)) << error.toStdString();
    const QString text = pdfText(pdf);

    // Customers by state: Cedar (ID), Alder (OR), Dogwood (VT), Birch (WA). Alder has its
    // own invoice 1001 (10.00), the job's 1002 (25.00) and the sub-job's 1003 (7.50); Ghost's
    // 1,000.00 counts for no one.
    QStringList totals;
    const QRegularExpression total(u"Customer Total\\s*([0-9,.]*)"_s);
    for (auto it = total.globalMatch(text); it.hasNext();)
        totals << it.next().captured(1);
    EXPECT_EQ(totals, (QStringList{u"0.00"_s, u"42.50"_s, u"1.25"_s, u"100.00"_s}))
        << text.toStdString();
    for (const char16_t *invoice : {u"1001", u"1002", u"1003", u"1004", u"1005"})
        EXPECT_EQ(text.count(QStringView(invoice)), 1) << QString::fromUtf16(invoice).toStdString();
    EXPECT_FALSE(text.contains(u"1006"));
    EXPECT_FALSE(text.contains(u"Porch")); // jobs are no customers of their own
}

TEST_F(CustomerJobs, ACustomerWhoseJobBoughtIsNoNonBuyer)
{
    retrieveCompany();
    EXPECT_EQ(nonBuyers(false, ChosenItem(u"Paint"_s, u"I2"_s)),
              (QStringList{u"Cedar"_s, u"Dogwood"_s}));
    EXPECT_EQ(nonBuyers(false, ChosenItem(u"Nails"_s, u"I1"_s)),
              (QStringList{u"Birch"_s, u"Cedar"_s}));
    EXPECT_EQ(nonBuyers(false, ChosenItem(u"Paint"_s)),
              (QStringList{u"Cedar"_s, u"Dogwood"_s})); // by name
    EXPECT_EQ(nonBuyers(true, {}), QStringList{u"Cedar"_s});
}

TEST_F(CustomerJobs, AnalyzerRowsOfJobsTakeTheirCustomersStateAndType)
{
    retrieveCompany();
    const auto result = buildItemAging(folder.path(), {});
    ASSERT_EQ(result->count(), 2);
    const auto children = [&](int item) {
        QStringList out;
        const reporting::ReportRows *rows = result->children(item, u"Child"_s);
        for (int r = 0; r < rows->count(); ++r) {
            out << rows->value(r, rows->fieldIndex(u"Customer"_s)).toString() + u'|' +
                       rows->value(r, rows->fieldIndex(u"State"_s)).toString() + u'|' +
                       rows->value(r, rows->fieldIndex(u"Type"_s)).toString() + u'|' +
                       rows->value(r, rows->fieldIndex(u"SalesTot"_s)).toString();
        }
        return out;
    };
    EXPECT_EQ(children(0), (QStringList{u"Alder|OR|Retail|10"_s, u"Alder:Porch|OR|Retail|20"_s,
                                        u"Dogwood|VT||1.25"_s, u"Ghost|||1000"_s}));
    EXPECT_EQ(children(1),
              (QStringList{u"Alder:Porch|OR|Retail|5"_s, u"Alder:Porch:Paint|OR|Retail|7.5"_s,
                           u"Birch:Roof|WA|Trade|100"_s}));
}

TEST_F(CustomerJobs, DemoCompanyTotalsAddUpToEveryLineOfAKnownCustomerOrJob)
{
    standIn.open(QStringLiteral(CORVINA_DEMO_COMPANY));
    folder.write(u"QBPath.txt"_s, standIn.companyPath().toUtf8() + "\n");
    GetCustomers(state);
    screen.periodNext({}, {});
    screen.answerNext(Answer::Ok);
    GetInvoices(state);
    ASSERT_GT(count(u"CustomerJobs"_s), 0);

    const auto rows = GetCustSales(state);
    double reported = 0;
    for (int c = 0; c < rows->count(); ++c) {
        const reporting::ReportRows *invoices = rows->children(c, u"Child"_s);
        for (int i = 0; i < invoices->count(); ++i)
            reported += invoices->value(i, invoices->fieldIndex(u"TotAmt"_s)).toDouble();
    }
    const double known =
        value(u"SELECT total(Amt) FROM Invoices WHERE CustListID IN (SELECT ListID FROM Customers) "
              u"OR CustListID IN (SELECT ListID FROM CustomerJobs)"_s)
            .toDouble();
    const double jobs =
        value(
            u"SELECT total(Amt) FROM Invoices WHERE CustListID IN (SELECT ListID FROM CustomerJobs)"_s)
            .toDouble();
    // The demo's 930 lines come to 345,749.60: 608 lines of active customers (227,419.67),
    // 245 of their jobs (87,269.06) and 77 of inactive customers, never retrieved (31,060.87).
    EXPECT_NEAR(jobs, 87269.06, 0.005);
    EXPECT_NEAR(known, 314688.73, 0.005);
    EXPECT_NEAR(reported, known, 0.005);
}
