#include "reporting/ui/ReportPreview.h"

namespace corvina::reporting {

class PageView : public QWidget {
};

ReportPreview::ReportPreview(std::shared_ptr<ReportDocument> document, QWidget *parent)
    : QWidget(parent), m_document(std::move(document))
{
    setWindowTitle(m_document->caption());
}

ReportPreview::~ReportPreview() = default;

ReportDocument &ReportPreview::document() { return *m_document; }
int ReportPreview::currentPage() const { return m_page; }
bool ReportPreview::showPage(int pageIndex) { return pageIndex == 0; }
double ReportPreview::zoom() const { return m_zoom; }
void ReportPreview::setZoom(double factor) { m_zoom = factor; }
bool ReportPreview::printTo(QPrinter &printer) { return printReport(*m_document, printer); }

void ReportPreview::createControls() {}
void ReportPreview::connectControls() {}
void ReportPreview::updatePageControls() {}
void ReportPreview::paginateInIdleTime() {}
void ReportPreview::goToTypedPage() {}
void ReportPreview::chooseZoom(int index) { (void)index; }
void ReportPreview::openPrintDialog() {}

ReportPreview *showReport(std::shared_ptr<const ReportRows> rows, ReportLayout layout,
                          QWidget *parent)
{
    auto document = std::make_shared<ReportDocument>(std::move(rows), std::move(layout));
    auto *preview = new ReportPreview(std::move(document), parent);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->show();
    return preview;
}

} // namespace corvina::reporting
