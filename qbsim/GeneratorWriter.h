#pragma once

// The company generator's record writer: each record as QuickBooks answers list it, in the
// element order of qbXML 2.1. Private to the generator (Generator*.cpp).

#include "qbsim/GeneratorModel.h"

#include <QIODevice>
#include <QXmlStreamWriter>

#include <algorithm>

namespace corvina::qbsim::gen {

using namespace Qt::StringLiterals;

// Item record elements by ItemKind.
inline const QString kItemElements[] = {u"ItemServiceRet"_s,
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

// Record indices in the order QuickBooks lists them: by name, sub-records after their parent.
template <typename Record> QList<qsizetype> listingOrder(const QList<Record> &records)
{
    QList<QString> keys;
    QList<qsizetype> order;
    for (qsizetype i = 0; i < records.size(); ++i) {
        keys.append(sortKey(records[i].fullName));
        order.append(i);
    }
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return keys[a] != keys[b] ? keys[a] < keys[b] : a < b;
    });
    return order;
}

// Writes records as QuickBooks answers list them, each in the element order of qbXML 2.1.
class RecordWriter {
public:
    RecordWriter(QIODevice &device, const Company &company) : m_xml(&device), m_company(company)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
    }

    QXmlStreamWriter &xml() { return m_xml; }

    void startResponse(const QString &name, int requestId)
    {
        m_xml.writeStartElement(name);
        m_xml.writeAttribute(u"requestID"_s, QString::number(requestId));
        m_xml.writeAttribute(u"statusCode"_s, u"0"_s);
        m_xml.writeAttribute(u"statusSeverity"_s, u"Info"_s);
        m_xml.writeAttribute(u"statusMessage"_s, u"Status OK"_s);
    }

    void writeCustomer(const Customer &c)
    {
        const Lists &lists = m_company.lists;
        m_xml.writeStartElement(u"CustomerRet"_s);
        head(u"ListID"_s, c.listId, c.created, c.modified);
        text(u"Name"_s, c.name);
        text(u"FullName"_s, c.fullName);
        boolean(u"IsActive"_s, c.active);
        if (c.parent >= 0) {
            const Customer &parent = m_company.customers[c.parent];
            ref(u"ParentRef"_s, {parent.listId, parent.fullName});
        }
        text(u"Sublevel"_s, c.parent >= 0 ? u"1"_s : u"0"_s);
        optional(u"CompanyName"_s, c.companyName);
        optional(u"Salutation"_s, c.salutation);
        optional(u"FirstName"_s, c.firstName);
        optional(u"MiddleName"_s, c.middleName);
        optional(u"LastName"_s, c.lastName);
        address(u"BillAddress"_s, c.billAddress);
        address(u"ShipAddress"_s, c.shipAddress);
        optional(u"Phone"_s, c.phone);
        optional(u"AltPhone"_s, c.altPhone);
        optional(u"Fax"_s, c.fax);
        optional(u"Email"_s, c.email);
        optional(u"Contact"_s, c.contact);
        optional(u"AltContact"_s, c.altContact);
        optionalRef(u"CustomerTypeRef"_s, lists.customerTypes, c.customerType);
        if (c.terms >= 0)
            ref(u"TermsRef"_s, lists.terms[c.terms].ref);
        writeRepRef(c.rep);
        amount(u"Balance"_s, c.balance);
        amount(u"TotalBalance"_s, c.totalBalance);
        optionalRef(u"SalesTaxCodeRef"_s, lists.taxCodes, c.taxCode);
        if (c.taxItem >= 0)
            itemRef(u"ItemSalesTaxRef"_s, c.taxItem);
        optional(u"ResaleNumber"_s, c.resaleNumber);
        optional(u"AccountNumber"_s, c.accountNumber);
        optionalAmount(u"CreditLimit"_s, c.creditLimit);
        optional(u"JobStatus"_s, c.jobStatus);
        date(u"JobStartDate"_s, c.jobStart);
        date(u"JobProjectedEndDate"_s, c.jobProjectedEnd);
        date(u"JobEndDate"_s, c.jobEnd);
        optional(u"JobDesc"_s, c.jobDesc);
        optionalRef(u"JobTypeRef"_s, lists.jobTypes, c.jobType);
        optional(u"Notes"_s, c.notes);
        m_xml.writeEndElement();
    }

    void writeInvoice(const Invoice &inv)
    {
        const Lists &lists = m_company.lists;
        const Customer &c = m_company.customers[inv.customer];
        m_xml.writeStartElement(u"InvoiceRet"_s);
        head(u"TxnID"_s, inv.txnId, inv.created, inv.modified);
        text(u"TxnNumber"_s, QString::number(inv.txnNumber));
        ref(u"CustomerRef"_s, {c.listId, c.fullName});
        optionalRef(u"ClassRef"_s, lists.classes, inv.classRef);
        ref(u"ARAccountRef"_s, lists.accounts[AccountsReceivable]);
        date(u"TxnDate"_s, inv.txnDate);
        text(u"RefNumber"_s, inv.refNumber);
        address(u"BillAddress"_s, c.billAddress);
        address(u"ShipAddress"_s, c.shipAddress);
        boolean(u"IsPending"_s, false);
        boolean(u"IsFinanceCharge"_s, false);
        optional(u"PONumber"_s, inv.poNumber);
        if (inv.terms >= 0)
            ref(u"TermsRef"_s, lists.terms[inv.terms].ref);
        date(u"DueDate"_s, inv.dueDate);
        writeRepRef(inv.rep);
        optional(u"FOB"_s, inv.fob);
        date(u"ShipDate"_s, inv.shipDate);
        optionalRef(u"ShipMethodRef"_s, lists.shipMethods, inv.shipMethod);
        amount(u"Subtotal"_s, inv.subtotal);
        itemRef(u"ItemSalesTaxRef"_s, inv.taxItem);
        amount(u"SalesTaxPercentage"_s, inv.taxPercent);
        amount(u"SalesTaxTotal"_s, inv.taxTotal);
        amount(u"AppliedAmount"_s, inv.applied);
        amount(u"BalanceRemaining"_s, inv.balance);
        optional(u"Memo"_s, inv.memo);
        boolean(u"IsPaid"_s, inv.balance == 0);
        optionalRef(u"CustomerMsgRef"_s, lists.messages, inv.message);
        boolean(u"IsToBePrinted"_s, inv.toBePrinted);
        optionalRef(u"CustomerSalesTaxCodeRef"_s, lists.taxCodes, c.taxCode);
        if (inv.suggestedDiscount >= 0 && inv.balance > 0) {
            amount(u"SuggestedDiscountAmount"_s, inv.suggestedDiscount);
            date(u"SuggestedDiscountDate"_s, inv.suggestedDiscountDate);
        }
        if (inv.payment)
            writePayment(*inv.payment);
        for (const auto &entry : inv.lines) {
            if (const auto *line = std::get_if<InvoiceLine>(&entry))
                writeLine(*line);
            else
                writeGroup(std::get<InvoiceLineGroup>(entry));
        }
        m_xml.writeEndElement();
    }

    // Grouped by kind in the order of the ItemQueryRs choice, each kind listed by name.
    void writeItems()
    {
        const QList<qsizetype> order = listingOrder(m_company.items);
        for (int kind = 0; kind <= static_cast<int>(ItemKind::Group); ++kind) {
            for (const qsizetype i : order) {
                if (static_cast<int>(m_company.items[i].kind) == kind)
                    writeItem(m_company.items[i]);
            }
        }
    }

    void writeRep(const SalesRep &rep)
    {
        m_xml.writeStartElement(u"SalesRepRet"_s);
        head(u"ListID"_s, rep.listId, rep.created, rep.modified);
        text(u"Initial"_s, rep.initial);
        boolean(u"IsActive"_s, rep.active);
        ref(u"SalesRepEntityRef"_s, rep.entity);
        m_xml.writeEndElement();
    }

