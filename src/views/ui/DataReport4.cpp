#include "views/ui/DataReport4.h"

#include "base/Error.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"
#include "views/CustSales.h"
#include "views/CustSalesReport.h"

namespace corvina {

reporting::ReportPreview *showCustSales(ProgramState &state, QWidget *parent)
{
    try {
        auto result = GetCustSales(state);
        auto *preview = reporting::showReport(result, customerSalesReportLayout(), parent);
        preview->setObjectName(QStringLiteral("DataReport4"));
        return preview;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetCustSales"), e.description(), e.number(), e.step());
        return nullptr;
    }
}

} // namespace corvina
