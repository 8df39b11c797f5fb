#include "views/CustomerList.h"
#include "views/FieldPrintJob.h"
#include "views/FieldPrintLayout.h"
#include "views/FieldPrintSurface.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvina;

namespace {

// A list held in memory.
class FakeList : public CustomerList {
public:
    FakeList(QStringList columns, int rows) : m_columns(std::move(columns)), m_rows(rows) {}
    QStringList columnNames() const override { return m_columns; }
    int rowCount() const override { return m_rows; }
    QVariant value(int row, int column) const override
    {
        return QStringLiteral("%1-%2").arg(m_columns.value(column)).arg(row + 1);
    }
    int currentRow() const override { return m_current; }
    void setCurrentRow(int row) override { m_current = row; }

private:
    QStringList m_columns;
    int m_rows;
    int m_current = -1;
};

// A surface with simple metrics that records what is drawn: a line is 0.02 inch per point
// of font size high (0.2 at 10 points) and a character 0.01 inch per point wide.
class RecordingSurface : public FieldPrintSurface {
public:
    struct Op {
        enum Kind { Text, Rule, NewPage, End, Clear } kind;
        double x = 0;
        double y = 0;
        QString text;
        bool bold = false;
        bool italic = false;
        double size = 0;
        double x2 = 0;
    };

    RecordingSurface(double width, double height) : m_width(width), m_height(height) {}

    double pageWidth() const override { return m_width; }
    double pageHeight() const override { return m_height; }
    double fontSize() const override { return m_size; }
    void setFontSize(double points) override { m_size = points; }
    void setBold(bool bold) override { m_bold = bold; }
    void setItalic(bool italic) override { m_italic = italic; }
    double x() const override { return m_x; }
    double y() const override { return m_y; }
    void setX(double x) override { m_x = x; }
    void setY(double y) override { m_y = y; }
    double textWidth(const QString &text) const override
    {
        return 0.01 * m_size * static_cast<double>(text.size());
    }
    void print(const QString &text) override
    {
        if (!text.isEmpty())
            ops.push_back({Op::Text, m_x, m_y, text, m_bold, m_italic, m_size});
        m_x += textWidth(text);
    }
    void printLine(const QString &text) override
    {
        print(text);
        m_x = 0;
        m_y += 0.02 * m_size;
    }
    void drawLine(double x1, double x2, double y) override
    {
        ops.push_back({Op::Rule, x1, y, {}, false, false, 0, x2});
    }
    void newPage() override
    {
        mark(Op::NewPage);
        m_x = m_y = 0;
    }
    void endDocument() override { mark(Op::End); }
    void clear() override
    {
        mark(Op::Clear);
        m_x = m_y = 0;
    }

    std::vector<Op> texts() const
    {
        std::vector<Op> found;
        for (const Op &op : ops)
            if (op.kind == Op::Text)
                found.push_back(op);
        return found;
    }
    const Op *find(const QString &text) const
    {
        for (const Op &op : ops)
            if (op.kind == Op::Text && op.text == text)
                return &op;
        return nullptr;
    }
    int count(Op::Kind kind) const
    {
        return static_cast<int>(std::count_if(ops.begin(), ops.end(),
                                              [kind](const Op &op) { return op.kind == kind; }));
    }

    std::vector<Op> ops;

private:
    void mark(Op::Kind kind)
    {
        Op op{};
        op.kind = kind;
        ops.push_back(op);
    }

    double m_width;
    double m_height;
    double m_size = 10;
    bool m_bold = false;
    bool m_italic = false;
    double m_x = 0;
    double m_y = 0;
};

const QStringList kColumns = {QStringLiteral("ListID"), QStringLiteral("Name"),
                              QStringLiteral("Phone"), QStringLiteral("Email"),
                              QStringLiteral("BillState")};
constexpr double kH = 0.2;

// With no header lines the blocks start after the title (0.4 at 20 points) and two empty
// lines: at 0.8 inch.
constexpr double kFirstBlockTop = 0.8;

} // namespace

TEST(RoundHalfEven, RoundsHalvesToTheEvenNumber)
{
    const std::vector<std::pair<double, int>> cases = {{0, 0},    {0.5, 0},  {1, 1},   {1.5, 2},
                                                       {2.5, 2},  {3.5, 4},  {4.4, 4}, {4.6, 5},
                                                       {-0.5, 0}, {-1.5, -2}};
    for (const auto &[value, rounded] : cases)
        EXPECT_EQ(roundHalfEven(value), rounded) << value;
}

