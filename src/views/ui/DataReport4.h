#pragma once

class QWidget;

namespace corvina {

class ProgramState;

namespace reporting {
class ReportPreview;
}

// Builds the customer sales result afresh and shows it in the DataReport4 preview, not
// waiting. A database that cannot be read goes to the error report; returns null then.
reporting::ReportPreview *showCustSales(ProgramState &state, QWidget *parent = nullptr);

} // namespace corvina
