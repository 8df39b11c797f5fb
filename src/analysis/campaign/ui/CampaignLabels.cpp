#include "analysis/campaign/ui/CampaignLabels.h"

#include "shell/ProgramState.h"
#include "shell/Screen.h"

namespace corvina {

// Mailing labels are laid out and previewed by the labels module; until it is part of the
// program the button says so instead of doing nothing.
void showCampaignLabels(ProgramState &state, CustomerList &, const QString &, QWidget *)
{
    state.screen().message(QStringLiteral("Mailing labels cannot be printed from this version of the program."),
                           QStringLiteral("Mailing Labels"), Buttons::Ok);
}

} // namespace corvina
