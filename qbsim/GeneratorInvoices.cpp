// The company generator's invoices: made one at a time in date order, with line items that
// add up, and paid, partly paid or open as their age suggests.

#include "qbsim/GeneratorModel.h"

#include <algorithm>

namespace corvina::qbsim::gen {

using namespace Qt::StringLiterals;

namespace {

const QString kMemos[] = {u"Spring restock"_s,           u"Rush order"_s,
                          u"Per quote 1432"_s,           u"Ref: O'Brien referral"_s,
                          u"Warranty work & parts"_s,    u"Replaces invoice voided in error"_s,
                          u"Deliver to rear entrance"_s, u"Partial shipment; balance to follow"_s};

const QString kLineNotes[] = {
    u"Thank you for your business."_s,          u"Work performed per signed estimate."_s,
    u"Materials delivered to job site."_s,      u"Warranty: 1 year parts & labor."_s,
    u"Please call 48 hours before delivery."_s, u"Customer's own fixtures installed."_s};

const QString kFobPoints[] = {u"Origin"_s, u"Destination"_s, u"Portland"_s, u"Our dock"_s};

// Makes the invoice at a cursor and moves the cursor on.
class InvoiceMaker {
public:
    InvoiceMaker(const Company &company, InvoiceCursor &cursor)
        : m_company(company), m_cursor(cursor), m_random(cursor.random)
    {
    }

    Invoice next()
    {
        Invoice inv;
        inv.txnDate = dateOf(m_cursor.index++);
        inv.created = officeMoment(m_random, inv.txnDate);
        inv.txnId = nextTxnId(inv.created);
        inv.txnNumber = ++m_cursor.txnNumber;
        m_cursor.refNumber += m_random.chance(2) ? 2 : 1;
        inv.refNumber = QString::number(m_cursor.refNumber);
        inv.customer = pickCustomer();
        setHeader(inv, m_company.customers[inv.customer]);
        addLines(inv);
        setTotals(inv, m_company.customers[inv.customer]);
        settle(inv);
        return inv;
    }

private:
    // Dates spread evenly over the four years up to the last date, weekends moved to a weekday,
    // never decreasing.
    QDate dateOf(qint64 index)
    {
        const qint64 days = m_company.firstInvoiceDate.daysTo(m_company.lastInvoiceDate) + 1;
        const qint64 jitter =
            static_cast<qint64>(m_cursor.jitter.next() % static_cast<std::uint64_t>(days));
        QDate date = m_company.firstInvoiceDate.addDays((index * days + jitter) / m_cursor.count);
        if (date.dayOfWeek() == 6)
            date = date.addDays(-1);
        else if (date.dayOfWeek() == 7)
            date = date.addDays(date < m_company.lastInvoiceDate ? 1 : -2);
        return date;
    }

    QString nextTxnId(const Moment &created)
    {
        return sequenceId(m_cursor.txnSequence++, created.epoch());
    }

    // A few customers buy far more often than the rest.
    qsizetype pickCustomer()
    {
        const qsizetype count = m_company.customers.size();
        if (m_random.chance(50))
            return m_random.below(std::max<qsizetype>(count / 5, 1));
        return m_random.below(count);
    }

    void setHeader(Invoice &inv, const Customer &c)
    {
        const Lists &lists = m_company.lists;
        if (m_random.chance(30))
            inv.classRef = m_random.below(lists.classes.size());
        if (m_random.chance(30))
            inv.poNumber = m_random.chance(50)
                               ? u"PO-"_s + QString::number(m_random.between(1000, 9999))
                               : QString::number(m_random.between(4500000000LL, 4599999999LL));
        inv.terms = c.terms >= 0 ? c.terms : (m_random.chance(50) ? 0 : -1);
        inv.dueDate = inv.txnDate.addDays(inv.terms >= 0 ? lists.terms[inv.terms].dueDays : 0);
        const qint64 repRoll = m_random.below(100);
        if (c.rep >= 0 && repRoll < 80)
            inv.rep = c.rep;
        else if (repRoll < 85)
            inv.rep = m_random.below(m_company.reps.size());
        if (m_random.chance(15))
            inv.fob = m_random.pick(kFobPoints);
        inv.shipDate = std::min(inv.txnDate.addDays(m_random.between(0, 3)),
                                std::max(inv.txnDate, m_company.lastInvoiceDate));
        if (m_random.chance(35))
            inv.shipMethod = m_random.below(lists.shipMethods.size());
        if (m_random.chance(20))
            inv.memo = m_random.pick(kMemos);
        if (m_random.chance(30))
            inv.message = m_random.below(lists.messages.size());
        inv.toBePrinted = m_random.chance(10);
    }

    // 1-8 lines, about three on average.
    int lineCount()
    {
        static constexpr int weights[] = {22, 24, 20, 13, 9, 6, 4, 2};
        qint64 roll = m_random.below(100);
        int count = 1;
        for (const int weight : weights) {
            if (roll < weight)
                break;
            roll -= weight;
            ++count;
        }
        return count;
    }

