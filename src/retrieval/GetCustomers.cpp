#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "qbxml/Records.h"
#include "retrieval/PagedQuery.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/RetrievalSupport.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"
#include "state/ProgramState.h"

#include <QHash>

#include <vector>

namespace corvina {

namespace {

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

using qb::Tag;

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

// Where each record of the answer stands in the customer tree, gathered while the records
// are written, so that every job and sub-customer can be tied to its top-level customer once
// the whole list is known (a sub-job may come before its parent).
class CustomerTree {
public:
    // Copies what it keeps: the records' own bytes go with their page.
    void add(const qb::CustomerRet &record)
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
    void writeJobs(Database &db) const
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

private:
    static constexpr int kTopLevel = -1;
    static constexpr int kUnknown = -2;

    struct Node {
        QByteArray listId;
        QByteArray fullName;
        QByteArray parentListId;   // as the parent reference names it; may be empty
        QByteArray parentFullName; // used only when the reference has no ListID
        bool isJob = false;
    };

    // Each record's parent as an index into m_nodes, kTopLevel, or kUnknown when the parent
    // is not in the answer. With a repeated ListID or full name the first record counts.
    std::vector<int> parents() const
    {
        QHash<QByteArray, int> byListId;
        QHash<QByteArray, int> byFullName;
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            const int index = static_cast<int>(i);
            if (!m_nodes[i].listId.isEmpty())
                byListId.insert(m_nodes[i].listId, byListId.value(m_nodes[i].listId, index));
            if (!m_nodes[i].fullName.isEmpty())
                byFullName.insert(m_nodes[i].fullName,
                                  byFullName.value(m_nodes[i].fullName, index));
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
    static std::vector<int> topLevelOf(const std::vector<int> &parent)
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

    std::vector<Node> m_nodes;
};

enum class Outcome { Done, Stopped };

// Steps 2 to 13; `step` follows the step being run.
Outcome retrieve(ProgramState &state, ProcedureStep &step)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();

    step.reach(20);
    if (!qb.sessionOpen) {
        status.step(QStringLiteral("Opening and logging into Quickbooks..."));
        if (!OpenQB(state))
            return Outcome::Stopped;
    }
    step.reach(30);
    status.step(QStringLiteral("Retrieving customers from Quickbooks..."));
    step.reach(40);
    PagedQuery pages(qb, qb::QueryKind::Customer);
    step.reach(50);
    const qb::Response *response = pages.next();
    step.reach(60);
    if (reportStatus(state, *response))
        return Outcome::Stopped;

    step.reach(70);
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db); // every page or none: a failure part-way keeps the old rows
    step.reach(80);
    db.deleteAll(QStringLiteral("Customers"));
    addMissingTables(db); // a file start-up could not bring up to date
    db.deleteAll(QStringLiteral("CustomerJobs"));
    step.reach(90);
    const int count = pages.knownTotal().value_or(response->count());
    status.startRecords(count,
                        QStringLiteral("Updating the Customers table in the QBData database..."));
    step.reach(100);
    RowInserter row(db, QStringLiteral("Customers"), kColumns);
    CustomerTree tree;
    int done = 0;
    while (response) {
        for (int i = 0; i < response->count(); ++i) {
            const qb::CustomerRet customer(response->record(i));
            tree.add(customer);
            if (!customer.parentRef()) { // jobs and sub-customers go to CustomerJobs only
                fillRow(row, customer);
                row.insert();
            }
            status.progress(++done);
        }
        response = pages.next();
        if (response && reportStatus(state, *response))
            return Outcome::Stopped;
    }
    tree.writeJobs(db);
    step.reach(110);
    rewrite.commit();

    step.reach(120);
    const QDateTime now = state.screen().now();
    stampRetrievalDate(state, QStringLiteral("Cust"), now);
    step.reach(130);
    state.screen().setBoxText(RetrievalBox::Cust, generalDateText(now));
    state.screen().enableEntry(MenuEntry::DispCust);
    state.screen().enableEntry(MenuEntry::LettersAndLabels);
    return Outcome::Done;
}

} // namespace

void GetCustomers(ProgramState &state)
{
    StatusDisplay &status = state.status();
    ProcedureStep step(10);
    try {
        status.open();
        status.busyPointer();
        retryWhileLocked(state, QStringLiteral("Customers"), [&] { retrieve(state, step); });
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetCustomers"), step.number());
    }
    // Exit steps: default pointer, status window unloaded; the session stays open.
    status.close();
}

} // namespace corvina
