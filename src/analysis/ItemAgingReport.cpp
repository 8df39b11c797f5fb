#include "analysis/ItemAgingReport.h"

namespace corvina {

using namespace reporting;

namespace {

const ReportFont kTitleFont{QStringLiteral("Times New Roman"), 14.25, true, true};

// One column of the customer lines: heading caption, field, left, width, height, alignment
// and format.
struct CustomerColumn {
    const char16_t *caption;
    const char16_t *field;
    int left;
    int width;
    int height;
    Align align;
    const char16_t *format;
};

constexpr CustomerColumn kColumns[] = {
    {u"Customer", u"Customer", 144, 2880, 285, Align::Left, u""},
    {u"Purchases", u"Purchases", 3024, 1005, 285, Align::Right, u""},
    {u"Qty Total", u"QtyTot", 4032, 855, 285, Align::Right, u""},
    {u"Sales Total", u"SalesTot", 4896, 1005, 285, Align::Right, u"#,##0.00"},
    {u"LastPurch", u"LastPurch", 5904, 1005, 285, Align::Right, u"M/dd/yy"},
    {u"FirstPurch", u"FirstPurch", 6912, 1155, 285, Align::Right, u"M/dd/yy"},
    {u"State", u"State", 8064, 570, 285, Align::Centre, u""},
    {u"Type", u"Type", 8640, 720, 288, Align::Left, u""},
};

std::vector<ReportControl> headings()
{
    std::vector<ReportControl> controls;
    int n = 2;
    for (const auto &c : kColumns)
        controls.push_back(label(QStringLiteral("Label%1").arg(n++), QString::fromUtf16(c.caption),
                                 {c.left, 0, c.width, c.height}, c.align));
    return controls;
}

std::vector<ReportControl> customerLine()
{
    std::vector<ReportControl> controls;
    int n = 3;
    for (const auto &c : kColumns)
        controls.push_back(textBox(QStringLiteral("Text%1").arg(n++), QString::fromUtf16(c.field),
                                   {c.left, 0, c.width, c.height}, c.align,
                                   QString::fromUtf16(c.format)));
    return controls;
}

} // namespace

ReportLayout itemAgingReportLayout()
{
    ReportLayout layout;
    layout.caption = QStringLiteral("Item Aging Report");
    layout.margins = TwipMargins{1200, 1200, 1440, 1440};
    layout.reportWidth = 9375;
    layout.sections = {
        section(SectionKind::ReportHeader, QStringLiteral("Section6"), 435,
                {label(QStringLiteral("Label1"), QStringLiteral("Item Analyzer"), {0, 0, 5460, 435})
                     .withFont(kTitleFont)}),
        section(SectionKind::PageHeader, QStringLiteral("Section4"), 576, headings()),
        section(SectionKind::GroupHeader, QStringLiteral("Section2"), 432,
                {label(QStringLiteral("Label10"), QStringLiteral("Item:"), {0, 0, 576, 288}),
                 textBox(QStringLiteral("Text1"), QStringLiteral("Name"), {576, 0, 2160, 285}),
                 textBox(QStringLiteral("Text2"), QStringLiteral("Desc"), {2736, 0, 3750, 285})}),
        detailSection(QStringLiteral("Section1"), 363, QStringLiteral("Child"), customerLine()),
        section(SectionKind::GroupFooter, QStringLiteral("Section3"), 15),
        section(SectionKind::PageFooter, QStringLiteral("Section5"), 285),
        section(SectionKind::ReportFooter, QStringLiteral("Section7"), 360),
    };
    return layout;
}

} // namespace corvina
