// The edits of a day's work on a company, and what the operations share.

#include "qbsim/CompanyChangeModel.h"

#include <QByteArrayMatcher>

#include <algorithm>

namespace corvina::qbsim::change {

using namespace Qt::Literals::StringLiterals;

namespace {

bool taxable(const Element &line)
{
    const Element *code = line.child(u"SalesTaxCodeRef");
    return code && code->childText(u"FullName") != u"Non";
}

// A plain line with a quantity, a rate in cents and its amount.
bool isPriced(const Element &line)
{
    return line.name == u"InvoiceLineRet" && line.child(u"ItemRef") &&
           parseHundredths(line.childText(u"Quantity")) &&
           parseHundredths(line.childText(u"Rate")) && parseHundredths(line.childText(u"Amount"));
}

const Element *pricedLine(const Element &invoice)
{
    for (const Element &child : invoice.children) {
        if (isPriced(child))
            return &child;
    }
    return nullptr;
}

// What a line adds to the subtotal, and the part of it that is taxed.
std::pair<qint64, qint64> lineAmounts(const Element &line)
{
    if (line.name == u"InvoiceLineGroupRet") {
        qint64 taxed = 0;
        for (const Element &member : line.children) {
            if (member.name == u"InvoiceLineRet" && taxable(member))
                taxed += parseHundredths(member.childText(u"Amount")).value_or(0);
        }
        return {parseHundredths(line.childText(u"TotalAmount")).value_or(0), taxed};
    }
    const qint64 amount = parseHundredths(line.childText(u"Amount")).value_or(0);
    return {amount, taxable(line) ? amount : 0};
}

// How deep below `fullName`'s own level its descendants go.
int depthBelow(const QString &fullName, const std::vector<Record *> &descendants,
               const std::function<QString(Record &)> &nameOf)
{
    const auto level = static_cast<int>(fullName.count(u':'));
    int deepest = level;
    for (Record *d : descendants)
        deepest = std::max(deepest, static_cast<int>(nameOf(*d).count(u':')));
    return deepest - level;
}

} // namespace

bool isLine(const Element &e)
{
    return e.name == u"InvoiceLineRet" || e.name == u"InvoiceLineGroupRet";
}

std::vector<qsizetype> topLines(const Element &invoice)
{
    std::vector<qsizetype> lines;
    for (std::size_t i = 0; i < invoice.children.size(); ++i) {
        if (isLine(invoice.children[i]))
            lines.push_back(static_cast<qsizetype>(i));
    }
    return lines;
}

bool isTopLevel(Record &record, const Element &e)
{
    Q_UNUSED(record);
    return !e.child(u"ParentRef");
}

bool isActive(const Element &e)
{
    return e.childText(u"IsActive") != u"false";
}

void setActive(Element &e, bool active)
{
    if (!e.setChildText(u"IsActive", active ? u"true"_s : u"false"_s))
        e.insert(e.indexOf(u"FullName") + 1,
                 Element(u"IsActive"_s, active ? u"true"_s : u"false"_s));
}

QString dateText(QDate date)
{
    return date.toString(Qt::ISODate);
}

void shiftDate(Element &e, QStringView name, qint64 days)
{
    if (Element *child = e.child(name)) {
        const QDate date = parseDate(child->text.trimmed());
        if (date.isValid())
            child->text = dateText(date.addDays(days));
    }
}

Element ref(const QString &name, const QString &listId, const QString &fullName)
{
    Element e(name);
    e.children.emplace_back(u"ListID"_s, listId);
    e.children.emplace_back(u"FullName"_s, fullName);
    return e;
}

Record *Changer::pick(std::vector<Record> &list, const std::function<bool(Record &)> &fits)
{
    if (list.empty())
        return nullptr;
    const auto size = static_cast<qint64>(list.size());
    const auto usable = [&](Record &r) { return !r.touched && !r.removed && fits(r); };
    for (int attempt = 0; attempt < 64; ++attempt) {
        Record &r = list[static_cast<std::size_t>(m_random.below(size))];
        if (usable(r))
            return &r;
    }
    const qint64 start = m_random.below(size);
    for (qint64 i = 0; i < size; ++i) {
        Record &r = list[static_cast<std::size_t>((start + i) % size)];
        if (usable(r))
            return &r;
    }
    return nullptr;
}

void Changer::adjustTotals(Element &invoice, qint64 delta, bool taxed)
{
    const auto amount = [&](QStringView name) {
        return parseHundredths(invoice.childText(name)).value_or(0);
    };
    const qint64 percent = amount(u"SalesTaxPercentage"); // hundredths of a percent
    const qint64 tax = taxed ? gen::roundedDiv(delta * percent, 10000) : 0;
    const qint64 balance = amount(u"BalanceRemaining") + delta + tax;
    invoice.setChildText(u"Subtotal", gen::hundredths(amount(u"Subtotal") + delta));
    invoice.setChildText(u"SalesTaxTotal", gen::hundredths(amount(u"SalesTaxTotal") + tax));
    invoice.setChildText(u"BalanceRemaining", gen::hundredths(balance));
    invoice.setChildText(u"IsPaid", balance == 0 ? u"true"_s : u"false"_s);
}

bool Changer::editAmounts()
{
    Record *record = pick(m_invoices, [this](Record &r) { return pricedLine(tree(r)); });
    if (!record)
        return false;
    Element &invoice = tree(*record);
    std::vector<Element *> priced;
    for (Element &child : invoice.children) {
        if (isPriced(child))
            priced.push_back(&child);
    }
    Element &line =
        *priced[static_cast<std::size_t>(m_random.below(static_cast<qint64>(priced.size())))];
    const qint64 quantity = *parseHundredths(line.childText(u"Quantity"));
    const qint64 rate = *parseHundredths(line.childText(u"Rate"));
    const qint64 old = *parseHundredths(line.childText(u"Amount"));
    const qint64 step = m_random.between(1, 3) * 100;
    const qint64 changed =
        quantity - step > 0 && m_random.chance(50) ? quantity - step : quantity + step;
    const qint64 amount = gen::roundedDiv(changed * rate, 100);
    line.setChildText(u"Quantity", gen::quantityText(changed));
    line.setChildText(u"Amount", gen::hundredths(amount));
    adjustTotals(invoice, amount - old, taxable(line));
    stamp(invoice, nextStamp());
    record->touched = true;
    note(u"invoice %1: quantity of a line %2 -> %3"_s.arg(
        invoice.childText(u"RefNumber"), gen::quantityText(quantity), gen::quantityText(changed)));
    return true;
}

bool Changer::addLine()
{
    Record *record = pick(m_invoices, [this](Record &r) { return !topLines(tree(r)).empty(); });
    if (!record)
        return false;
    // A line like one of another invoice: the same item at its rate.
    Record *donor = nullptr;
    for (int attempt = 0; attempt < 64 && !donor; ++attempt) {
        Record &r = m_invoices[static_cast<std::size_t>(
            m_random.below(static_cast<qint64>(m_invoices.size())))];
        if (!r.removed && pricedLine(tree(r)))
            donor = &r;
    }
    if (!donor)
        donor = record;
    const Element *model = pricedLine(tree(*donor));
    if (!model)
        return false;
    const Stamp when = nextStamp();
    Element line = *model;
    const qint64 quantity = m_random.between(1, 8) * 100;
    const qint64 amount =
        gen::roundedDiv(quantity * *parseHundredths(line.childText(u"Rate")), 100);
    line.setChildText(u"TxnLineID", newTxnId(when));
    line.setChildText(u"Quantity", gen::quantityText(quantity));
    line.setChildText(u"Amount", gen::hundredths(amount));
    line.remove(u"ServiceDate");
    Element &invoice = tree(*record);
    invoice.insert(topLines(invoice).back() + 1, line);
    adjustTotals(invoice, amount, taxable(line));
    stamp(invoice, when);
    record->touched = true;
    note(u"invoice %1: a line added (%2)"_s.arg(invoice.childText(u"RefNumber"),
                                                line.child(u"ItemRef")->childText(u"FullName")));
    return true;
}

bool Changer::removeLine()
{
    Record *record = pick(m_invoices, [this](Record &r) { return topLines(tree(r)).size() >= 2; });
    if (!record)
        return false;
    Element &invoice = tree(*record);
    const std::vector<qsizetype> lines = topLines(invoice);
    const qsizetype at =
        lines[static_cast<std::size_t>(m_random.below(static_cast<qint64>(lines.size())))];
    const auto [amount, taxed] = lineAmounts(invoice.children[static_cast<std::size_t>(at)]);
    invoice.children.erase(invoice.children.begin() + at);
    // Untaxed and taxed parts apart, so that the tax follows the taxed part only.
    adjustTotals(invoice, -(amount - taxed), false);
    adjustTotals(invoice, -taxed, true);
    stamp(invoice, nextStamp());
    record->touched = true;
    note(u"invoice %1: a line removed"_s.arg(invoice.childText(u"RefNumber")));
    return true;
}

bool Changer::moveDate()
{
    Record *record = pick(m_invoices, [this](Record &r) {
        return parseDate(tree(r).childText(u"TxnDate").trimmed()).isValid();
    });
    if (!record)
        return false;
    Element &invoice = tree(*record);
    const QDate date = parseDate(invoice.childText(u"TxnDate").trimmed());
    QDate moved;
    if (m_random.chance(50)) {
        const int years = m_random.betweenInt(1, 3);
        moved = date.addYears(years) <= m_day ? date.addYears(years) : date.addYears(-years);
    } else {
        const int days = m_random.betweenInt(1, 45);
        moved = date.addDays(days) <= m_day ? date.addDays(days) : date.addDays(-days);
    }
    const qint64 days = date.daysTo(moved);
    for (const char16_t *name : {u"TxnDate", u"DueDate", u"ShipDate", u"SuggestedDiscountDate"})
        shiftDate(invoice, name, days);
    stamp(invoice, nextStamp());
    record->touched = true;
    note(u"invoice %1: dated %2 instead of %3"_s.arg(invoice.childText(u"RefNumber"),
                                                     dateText(moved), dateText(date)));
    return true;
}

bool Changer::renameCustomer()
{
    Record *record = pick(m_customers, [](Record &) { return true; });
    if (!record)
        return false;
    Element &customer = tree(*record);
    const QString old = customer.childText(u"FullName");
    const QString name = customer.childText(u"Name");
    const QString prefix = old.chopped(name.size());
    static const char16_t *const suffixes[] = {u" Inc.", u" LLC", u" & Co.", u" Group",
                                               u" Holdings"};
    QString renamed;
    for (int attempt = 0; renamed.isEmpty() || nameTaken(m_customers, prefix + renamed);
         ++attempt) {
        renamed = m_random.chance(50)
                      ? name.left(41 - 10) + QString::fromUtf16(m_random.pick(suffixes))
                      : companyName();
        if (attempt > 8)
            renamed = renamed.left(36) + u' ' + QString::number(attempt);
    }
    customer.setChildText(u"Name", renamed);
    QHash<QString, QString> names;
    names.insert(customer.childText(u"ListID"), prefix + renamed);
    for (Record *d : descendants(m_customers, customer.childText(u"ListID"))) {
        Element &job = tree(*d);
        names.insert(job.childText(u"ListID"),
                     names.value(parentId(*d)) + u':' + job.childText(u"Name"));
    }
    renameEverywhere(names);
    stamp(customer, nextStamp());
    record->touched = true;
    note(u"customer %1 renamed %2"_s.arg(old, prefix + renamed));
    return true;
}

bool Changer::deactivateCustomer()
{
    Record *record = pick(m_customers, [this](Record &r) {
        const Element &e = tree(r);
        return isTopLevel(r, e) && isActive(e);
    });
    if (!record)
        return false;
    const Stamp when = nextStamp();
    Element &customer = tree(*record);
    setActive(customer, false);
    stamp(customer, when);
    record->touched = true;
    int jobs = 0;
    for (Record *d : descendants(m_customers, customer.childText(u"ListID"))) {
        Element &job = tree(*d);
        if (!isActive(job))
            continue;
        setActive(job, false);
        stamp(job, when);
        d->touched = true;
        ++jobs;
    }
    note(u"customer %1 made inactive, with %2 jobs"_s.arg(customer.childText(u"FullName"))
             .arg(jobs));
    return true;
}

bool Changer::customerToJob()
{
    const auto fullName = [this](Record &r) { return tree(r).childText(u"FullName"); };
    Record *record = pick(m_customers, [&](Record &r) {
        const Element &e = tree(r);
        return isTopLevel(r, e) && isActive(e) &&
               depthBelow(fullName(r), descendants(m_customers, e.childText(u"ListID")),
                          fullName) <= 3;
    });
    if (!record)
        return false;
    Element &customer = tree(*record);
    const QString name = customer.childText(u"Name");
    record->touched = true; // not its own parent
    Record *parent = pick(m_customers, [&](Record &r) {
        const Element &e = tree(r);
        return isTopLevel(r, e) && isActive(e) &&
               !nameTaken(m_customers, e.childText(u"FullName") + u':' + name);
    });
    if (!parent) {
        record->touched = false;
        return false;
    }
    const Element &owner = tree(*parent);
    const QString ownerId = owner.childText(u"ListID");
    const QString ownerName = owner.childText(u"FullName");
    const QString id = customer.childText(u"ListID");
    const QString old = customer.childText(u"FullName");
    const auto below = descendants(m_customers, id);

    customer.remove(u"ParentRef");
    qsizetype at = customer.indexOf(u"Sublevel");
    if (at < 0)
        at = customer.indexOf(u"IsActive") + 1;
    if (at <= 0)
        at = customer.indexOf(u"FullName") + 1;
    customer.insert(at, ref(u"ParentRef"_s, ownerId, ownerName));
    if (!customer.setChildText(u"Sublevel", u"1"_s))
        customer.insert(at + 1, Element(u"Sublevel"_s, u"1"_s));
    QHash<QString, QString> names;
    names.insert(id, ownerName + u':' + name);
    for (Record *d : below) {
        Element &job = tree(*d);
        names.insert(job.childText(u"ListID"),
                     names.value(parentId(*d)) + u':' + job.childText(u"Name"));
        job.setChildText(u"Sublevel", QString::number(job.childText(u"Sublevel").toInt() + 1));
    }
    renameEverywhere(names);
    stamp(customer, nextStamp());
    note(u"customer %1 made a job of %2"_s.arg(old, ownerName));
    return true;
}

bool Changer::renameItem()
{
    static const QStringList kinds = {u"ItemServiceRet"_s, u"ItemNonInventoryRet"_s,
                                      u"ItemOtherChargeRet"_s, u"ItemInventoryRet"_s};
    Record *record = pick(m_items, [this](Record &r) { return kinds.contains(tree(r).name); });
    if (!record)
        return false;
    Element &item = tree(*record);
    const QString name = item.childText(u"Name");
    const QString old = item.child(u"FullName") ? item.childText(u"FullName") : name;
    const QString prefix = old.chopped(name.size());
    static const char16_t *const suffixes[] = {u" Plus", u" Pro", u" - Std", u" (New)", u" II"};
    QString renamed;
    for (int attempt = 0; renamed.isEmpty() || nameTaken(m_items, prefix + renamed); ++attempt) {
        renamed = name.left(31 - 7) + QString::fromUtf16(m_random.pick(suffixes));
        if (attempt > 8)
            renamed = name.left(26) + u' ' + QString::number(attempt);
    }
    item.setChildText(u"Name", renamed);
    if (!item.child(u"FullName"))
        item.insert(item.indexOf(u"Name") + 1, Element(u"FullName"_s, prefix + renamed));
    QHash<QString, QString> names;
    names.insert(item.childText(u"ListID"), prefix + renamed);
    for (Record *d : descendants(m_items, item.childText(u"ListID"))) {
        Element &sub = tree(*d);
        names.insert(sub.childText(u"ListID"),
                     names.value(parentId(*d)) + u':' + sub.childText(u"Name"));
    }
    renameEverywhere(names);
    stamp(item, nextStamp());
    record->touched = true;
    note(u"item %1 renamed %2"_s.arg(old, prefix + renamed));
    return true;
}

} // namespace corvina::qbsim::change
