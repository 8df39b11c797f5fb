#include "analysis/ItemMonthlySales.h"

#include "localdb/Database.h"

#include <QHash>

#include <algorithm>

namespace corvina {

double ItemMonthlySales::total() const
{
    double sum = 0;
    for (const Month &m : months)
        sum += m.sales;
    return sum;
}

double ItemMonthlySales::highest() const
{
    double most = 0;
    for (const Month &m : months)
        most = std::max(most, m.sales);
    return most;
}

ItemMonthlySales itemMonthlySales(Database &db, const ChosenItem &item, QDate first, QDate last)
{
    ItemMonthlySales result{item.name, {}};
    if ((item.name.isEmpty() && item.listId.isEmpty()) || !first.isValid() || !last.isValid() ||
        last < first)
        return result;
    const QDate firstMonth(first.year(), first.month(), 1);
    const QDate afterLast = QDate(last.year(), last.month(), 1).addMonths(1);
    // Dates are stored as ISO text, so the month is the text's first seven characters.
    Statement query = db.prepare(
        QStringLiteral("Select substr(Cast(InvDate As Text), 1, 7), Sum(Amt) From Invoices "
                       "Where %1 And InvDate >= ? And InvDate < ? Group By 1")
            .arg(item.invoiceCondition()));
    query.bind(1, item.invoiceValue());
    query.bind(2, first.startOfDay());
    query.bind(3, last.addDays(1).startOfDay());
    QHash<QString, double> byMonth;
    while (query.step())
        byMonth.insert(query.value(0).toString(), query.value(1).toDouble());
    for (QDate month = firstMonth; month < afterLast; month = month.addMonths(1))
        result.months.push_back(
            {month, byMonth.value(month.toString(QStringLiteral("yyyy-MM")), 0.0)});
    return result;
}

} // namespace corvina
