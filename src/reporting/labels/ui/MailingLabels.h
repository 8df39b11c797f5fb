#pragma once

#include "reporting/labels/MailingList.h"

class QWidget;

namespace corvina {

class ProgramState;

// Opens the mailing-labels preview for the list, not waiting: a line above the pages says
// how many labels there are, how many entries were left out for want of a usable address
// and how many labels were shortened to fit; the sheet (US Letter 30 labels of
// 2.625 x 1 in, or A4 21 labels of 63.5 x 38.1 mm) is chosen in the window, which prints
// or saves a PDF. The window deletes itself when closed.
void showMailingLabels(ProgramState &state, const MailingList &list, QWidget *parent = nullptr);

} // namespace corvina
