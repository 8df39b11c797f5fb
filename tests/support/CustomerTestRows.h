#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace corvina::test {

// One Customers row for a test; a null QVariant leaves the column empty.
struct CustomerRow {
    QVariant name;
    QVariant state;
    QVariant type;
    QVariant phone = {};
    QVariant balance = {};
};

// Makes QBData.mdb in `folder` (when missing) and adds the rows in the order given, with
// ListIDs "L1", "L2", … in that order.
void insertCustomers(const QString &folder, const std::vector<CustomerRow> &rows);

// `count` customers "Customer 001" … in name order, states cycling CA, NY, TX, types
// Retail, Wholesale; each with a phone.
std::vector<CustomerRow> numberedCustomers(int count);

} // namespace corvina::test
