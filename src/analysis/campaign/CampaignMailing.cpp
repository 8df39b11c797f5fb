#include "analysis/campaign/CampaignMailing.h"

#include "analysis/CustsNotBuying.h"
#include "base/Screen.h"
#include "localdb/Database.h"
#include "localdb/TableReplace.h"
#include "reporting/Workbook.h"

#include <QDir>

namespace corvina {

Recordset campaignCustomerRows(Database &db, const CampaignData &data, const CampaignResult &list)
{
    // The list's customers go into a temporary table, so one query reads their rows in the
    // list's order with every column of Customers, whatever columns the file has.
    db.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS CampaignRows "
                              "(Position INTEGER PRIMARY KEY, CustomerRow INTEGER, Reason TEXT);"
                              "DELETE FROM temp.CampaignRows"));
    {
        Transaction transaction(db);
        Statement insert = db.prepare(QStringLiteral(
            "INSERT INTO temp.CampaignRows (Position, CustomerRow, Reason) VALUES (?, ?, ?)"));
        std::int64_t position = 0;
        for (const CampaignRow &row : list.rows) {
            insert.bindInt64(1, position++)
                .bindInt64(2, data.customers()[static_cast<size_t>(row.customer)].rowid)
                .bindText(3, row.reason.toUtf8());
            insert.run();
            insert.reset();
        }
        transaction.commit();
    }
    Recordset rows = Recordset::fromQuery(
        db, QStringLiteral("SELECT c.*, r.Reason AS \"%1\" FROM temp.CampaignRows r "
                           "JOIN Customers c ON c.rowid = r.CustomerRow ORDER BY r.Position")
                .arg(campaign::kReasonColumn));
    db.execute(QStringLiteral("DELETE FROM temp.CampaignRows"));
    rows.moveFirst();
    return rows;
}

bool saveCampaignList(Database &db, Screen &screen, const Recordset &rows, const QString &listTitle)
{
    const auto confirm = [&screen](const QVariant &previous) {
        return screen.message(
                   QStringLiteral("All previously saved customers of the list \"%1\" will be "
                                  "deleted. Proceed?")
                       .arg(previous.toString()),
                   QStringLiteral("Delete Previous Data"), Buttons::YesNo) == Answer::Yes;
    };
    if (!replaceTableRows(db, campaign::kTable, rows, QStringLiteral("Customers"),
                          QStringLiteral("List"), listTitle, confirm))
        return false;
    screen.message(QStringLiteral("The %1 customers of the list \"%2\" have been added to the "
                                  "CampaignCustomers table in the database QBData.mdb. Reference "
                                  "these in your mail merge document(s).")
                       .arg(rows.storedRowCount())
                       .arg(listTitle),
                   QStringLiteral("Customers Added"), Buttons::Ok);
    return true;
}

bool exportCampaignList(Screen &screen, const Recordset &rows, const QString &title,
                        const QString &folder)
{
    return exportCustomerRows(screen, rows, title, folder, campaign::kExportFile);
}

} // namespace corvina
