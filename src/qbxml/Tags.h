#pragma once

#include <cstdint>

// The qbXML element names the request library reads. Each has a fixed small number so that
// records look their fields up by number rather than by comparing text. Inside a record,
// elements of other names are not kept: an answer holds many fields nobody reads.
// The tag list is laid out by hand.
// clang-format off
#define CORVINA_QBXML_TAGS(X)                                                                      \
    X(QBXML)                                                                                       \
    X(QBXMLMsgsRs) X(CustomerQueryRs) X(InvoiceQueryRs) X(ItemQueryRs) X(SalesRepQueryRs) X(       \
        CustomerRet) X(InvoiceRet) X(SalesRepRet) X(ItemServiceRet) X(ItemNonInventoryRet)         \
        X(ItemOtherChargeRet) X(ItemInventoryRet) X(ItemInventoryAssemblyRet) X(ItemFixedAssetRet) \
            X(ItemSubtotalRet) X(ItemDiscountRet) X(ItemPaymentRet) X(ItemSalesTaxRet)             \
                X(ItemSalesTaxGroupRet) X(ItemGroupRet) X(ListID) X(TxnID) X(Name) X(FullName) X(  \
                    IsActive) X(ParentRef) X(CompanyName) X(Salutation) X(FirstName) X(MiddleName) \
                    X(LastName) X(BillAddress) X(ShipAddress) X(Phone) X(Mobile) X(Pager)          \
                        X(AltPhone) X(Fax) X(Email) X(Contact) X(AltContact) X(CustomerTypeRef) X( \
                            TermsRef) X(SalesRepRef) X(Balance) X(TotalBalance) X(SalesTaxCodeRef) \
                            X(ItemSalesTaxRef) X(ResaleNumber) X(AccountNumber) X(CreditLimit)     \
                                X(PreferredDeliveryMethod) X(Addr1) X(Addr2) X(Addr3) X(Addr4)     \
                                    X(City) X(State) X(PostalCode) X(Country) X(CustomerRef) X(    \
                                        ClassRef) X(TxnDate) X(RefNumber) X(PONumber) X(DueDate)   \
                                        X(FOB) X(ShipDate) X(ShipMethodRef) X(Subtotal) X(Memo)    \
                                            X(IsPaid) X(InvoiceLineRet) X(InvoiceLineGroupRet)     \
                                                X(TxnLineID) X(ItemRef) X(Desc) X(Quantity)        \
                                                    X(Rate) X(RatePercent) X(Amount)               \
                                                        X(ServiceDate) X(ItemGroupRef)             \
                                                            X(TotalAmount) X(SalesOrPurchase)      \
                                                                X(SalesAndPurchase) X(SalesDesc)   \
                                                                    X(ItemDesc) X(Initial)         \
                                                                        X(SalesRepEntityRef) \
    X(TimeCreated) X(TimeModified) X(TxnDeletedQueryRs) X(ListDeletedQueryRs) X(TxnDeletedRet)      \
    X(ListDeletedRet) X(TxnDelType) X(ListDelType) X(TimeDeleted)
// clang-format on

namespace corvina::qb {

enum class Tag : std::uint32_t {
#define CORVINA_QBXML_TAG_ENUM(name) name,
    CORVINA_QBXML_TAGS(CORVINA_QBXML_TAG_ENUM)
#undef CORVINA_QBXML_TAG_ENUM
        KnownCount
};

// The element name of a known tag.
const char *tagName(Tag tag);

} // namespace corvina::qb
