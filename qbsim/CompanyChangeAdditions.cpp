// The deletions and additions of a day's work on a company.

#include "qbsim/CompanyChangeModel.h"

#include <QByteArrayMatcher>

namespace corvina::qbsim::change {

using namespace Qt::Literals::StringLiterals;

QString Changer::companyName()
{
    static const char16_t *const first[] = {u"Harbor",     u"Summit",   u"Granite",   u"Willow",
                                            u"Blue Ridge", u"Lakeside", u"Pioneer",   u"Evergreen",
                                            u"Copper",     u"Meadow",   u"Northgate", u"Riverbend",
                                            u"Silverline", u"Oakmont",  u"Prairie"};
    static const char16_t *const second[] = {
        u"Bakery",     u"Dental",     u"Builders", u"Logistics",   u"Florist",
        u"Auto Care",  u"Consulting", u"Realty",   u"Printing",    u"Outfitters",
        u"Veterinary", u"Cafe",       u"Electric", u"Landscaping", u"Studio"};
    return QString::fromUtf16(m_random.pick(first)) + u' ' +
           QString::fromUtf16(m_random.pick(second));
}

bool Changer::deleteInvoice()
{
    Record *record = pick(m_invoices, [](Record &) { return true; });
    if (!record)
        return false;
    const Element &invoice = tree(*record);
    const Stamp when = nextStamp();
    Element deleted(u"TxnDeletedRet"_s);
    deleted.children.emplace_back(u"TxnDelType"_s, u"Invoice"_s);
    deleted.children.emplace_back(u"TxnID"_s, invoice.childText(u"TxnID"));
    deleted.children.emplace_back(u"TimeCreated"_s, invoice.childText(u"TimeCreated"));
    deleted.children.emplace_back(u"TimeDeleted"_s, when.text);
    if (invoice.child(u"RefNumber"))
        deleted.children.emplace_back(u"RefNumber"_s, invoice.childText(u"RefNumber"));
    m_deletedTxns.push_back(std::move(deleted));
    record->removed = record->touched = true;
    note(u"invoice %1 deleted"_s.arg(invoice.childText(u"RefNumber")));
    return true;
}

bool Changer::deleteUnused()
{
    // A customer or item that nothing names: its ListID occurs in its own record only.
    if (m_listIdUses.isEmpty()) {
        const QByteArray &data = m_company.data();
        const QByteArrayMatcher open("<ListID>");
        for (qsizetype at = open.indexIn(data); at >= 0; at = open.indexIn(data, at + 1)) {
            const qsizetype end = data.indexOf('<', at + 8);
            if (end < 0)
                break;
            ++m_listIdUses[QString::fromUtf8(data.sliced(at + 8, end - at - 8).trimmed())];
        }
    }
    const auto unused = [&](Record &r) {
        return !r.added && m_listIdUses.value(tree(r).childText(u"ListID")) == 1;
    };
    std::vector<Record *> candidates;
    for (int attempt = 0; attempt < 24; ++attempt) {
        std::vector<Record> &list = m_random.chance(50) ? m_customers : m_items;
        if (list.empty())
            continue;
        Record &r =
            list[static_cast<std::size_t>(m_random.below(static_cast<qint64>(list.size())))];
        if (!r.touched && !r.removed && unused(r)) {
            candidates.push_back(&r);
            break;
        }
    }
    if (candidates.empty())
        return false;
    Record &record = *candidates.front();
    const Element &e = tree(record);
    const Stamp when = nextStamp();
    Element deleted(u"ListDeletedRet"_s);
    deleted.children.emplace_back(u"ListDelType"_s, e.name.chopped(3));
    deleted.children.emplace_back(u"ListID"_s, e.childText(u"ListID"));
    deleted.children.emplace_back(u"TimeCreated"_s, e.childText(u"TimeCreated"));
    deleted.children.emplace_back(u"TimeDeleted"_s, when.text);
    const QString name = e.child(u"FullName") ? e.childText(u"FullName") : e.childText(u"Name");
    deleted.children.emplace_back(u"FullName"_s, name);
    m_deletedLists.push_back(std::move(deleted));
    record.removed = record.touched = true;
    note(u"%1 %2 deleted"_s.arg(e.name.chopped(3), name));
    return true;
}

void Changer::addInvoice()
{
    const Stamp when = nextStamp();
    Record *model = nullptr;
    for (int attempt = 0; attempt < 64 && !model; ++attempt) {
        Record &r = m_invoices[static_cast<std::size_t>(
            m_random.below(static_cast<qint64>(m_invoices.size())))];
        if (!r.removed && !topLines(tree(r)).empty() &&
            parseDate(tree(r).childText(u"TxnDate")).isValid())
            model = &r;
    }
    Record *buyer = pick(m_customers, [this](Record &r) { return isActive(tree(r)); });
    if (!buyer) // every customer is busy today: any that is still there
        for (Record &r : m_customers)
            if (!r.removed && isActive(tree(r)))
                buyer = &r;
    if (!model || !buyer) {
        note(u"no invoice added: no invoice to model it on or no active customer"_s);
        return;
    }
    Element invoice = tree(*model);
    const Element &customer = tree(*buyer);
    const QDate date = parseDate(invoice.childText(u"TxnDate"));
    const qint64 days = date.daysTo(m_day);
    invoice.setChildText(u"TxnID", newTxnId(when));
    invoice.setChildText(u"TimeCreated", when.text);
    stamp(invoice, when);
    invoice.setChildText(u"TxnNumber", QString::number(++m_txnNumber));
    if (Element *to = invoice.child(u"CustomerRef")) {
        to->setChildText(u"ListID", customer.childText(u"ListID"));
        to->setChildText(u"FullName", customer.childText(u"FullName"));
    }
    for (const char16_t *name : {u"TxnDate", u"DueDate", u"SuggestedDiscountDate"})
        shiftDate(invoice, name, days);
    invoice.setChildText(u"ShipDate", dateText(m_day));
    invoice.setChildText(u"RefNumber", QString::number(++m_refNumber));
    for (const char16_t *name : {u"BillAddress", u"ShipAddress"}) {
        Element *to = invoice.child(name);
        const Element *from = customer.child(name);
        if (to && from)
            *to = *from;
        else if (to)
            invoice.remove(name);
    }
    invoice.remove(u"LinkedTxn");
    const qint64 total = parseHundredths(invoice.childText(u"Subtotal")).value_or(0) +
                         parseHundredths(invoice.childText(u"SalesTaxTotal")).value_or(0);
    invoice.setChildText(u"AppliedAmount", gen::hundredths(0));
    invoice.setChildText(u"BalanceRemaining", gen::hundredths(total));
    invoice.setChildText(u"IsPaid", total == 0 ? u"true"_s : u"false"_s);
    for (Element &line : invoice.children) {
        if (!isLine(line))
            continue;
        line.setChildText(u"TxnLineID", newTxnId(when));
        for (Element &member : line.children) {
            if (member.name == u"InvoiceLineRet")
                member.setChildText(u"TxnLineID", newTxnId(when));
        }
    }
    note(u"invoice %1 added for %2"_s.arg(invoice.childText(u"RefNumber"),
                                          customer.childText(u"FullName")));
    Record added;
    added.tree = std::move(invoice);
    added.added = added.touched = true;
    m_invoices.push_back(std::move(added));
}

void Changer::addCustomer(bool job)
{
    const Stamp when = nextStamp();
    Record *owner = job ? pick(m_customers,
                               [this](Record &r) {
                                   const Element &e = tree(r);
                                   return isTopLevel(r, e) && isActive(e);
                               })
                        : nullptr;
    if (!owner) {
        for (Record &r : m_customers)
            if (job && !owner && !r.removed && isTopLevel(r, tree(r)) && isActive(tree(r)))
                owner = &r;
    }
    job = job && owner;
    // The model: a job for a job, a top-level customer otherwise.
    Record *model = nullptr;
    for (int attempt = 0; attempt < 64 && !model; ++attempt) {
        Record &r = m_customers[static_cast<std::size_t>(
            m_random.below(static_cast<qint64>(m_customers.size())))];
        if (!r.removed && !r.added && isTopLevel(r, tree(r)) != job)
            model = &r;
    }
    if (!model)
        model = job ? owner : nullptr;
    if (!model) {
        note(u"no customer added: none to model it on"_s);
        return;
    }
    static const char16_t *const jobNames[] = {
        u"Kitchen Remodel",     u"Office Fit-out", u"Roof Repair",    u"Phase 2",
        u"Warehouse Expansion", u"Spring Cleanup", u"Annual Service", u"New Showroom"};
    const QString prefix = job ? tree(*owner).childText(u"FullName") + u':' : QString();
    QString name;
    for (int attempt = 0; name.isEmpty() || nameTaken(m_customers, prefix + name); ++attempt) {
        name = job ? QString::fromUtf16(m_random.pick(jobNames)) : companyName();
        if (attempt > 8)
            name += u' ' + QString::number(attempt);
    }
    Element customer = tree(*model);
    customer.setChildText(u"ListID", newListId(when));
    customer.setChildText(u"TimeCreated", when.text);
    stamp(customer, when);
    customer.setChildText(u"Name", name);
    customer.setChildText(u"FullName", prefix + name);
    setActive(customer, true);
    customer.setChildText(u"Balance", gen::hundredths(0));
    customer.setChildText(u"TotalBalance", gen::hundredths(0));
    if (job) {
        const Element &parent = tree(*owner);
        customer.remove(u"ParentRef");
        const qsizetype at = customer.indexOf(u"Sublevel");
        customer.insert(
            at < 0 ? customer.indexOf(u"IsActive") + 1 : at,
            ref(u"ParentRef"_s, parent.childText(u"ListID"), parent.childText(u"FullName")));
        customer.setChildText(u"Sublevel", u"1"_s);
        for (const char16_t *copied : {u"CompanyName", u"BillAddress", u"ShipAddress"}) {
            Element *to = customer.child(copied);
            const Element *from = parent.child(copied);
            if (to && from)
                *to = *from;
        }
    } else {
        customer.setChildText(u"CompanyName", name);
        // The model's people are not the new company's.
        for (const char16_t *person : {u"Salutation", u"FirstName", u"MiddleName", u"LastName",
                                       u"Contact", u"AltContact", u"Email", u"Notes"})
            customer.remove(person);
        for (const char16_t *address : {u"BillAddress", u"ShipAddress"}) {
            if (Element *a = customer.child(address))
                a->setChildText(u"Addr1", name);
        }
    }
    note(u"%1 %2 added"_s.arg(job ? u"job"_s : u"customer"_s, prefix + name));
    Record added;
    added.tree = std::move(customer);
    added.added = added.touched = true;
    m_customers.push_back(std::move(added));
}

} // namespace corvina::qbsim::change
