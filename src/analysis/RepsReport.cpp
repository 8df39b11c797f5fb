#include "analysis/RepsReport.h"

namespace corvina {

using namespace reporting;

ReportLayout repsNotSellingReportLayout()
{
    const ReportFont title{QStringLiteral("Arial"), 12, true, true};
    const ReportFont heading{QStringLiteral("Arial"), 8.25, true, false};
    ReportLayout layout;
    layout.caption = QStringLiteral("Reps Not Selling");
    layout.margins = TwipMargins{1440, 1440, 1440, 1440};
    layout.sections = {
        section(SectionKind::ReportHeader, QStringLiteral("Section4"), 435,
                {label(QStringLiteral("Label1"), QString(), {144, 0, 6768, 432}).withFont(title)}),
        section(SectionKind::PageHeader, QStringLiteral("Section2"), 360,
                {label(QStringLiteral("Label2"), QStringLiteral("Rep"), {144, 0, 2736, 288})
                     .withFont(heading),
                 label(QStringLiteral("Label3"), QStringLiteral("Name"), {3024, 0, 3168, 288})
                     .withFont(heading)}),
        detailSection(
            QStringLiteral("Section1"), 330, QString(),
            {textBox(QStringLiteral("Text1"), QStringLiteral("Rep"), {144, 0, 2736, 288}),
             textBox(QStringLiteral("Text2"), QStringLiteral("Name"), {3024, 0, 3168, 288})}),
        section(SectionKind::PageFooter, QStringLiteral("Section3"), 360),
        section(SectionKind::ReportFooter, QStringLiteral("Section5"), 360),
    };
    return layout;
}

} // namespace corvina
