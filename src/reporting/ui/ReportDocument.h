#pragma once

#include "reporting/ReportPages.h"
#include "reporting/ui/PagedDocument.h"

#include <QPageLayout>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace corvina::reporting {

// A report ready to paint: its layout, its rows and their pages on one size of paper.
// One paint routine serves the preview, the printer and PDF.
class ReportDocument : public PagedDocument {
public:
    // The rows stay alive as long as the document. `paper` gives the sheet size and
    // orientation (its margins are ignored: the layout's margins apply).
    ReportDocument(std::shared_ptr<const ReportRows> rows, ReportLayout layout,
                   const QPageLayout &paper = letterPaper());

    static QPageLayout letterPaper();

    const ReportLayout &layout() const;
    QString caption() const override;
    const QPageLayout &paper() const override;
    ReportPages &pages() override;
    std::shared_ptr<const ReportRows> rows() const;

    // Paints one page with the paper's top-left corner at the painter's origin, in the units
    // of the painter's device (twips converted at its logical DPI). Pages are laid out
    // as needed; an index past the last page paints nothing and returns false.
    bool paintPage(QPainter &painter, int pageIndex) override;
    std::unique_ptr<PagedDocument> onPaper(const QPageLayout &paper) const override;

private:
    std::shared_ptr<const ReportRows> m_rows;
    QPageLayout m_paper;
    std::unique_ptr<ReportPages> m_pages;
};

// Prints every page (or the printer's chosen page range) on the printer's paper, laying the
// report out again when that paper differs from the document's. False when the printer
// cannot be opened or the range holds no page.
bool printReport(PagedDocument &document, QPrinter &printer);

// Writes the report as a PDF file at `path` on the document's paper. False, with the reason
// in `error` when given, when the file cannot be written.
bool exportPdf(PagedDocument &document, const QString &path, QString *error = nullptr);

} // namespace corvina::reporting
