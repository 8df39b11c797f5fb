#pragma once

#include "analysis/ChosenItem.h"

#include <QDate>
#include <QString>

#include <vector>

namespace corvina {

class Database;

// The sales of one item by calendar month over a period: every month from the period's
// first to its last, months without sales at 0.
struct ItemMonthlySales {
    struct Month {
        QDate month; // the first day of the month
        double sales = 0;
    };

    QString item;
    std::vector<Month> months;

    double total() const;
    double highest() const;
};

// Sums Invoices.Amt of the item's lines (matched as ChosenItem says) dated within
// [first, last] by month. An empty item or period gives no months. Throws Error when the
// database cannot be read.
ItemMonthlySales itemMonthlySales(Database &db, const ChosenItem &item, QDate first, QDate last);

} // namespace corvina
