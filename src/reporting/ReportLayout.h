#pragma once

#include <QString>

#include <optional>
#include <vector>

// The layout of a banded report: sections of fixed height in twips (1440 per inch) holding
// labels, bound text boxes, lines and sums. Plain values, written in code as the report's
// design reads (every member has a default, so designated initialisers may leave any out):
//
//     ReportLayout layout{
//         .caption = u"Reps Not Selling"_s,
//         .sections = {
//             section(SectionKind::PageHeader, u"Section2"_s, 360,
//                     {label(u"Label2"_s, u"Rep"_s, {144, 0, 2736, 288}).withFont(bold)}),
//             section(SectionKind::Detail, u"Section1"_s, 330,
//                     {textBox(u"Text1"_s, u"Rep"_s, {144, 0, 2736, 288})}),
//         },
//     };
namespace corvina::reporting {

enum class SectionKind {
    ReportHeader,
    PageHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    PageFooter,
    ReportFooter
};

enum class ControlKind { Label, TextBox, Line, Function };

enum class Align { Left, Right, Centre };

struct ReportFont {
    QString family = QStringLiteral("Arial");
    double pointSize = 8.25;
    bool bold = false;
    bool italic = false;

    friend bool operator==(const ReportFont &, const ReportFont &) = default;
};

// A box within its section, in twips from the section's top-left corner.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Margins of the page in twips; one inch on each side unless given.
struct TwipMargins {
    int left = 1440;
    int right = 1440;
    int top = 1440;
    int bottom = 1440;
};

struct ReportControl {
    ControlKind kind = ControlKind::Label;
    QString name{};
    // Labels, text boxes and functions: the box the text is clipped to. Lines: unused.
    TwipRect rect{};
    Align align = Align::Left;
    // Empty: the report's default font.
    std::optional<ReportFont> font{};
    bool visible = true;
    // Labels: the text printed.
    QString caption{};
    // Text boxes: the field of the current row. Functions: the field summed.
    QString field{};
    // Text boxes and functions: the format given to formatValue().
    QString format{};
    // Lines: from (x1, y1) to (x2, y2), twips within the section.
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;

    ReportControl withFont(const ReportFont &f) const;
    ReportControl withAlign(Align a) const;
    ReportControl hidden() const;
};

ReportControl label(const QString &name, const QString &caption, TwipRect rect,
                    Align align = Align::Left);
ReportControl textBox(const QString &name, const QString &field, TwipRect rect,
                      Align align = Align::Left, const QString &format = {});
ReportControl line(const QString &name, int x1, int y1, int x2, int y2);
// The sum of `field` over the detail rows of the group (in a group header or footer) or
// of the whole report (in the report header or footer). Null values count as nothing;
// a sum over no rows is 0.
ReportControl sumFunction(const QString &name, const QString &field, TwipRect rect,
                          Align align = Align::Left, const QString &format = {});

struct ReportSection {
    SectionKind kind = SectionKind::Detail;
    QString name{};
    int height = 0;
    bool visible = true;
    // Detail only: the member of the top-level rows holding each group's detail rows
    // ("Child"). Empty: the top-level rows are the details and no group sections print.
    QString dataMember{};
    std::vector<ReportControl> controls{};
};

ReportSection section(SectionKind kind, const QString &name, int height,
                      std::vector<ReportControl> controls = {});
ReportSection detailSection(const QString &name, int height, const QString &dataMember,
                            std::vector<ReportControl> controls = {});

struct ReportLayout {
    // The preview window's title.
    QString caption{};
    TwipMargins margins{};
    // The width of the printed area in twips; empty: the page between the margins.
    std::optional<int> reportWidth{};
    ReportFont defaultFont{};
    // In the order of their kinds; at most one section of each kind.
    std::vector<ReportSection> sections{};

    const ReportSection *section(SectionKind kind) const;
    ReportSection *section(SectionKind kind);
    // The control of that name in any section, or null; for captions set at run time.
    ReportControl *control(const QString &name);
    const ReportControl *control(const QString &name) const;
    // The detail section's data member, or empty.
    QString dataMember() const;
};

} // namespace corvina::reporting
