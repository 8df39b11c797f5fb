#include "analysis/campaign/ui/CampaignLabels.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/Database.h"
#include "reporting/labels/MailingList.h"
#include "state/ProgramState.h"
#include "views/CustomerList.h"
#include "views/ui/MailingLabels.h"

namespace corvina {

// The list's customers are looked up again by ListID, so the labels carry the addresses as
// Customers holds them and a customer listed twice (once per item, say) gets one label.
void showCampaignLabels(ProgramState &state, CustomerList &list, const QString &title,
                        QWidget *parent)
{
    const int listIdColumn = static_cast<int>(list.columnNames().indexOf(QStringLiteral("ListID")));
    QStringList listIds;
    if (listIdColumn >= 0) {
        for (int row = 0; row < list.rowCount(); ++row)
            listIds << list.value(row, listIdColumn).toString();
    }
    try {
        Database db =
            Database::open(state.appFile(QStringLiteral("QBData.mdb")), Database::Mode::ReadOnly);
        showMailingLabels(state, mailingListForCustomerIds(db, listIds, title), parent);
    } catch (const Error &error) {
        state.screen().message(QStringLiteral("The customers could not be read: ") +
                                   error.description(),
                               QStringLiteral("Mailing Labels"), Buttons::Ok);
    }
}

} // namespace corvina