TEST(FieldPrintLayout, ValuesForEachFieldCount)
{
    struct Case {
        int fields;
        int r;
        int perPage;
        int onFirst;
    };
    // Page 8.5 × 11 in, H 0.2, header ending at 1.3: room 10.6 on later pages, 9.3 on the first.
    for (const Case &c :
         {Case{1, 0, 26, 23}, Case{2, 1, 17, 15}, Case{3, 2, 13, 11}, Case{4, 2, 13, 11},
          Case{5, 2, 13, 11}, Case{6, 3, 10, 9}, Case{7, 4, 8, 7}, Case{49, 24, 2, 1}}) {
        SCOPED_TRACE(c.fields);
        const auto layout = FieldPrintLayout::compute({kH, 8.5, 11, 1.3, c.fields, 0});
        EXPECT_EQ(layout.halfFields, c.r);
        EXPECT_DOUBLE_EQ(layout.blockHeight, kH * (c.r + 2));
        EXPECT_EQ(layout.blocksPerPage, c.perPage);
        EXPECT_EQ(layout.blocksOnFirstPage, c.onFirst);
    }
}

TEST(FieldPrintLayout, TheLastPageHoldsTheLastCustomer)
{
    // Four fields: 11 blocks on the first page, 13 on each later one.
    const std::vector<std::pair<int, int>> cases = {{0, 1},  {1, 1},  {11, 1}, {12, 2}, {17, 2},
                                                    {24, 2}, {25, 3}, {37, 3}, {38, 4}};
    for (const auto &[rows, pages] : cases) {
        const auto layout = FieldPrintLayout::compute({kH, 8.5, 11, 1.3, 4, rows});
        EXPECT_EQ(layout.pageCount, pages) << rows << " rows";
        // Every customer on exactly one page, in order.
        int next = 0;
        for (int page = 1; page <= layout.pageCount; ++page) {
            EXPECT_EQ(layout.firstRowOf(page), next);
            next = layout.endRowOf(page, rows);
        }
        EXPECT_EQ(next, rows);
    }
}

TEST(FieldPrintLayout, ColumnsShrinkToANarrowPageAndAPageAlwaysTakesABlock)
{
    const auto wide = FieldPrintLayout::compute({kH, 8.5, 11, 1, 4, 0});
    EXPECT_DOUBLE_EQ(wide.scale, 1);
    EXPECT_DOUBLE_EQ(wide.x1, 0.75);
    EXPECT_DOUBLE_EQ(wide.x2, 1.75);
    EXPECT_DOUBLE_EQ(wide.x3, 4.75);
    EXPECT_DOUBLE_EQ(wide.x4, 5.75);

    const auto narrow = FieldPrintLayout::compute({kH, 6, 11, 1, 4, 0});
    EXPECT_NEAR(narrow.scale, 0.81, 1e-9);
    EXPECT_NEAR(narrow.x1, (6 - 7 * 0.81) / 2, 1e-9);
    EXPECT_NEAR(narrow.x4, narrow.x1 + 5 * 0.81, 1e-9);

    const auto tiny = FieldPrintLayout::compute({kH, 8.5, 0.5, 0.45, 10, 5});
    EXPECT_EQ(tiny.blocksPerPage, 1);
    EXPECT_EQ(tiny.blocksOnFirstPage, 1);
    EXPECT_EQ(tiny.pageCount, 5);
}

