#pragma once

#include "analysis/campaign/CampaignLists.h"
#include "localdb/Recordset.h"

#include <QString>

namespace corvina {

class Database;
class Screen;

// Where a campaign list goes: the table CampaignCustomers for mail merge, the workbook
// CampaignCustomers.xlsx, and the customer field printing.
namespace campaign {
inline const QString kTable = QStringLiteral("CampaignCustomers");
inline const QString kExportFile = QStringLiteral("CampaignCustomers.xlsx");
inline const QString kReasonColumn = QStringLiteral("Reason");
} // namespace campaign

// Every column of Customers for the list's customers, in the list's order, followed by the
// column Reason with each row's reason. Database failures throw Error.
Recordset campaignCustomerRows(Database &db, const CampaignData &data, const CampaignResult &list);

// Replaces the rows of CampaignCustomers with `rows` (from campaignCustomerRows), each with
// List set to `listTitle`, in one transaction. When the table holds rows of an earlier save
// the user is asked first ("Delete Previous Data"); on No nothing changes. On success
// "Customers Added" is shown. Returns whether the table was written. Failures throw Error
// and leave the earlier rows.
bool saveCampaignList(Database &db, Screen &screen, const Recordset &rows,
                      const QString &listTitle);

// Writes the title (row 1, bold italic), the column names (row 3, bold) and every column of
// `rows` from row 5 into `folder`/CampaignCustomers.xlsx and tells the user where it went
// ("Export Complete") or why it failed ("Export Failed"). Returns whether it was saved.
bool exportCampaignList(Screen &screen, const Recordset &rows, const QString &title,
                        const QString &folder);

} // namespace corvina