    QString nextLineId(const Invoice &inv) { return nextTxnId(inv.created); }

    qint64 rateOf(const Item &item)
    {
        qint64 rate = item.price > 0 ? item.price : m_random.between(25, 500) * 100;
        if (m_random.chance(10))
            rate = roundedDiv(rate * m_random.between(85, 115), 100);
        return rate;
    }

    qint64 quantityOf(const Item &item)
    {
        switch (item.kind) {
        case ItemKind::Service: return m_random.between(2, 32) * 25;
        case ItemKind::Inventory:
            return item.price < 1000 ? m_random.between(5, 200) * 100
                                     : m_random.between(1, 24) * 100;
        case ItemKind::Assembly: return m_random.between(1, 5) * 100;
        case ItemKind::NonInventory: return m_random.between(1, 3) * 100;
        default: return 100;
        }
    }

    InvoiceLine itemLine(const Invoice &inv, qsizetype itemIndex, qint64 quantity, qint64 rate)
    {
        const Item &item = m_company.items[itemIndex];
        InvoiceLine line;
        line.txnLineId = nextLineId(inv);
        line.item = itemIndex;
        line.desc = item.desc;
        line.quantity = quantity;
        line.rate = rate;
        line.hasAmount = true;
        line.amount = roundedDiv(quantity * rate, 100);
        line.taxCode = item.taxCode;
        return line;
    }

    InvoiceLine pricedLine(const Invoice &inv)
    {
        const Item &item = m_company.items[m_random.pick(m_company.sellable)];
        const qsizetype index = &item - m_company.items.constData();
        InvoiceLine line = itemLine(inv, index, quantityOf(item), rateOf(item));
        if (m_random.chance(5)) {
            line.classRef = m_random.below(m_company.lists.classes.size());
            line.serviceDate = inv.txnDate.addDays(-m_random.between(0, 14));
        }
        return line;
    }

    InvoiceLineGroup groupLine(const Invoice &inv)
    {
        const qsizetype index = m_random.pick(m_company.groups);
        const Item &item = m_company.items[index];
        InvoiceLineGroup group;
        group.txnLineId = nextLineId(inv);
        group.item = index;
        group.desc = item.desc;
        const qint64 quantity = m_random.between(1, 3);
        group.quantity = quantity * 100;
        group.printItems = item.printItemsInGroup;
        for (const ItemLine &part : item.lines) {
            const Item &member = m_company.items[part.item];
            group.members.append(itemLine(inv, part.item, part.quantity * quantity,
                                          member.price > 0 ? member.price : rateOf(member)));
            group.total += group.members.last().amount;
        }
        return group;
    }

    InvoiceLine subtotalLine(const Invoice &inv, qint64 amount)
    {
        InvoiceLine line;
        line.txnLineId = nextLineId(inv);
        line.item = m_company.subtotalItem;
        line.desc = m_company.items[line.item].desc;
        line.hasAmount = true;
        line.amount = amount;
        return line;
    }

    // A discount (negative) or surcharge on the amount of the line just above it.
    InvoiceLine percentLine(const Invoice &inv, qint64 base)
    {
        const bool discount = m_random.chance(60) || m_company.surcharges.isEmpty();
        const qsizetype index =
            m_random.pick(discount ? m_company.discounts : m_company.surcharges);
        const Item &item = m_company.items[index];
        InvoiceLine line;
        line.txnLineId = nextLineId(inv);
        line.item = index;
        line.desc = item.desc;
        line.hasRatePercent = true;
        line.ratePercent = discount ? -item.percent : item.percent;
        line.hasAmount = true;
        line.amount = roundedDiv(base * line.ratePercent, 10000);
        line.taxCode = item.taxCode;
        return line;
    }

    InvoiceLine noteLine(const Invoice &inv)
    {
        InvoiceLine line;
        line.txnLineId = nextLineId(inv);
        line.desc = m_random.pick(kLineNotes);
        return line;
    }

    void addLines(Invoice &inv)
    {
        int count = lineCount();
        const bool note = count >= 2 && m_random.chance(8);
        count -= note ? 1 : 0;
        int percentLines = 0;
        if (count >= 2 && m_random.chance(10) && !m_company.discounts.isEmpty())
            percentLines = count >= 4 ? 2 : 1;
        const int priced = count - percentLines;
        const qint64 groupAt =
            !m_company.groups.isEmpty() && m_random.chance(5) ? m_random.below(priced) : -1;
        const bool noteFirst = note && m_random.chance(30);
        if (noteFirst)
            inv.lines.append(noteLine(inv));
        qint64 sum = 0;
        qint64 last = 0;
        for (int i = 0; i < priced; ++i) {
            if (i == groupAt) {
                InvoiceLineGroup group = groupLine(inv);
                last = group.total;
                inv.lines.append(std::move(group));
            } else {
                InvoiceLine line = pricedLine(inv);
                last = line.amount;
                inv.lines.append(std::move(line));
            }
            sum += last;
        }
        if (percentLines == 2) {
            inv.lines.append(subtotalLine(inv, sum));
            last = sum;
        }
        if (percentLines > 0)
            inv.lines.append(percentLine(inv, last));
        if (note && !noteFirst)
            inv.lines.append(noteLine(inv));
    }

