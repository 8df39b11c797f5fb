#pragma once

#include "reporting/ReportLayout.h"

namespace corvina {

// DataReport1, "Item Aging Report": per item a header with its name and description, then
// one line per customer (data member "Child") with purchases, totals, last and first
// purchase, state and type.
reporting::ReportLayout itemAgingReportLayout();

} // namespace corvina
