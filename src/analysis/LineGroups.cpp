#include "analysis/LineGroups.h"

namespace corvina::itemaging {

namespace {

enum LineColumn { LineCustomer, LineItem, LineInvNo, LineQty, LineAmt, LineDate, LineClass };

} // namespace

void LineGroups::read(Database &db, qint64 fromRowid, qint64 toRowid)
{
    Statement lines = db.prepare(
        QStringLiteral("Select Customer, ItemRefID, InvNo, Qty, Amt, Cast(InvDate As Text), "
                       "Class From Invoices Where rowid Between ?1 And ?2 Order By rowid"));
    lines.bindInt64(1, fromRowid);
    lines.bindInt64(2, toRowid);
    while (lines.step()) {
        const int date = dateTexts.idOf(lines, LineDate);
        addDate(period, date, date); // every line counts for the period
        const int itemText = itemTexts.idOf(lines, LineItem);
        const int itemId = listedItemOf(itemText);
        if (itemId < 0)
            continue;
        const int customerText = customerTexts.idOf(lines, LineCustomer);
        LineGroup &group = groupOf(customerText, itemId, itemText);
        if (!lines.isNull(LineInvNo))
            ++group.purchases;
        if (!lines.isNull(LineQty)) {
            group.qty += lines.real(LineQty);
            group.hasQty = true;
        }
        if (!lines.isNull(LineAmt)) {
            group.amt += lines.real(LineAmt);
            group.hasAmt = true;
        }
        addDate(group.dates, date, date);
        group.lineClass = classTexts.idOf(lines, LineClass);
    }
}

void LineGroups::absorb(const LineGroups &later)
{
    const auto mapTexts = [](TextDictionary &into, const TextDictionary &from) {
        std::vector<int> ids(static_cast<size_t>(from.size()), 0);
        for (int t = 1; t < from.size(); ++t)
            ids[static_cast<size_t>(t)] = into.idOf(from.bytes(t));
        return ids;
    };
    const std::vector<int> customerText = mapTexts(customerTexts, later.customerTexts);
    const std::vector<int> itemText = mapTexts(itemTexts, later.itemTexts);
    const std::vector<int> dateText = mapTexts(dateTexts, later.dateTexts);
    const std::vector<int> classText = mapTexts(classTexts, later.classTexts);
    const auto mapped = [](const std::vector<int> &ids, int id) {
        return id < 0 ? id : ids[static_cast<size_t>(id)];
    };
    addDate(period, mapped(dateText, later.period.first), mapped(dateText, later.period.last));
    for (const LineGroup &from : later.groups) {
        const int customer = customerText[static_cast<size_t>(from.customerText)];
        LineGroup &group =
            groupOf(customer, from.itemId, itemText[static_cast<size_t>(from.listIdText)]);
        group.purchases += from.purchases;
        group.qty += from.qty;
        group.hasQty = group.hasQty || from.hasQty;
        group.amt += from.amt;
        group.hasAmt = group.hasAmt || from.hasAmt;
        addDate(group.dates, mapped(dateText, from.dates.first), mapped(dateText, from.dates.last));
        group.lineClass = mapped(classText, from.lineClass); // the later line's class
    }
}

} // namespace corvina::itemaging
