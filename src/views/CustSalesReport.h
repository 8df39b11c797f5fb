#pragma once

#include "reporting/ReportLayout.h"

namespace corvina {

// DataReport4, "Customer Sales By State": a block per customer with its billing details,
// a line per invoice (date, number, total, sales rep) and the customer's total.
reporting::ReportLayout customerSalesReportLayout();

} // namespace corvina
