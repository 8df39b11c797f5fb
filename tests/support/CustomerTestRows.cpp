#include "CustomerTestRows.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"

namespace corvina::test {

void insertCustomers(const QString &folder, const std::vector<CustomerRow> &rows)
{
    ensureLocalDb(folder);
    Database db = openLocalDb(folder);
    Transaction transaction(db);
    const int start = static_cast<int>(db.countRows(QStringLiteral("Customers")));
    Statement insert =
        db.prepare(QStringLiteral("Insert Into Customers (ListID, Name, BillState, CustType, "
                                  "Phone, OpenBalance) Values (?, ?, ?, ?, ?, ?)"));
    int n = start;
    for (const CustomerRow &row : rows) {
        insert.bindAll({QStringLiteral("L%1").arg(++n), row.name, row.state, row.type, row.phone,
                        row.balance});
        insert.run();
        insert.reset();
    }
    transaction.commit();
}

std::vector<CustomerRow> numberedCustomers(int count)
{
    static const QString states[] = {QStringLiteral("CA"), QStringLiteral("NY"),
                                     QStringLiteral("TX")};
    static const QString types[] = {QStringLiteral("Retail"), QStringLiteral("Wholesale")};
    std::vector<CustomerRow> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({QStringLiteral("Customer %1").arg(i, 3, 10, QLatin1Char('0')),
                        states[i % 3], types[i % 2],
                        QStringLiteral("555-%1").arg(i, 4, 10, QLatin1Char('0'))});
    }
    return rows;
}

} // namespace corvina::test
