#pragma once

#include <QString>

class QWidget;

namespace corvina {

class CustomerList;
class ProgramState;

// "Mailing &Labels" of the Campaign Lists window: previews mailing labels for the customers
// of `list` (every column of Customers, in the list's order), titled `title`. The list
// must stay alive while the call runs.
void showCampaignLabels(ProgramState &state, CustomerList &list, const QString &title,
                        QWidget *parent);

} // namespace corvina
