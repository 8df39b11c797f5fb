#pragma once

#include "reporting/ReportPages.h"

#include <QPageLayout>
#include <QString>

#include <memory>

class QPainter;

namespace corvina::reporting {

// Anything the report preview shows and prints page by page: a banded report, a sheet of
// labels. One paint routine serves the preview, the printer and PDF.
class PagedDocument {
public:
    virtual ~PagedDocument() = default;

    // The preview window's title and the printed document's name.
    virtual QString caption() const = 0;
    // The sheet's size and orientation, without margins.
    virtual const QPageLayout &paper() const = 0;
    virtual PageSequence &pages() = 0;
    // Paints one page with the paper's top-left corner at the painter's origin, in the units
    // of the painter's device; false for an index past the last page.
    virtual bool paintPage(QPainter &painter, int pageIndex) = 0;
    // The document laid out again on other paper; null when it prints as it is on any paper.
    virtual std::unique_ptr<PagedDocument> onPaper(const QPageLayout &paper) const
    {
        (void)paper;
        return nullptr;
    }
};

} // namespace corvina::reporting
