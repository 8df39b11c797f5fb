#include "reporting/ReportPages.h"
#include "reporting/MemoryRows.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace corvina::reporting;
using namespace Qt::StringLiterals;

namespace {

// Sections with round heights on a page whose body holds exactly 1000 twips between the
// page header and the page footer, so every break below is worked out by hand.
//   RH 100, PH 50, GH 200, D 100, GF 100, PF 50, RF 150; page 1200 with margins of 50.
ReportLayout groupedLayout()
{
    return ReportLayout{
        .caption = u"Sales"_s,
        .margins = {.left = 50, .right = 50, .top = 50, .bottom = 50},
        .sections =
            {
                section(SectionKind::ReportHeader, u"RH"_s, 100,
                        {label(u"Title"_s, u"Sales"_s, {0, 0, 1000, 100})}),
                section(SectionKind::PageHeader, u"PH"_s, 50),
                section(SectionKind::GroupHeader, u"GH"_s, 200,
                        {textBox(u"Name"_s, u"Name"_s, {0, 0, 500, 100})}),
                detailSection(
                    u"D"_s, 100, u"Child"_s,
                    {textBox(u"Amt"_s, u"Amt"_s, {0, 0, 500, 100}, Align::Right, u"#,##0.00"_s)}),
                section(SectionKind::GroupFooter, u"GF"_s, 100,
                        {sumFunction(u"Total"_s, u"Amt"_s, {0, 0, 500, 100}, Align::Right,
                                     u"#,##0.00"_s)}),
                section(SectionKind::PageFooter, u"PF"_s, 50),
                section(SectionKind::ReportFooter, u"RF"_s, 150,
                        {sumFunction(u"Grand"_s, u"Amt"_s, {0, 0, 500, 100}, Align::Right,
                                     u"#,##0.00"_s)}),
            },
    };
}

constexpr PageSize smallPage{1000, 1200};

// Parents named A, B, C … with the given numbers of children; child amounts 1, 2, 3 …
std::shared_ptr<MemoryRows> groups(const std::vector<int> &childCounts)
{
    auto rows =
        std::make_shared<MemoryRows>(QStringList{u"Name"_s}, u"Child"_s, QStringList{u"Amt"_s});
    for (size_t g = 0; g < childCounts.size(); ++g) {
        const int row = rows->addRow({QString(QChar(u'A' + static_cast<char16_t>(g)))});
        for (int c = 0; c < childCounts[g]; ++c)
            rows->addChild(row, {double(c + 1)});
    }
    return rows;
}

// A page as "section(row.child)@top" items, e.g. "GH(0)@200", "D(0.1)@500".
QStringList describe(ReportPages &pages, int index)
{
    QStringList items;
    for (const Band &band : pages.page(index)) {
        QString item = pages.sectionOf(band).name;
        if (band.row >= 0)
            item += band.childRow >= 0 ? u"(%1.%2)"_s.arg(band.row).arg(band.childRow)
                                       : u"(%1)"_s.arg(band.row);
        items << item + u"@%1"_s.arg(band.top);
    }
    return items;
}

TEST(ReportPages, SectionsComeInBandOrderWithGroupsAroundTheirDetails)
{
    ReportPages pages(groups({2, 1}), groupedLayout(), {1000, 5000});
    ASSERT_EQ(pages.pageCount(), 1);
    EXPECT_EQ(describe(pages, 0),
              (QStringList{u"RH@50"_s, u"PH@150"_s, u"GH(0)@200"_s, u"D(0.0)@400"_s,
                           u"D(0.1)@500"_s, u"GF(0)@600"_s, u"GH(1)@700"_s, u"D(1.0)@900"_s,
                           u"GF(1)@1000"_s, u"RF@1100"_s, u"PF@4900"_s}));
}

TEST(ReportPages, PageHeaderAndFooterOnEveryPageReportHeaderOnce)
{
    ReportPages pages(groups({3, 3, 3, 3}), groupedLayout(), smallPage);
    const int count = pages.pageCount();
    ASSERT_GE(count, 3);
    for (int p = 0; p < count; ++p) {
        const QStringList items = describe(pages, p);
        const QStringList expectedTop =
            p == 0 ? QStringList{u"RH@50"_s, u"PH@150"_s} : QStringList{u"PH@50"_s};
        EXPECT_EQ(items.mid(0, expectedTop.size()), expectedTop) << "page " << p;
        EXPECT_EQ(items.last(), u"PF@1100") << "page " << p;
        EXPECT_EQ(items.mid(1).filter(u"RH@"_s).size(), 0) << "page " << p;
    }
}

TEST(ReportPages, BreaksBeforeTheSectionThatDoesNotFit)
{
    // Body from 200 (page 1) or 100 (later pages) down to 1100: 900 or 1000 twips.
    ReportPages pages(groups({4, 2}), groupedLayout(), smallPage);
    ASSERT_EQ(pages.pageCount(), 2);
    // GH(1) would fit at 900 but its first detail would not: both move on.
    EXPECT_EQ(describe(pages, 0), (QStringList{u"RH@50"_s, u"PH@150"_s, u"GH(0)@200"_s,
                                               u"D(0.0)@400"_s, u"D(0.1)@500"_s, u"D(0.2)@600"_s,
                                               u"D(0.3)@700"_s, u"GF(0)@800"_s, u"PF@1100"_s}));
    EXPECT_EQ(describe(pages, 1),
              (QStringList{u"PH@50"_s, u"GH(1)@100"_s, u"D(1.0)@300"_s, u"D(1.1)@400"_s,
                           u"GF(1)@500"_s, u"RF@600"_s, u"PF@1100"_s}));
}

TEST(ReportPages, ReportFooterMovesToANewPageWhenFull)
{
    ReportPages pages(groups({6}), groupedLayout(), smallPage);
    // RH, PH, GH 200, six details to 1000, GF to 1100: the report footer needs a page.
    ASSERT_EQ(pages.pageCount(), 2);
    EXPECT_EQ(describe(pages, 1), (QStringList{u"PH@50"_s, u"RF@100"_s, u"PF@1100"_s}));
}

struct KeepCase {
    const char *what;
    std::vector<int> childCounts;
};

class GroupHeaderKeeping : public ::testing::TestWithParam<KeepCase> {};

// Whatever the shape of the groups, no page ends on a group header that has more
// sections to come, every detail prints once and in order, and the report footer is last.
TEST_P(GroupHeaderKeeping, NoPageEndsOnAGroupHeader)
{
    const KeepCase &c = GetParam();
    ReportPages pages(groups(c.childCounts), groupedLayout(), smallPage);
    const int count = pages.pageCount();
    std::vector<std::pair<int, int>> details;
    for (int p = 0; p < count; ++p) {
        const std::vector<Band> &bands = pages.page(p);
        ASSERT_GE(bands.size(), 2u);
        const Band &lastBody = bands[bands.size() - 2];
        EXPECT_NE(pages.sectionOf(lastBody).kind, SectionKind::GroupHeader)
            << c.what << ": page " << p << " ends on "
            << describe(pages, p).join(u' ').toStdString();
        for (const Band &band : bands) {
            if (pages.sectionOf(band).kind == SectionKind::Detail)
                details.emplace_back(band.row, band.childRow);
            EXPECT_LE(band.top + pages.sectionOf(band).height, 1150) << c.what;
        }
    }
    std::vector<std::pair<int, int>> expected;
    for (size_t g = 0; g < c.childCounts.size(); ++g)
        for (int d = 0; d < c.childCounts[g]; ++d)
            expected.emplace_back(static_cast<int>(g), d);
    EXPECT_EQ(details, expected) << c.what;
    EXPECT_EQ(describe(pages, count - 1).filter(u"RF@"_s).size(), 1) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, GroupHeaderKeeping,
    ::testing::Values(KeepCase{"many small groups", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                      KeepCase{"groups without details", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      KeepCase{"mixed", {3, 0, 7, 1, 0, 2, 9, 4, 0, 1, 5}},
                      KeepCase{"long group across pages", {25, 1, 25}},
                      KeepCase{"header lands on the last slot", {5, 2, 5, 2, 5, 2}}));

TEST(ReportPages, WithoutADataMemberTheRowsAreTheDetailsAndGroupsDoNotPrint)
{
    ReportLayout layout = groupedLayout();
    layout.section(SectionKind::Detail)->dataMember.clear();
    auto rows = std::make_shared<MemoryRows>(QStringList{u"Amt"_s});
    for (int i = 0; i < 12; ++i)
        rows->addRow({i + 1});
    ReportPages pages(rows, layout, smallPage);
    ASSERT_EQ(pages.pageCount(), 2);
    EXPECT_EQ(describe(pages, 0).join(u' '),
              u"RH@50 PH@150 D(0)@200 D(1)@300 D(2)@400 D(3)@500 D(4)@600 D(5)@700 D(6)@800 "
              u"D(7)@900 D(8)@1000 PF@1100");
    EXPECT_EQ(describe(pages, 1).join(u' '), u"PH@50 D(9)@100 D(10)@200 D(11)@300 RF@400 PF@1100");
    EXPECT_EQ(pages.controlText(pages.page(0)[2], layout.section(SectionKind::Detail)->controls[0]),
              u"1.00");
    EXPECT_EQ(pages.controlText(pages.page(1)[4], *layout.control(u"Grand"_s)), u"78.00");
}

TEST(ReportPages, AReportWithoutRowsHasOnePage)
{
    ReportPages pages(groups({}), groupedLayout(), smallPage);
    EXPECT_EQ(pages.pageCount(), 1);
    EXPECT_EQ(describe(pages, 0).join(u' '), u"RH@50 PH@150 RF@200 PF@1100");
    EXPECT_FALSE(pages.ensurePage(1));
    ReportPages none(nullptr, groupedLayout(), smallPage);
    EXPECT_EQ(describe(none, 0).join(u' '), u"RH@50 PH@150 RF@200 PF@1100");
}

TEST(ReportPages, HiddenSectionsTakeNoRoom)
{
    ReportLayout layout = groupedLayout();
    layout.section(SectionKind::GroupHeader)->visible = false;
    layout.section(SectionKind::ReportHeader)->visible = false;
    ReportPages pages(groups({1, 1}), layout, smallPage);
    EXPECT_EQ(describe(pages, 0).join(u' '),
              u"PH@50 D(0.0)@100 GF(0)@200 D(1.0)@300 GF(1)@400 RF@500 PF@1100");
}

TEST(ReportPages, ASectionTallerThanThePagePrintsAloneAndPaginationEnds)
{
    ReportLayout layout = groupedLayout();
    layout.section(SectionKind::Detail)->height = 5000;
    ReportPages pages(groups({3}), layout, smallPage);
    // The group header cannot keep with a detail that fits no page, so it stays; then one
    // detail a page, then the group and report footers.
    EXPECT_EQ(pages.pageCount(), 5);
    EXPECT_EQ(describe(pages, 1).join(u' '), u"PH@50 D(0.0)@100 PF@1100");
    EXPECT_EQ(describe(pages, 4).join(u' '), u"PH@50 GF(0)@100 RF@200 PF@1100");
}

TEST(ReportPages, GroupSumsAddTheGroupsDetailsSkippingNulls)
{
    auto rows =
        std::make_shared<MemoryRows>(QStringList{u"Name"_s}, u"Child"_s, QStringList{u"Amt"_s});
    const int a = rows->addRow({u"A"_s});
    rows->addChild(a, {1000.25});
    rows->addChild(a, {QVariant()});
    rows->addChild(a, {u"234.5"_s});
    rows->addChild(a, {-0.1});
    rows->addRow({u"B"_s}); // no invoices
    ReportLayout layout = groupedLayout();
    ReportPages pages(rows, layout, {1000, 5000});
    const std::vector<Band> &bands = pages.page(0);
    const ReportControl &total = *layout.control(u"Total"_s);
    const ReportControl &amount = *layout.control(u"Amt"_s);
    EXPECT_EQ(pages.controlText(bands[7], total), u"1,234.65"); // GF(0)
    EXPECT_EQ(pages.controlText(bands[9], total), u"0.00");     // GF(1): a group without details
    EXPECT_EQ(pages.controlText(bands[4], amount), QString());  // a null amount prints empty
    EXPECT_EQ(pages.controlText(bands[10], *layout.control(u"Grand"_s)), u"1,234.65");
    EXPECT_EQ(pages.controlText(bands[2], *layout.control(u"Name"_s)), u"A");
    EXPECT_EQ(pages.fieldValue(bands[2], u"NAME"_s), QVariant(u"A"_s)); // any case
    EXPECT_FALSE(pages.fieldValue(bands[2], u"Nowhere"_s).isValid());
    EXPECT_FALSE(pages.fieldValue(bands[1], u"Name"_s).isValid()); // page header has no row
}

TEST(ReportPages, PagesAreLaidOutOnlyAsFarAsAsked)
{
    ReportPages pages(groups(std::vector<int>(20000, 5)), groupedLayout(), smallPage);
    ASSERT_TRUE(pages.ensurePage(0));
    EXPECT_EQ(pages.knownPageCount(), 1);
    EXPECT_FALSE(pages.isComplete());
    ASSERT_TRUE(pages.ensurePage(9));
    EXPECT_EQ(pages.knownPageCount(), 10);
    EXPECT_FALSE(pages.paginateMore(5));
    EXPECT_EQ(pages.knownPageCount(), 15);
    const int count = pages.pageCount();
    EXPECT_TRUE(pages.isComplete());
    EXPECT_EQ(count, 20000); // one group of 800 twips a page; the report footer fits the last
    EXPECT_FALSE(pages.ensurePage(count));
    EXPECT_TRUE(pages.paginateMore(1));
}

TEST(ReportLayout, ControlsAreFoundByNameAndCaptionsCanBeSetAtRunTime)
{
    ReportLayout layout = groupedLayout();
    ASSERT_NE(layout.control(u"Title"_s), nullptr);
    layout.control(u"Title"_s)->caption = u"Reps Not Selling Item Widget"_s;
    EXPECT_EQ(layout.section(SectionKind::ReportHeader)->controls[0].caption,
              u"Reps Not Selling Item Widget");
    EXPECT_EQ(layout.control(u"Missing"_s), nullptr);
    EXPECT_EQ(layout.dataMember(), u"Child");
    const ReportControl bold = label(u"L"_s, u"x"_s, {}).withFont({.bold = true});
    EXPECT_EQ(bold.font->family, u"Arial");
    EXPECT_EQ(bold.font->pointSize, 8.25);
}

} // namespace
