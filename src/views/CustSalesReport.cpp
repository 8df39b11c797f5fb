#include "views/CustSalesReport.h"

namespace corvina {

using namespace reporting;

namespace {

const ReportFont kTitleFont{QStringLiteral("Arial"), 12, true, true};
const ReportFont kHeadingFont{QStringLiteral("Arial"), 8.25, true, false};

// The group header's rows of caption and field: label name, caption, field box name, field,
// left of the pair (144 or 4320), top, field width.
struct CaptionedField {
    const char16_t *labelName;
    const char16_t *caption;
    const char16_t *boxName;
    const char16_t *field;
    int left;
    int top;
    int fieldWidth;
};

constexpr CaptionedField kCustomerBlock[] = {
    {u"Label6", u"Customer:", u"Text1", u"Name", 144, 144, 5040},
    {u"Label11", u"Addr1:", u"Text9", u"BillAddr1", 144, 432, 1725},
    {u"Label12", u"Addr2:", u"Text10", u"BillAddr2", 4320, 432, 1740},
    {u"Label13", u"Addr3:", u"Text11", u"BillAddr3", 144, 720, 1725},
    {u"Label14", u"Addr4:", u"Text12", u"BillAddr4", 4320, 720, 1740},
    {u"Label7", u"City:", u"Text2", u"BillCity", 144, 1008, 1725},
    {u"Label8", u"State:", u"Text7", u"BillState", 4320, 1008, 1740},
    {u"Label9", u"Zip:", u"Text8", u"BillZip", 144, 1296, 1725},
    {u"Label15", u"Customer Type:", u"Text13", u"CustType", 4320, 1296, 1740},
    {u"Label16", u"Contact:", u"Text14", u"Contact", 144, 1584, 1725},
    {u"Label17", u"Phone:", u"Text15", u"Phone", 4320, 1584, 1740},
};

std::vector<ReportControl> customerBlock()
{
    std::vector<ReportControl> controls{line(QStringLiteral("Line1"), 144, 0, 144 + 7200, 0)};
    for (const auto &f : kCustomerBlock) {
        // The rows at 720 and the zip row are a little taller than the rest.
        const bool tall = f.top == 720 || QStringView(f.field) == u"BillZip";
        const int height = tall ? 300 : 285;
        const int fieldLeft = f.left == 144 ? 1440 : 5616;
        controls.push_back(label(QString::fromUtf16(f.labelName), QString::fromUtf16(f.caption),
                                 {f.left, f.top, 1290, height}));
        controls.push_back(textBox(QString::fromUtf16(f.boxName), QString::fromUtf16(f.field),
                                   {fieldLeft, f.top, f.fieldWidth, height}));
    }
    return controls;
}

} // namespace

ReportLayout customerSalesReportLayout()
{
    const QString money = QStringLiteral("#,##0.00");
    ReportLayout layout;
    layout.caption = QStringLiteral("Customer Sales By State");
    layout.margins = TwipMargins{1440, 1440, 1440, 1440};
    layout.sections = {
        section(SectionKind::ReportHeader, QStringLiteral("Section4"), 435,
                {label(QStringLiteral("Label1"), QStringLiteral("Customer Sales By State, Zip"),
                       {144, 0, 4896, 432})
                     .withFont(kTitleFont)}),
        section(
            SectionKind::PageHeader, QStringLiteral("Section2"), 360,
            {label(QStringLiteral("Label2"), QStringLiteral("Invoice Date"), {432, 0, 1584, 288})
                 .withFont(kHeadingFont),
             label(QStringLiteral("Label3"), QStringLiteral("Invoice Number"), {2160, 0, 1728, 288})
                 .withFont(kHeadingFont),
             label(QStringLiteral("Label4"), QStringLiteral("Amt"), {4032, 0, 1728, 288},
                   Align::Right)
                 .withFont(kHeadingFont),
             label(QStringLiteral("Label5"), QStringLiteral("Sales Rep"), {5904, 0, 1296, 288})
                 .withFont(kHeadingFont)}),
        section(SectionKind::GroupHeader, QStringLiteral("Section6"), 1869, customerBlock()),
        detailSection(
            QStringLiteral("Section1"), 330, QStringLiteral("Child"),
            {textBox(QStringLiteral("Text3"), QStringLiteral("LDate"), {432, 0, 1584, 288}),
             textBox(QStringLiteral("Text4"), QStringLiteral("InvNo"), {2160, 0, 1728, 288}),
             textBox(QStringLiteral("Text5"), QStringLiteral("TotAmt"), {4032, 0, 1728, 288},
                     Align::Right, money),
             textBox(QStringLiteral("Text6"), QStringLiteral("LRep"), {5904, 0, 1296, 288})}),
        section(SectionKind::GroupFooter, QStringLiteral("Section7"), 360,
                {label(QStringLiteral("Label10"), QStringLiteral("Customer Total"),
                       {2160, 0, 1728, 288}),
                 sumFunction(QStringLiteral("Function1"), QStringLiteral("TotAmt"),
                             {4032, 0, 1728, 288}, Align::Right, money)}),
        section(SectionKind::PageFooter, QStringLiteral("Section3"), 360),
        section(SectionKind::ReportFooter, QStringLiteral("Section5"), 360),
    };
    return layout;
}

} // namespace corvina
