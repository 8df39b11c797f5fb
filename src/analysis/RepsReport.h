#pragma once

#include "reporting/ReportLayout.h"

namespace corvina {

// DataReport3, "Reps Not Selling": each rep's short name and name under a title that the
// caller sets at run time (control Label1).
reporting::ReportLayout repsNotSellingReportLayout();

} // namespace corvina
