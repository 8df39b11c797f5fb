#include "retrieval/TableRows.h"

#include "base/StatusDisplay.h"
#include "localdb/Database.h"

#include <QHash>

namespace corvina {

using qb::Tag;

namespace customers {

// The columns in the order they are set.
enum CustomerColumn {
    ListID,
    AccountNo,
    AltContact,
    AltPhone,
    OpenBalance,
    BillAddr1,
    BillAddr2,
    BillAddr3,
    BillAddr4,
    BillCity,
    BillState,
    BillZip,
    CompanyName,
    Contact,
    CreditLimit,
    CustType,
    DeliveryMethod,
    Email,
    Fax,
    FirstName,
    FullName,
    IsActive,
    ItemSalesTaxRef,
    LastName,
    MiddleName,
    Mobile,
    Name,
    Pager,
    Phone,
    ResaleNo,
    SalesRep,
    SalesTaxCodeRef,
    Salutation,
    ShipAddr1,
    ShipAddr2,
    ShipAddr3,
    ShipAddr4,
    ShipCity,
    ShipState,
    ShipZip,
    Terms,
};

const QStringList kColumns = {
    u"ListID"_qs,      u"AccountNo"_qs,       u"AltContact"_qs,
    u"AltPhone"_qs,    u"OpenBalance"_qs,     u"BillAddr1"_qs,
    u"BillAddr2"_qs,   u"BillAddr3"_qs,       u"BillAddr4"_qs,
    u"BillCity"_qs,    u"BillState"_qs,       u"BillZip"_qs,
    u"CompanyName"_qs, u"Contact"_qs,         u"CreditLimit"_qs,
    u"CustType"_qs,    u"DeliveryMethod"_qs,  u"Email"_qs,
    u"Fax"_qs,         u"FirstName"_qs,       u"FullName"_qs,
    u"IsActive"_qs,    u"ItemSalesTaxRef"_qs, u"LastName"_qs,
    u"MiddleName"_qs,  u"Mobile"_qs,          u"Name"_qs,
    u"Pager"_qs,       u"Phone"_qs,           u"ResaleNo"_qs,
    u"SalesRep"_qs,    u"SalesTaxCodeRef"_qs, u"Salutation"_qs,
    u"ShipAddr1"_qs,   u"ShipAddr2"_qs,       u"ShipAddr3"_qs,
    u"ShipAddr4"_qs,   u"ShipCity"_qs,        u"ShipState"_qs,
    u"ShipZip"_qs,     u"Terms"_qs,
};

// Columns copied from a text field of the record, and from a reference's full name.
const std::pair<int, Tag> kTextFields[] = {
    {AccountNo, Tag::AccountNumber},
    {AltContact, Tag::AltContact},
    {AltPhone, Tag::AltPhone},
    {CompanyName, Tag::CompanyName},
    {Contact, Tag::Contact},
    {Email, Tag::Email},
    {Fax, Tag::Fax},
    {FirstName, Tag::FirstName},
    {FullName, Tag::FullName},
    {LastName, Tag::LastName},
    {MiddleName, Tag::MiddleName},
    {Mobile, Tag::Mobile},
    {Name, Tag::Name},
    {Pager, Tag::Pager},
    {Phone, Tag::Phone},
    {ResaleNo, Tag::ResaleNumber},
    {Salutation, Tag::Salutation},
};
const std::pair<int, Tag> kRefFields[] = {
    {CustType, Tag::CustomerTypeRef}, {ItemSalesTaxRef, Tag::ItemSalesTaxRef},
    {SalesRep, Tag::SalesRepRef},     {SalesTaxCodeRef, Tag::SalesTaxCodeRef},
    {Terms, Tag::TermsRef},
};
// An address's parts in the order of the seven Bill… and Ship… columns.
const Tag kAddressParts[] = {Tag::Addr1, Tag::Addr2, Tag::Addr3,     Tag::Addr4,
                             Tag::City,  Tag::State, Tag::PostalCode};

void setAddress(RowInserter &row, int first, const qb::Element &address)
{
    if (address.isNull())
        return;
    for (int k = 0; k < 7; ++k)
        row.setIf(first + k, address.utf8Of(kAddressParts[k]));
}

void fillRow(RowInserter &row, const qb::CustomerRet &c)
{
    row.set(ListID, c.utf8Of(Tag::ListID).value_or(QByteArray("")));
    for (const auto &[column, tag] : kTextFields)
        row.setIf(column, c.utf8Of(tag));
    for (const auto &[column, tag] : kRefFields)
        row.setIf(column, c.refFullNameUtf8(tag));
    row.setIf(OpenBalance, c.balance());
    row.setIf(CreditLimit, c.creditLimit());
    row.setIf(DeliveryMethod, c.preferredDeliveryMethod());
    row.setIf(IsActive, c.isActive());
    setAddress(row, BillAddr1, c.child(Tag::BillAddress));
    setAddress(row, ShipAddr1, c.child(Tag::ShipAddress));
}

} // namespace customers

namespace invoices {

enum InvoiceColumn {
    CustListID,
    Class,
    Customer,
    DueDate,
    FOB,
    Memo,
    PO,
    InvNo,
    SalesRep,
    ShipDate,
    ShipMethod,
    Terms,
    InvDate,
    Amt,
    LineClass,
    Desc,
    ItemRefID,
    ItemRef,
    RateAmt,
    RatePct,
    Qty,
    TxnID,
};
const QStringList kColumns = {
    u"CustListID"_qs, u"Class"_qs,     u"Customer"_qs, u"DueDate"_qs,  u"FOB"_qs,
    u"Memo"_qs,       u"PO"_qs,        u"InvNo"_qs,    u"SalesRep"_qs, u"ShipDate"_qs,
    u"ShipMethod"_qs, u"Terms"_qs,     u"InvDate"_qs,  u"Amt"_qs,      u"LineClass"_qs,
    u"Desc"_qs,       u"ItemRefID"_qs, u"ItemRef"_qs,  u"RateAmt"_qs,  u"RatePct"_qs,
    u"Qty"_qs,        u"TxnID"_qs,
};

// The invoice's header values, read once and repeated on each of its rows.
struct Header {
    std::optional<QByteArray> txnId, custListId, customer, className, fob, memo, po, invNo,
        salesRep, shipMethod, terms;
    std::optional<QDate> dueDate, shipDate, invDate;

