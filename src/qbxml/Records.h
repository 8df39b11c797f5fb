#pragma once

#include "qbxml/Document.h"

#include <vector>

// Typed views of the records in a query answer. Each names the fields the retrievals read;
// every field except a record's own id may be absent and is returned as an empty optional.
// Records also expose the generic Element accessors for anything else.
namespace corvina::qb {

class CustomerRet : public Element {
public:
    explicit CustomerRet(Element e) : Element(std::move(e)) {}

    QString listId() const { return textOf(Tag::ListID).value_or(QString()); }
    std::optional<QString> name() const { return textOf(Tag::Name); }
    std::optional<QString> fullName() const { return textOf(Tag::FullName); }
    std::optional<bool> isActive() const { return boolOf(Tag::IsActive); }
    std::optional<Ref> parentRef() const { return refOf(Tag::ParentRef); }
    std::optional<QString> companyName() const { return textOf(Tag::CompanyName); }
    std::optional<QString> salutation() const { return textOf(Tag::Salutation); }
    std::optional<QString> firstName() const { return textOf(Tag::FirstName); }
    std::optional<QString> middleName() const { return textOf(Tag::MiddleName); }
    std::optional<QString> lastName() const { return textOf(Tag::LastName); }
    std::optional<Address> billAddress() const { return addressOf(Tag::BillAddress); }
    std::optional<Address> shipAddress() const { return addressOf(Tag::ShipAddress); }
    std::optional<QString> phone() const { return textOf(Tag::Phone); }
    std::optional<QString> mobile() const { return textOf(Tag::Mobile); }
    std::optional<QString> pager() const { return textOf(Tag::Pager); }
    std::optional<QString> altPhone() const { return textOf(Tag::AltPhone); }
    std::optional<QString> fax() const { return textOf(Tag::Fax); }
    std::optional<QString> email() const { return textOf(Tag::Email); }
    std::optional<QString> contact() const { return textOf(Tag::Contact); }
    std::optional<QString> altContact() const { return textOf(Tag::AltContact); }
    std::optional<Ref> customerTypeRef() const { return refOf(Tag::CustomerTypeRef); }
    std::optional<Ref> termsRef() const { return refOf(Tag::TermsRef); }
    std::optional<Ref> salesRepRef() const { return refOf(Tag::SalesRepRef); }
    std::optional<double> balance() const { return numberOf(Tag::Balance); }
    std::optional<double> totalBalance() const { return numberOf(Tag::TotalBalance); }
    std::optional<Ref> salesTaxCodeRef() const { return refOf(Tag::SalesTaxCodeRef); }
    std::optional<Ref> itemSalesTaxRef() const { return refOf(Tag::ItemSalesTaxRef); }
    std::optional<QString> resaleNumber() const { return textOf(Tag::ResaleNumber); }
    std::optional<QString> accountNumber() const { return textOf(Tag::AccountNumber); }
    std::optional<double> creditLimit() const { return numberOf(Tag::CreditLimit); }
    // The preferred delivery method as the request library's enumeration code:
    // None 0, Email 1, Fax 2. Answers of qbXML 2.1 never carry it.
    std::optional<int> preferredDeliveryMethod() const;
    std::optional<DateTime> timeModified() const { return dateTimeOf(Tag::TimeModified); }
};

class InvoiceLineRet : public Element {
public:
    explicit InvoiceLineRet(Element e) : Element(std::move(e)) {}

    std::optional<QString> txnLineId() const { return textOf(Tag::TxnLineID); }
    std::optional<Ref> itemRef() const { return refOf(Tag::ItemRef); }
    std::optional<QString> desc() const { return textOf(Tag::Desc); }
    std::optional<double> quantity() const { return numberOf(Tag::Quantity); }
    // The rate comes either as an amount or as a percentage, never both.
    std::optional<double> rate() const { return numberOf(Tag::Rate); }
    std::optional<double> ratePercent() const { return numberOf(Tag::RatePercent); }
    std::optional<Ref> classRef() const { return refOf(Tag::ClassRef); }
    std::optional<double> amount() const { return numberOf(Tag::Amount); }
    std::optional<QDate> serviceDate() const { return dateOf(Tag::ServiceDate); }
};

class InvoiceLineGroupRet : public Element {
public:
    explicit InvoiceLineGroupRet(Element e) : Element(std::move(e)) {}

    std::optional<QString> txnLineId() const { return textOf(Tag::TxnLineID); }
    std::optional<Ref> itemGroupRef() const { return refOf(Tag::ItemGroupRef); }
    std::optional<QString> desc() const { return textOf(Tag::Desc); }
    std::optional<double> quantity() const { return numberOf(Tag::Quantity); }
    std::optional<double> totalAmount() const { return numberOf(Tag::TotalAmount); }
    // The group's member lines, in order.
    std::vector<InvoiceLineRet> lines() const;
};

// One entry of an invoice's line list: a plain line or a group line, the other side absent.
class InvoiceLineEntry {
public:
    explicit InvoiceLineEntry(Element e) : m_element(std::move(e)) {}

    std::optional<InvoiceLineRet> line() const;
    std::optional<InvoiceLineGroupRet> group() const;

private:
    Element m_element;
};

class InvoiceRet : public Element {
public:
    explicit InvoiceRet(Element e) : Element(std::move(e)) {}