    // Subtotal is the sum of the lines (subtotal lines only repeat the others); the tax is
    // taken on the taxable lines when the customer pays sales tax.
    void setTotals(Invoice &inv, const Customer &c)
    {
        qint64 taxable = 0;
        const auto add = [&](const InvoiceLine &line) {
            if (line.item == m_company.subtotalItem)
                return;
            inv.subtotal += line.amount;
            if (line.taxCode == Taxable)
                taxable += line.amount;
        };
        for (const auto &entry : inv.lines) {
            if (const auto *line = std::get_if<InvoiceLine>(&entry)) {
                add(*line);
            } else {
                for (const InvoiceLine &member : std::get<InvoiceLineGroup>(entry).members)
                    add(member);
            }
        }
        inv.taxItem = c.taxItem >= 0 ? c.taxItem : m_company.defaultTaxItem;
        inv.taxPercent = taxRate(inv.taxItem);
        if (c.taxCode != NonTaxable)
            inv.taxTotal = roundedDiv(taxable * inv.taxPercent, 10000);
        if (inv.terms >= 0 && m_company.lists.terms[inv.terms].discountDays > 0) {
            const Terms &terms = m_company.lists.terms[inv.terms];
            inv.suggestedDiscount =
                roundedDiv((inv.subtotal + inv.taxTotal) * terms.discountPercent, 100);
            inv.suggestedDiscountDate = inv.txnDate.addDays(terms.discountDays);
        }
    }

    qint64 taxRate(qsizetype taxItem) const
    {
        const Item &item = m_company.items[taxItem];
        if (item.kind == ItemKind::SalesTax)
            return item.percent;
        qint64 rate = 0;
        for (const ItemLine &part : item.lines)
            rate += m_company.items[part.item].percent;
        return rate;
    }

    // Old invoices are nearly all paid; recent ones often still open or partly paid.
    void settle(Invoice &inv)
    {
        const qint64 total = inv.subtotal + inv.taxTotal;
        const bool old = inv.txnDate.daysTo(m_company.lastInvoiceDate) > 120;
        const qint64 roll = m_random.below(100);
        qint64 paid = 0;
        if (roll < (old ? 96 : 50))
            paid = total;
        else if (roll < (old ? 98 : 62) && total >= 200)
            paid = std::clamp<qint64>(roundedDiv(total * m_random.between(20, 80), 10000) * 100,
                                      100, total - 1);
        inv.modified = inv.created;
        if (paid > 0) {
            Payment payment;
            const QDate latest = std::max(inv.txnDate, m_company.lastInvoiceDate);
            payment.date = std::min(inv.txnDate.addDays(m_random.between(0, 60)), latest);
            Moment when = officeMoment(m_random, payment.date);
            if (!(inv.created < when))
                when.seconds = std::min(inv.created.seconds + m_random.betweenInt(60, 3600), 86399);
            payment.txnId = nextTxnId(when);
            ++m_cursor.txnNumber;
            if (m_random.chance(70))
                payment.refNumber = QString::number(m_random.between(1001, 99999));
            payment.amount = paid;
            inv.payment = payment;
            inv.modified = when;
        } else if (m_random.chance(10)) {
            inv.modified = laterMoment(m_random, inv.created, m_company.lastInvoiceDate);
        }
        inv.applied = -paid;
        inv.balance = total - paid;
    }

    const Company &m_company;
    InvoiceCursor &m_cursor;
    Random &m_random;
};

} // namespace

InvoiceCursor firstInvoice(std::uint64_t seed, qint64 count)
{
    Random random(seed);
    Random jitter(random.next());
    InvoiceCursor cursor{random, jitter, count};
    cursor.txnSequence = static_cast<std::uint64_t>(cursor.random.between(0x20, 0x1FF));
    cursor.refNumber = cursor.random.between(1001, 4999);
    return cursor;
}

Invoice nextInvoice(const Company &company, InvoiceCursor &cursor)
{
    return InvoiceMaker(company, cursor).next();
}

InvoicePlan planInvoices(Company &company, std::uint64_t seed, qint64 count)
{
    InvoicePlan plan;
    plan.count = count;
    InvoiceCursor cursor = firstInvoice(seed, count);
    for (qint64 i = 0; i < count; ++i) {
        if (i == 0 || (i - 1) % InvoicePlan::kBlockSize == 0)
            plan.starts.push_back(cursor);
        const Invoice inv = nextInvoice(company, cursor);
        company.customers[inv.customer].balance += inv.balance;
    }
    for (Customer &c : company.customers)
        c.totalBalance = c.balance;
    for (const Customer &c : std::as_const(company.customers)) {
        if (c.parent >= 0)
            company.customers[c.parent].totalBalance += c.balance;
    }
    return plan;
}

} // namespace corvina::qbsim::gen