private:
    // Primitives. Optional values are left out when empty (or negative for numbers).

    void text(const QString &name, const QString &value) { m_xml.writeTextElement(name, value); }
    void optional(const QString &name, const QString &value)
    {
        if (!value.isEmpty())
            text(name, value);
    }
    void amount(const QString &name, qint64 cents) { text(name, hundredths(cents)); }
    void optionalAmount(const QString &name, qint64 cents)
    {
        if (cents >= 0)
            amount(name, cents);
    }
    void date(const QString &name, QDate value)
    {
        if (value.isValid())
            text(name, dateText(value));
    }
    void boolean(const QString &name, bool value) { text(name, value ? u"true"_s : u"false"_s); }
    void ref(const QString &name, const Ref &value)
    {
        m_xml.writeStartElement(name);
        optional(u"ListID"_s, value.listId);
        optional(u"FullName"_s, value.fullName);
        m_xml.writeEndElement();
    }
    void optionalRef(const QString &name, const QList<Ref> &list, qsizetype index)
    {
        if (index >= 0)
            ref(name, list[index]);
    }
    void itemRef(const QString &name, qsizetype index)
    {
        const Item &item = m_company.items[index];
        ref(name, {item.listId, item.fullName});
    }
    void head(const QString &id, const QString &idValue, const Moment &created,
              const Moment &modified)
    {
        text(id, idValue);
        text(u"TimeCreated"_s, created.text());
        text(u"TimeModified"_s, modified.text());
        text(u"EditSequence"_s, QString::number(modified.epoch()));
    }
    void address(const QString &name, const std::optional<Address> &value)
    {
        if (!value)
            return;
        static const QString lines[] = {u"Addr1"_s, u"Addr2"_s, u"Addr3"_s, u"Addr4"_s};
        m_xml.writeStartElement(name);
        for (std::size_t i = 0; i < value->lines.size(); ++i)
            optional(lines[i], value->lines[i]);
        optional(u"City"_s, value->city);
        optional(u"State"_s, value->state);
        optional(u"PostalCode"_s, value->postalCode);
        optional(u"Country"_s, value->country);
        m_xml.writeEndElement();
    }

    void writeRepRef(qsizetype index)
    {
        if (index < 0)
            return;
        const SalesRep &rep = m_company.reps[index];
        ref(u"SalesRepRef"_s, {rep.listId, rep.initial});
    }

    void writePayment(const Payment &payment)
    {
        m_xml.writeStartElement(u"LinkedTxn"_s);
        text(u"TxnID"_s, payment.txnId);
        text(u"TxnType"_s, u"ReceivePayment"_s);
        date(u"TxnDate"_s, payment.date);
        optional(u"RefNumber"_s, payment.refNumber);
        text(u"LinkType"_s, u"AMTTYPE"_s);
        amount(u"Amount"_s, -payment.amount);
        m_xml.writeEndElement();
    }

    void writeLine(const InvoiceLine &line)
    {
        m_xml.writeStartElement(u"InvoiceLineRet"_s);
        text(u"TxnLineID"_s, line.txnLineId);
        if (line.item >= 0)
            itemRef(u"ItemRef"_s, line.item);
        optional(u"Desc"_s, line.desc);
        if (line.quantity >= 0)
            text(u"Quantity"_s, quantityText(line.quantity));
        if (line.rate >= 0)
            amount(u"Rate"_s, line.rate);
        else if (line.hasRatePercent)
            amount(u"RatePercent"_s, line.ratePercent);
        optionalRef(u"ClassRef"_s, m_company.lists.classes, line.classRef);
        if (line.hasAmount)
            amount(u"Amount"_s, line.amount);
        date(u"ServiceDate"_s, line.serviceDate);
        optionalRef(u"SalesTaxCodeRef"_s, m_company.lists.taxCodes, line.taxCode);
        m_xml.writeEndElement();
    }

    void writeGroup(const InvoiceLineGroup &group)
    {
        m_xml.writeStartElement(u"InvoiceLineGroupRet"_s);
        text(u"TxnLineID"_s, group.txnLineId);
        itemRef(u"ItemGroupRef"_s, group.item);
        optional(u"Desc"_s, group.desc);
        text(u"Quantity"_s, quantityText(group.quantity));
        boolean(u"IsPrintItemsInGroup"_s, group.printItems);
        amount(u"TotalAmount"_s, group.total);
        for (const InvoiceLine &member : group.members)
            writeLine(member);
        m_xml.writeEndElement();
    }

    void writeItem(const Item &item)
    {
        m_xml.writeStartElement(kItemElements[static_cast<int>(item.kind)]);
        head(u"ListID"_s, item.listId, item.created, item.modified);
        text(u"Name"_s, item.name);
        if (isHierarchical(item.kind)) {
            text(u"FullName"_s, item.fullName);
            boolean(u"IsActive"_s, item.active);
            if (item.parent >= 0)
                itemRef(u"ParentRef"_s, item.parent);
            text(u"Sublevel"_s, item.parent >= 0 ? u"1"_s : u"0"_s);
        } else {
            boolean(u"IsActive"_s, item.active);
        }
        switch (item.kind) {
        case ItemKind::Service:
        case ItemKind::NonInventory:
        case ItemKind::OtherCharge: writeSalesItem(item); break;
        case ItemKind::Inventory:
        case ItemKind::Assembly: writeInventoryItem(item); break;
        case ItemKind::Discount: writeDiscountItem(item); break;
        default: writeListedItem(item); break;
        }
        m_xml.writeEndElement();
    }

    const Ref &account(int index) const { return m_company.lists.accounts[index]; }

    void writeSalesItem(const Item &item)
    {
        optionalRef(u"SalesTaxCodeRef"_s, m_company.lists.taxCodes, item.taxCode);
        if (!item.salesAndPurchase) {
            m_xml.writeStartElement(u"SalesOrPurchase"_s);
            optional(u"Desc"_s, item.desc);
            if (item.percent >= 0)
                amount(u"PricePercent"_s, item.percent);
            else
                optionalAmount(u"Price"_s, item.price);
            ref(u"AccountRef"_s, account(item.account));
        } else {
            m_xml.writeStartElement(u"SalesAndPurchase"_s);
            optional(u"SalesDesc"_s, item.desc);
            optionalAmount(u"SalesPrice"_s, item.price);
            ref(u"IncomeAccountRef"_s, account(item.account));
            optional(u"PurchaseDesc"_s, item.purchaseDesc);
            optionalAmount(u"PurchaseCost"_s, item.purchaseCost);
            ref(u"ExpenseAccountRef"_s, account(item.expenseAccount));
            optionalRef(u"PrefVendorRef"_s, m_company.lists.vendors, item.vendor);
        }
        m_xml.writeEndElement();
    }

    void writeInventoryItem(const Item &item)
    {
        const bool assembly = item.kind == ItemKind::Assembly;
        optionalRef(u"SalesTaxCodeRef"_s, m_company.lists.taxCodes, item.taxCode);
        optional(u"SalesDesc"_s, item.desc);
        optionalAmount(u"SalesPrice"_s, item.price);
        ref(u"IncomeAccountRef"_s, account(item.account));
        optional(u"PurchaseDesc"_s, item.purchaseDesc);
        optionalAmount(u"PurchaseCost"_s, item.purchaseCost);
        ref(u"COGSAccountRef"_s, account(item.expenseAccount));
        optionalRef(u"PrefVendorRef"_s, m_company.lists.vendors, item.vendor);
        ref(u"AssetAccountRef"_s, account(InventoryAsset));
        if (item.reorderPoint >= 0)
            text(assembly ? u"BuildPoint"_s : u"ReorderPoint"_s,
                 QString::number(item.reorderPoint));
        text(u"QuantityOnHand"_s, QString::number(item.onHand));
        amount(u"AverageCost"_s, item.averageCost);
        text(u"QuantityOnOrder"_s, QString::number(item.onOrder));
        text(u"QuantityOnSalesOrder"_s, QString::number(item.onSalesOrder));
        for (const ItemLine &part : item.lines) {
            m_xml.writeStartElement(u"ItemInventoryAssemblyLine"_s);
            itemRef(u"ItemInventoryRef"_s, part.item);
            text(u"Quantity"_s, quantityText(part.quantity));
            m_xml.writeEndElement();
        }
    }

    void writeDiscountItem(const Item &item)
    {
        optional(u"ItemDesc"_s, item.desc);
        optionalRef(u"SalesTaxCodeRef"_s, m_company.lists.taxCodes, item.taxCode);
        if (item.percent >= 0)
            amount(u"DiscountRatePercent"_s, item.percent);
        else
            optionalAmount(u"DiscountRate"_s, item.price);
        ref(u"AccountRef"_s, account(item.account));
    }

    // Subtotal, payment, sales tax, tax group and group items: ItemDesc and their own parts.
    void writeListedItem(const Item &item)
    {
        optional(u"ItemDesc"_s, item.desc);
        switch (item.kind) {
        case ItemKind::Payment:
            if (item.account >= 0)
                ref(u"DepositToAccountRef"_s, account(item.account));
            optionalRef(u"PaymentMethodRef"_s, m_company.lists.paymentMethods, item.paymentMethod);
            break;
        case ItemKind::SalesTax:
            amount(u"TaxRate"_s, item.percent);
            optionalRef(u"TaxVendorRef"_s, m_company.lists.vendors, item.vendor);
            break;
        case ItemKind::SalesTaxGroup:
            for (const ItemLine &part : item.lines)
                itemRef(u"ItemSalesTaxRef"_s, part.item);
            break;
        case ItemKind::Group:
            boolean(u"IsPrintItemsInGroup"_s, item.printItemsInGroup);
            for (const ItemLine &part : item.lines) {
                m_xml.writeStartElement(u"ItemGroupLine"_s);
                itemRef(u"ItemRef"_s, part.item);
                text(u"Quantity"_s, quantityText(part.quantity));
                m_xml.writeEndElement();
            }
            break;
        default: break;
        }
    }

    QXmlStreamWriter m_xml;
    const Company &m_company;
};

} // namespace corvina::qbsim::gen