    QString txnId() const { return textOf(Tag::TxnID).value_or(QString()); }
    std::optional<Ref> customerRef() const { return refOf(Tag::CustomerRef); }
    std::optional<Ref> classRef() const { return refOf(Tag::ClassRef); }
    std::optional<QDate> txnDate() const { return dateOf(Tag::TxnDate); }
    std::optional<QString> refNumber() const { return textOf(Tag::RefNumber); }
    std::optional<Address> billAddress() const { return addressOf(Tag::BillAddress); }
    std::optional<Address> shipAddress() const { return addressOf(Tag::ShipAddress); }
    std::optional<QString> poNumber() const { return textOf(Tag::PONumber); }
    std::optional<Ref> termsRef() const { return refOf(Tag::TermsRef); }
    std::optional<QDate> dueDate() const { return dateOf(Tag::DueDate); }
    std::optional<Ref> salesRepRef() const { return refOf(Tag::SalesRepRef); }
    std::optional<QString> fob() const { return textOf(Tag::FOB); }
    std::optional<QDate> shipDate() const { return dateOf(Tag::ShipDate); }
    std::optional<Ref> shipMethodRef() const { return refOf(Tag::ShipMethodRef); }
    std::optional<double> subtotal() const { return numberOf(Tag::Subtotal); }
    std::optional<QString> memo() const { return textOf(Tag::Memo); }
    std::optional<bool> isPaid() const { return boolOf(Tag::IsPaid); }
    std::optional<DateTime> timeModified() const { return dateTimeOf(Tag::TimeModified); }
    // Plain and group lines in document order; empty when the query did not ask for lines.
    std::vector<InvoiceLineEntry> lines() const;
};

// The item kinds in the request library's order.
enum class ItemKind {
    Service,
    NonInventory,
    OtherCharge,
    Inventory,
    InventoryAssembly,
    FixedAsset,
    Subtotal,
    Discount,
    Payment,
    SalesTax,
    SalesTaxGroup,
    Group,
};
inline constexpr int kItemKindCount = 12;

// An item record of any kind. Which fields a kind has differs: Service, NonInventory and
// OtherCharge describe themselves in a sales/purchase part; Inventory and InventoryAssembly
// carry a sales description; the others an item description.
class ItemRecord : public Element {
public:
    explicit ItemRecord(Element e) : Element(std::move(e)) {}

    QString listId() const { return textOf(Tag::ListID).value_or(QString()); }
    std::optional<QString> itemName() const { return textOf(Tag::Name); }
    std::optional<QString> fullName() const { return textOf(Tag::FullName); }
    std::optional<bool> isActive() const { return boolOf(Tag::IsActive); }
    std::optional<QString> salesDesc() const { return textOf(Tag::SalesDesc); }
    std::optional<QString> itemDesc() const { return textOf(Tag::ItemDesc); }
    std::optional<DateTime> timeModified() const { return dateTimeOf(Tag::TimeModified); }
    // The sales-or-purchase form (Desc, Price or PricePercent, AccountRef).
    std::optional<Element> salesOrPurchase() const;
    // The sales-and-purchase form (SalesDesc, SalesPrice, accounts, purchase side).
    std::optional<Element> salesAndPurchase() const;
};

// One entry of an item query's answer: exactly one record of one kind, or, for a kind this
// library does not know, none of them.
class ItemEntry {
public:
    explicit ItemEntry(Element e) : m_element(std::move(e)) {}

    std::optional<ItemKind> kind() const;
    // The record when the entry holds this kind.
    std::optional<ItemRecord> record(ItemKind kind) const;
    // The record type, "Item" + kind + "Ret", e.g. "ItemServiceRet".
    QString typeName() const { return m_element.name(); }

private:
    Element m_element;
};

class SalesRepRet : public Element {
public:
    explicit SalesRepRet(Element e) : Element(std::move(e)) {}

    QString listId() const { return textOf(Tag::ListID).value_or(QString()); }
    // The short name invoices and customers use as their sales rep's full name.
    std::optional<QString> initial() const { return textOf(Tag::Initial); }
    std::optional<bool> isActive() const { return boolOf(Tag::IsActive); }
    std::optional<Ref> salesRepEntityRef() const { return refOf(Tag::SalesRepEntityRef); }
};

// A transaction deleted in QuickBooks (the answer to a deleted-transactions query).
class TxnDeletedRet : public Element {
public:
    explicit TxnDeletedRet(Element e) : Element(std::move(e)) {}

    // The transaction's type, such as "Invoice".
    QString txnDelType() const { return textOf(Tag::TxnDelType).value_or(QString()); }
    QString txnId() const { return textOf(Tag::TxnID).value_or(QString()); }
    std::optional<DateTime> timeCreated() const { return dateTimeOf(Tag::TimeCreated); }
    std::optional<DateTime> timeDeleted() const { return dateTimeOf(Tag::TimeDeleted); }
    std::optional<QString> refNumber() const { return textOf(Tag::RefNumber); }
};

// A list entry deleted in QuickBooks (the answer to a deleted-list-entries query).
class ListDeletedRet : public Element {
public:
    explicit ListDeletedRet(Element e) : Element(std::move(e)) {}

    // The list's type, such as "Customer" or "ItemService".
    QString listDelType() const { return textOf(Tag::ListDelType).value_or(QString()); }
    QString listId() const { return textOf(Tag::ListID).value_or(QString()); }
    std::optional<DateTime> timeCreated() const { return dateTimeOf(Tag::TimeCreated); }
    std::optional<DateTime> timeDeleted() const { return dateTimeOf(Tag::TimeDeleted); }
    std::optional<QString> fullName() const { return textOf(Tag::FullName); }
};

// The record type of a kind: "ItemServiceRet" … "ItemGroupRet".
QString itemTypeName(ItemKind kind);

} // namespace corvina::qb