    explicit Header(const qb::InvoiceRet &inv)
        : txnId(inv.utf8Of(Tag::TxnID)), custListId(inv.refListIdUtf8(Tag::CustomerRef)),
          customer(inv.refFullNameUtf8(Tag::CustomerRef)),
          className(inv.refFullNameUtf8(Tag::ClassRef)), fob(inv.utf8Of(Tag::FOB)),
          memo(inv.utf8Of(Tag::Memo)), po(inv.utf8Of(Tag::PONumber)),
          invNo(inv.utf8Of(Tag::RefNumber)), salesRep(inv.refFullNameUtf8(Tag::SalesRepRef)),
          shipMethod(inv.refFullNameUtf8(Tag::ShipMethodRef)),
          terms(inv.refFullNameUtf8(Tag::TermsRef)), dueDate(inv.dueDate()),
          shipDate(inv.shipDate()), invDate(inv.txnDate())
    {
    }
};

// One row for an item line; a line without an item gives none. True when a row was written.
bool writeLine(RowInserter &row, const Header &h, const qb::InvoiceLineRet &line)
{
    const qb::Element item = line.child(Tag::ItemRef);
    if (item.isNull())
        return false;
    row.setIf(CustListID, h.custListId);
    row.setIf(Class, h.className);
    row.setIf(Customer, h.customer);
    row.setIf(DueDate, h.dueDate);
    row.setIf(FOB, h.fob);
    row.setIf(Memo, h.memo);
    row.setIf(PO, h.po);
    row.setIf(InvNo, h.invNo);
    row.setIf(SalesRep, h.salesRep);
    row.setIf(ShipDate, h.shipDate);
    row.setIf(ShipMethod, h.shipMethod);
    row.setIf(Terms, h.terms);
    row.setIf(InvDate, h.invDate);
    row.setIf(Amt, line.amount());
    row.setIf(LineClass, line.refFullNameUtf8(Tag::ClassRef));
    row.setIf(Desc, line.utf8Of(Tag::Desc));
    row.setIf(ItemRefID, item.utf8Of(Tag::ListID));
    row.setIf(ItemRef, item.utf8Of(Tag::FullName));
    row.setIf(RateAmt, line.rate());
    row.setIf(RatePct, line.ratePercent());
    row.setIf(Qty, line.quantity());
    row.setIf(TxnID, h.txnId);
    row.insert();
    return true;
}

void writeInvoice(RowInserter &row, const qb::InvoiceRet &invoice, StatusDisplay &status, int done)
{
    const Header header(invoice);
    for (const auto &entry : invoice.lines()) {
        if (const auto line = entry.line())
            writeLine(row, header, *line);
        if (const auto group = entry.group()) {
            // A member without an item ends the group's rows.
            for (const auto &member : group->lines()) {
                if (!writeLine(row, header, member))
                    break;
            }
        }
        status.progress(done);
    }
}

} // namespace invoices

namespace items {

enum ItemColumn { Name, Desc, Type, IsActive, ListID };
const QStringList kColumns = {u"Name"_qs, u"Desc"_qs, u"Type"_qs, u"IsActive"_qs, u"ListID"_qs};

using qb::ItemKind;

// The kinds copied, in the order an entry is tested for them.
constexpr ItemKind kCopiedKinds[] = {ItemKind::SalesTaxGroup, ItemKind::InventoryAssembly,
                                     ItemKind::Inventory,     ItemKind::Service,
                                     ItemKind::NonInventory,  ItemKind::OtherCharge};

std::optional<QString> descriptionOf(const qb::ItemRecord &item, ItemKind kind)
{
    switch (kind) {
    case ItemKind::SalesTaxGroup: return item.itemDesc();
    case ItemKind::InventoryAssembly:
    case ItemKind::Inventory: return item.salesDesc();
    default: {
        // Service, NonInventory, OtherCharge: in the sales/purchase part, of either form.
        std::optional<QString> desc;
        if (const auto both = item.salesAndPurchase())
            desc = both->textOf(qb::Tag::SalesDesc);
        if (const auto one = item.salesOrPurchase(); one && one->textOf(qb::Tag::Desc))
            desc = one->textOf(qb::Tag::Desc);
        return desc;
    }
    }
}

void writeEntry(RowInserter &row, const qb::ItemEntry &entry)
{
    for (ItemKind kind : kCopiedKinds) {
        const auto item = entry.record(kind);
        if (!item)
            continue;
        row.setIf(Name, item->itemName());
        row.setIf(Desc, descriptionOf(*item, kind));
        row.set(Type, entry.typeName());
        row.setIf(IsActive, item->isActive());
        row.set(ListID, item->listId());
        row.insert();
    }
}

} // namespace items

CustomerRows::CustomerRows(Database &db)
    : m_row(db, QStringLiteral("Customers"), customers::kColumns)
{
}

void CustomerRows::write(const qb::CustomerRet &customer)
{
    customers::fillRow(m_row, customer);
    m_row.insert();
}

KnownCustomerRows::KnownCustomerRows(Database &db)
    : m_row(db, QStringLiteral("KnownCustomers"),
            {u"ListID"_qs, u"Name"_qs, u"FullName"_qs, u"ParentListID"_qs, u"ParentFullName"_qs,
             u"IsActive"_qs, u"TimeModified"_qs})
{
}

void KnownCustomerRows::write(const qb::CustomerRet &c)
{
    m_row.set(0, c.utf8Of(Tag::ListID).value_or(QByteArray("")));
    m_row.setIf(1, c.utf8Of(Tag::Name));
    m_row.setIf(2, c.utf8Of(Tag::FullName));
    m_row.setIf(3, c.refListIdUtf8(Tag::ParentRef));
    m_row.setIf(4, c.refFullNameUtf8(Tag::ParentRef));
    m_row.set(5, c.isActive().value_or(true)); // QuickBooks leaves out the default, active
    if (const auto modified = c.timeModified())
        m_row.set(6, modified->text());
    m_row.insert();
}

// Copies what it keeps: the records' own bytes go with their page.
void CustomerTree::add(const qb::CustomerRet &record)
{
    const auto owned = [](const std::optional<QByteArray> &bytes) {
        return bytes ? QByteArray(bytes->constData(), bytes->size()) : QByteArray();
    };
    Node node;
    node.listId = owned(record.utf8Of(Tag::ListID));
    node.fullName = owned(record.utf8Of(Tag::FullName));
    node.isJob = !record.child(Tag::ParentRef).isNull();
    if (node.isJob) {
        node.parentListId = owned(record.refListIdUtf8(Tag::ParentRef));
        node.parentFullName = owned(record.refFullNameUtf8(Tag::ParentRef));
    }
    m_nodes.push_back(std::move(node));
}

// One CustomerJobs row (job's ListID and full name, top-level customer's ListID) per job
// whose chain of parents reaches a top-level customer of the answer. A job whose parent
// is not in the answer (inactive, say) or whose chain runs in a circle belongs to no
// known customer and gets no row; so does a job or customer without a ListID.
void CustomerTree::writeJobs(Database &db) const
{
    const std::vector<int> top = topLevelOf(parents());
    RowInserter row(
        db, QStringLiteral("CustomerJobs"),
        {QStringLiteral("ListID"), QStringLiteral("FullName"), QStringLiteral("CustListID")});
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const Node &job = m_nodes[i];
        if (!job.isJob || top[i] < 0 || job.listId.isEmpty())
            continue;
        const QByteArray &customer = m_nodes[static_cast<size_t>(top[i])].listId;
        if (customer.isEmpty())
            continue;
        row.set(0, job.listId);
        if (!job.fullName.isEmpty())
            row.set(1, job.fullName);
        row.set(2, customer);
        row.insert();
    }
}

