#include "RefreshFixture.h"

#include "base/Screen.h"
#include "retrieval/Retrievals.h"
#include "support/LocalDbRows.h"

#include <QFile>

namespace corvina::test {

namespace {

QByteArray element(const char *name, const QString &text)
{
    return QByteArray("<") + name + ">" + text.toHtmlEscaped().toUtf8() + "</" + name + ">";
}

QByteArray list(const char *rs, const QByteArray &records)
{
    return QByteArray("<") + rs + " statusCode=\"0\" statusSeverity=\"Info\">" + records + "</" +
           rs + ">\n";
}

} // namespace

TestCompany::Customer &TestCompany::customer(const QString &id)
{
    for (Customer &c : customers)
        if (c.id == id)
            return c;
    throw std::logic_error("no such customer");
}

TestCompany::Invoice &TestCompany::invoice(const QString &id)
{
    for (Invoice &i : invoices)
        if (i.id == id)
            return i;
    throw std::logic_error("no such invoice");
}

TestCompany::Item &TestCompany::item(const QString &id)
{
    for (Item &i : items)
        if (i.id == id)
            return i;
    throw std::logic_error("no such item");
}

QString TestCompany::customerFullName(const QString &id) const
{
    for (const Customer &c : customers)
        if (c.id == id)
            return c.parent.isEmpty() ? c.name : customerFullName(c.parent) + u':' + c.name;
    return {};
}

QString TestCompany::itemFullName(const QString &id) const
{
    for (const Item &i : items)
        if (i.id == id)
            return i.parent.isEmpty() ? i.name : itemFullName(i.parent) + u':' + i.name;
    return {};
}

QByteArray TestCompany::document() const
{
    QByteArray customerRecords, invoiceRecords, itemRecords, txnDeleted, listDeleted;
    for (const Customer &c : customers) {
        customerRecords += "<CustomerRet>" + element("ListID", c.id) +
                           element("TimeModified", c.modified) + element("Name", c.name) +
                           element("FullName", customerFullName(c.id)) +
                           element("IsActive", c.active ? u"true"_qs : u"false"_qs);
        if (!c.parent.isEmpty())
            customerRecords += "<ParentRef>" + element("ListID", c.parent) +
                               element("FullName", customerFullName(c.parent)) + "</ParentRef>";
        customerRecords += element("Phone", u"555-"_qs + c.id) + "</CustomerRet>";
    }
    for (const Invoice &i : invoices) {
        invoiceRecords +=
            "<InvoiceRet>" + element("TxnID", i.id) + element("TimeModified", i.modified) +
            "<CustomerRef>" + element("ListID", i.customerId) +
            element("FullName", customerFullName(i.customerId)) + "</CustomerRef>" +
            element("TxnDate", i.date.toString(Qt::ISODate)) + element("RefNumber", i.id);
        for (const Line &line : i.lines)
            invoiceRecords += "<InvoiceLineRet><TxnLineID>L</TxnLineID><ItemRef>" +
                              element("ListID", line.itemId) +
                              element("FullName", itemFullName(line.itemId)) + "</ItemRef>" +
                              element("Amount", QString::number(line.amount, 'f', 2)) +
                              "</InvoiceLineRet>";
        invoiceRecords += "</InvoiceRet>";
    }
    for (const Item &i : items) {
        const QByteArray tag = i.kind.toUtf8() + "Ret";
        itemRecords += "<" + tag + ">" + element("ListID", i.id) +
                       element("TimeModified", i.modified) + element("Name", i.name) +
                       element("FullName", itemFullName(i.id)) +
                       element("IsActive", i.active ? u"true"_qs : u"false"_qs);
        if (!i.parent.isEmpty())
            itemRecords += "<ParentRef>" + element("ListID", i.parent) + "</ParentRef>";
        itemRecords += "</" + tag + ">";
    }
    for (const Deletion &d : txnDeletions)
        txnDeleted += "<TxnDeletedRet>" + element("TxnDelType", d.type) + element("TxnID", d.id) +
                      element("TimeDeleted", d.deleted) + "</TxnDeletedRet>";
    for (const Deletion &d : listDeletions)
        listDeleted += "<ListDeletedRet>" + element("ListDelType", d.type) +
                       element("ListID", d.id) + element("TimeDeleted", d.deleted) +
                       "</ListDeletedRet>";
    QByteArray doc = "<?xml version=\"1.0\" ?>\n<?qbxml version=\"2.1\"?>\n<QBXML><QBXMLMsgsRs>\n";
    doc += list("CustomerQueryRs", customerRecords) + list("InvoiceQueryRs", invoiceRecords) +
           list("ItemQueryRs", itemRecords) + list("SalesRepQueryRs", {});
    if (!txnDeleted.isEmpty())
        doc += list("TxnDeletedQueryRs", txnDeleted);
    if (!listDeleted.isEmpty())
        doc += list("ListDeletedQueryRs", listDeleted);
    return doc + "</QBXMLMsgsRs></QBXML>\n";
}

RefreshFixture::RefreshFixture()
{
    ensureLocalDb(referenceFolder.path());
    reference.quickBooks().makeProcessor = standIn.factory();
}

void RefreshFixture::publish()
{
    companyPath = folder.path() + QStringLiteral("/Company.qbw");
    QFile file(companyPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(company.document());
    file.close();
    standIn.open(companyPath);
    folder.write(QStringLiteral("QBPath.txt"), companyPath.toUtf8() + "\n");
    referenceFolder.write(QStringLiteral("QBPath.txt"), companyPath.toUtf8() + "\n");
}

void RefreshFixture::retrieveCustomers()
{
    GetCustomers(state);
}

void RefreshFixture::retrieveInvoices(const QString &from, const QString &to)
{
    screen.periodNext(from, to);
    if (count(QStringLiteral("Invoices")) == 0)
        screen.answerNext(Answer::Ok); // the Hint after a retrieval into an empty table
    GetInvoices(state);
}

RefreshFixture::Tables RefreshFixture::tables()
{
    return tablesIn(folder.path());
}

RefreshFixture::Tables RefreshFixture::fullRetrievalElsewhere(const QString &from,
                                                              const QString &to)
{
    GetCustomers(reference);
    referenceScreen.periodNext(from, to);
    if (localDbRows(referenceFolder.path(), QStringLiteral("SELECT 1 FROM Invoices LIMIT 1"))
            .empty())
        referenceScreen.answerNext(Answer::Ok); // the Hint
    GetInvoices(reference);
    EXPECT_EQ(reference.errors().count(), 0);
    return tablesIn(referenceFolder.path());
}

RefreshFixture::Tables RefreshFixture::tablesIn(const QString &appFolder)
{
    Tables out;
    for (const QString &table :
         {u"Customers"_qs, u"CustomerJobs"_qs, u"Invoices"_qs, u"Items"_qs}) {
        auto &set = out[table];
        for (const auto &row : localDbRows(appFolder, QStringLiteral("SELECT * FROM ") + table)) {
            QStringList values;
            for (const QVariant &v : row)
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            set.insert(values.join(u'|'));
        }
    }
    return out;
}

QByteArray RefreshFixture::requestsSince(qsizetype first) const
{
    QByteArray out;
    const auto &log = standIn.requestLog();
    for (qsizetype i = first; i < log.size(); ++i)
        out += log[i];
    return out;
}

} // namespace corvina::test