TEST(FieldPrintJob, FourFieldBlockIsNameLineTwoPairsOnePairRuleAndEmptyLine)
{
    FakeList list(kColumns, 3);
    FieldPrintJob job(list, {1, 2, 3, 4}, {QStringLiteral("Customer Data"), {}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    surface.ops.clear();
    job.drawPage(surface, 1);

    const auto &at = job.layout();
    EXPECT_EQ(at.halfFields, 2);
    EXPECT_DOUBLE_EQ(at.lineHeight, kH);
    using Op = RecordingSurface::Op;
    const auto expectText = [&](const QString &text, double x, double y, bool bold) {
        SCOPED_TRACE(text.toStdString());
        const Op *op = surface.find(text);
        ASSERT_NE(op, nullptr);
        EXPECT_DOUBLE_EQ(op->x, x);
        EXPECT_NEAR(op->y, y, 1e-9);
        EXPECT_EQ(op->bold, bold);
    };
    const double top = kFirstBlockTop;
    expectText(QStringLiteral("Name-1"), at.x2, top, true);
    expectText(QStringLiteral("Phone-1"), at.x2, top + kH, false);
    expectText(QStringLiteral("Email-1"), at.x4, top + kH, false);
    expectText(QStringLiteral("BillState-1"), at.x2, top + 2 * kH, false);
    expectText(QStringLiteral("Name-2"), at.x2, top + 4 * kH, true);

    std::vector<Op> rules;
    for (const Op &op : surface.ops)
        if (op.kind == Op::Rule)
            rules.push_back(op);
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_DOUBLE_EQ(rules[0].x, at.x1);
    EXPECT_DOUBLE_EQ(rules[0].x2, at.x4 + 2);
    EXPECT_NEAR(rules[0].y, top + 3 * kH, 1e-9);

    // The labels of the first block, in drawing order, with their columns.
    const auto texts = surface.texts();
    const auto firstBlock =
        std::find_if(texts.begin(), texts.end(), [](const Op &op) { return op.text == u"Name"; });
    ASSERT_NE(firstBlock, texts.end());
    const std::vector<std::pair<QString, double>> labels = {{QStringLiteral("Name"), at.x1},
                                                            {QStringLiteral("Phone"), at.x1},
                                                            {QStringLiteral("Email"), at.x3},
                                                            {QStringLiteral("BillState"), at.x1}};
    auto it = firstBlock;
    for (const auto &[label, x] : labels) {
        ASSERT_NE(it, texts.end());
        EXPECT_EQ(it->text, label);
        EXPECT_DOUBLE_EQ(it->x, x);
        it += 2; // label, value
    }
}

TEST(FieldPrintJob, OneFieldMakesTwoLineBlocks)
{
    FakeList list(kColumns, 2);
    FieldPrintJob job(list, {1}, {QStringLiteral("Customer Data"), {}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    job.drawPage(surface, 1);
    EXPECT_EQ(job.layout().halfFields, 0);
    EXPECT_DOUBLE_EQ(job.layout().blockHeight, 2 * kH);
    EXPECT_NEAR(surface.find(QStringLiteral("Name-1"))->y, kFirstBlockTop, 1e-9);
    EXPECT_NEAR(surface.find(QStringLiteral("Name-2"))->y, kFirstBlockTop + 2 * kH, 1e-9);
}

TEST(FieldPrintJob, WithoutNameEveryCustomerIsStillOneBlockAndPagesBreak)
{
    FakeList list(kColumns, 40);
    FieldPrintJob job(list, {2, 3, 4}, {QStringLiteral("Customer Data"), {}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    const auto &at = job.layout();
    ASSERT_GT(at.pageCount, 1);

    job.drawPage(surface, 2);
    const int first = at.firstRowOf(2);
    const auto *phone = surface.find(QStringLiteral("Phone-%1").arg(first + 1));
    ASSERT_NE(phone, nullptr);
    EXPECT_DOUBLE_EQ(phone->y, 0); // page 2 starts at the top, no header
    EXPECT_DOUBLE_EQ(surface.find(QStringLiteral("Email-%1").arg(first + 1))->x, at.x4);
    EXPECT_NEAR(surface.find(QStringLiteral("BillState-%1").arg(first + 1))->y, kH, 1e-9);
    EXPECT_EQ(surface.find(QStringLiteral("Phone-%1").arg(first)), nullptr); // last of page 1
    EXPECT_EQ(surface.find(QStringLiteral("Name")), nullptr);
}

TEST(FieldPrintJob, NameLeadsTheBlockWhateverItsPlaceInTheList)
{
    FakeList list(kColumns, 1);
    FieldPrintJob job(list, {0, 1}, {QStringLiteral("Customer Data"), {}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    job.drawPage(surface, 1);
    const auto &at = job.layout();
    EXPECT_NEAR(surface.find(QStringLiteral("Name-1"))->y, kFirstBlockTop, 1e-9);
    const auto *listId = surface.find(QStringLiteral("ListID-1"));
    EXPECT_NEAR(listId->y, kFirstBlockTop + kH, 1e-9);
    EXPECT_DOUBLE_EQ(listId->x, at.x2);
}

TEST(FieldPrintJob, HeaderHasTheCentredTitleAndTheFilterLines)
{
    FakeList list(kColumns, 1);
    FieldPrintJob job(
        list, {1},
        {QStringLiteral("Customer Data"),
         {QStringLiteral("State Filter: CA"), QStringLiteral("Type Filter: O'Brien")}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    const auto *title = surface.find(QStringLiteral("Customer Data"));
    ASSERT_NE(title, nullptr);
    EXPECT_DOUBLE_EQ(title->size, 20);
    EXPECT_TRUE(title->bold && title->italic);
    EXPECT_DOUBLE_EQ(title->y, 0);
    EXPECT_DOUBLE_EQ(title->x, (8.5 - 0.2 * 13) / 2);
    const auto *state = surface.find(QStringLiteral("State Filter: CA"));
    EXPECT_DOUBLE_EQ(state->size, 10);
    EXPECT_DOUBLE_EQ(state->x, 0);
    EXPECT_NEAR(state->y, 0.4, 1e-9);
    EXPECT_NEAR(surface.find(QStringLiteral("Type Filter: O'Brien"))->y, 0.6, 1e-9);
    EXPECT_NEAR(surface.y(), 1.2, 1e-9); // two empty lines after the filters
}

TEST(FieldPrintJob, ATitleWiderThanThePageIsSetSmallerAndStaysOnIt)
{
    FakeList list(kColumns, 1);
    const QString longTitle =
        QStringLiteral("Customers who have not purchased item: O'Brien's Extra Long Door Hinge");
    FieldPrintJob job(list, {1}, {longTitle, {}});
    RecordingSurface surface(8.5, 11);
    job.start(surface);
    const auto *title = surface.find(longTitle);
    ASSERT_NE(title, nullptr);
    EXPECT_GE(title->x, 0.0);
    EXPECT_LT(title->size, 20.0);
    EXPECT_GE(title->size, 10.0);
    EXPECT_LE(title->x + 0.01 * title->size * static_cast<double>(longTitle.size()), 8.5 + 1e-9);
}

TEST(FieldPrintJob, PrintingNumbersEachPageAndAddsNoEmptyOne)
{
    for (const int extra : {0, 1}) {
        SCOPED_TRACE(extra);
        FakeList probe(kColumns, 0);
        FieldPrintJob measure(probe, {1, 2}, {QStringLiteral("T"), {}});
        RecordingSurface measuring(8.5, 11);
        measure.start(measuring);
        const int onFirst = measure.layout().blocksOnFirstPage;

        FakeList list(kColumns, onFirst + extra);
        FieldPrintJob job(list, {1, 2}, {QStringLiteral("T"), {}});
        RecordingSurface printer(8.5, 11);
        job.printAll(printer);
        EXPECT_EQ(printer.count(RecordingSurface::Op::NewPage), extra);
        EXPECT_EQ(printer.count(RecordingSurface::Op::End), 1);
        EXPECT_EQ(printer.ops.back().kind, RecordingSurface::Op::End);
        EXPECT_NE(printer.find(QStringLiteral("Page 1")), nullptr);
        EXPECT_EQ(printer.find(QStringLiteral("Page 2")) != nullptr, extra == 1);
        EXPECT_EQ(printer.find(QStringLiteral("Page 3")), nullptr);
        const auto *pageNumber = printer.find(QStringLiteral("Page 1"));
        EXPECT_DOUBLE_EQ(pageNumber->x, (8.5 - 0.1 * 6) / 2);
        if (extra == 1) {
            // The sheet after the break starts with the next customer, at the top.
            const auto newPage =
                std::find_if(printer.ops.begin(), printer.ops.end(), [](const auto &op) {
                    return op.kind == RecordingSurface::Op::NewPage;
                });
            const auto next = std::find_if(newPage, printer.ops.end(), [](const auto &op) {
                return op.kind == RecordingSurface::Op::Text;
            });
            EXPECT_EQ(next->text, u"Name");
            EXPECT_DOUBLE_EQ(next->y, 0);
            EXPECT_NE(printer.find(QStringLiteral("Name-%1").arg(onFirst + 1)), nullptr);
        }
    }
}

TEST(PreviewStep, EachAnswerLeadsWhereTheUserExpects)
{
    using Kind = PreviewAnswer::Kind;
    using Action = PreviewStep::Action;
    struct Case {
        const char *what;
        PreviewAnswer answer;
        int current;
        Action action;
        int page;
    };
    for (const Case &c :
         {Case{"next", {Kind::Next}, 2, Action::Show, 3},
          Case{"next on the last page finishes", {Kind::Next}, 5, Action::Finish, 5},
          Case{"first", {Kind::First}, 4, Action::Show, 1},
          Case{"last", {Kind::Last}, 1, Action::Show, 5},
          Case{"typed page", {Kind::Page, 3}, 1, Action::Show, 3},
          Case{"typed page past the end", {Kind::Page, 99}, 1, Action::Show, 5},
          Case{"typed page before the start", {Kind::Page, 0}, 3, Action::Show, 1},
          Case{"typed negative page", {Kind::Page, -4}, 3, Action::Show, 1},
          Case{"print", {Kind::Print}, 3, Action::Print, 3},
          Case{"cancel", {Kind::Cancel}, 3, Action::Finish, 3}}) {
        SCOPED_TRACE(c.what);
        const PreviewStep step = previewStep(c.answer, c.current, 5);
        EXPECT_EQ(step.action, c.action);
        if (c.action == Action::Show) {
            EXPECT_EQ(step.page, c.page);
        }
    }
}