// Each record's parent as an index into m_nodes, kTopLevel, or kUnknown when the parent
// is not in the answer. With a repeated ListID or full name the first record counts.
std::vector<int> CustomerTree::parents() const
{
    QHash<QByteArray, int> byListId;
    QHash<QByteArray, int> byFullName;
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const int index = static_cast<int>(i);
        if (!m_nodes[i].listId.isEmpty())
            byListId.insert(m_nodes[i].listId, byListId.value(m_nodes[i].listId, index));
        if (!m_nodes[i].fullName.isEmpty())
            byFullName.insert(m_nodes[i].fullName, byFullName.value(m_nodes[i].fullName, index));
    }
    std::vector<int> parent(m_nodes.size(), kTopLevel);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const Node &node = m_nodes[i];
        if (!node.isJob)
            continue;
        parent[i] = !node.parentListId.isEmpty() ? byListId.value(node.parentListId, kUnknown)
                    : !node.parentFullName.isEmpty()
                        ? byFullName.value(node.parentFullName, kUnknown)
                        : kUnknown;
    }
    return parent;
}

// Each record's top-level record (itself when it has no parent), or -1 when its chain
// of parents leaves the answer or runs in a circle. Each record is walked once.
std::vector<int> CustomerTree::topLevelOf(const std::vector<int> &parent)
{
    constexpr int kNotYet = -3;
    constexpr int kOnPath = -4;
    constexpr int kNone = -1;
    std::vector<int> top(parent.size(), kNotYet);
    std::vector<int> path;
    for (size_t start = 0; start < parent.size(); ++start) {
        int at = static_cast<int>(start);
        while (top[static_cast<size_t>(at)] == kNotYet) {
            const int up = parent[static_cast<size_t>(at)];
            if (up == kTopLevel || up == kUnknown) {
                top[static_cast<size_t>(at)] = up == kTopLevel ? at : kNone;
                break;
            }
            top[static_cast<size_t>(at)] = kOnPath;
            path.push_back(at);
            at = up;
        }
        const int found = top[static_cast<size_t>(at)];
        const int result = found == kOnPath ? kNone : found;
        for (const int p : path)
            top[static_cast<size_t>(p)] = result;
        path.clear();
    }
    return top;
}

