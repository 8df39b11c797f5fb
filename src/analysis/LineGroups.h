#pragma once

#include "analysis/LineTables.h"
#include "localdb/Database.h"

#include <QtGlobal>

#include <vector>

namespace corvina::itemaging {

// The first and last date of some lines, as ids of their stored texts; -1: no dated line.
struct DateSpan {
    int first = -1;
    int last = -1;
};

// One (customer, item) group of invoice lines, aggregated while the lines are read in stored
// order: the last line read gives the class. Texts are ids into the column's dictionary.
struct LineGroup {
    int customerText = 0; // the name as on the group's first line
    int customerId = 0;   // the name without case
    int itemId = 0;
    int listIdText = 0; // the item's ListID as on the group's first line
    int purchases = 0;
    double qty = 0;
    double amt = 0;
    bool hasQty = false;
    bool hasAmt = false;
    DateSpan dates;
    int lineClass = -1; // -1: empty
};

// The invoice lines of one rowid range grouped by customer name and item, in reading order;
// lines of items not listed are skipped. Each distinct spelling of a name or ListID is
// folded once.
class LineGroups {
public:
    explicit LineGroups(const CaseKeyIds &listedItems) : m_listedItems(listedItems)
    {
        customerOfText.push_back(customerIds.idOf(QString()));
    }

    // Groups the lines of the rowid range, in stored order, after those read before.
    void read(Database &db, qint64 fromRowid, qint64 toRowid);
    // Adds the groups of `later`, whose lines come after these in stored order, as if its
    // lines had been read here.
    void absorb(const LineGroups &later);
    const CaseKeyIds &listedItems() const noexcept { return m_listedItems; }

    TextDictionary customerTexts, itemTexts, dateTexts, classTexts;
    CaseKeyIds customerIds; // the names without case
    std::vector<LineGroup> groups;
    DateSpan period; // of every line read, listed item or not

private:
    // Texts are numbered as they are first met, so the tables below only ever grow at the end.
    int listedItemOf(int itemText)
    {
        while (itemOfText.size() <= static_cast<size_t>(itemText)) {
            const int next = static_cast<int>(itemOfText.size());
            itemOfText.push_back(m_listedItems.find(itemTexts.text(next)));
        }
        return itemOfText[static_cast<size_t>(itemText)];
    }
    int customerIdOf(int customerText)
    {
        while (customerOfText.size() <= static_cast<size_t>(customerText)) {
            const int next = static_cast<int>(customerOfText.size());
            customerOfText.push_back(customerIds.idOf(customerTexts.text(next)));
        }
        return customerOfText[static_cast<size_t>(customerText)];
    }

    LineGroup &groupOf(int customerText, int itemId, int itemText)
    {
        const int customerId = customerIdOf(customerText);
        const quint64 key = (static_cast<quint64>(static_cast<quint32>(customerId)) << 32) |
                            static_cast<quint32>(itemId);
        const int found = m_groupOf.findOrAdd(key, static_cast<int>(groups.size()));
        if (found >= 0)
            return groups[static_cast<size_t>(found)];
        LineGroup &group = groups.emplace_back();
        group.customerText = customerText;
        group.customerId = customerId;
        group.itemId = itemId;
        group.listIdText = itemText;
        return group;
    }

    // The stored form of a date sorts as the dates do; id 0 or -1 is no date.
    void addDate(DateSpan &span, int first, int last) const
    {
        if (first > 0 && (span.first < 0 || dateTexts.bytes(first) < dateTexts.bytes(span.first)))
            span.first = first;
        if (last > 0 && (span.last < 0 || dateTexts.bytes(last) > dateTexts.bytes(span.last)))
            span.last = last;
    }

    const CaseKeyIds &m_listedItems;
    std::vector<int> itemOfText{-1}; // item text → listed item id, or -1
    std::vector<int> customerOfText; // customer text → customer id
    GroupTable m_groupOf;
};

} // namespace corvina::itemaging
