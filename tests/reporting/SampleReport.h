#pragma once

#include "reporting/MemoryRows.h"
#include "reporting/ReportLayout.h"

#include <QDate>

#include <memory>

// A customer sales report for the engine's tests: customers with their invoices, a title,
// column headings, a block per customer, one line per invoice and a total per customer.
namespace corvina::reporting::test {

inline ReportLayout salesLayout()
{
    using namespace Qt::StringLiterals;
    const ReportFont bold{.bold = true};
    return ReportLayout{
        .caption = u"Customer Sales By State"_s,
        .sections =
            {
                section(SectionKind::ReportHeader, u"Section4"_s, 435,
                        {label(u"Label1"_s, u"Customer Sales By State, Zip"_s, {144, 0, 4896, 432})
                             .withFont({.pointSize = 12, .bold = true, .italic = true})}),
                section(
                    SectionKind::PageHeader, u"Section2"_s, 360,
                    {label(u"Label2"_s, u"Invoice Date"_s, {432, 0, 1584, 288}).withFont(bold),
                     label(u"Label3"_s, u"Invoice Number"_s, {2160, 0, 1728, 288}).withFont(bold),
                     label(u"Label4"_s, u"Amt"_s, {4032, 0, 1728, 288}, Align::Right)
                         .withFont(bold),
                     label(u"Label5"_s, u"Sales Rep"_s, {5904, 0, 1296, 288}).withFont(bold)}),
                section(SectionKind::GroupHeader, u"Section6"_s, 1000,
                        {line(u"Line1"_s, 144, 0, 7344, 0),
                         label(u"Label6"_s, u"Customer:"_s, {144, 144, 1290, 285}),
                         textBox(u"Text1"_s, u"Name"_s, {1440, 144, 5040, 285}),
                         label(u"Label8"_s, u"State:"_s, {144, 432, 1290, 285}),
                         textBox(u"Text7"_s, u"BillState"_s, {1440, 432, 1725, 285})}),
                detailSection(u"Section1"_s, 330, u"Child"_s,
                              {textBox(u"Text3"_s, u"LDate"_s, {432, 0, 1584, 288}),
                               textBox(u"Text4"_s, u"InvNo"_s, {2160, 0, 1728, 288}),
                               textBox(u"Text5"_s, u"TotAmt"_s, {4032, 0, 1728, 288}, Align::Right,
                                       u"#,##0.00"_s),
                               textBox(u"Text6"_s, u"LRep"_s, {5904, 0, 1296, 288})}),
                section(SectionKind::GroupFooter, u"Section7"_s, 360,
                        {label(u"Label10"_s, u"Customer Total"_s, {2160, 0, 1728, 288}),
                         sumFunction(u"Function1"_s, u"TotAmt"_s, {4032, 0, 1728, 288},
                                     Align::Right, u"#,##0.00"_s)}),
                section(SectionKind::PageFooter, u"Section3"_s, 360),
                section(SectionKind::ReportFooter, u"Section5"_s, 360),
            },
    };
}

// `customers` customers named "Customer 001" … in states "S01" …, each with `invoices`
// invoices numbered "<customer>-<n>" of 1000.25 × n.
inline std::shared_ptr<MemoryRows> salesRows(int customers, int invoices)
{
    using namespace Qt::StringLiterals;
    auto rows = std::make_shared<MemoryRows>(
        QStringList{u"Name"_s, u"BillState"_s}, u"Child"_s,
        QStringList{u"LDate"_s, u"InvNo"_s, u"TotAmt"_s, u"LRep"_s, u"CustListID"_s});
    for (int c = 1; c <= customers; ++c) {
        const QString number = u"%1"_s.arg(c, 3, 10, QLatin1Char('0'));
        const int row = rows->addRow({u"Customer "_s + number, u"S"_s + number.right(2)});
        for (int i = 1; i <= invoices; ++i)
            rows->addChild(row, {QDate(2024, 1, 1).addDays(c + i), u"%1-%2"_s.arg(c).arg(i),
                                 1000.25 * i, u"RB"_s, number});
    }
    return rows;
}

} // namespace corvina::reporting::test