void CustomerTree::add(QByteArray listId, QByteArray fullName, QByteArray parentListId,
                       QByteArray parentFullName, bool isJob)
{
    m_nodes.push_back(Node{std::move(listId), std::move(fullName), std::move(parentListId),
                           std::move(parentFullName), isJob});
}

InvoiceRows::InvoiceRows(Database &db) : m_row(db, QStringLiteral("Invoices"), invoices::kColumns)
{
}

void InvoiceRows::write(const qb::InvoiceRet &invoice, StatusDisplay &status, int done)
{
    invoices::writeInvoice(m_row, invoice, status, done);
}

ItemRows::ItemRows(Database &db) : m_row(db, QStringLiteral("Items"), items::kColumns) {}

void ItemRows::write(const qb::ItemEntry &entry)
{
    items::writeEntry(m_row, entry);
}

bool ItemRows::copies(const qb::ItemEntry &entry)
{
    for (const qb::ItemKind kind : items::kCopiedKinds) {
        if (entry.record(kind))
            return true;
    }
    return false;
}

KnownItemRows::KnownItemRows(Database &db)
    : m_row(db, QStringLiteral("KnownItems"),
            {QStringLiteral("ListID"), QStringLiteral("FullName")}),
      m_find(db.prepare(QStringLiteral("SELECT FullName FROM KnownItems WHERE ListID = ?"))),
      m_drop(db.prepare(QStringLiteral("DELETE FROM KnownItems WHERE ListID = ?")))
{
}

void KnownItemRows::write(const qb::ItemRecord &item)
{
    const QString id = item.listId();
    if (id.isEmpty())
        return;
    drop(id);
    m_row.set(0, id);
    m_row.setIf(1, item.fullName());
    m_row.insert();
}

void KnownItemRows::drop(const QString &listId)
{
    m_drop.bind(1, listId);
    m_drop.run();
    m_drop.reset();
}

std::optional<QString> KnownItemRows::fullName(const QString &listId)
{
    m_find.bind(1, listId);
    std::optional<QString> name;
    if (m_find.step() && !m_find.value(0).isNull())
        name = m_find.value(0).toString();
    m_find.reset();
    return name;
}

} // namespace corvina
