#pragma once

#include "reporting/ReportLayout.h"
#include "reporting/ReportRows.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace corvina::reporting {

// A sheet of paper in twips; Letter unless given.
struct PageSize {
    int width = 12240;
    int height = 15840;
};

// Pages worked out on demand, as the preview and the printer read them.
class PageSequence {
public:
    virtual ~PageSequence() = default;
    virtual PageSize pageSize() const = 0;
    // Works out pages up to `index`; false when there are fewer pages.
    virtual bool ensurePage(int index) = 0;
    // Works out at most `pages` further pages; true once the end is reached.
    virtual bool paginateMore(int pages) = 0;
    virtual bool isComplete() const = 0;
    // Pages worked out so far; the page count once isComplete().
    virtual int knownPageCount() const = 0;
    // Works out every page and returns their number.
    virtual int pageCount() = 0;
};

// One section placed on a page, with the rows its controls read.
struct Band {
    // Index into the layout's sections.
    int section = -1;
    // Twips from the top edge of the paper.
    int top = 0;
    // The top-level row: the group's row in group sections and group details, the row
    // itself in a flat detail; -1 in page and report sections.
    int row = -1;
    // A group detail's row among the group's children; -1 otherwise.
    int childRow = -1;
};

// The pages of a report, worked out lazily: a page is laid out when first asked for, so
// the first page of a long report is ready at once. Sections never grow, so pagination
// needs no fonts and lives outside the painting.
//
// On each page: the report header (first page only) and the page header at the top, the
// page footer at the bottom of the area between the margins, and the body in between.
// A section that does not fit moves to the next page; a group header moves along with it
// when the group's next section would not fit beside it (unless the page holds nothing
// else). The report footer follows the last group. A report without rows still has one page.
// The rows must not change while pages are laid out from them: hand the report a snapshot.
// (Rows that vanish anyway print empty rather than fail.)
class ReportPages : public PageSequence {
public:
    // Null rows count as none.
    ReportPages(std::shared_ptr<const ReportRows> rows, ReportLayout layout, PageSize size = {});
    ~ReportPages() override;
    ReportPages(const ReportPages &) = delete;
    ReportPages &operator=(const ReportPages &) = delete;

    const ReportLayout &layout() const;
    const ReportRows &rows() const;
    PageSize pageSize() const override;

    // Lays out pages up to `index`; false when the report has fewer pages.
    bool ensurePage(int index) override;
    // Lays out at most `pages` further pages; true once the end is reached.
    bool paginateMore(int pages) override;
    bool isComplete() const override;
    // Pages laid out so far; the page count once isComplete().
    int knownPageCount() const override;
    // Lays out every page and returns their number.
    int pageCount() override;
    // The bands of a page, laying it out when needed; the index must exist (ensurePage).
    const std::vector<Band> &page(int index);

    const ReportSection &sectionOf(const Band &band) const;
    // The text a label, text box or function prints in that band (empty for lines).
    QString controlText(const Band &band, const ReportControl &control) const;
    // The value a text box bound to `field` reads in that band; null when the band has no
    // row or the rows have no such field.
    QVariant fieldValue(const Band &band, const QString &field) const;
    // The sum of `field` over the band's group (group sections) or over every detail row
    // (report sections).
    double sum(const Band &band, const QString &field) const;

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace corvina::reporting
