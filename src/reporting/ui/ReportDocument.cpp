#include "reporting/ui/ReportDocument.h"

#include <QPainter>
#include <QPrinter>

namespace corvina::reporting {

ReportDocument::ReportDocument(std::shared_ptr<const ReportRows> rows, ReportLayout layout,
                               const QPageLayout &paper)
    : m_rows(rows), m_paper(paper),
      m_pages(std::make_unique<ReportPages>(std::move(rows), std::move(layout)))
{
}

QPageLayout ReportDocument::letterPaper()
{
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
}

const ReportLayout &ReportDocument::layout() const { return m_pages->layout(); }
QString ReportDocument::caption() const { return layout().caption; }
const QPageLayout &ReportDocument::paper() const { return m_paper; }
ReportPages &ReportDocument::pages() { return *m_pages; }
std::shared_ptr<const ReportRows> ReportDocument::rows() const { return m_rows; }

bool ReportDocument::paintPage(QPainter &painter, int pageIndex)
{
    (void)painter;
    return m_pages->ensurePage(pageIndex);
}

bool printReport(ReportDocument &document, QPrinter &printer)
{
    (void)document;
    (void)printer;
    return false;
}

bool exportPdf(ReportDocument &document, const QString &path, QString *error)
{
    (void)document;
    (void)path;
    if (error)
        *error = QStringLiteral("not yet");
    return false;
}

} // namespace corvina::reporting
