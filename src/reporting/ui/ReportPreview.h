#pragma once

#include "reporting/ui/ReportDocument.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QScrollArea;
class QToolButton;
class QPushButton;

namespace corvina::reporting {

class PageView;

// The preview window of a report: one page at a time at the chosen zoom, page navigation
// and printing. The window title is the report's caption. Pages are laid out on demand;
// the rest of the report is laid out in idle time, and the page count reads "12+" until
// its end is known.
class ReportPreview : public QWidget {
    Q_OBJECT

public:
    explicit ReportPreview(std::shared_ptr<PagedDocument> document, QWidget *parent = nullptr);
    ~ReportPreview() override;

    PagedDocument &document();
    // The page shown, from 0.
    int currentPage() const;
    // Shows that page when it exists; returns whether it does.
    bool showPage(int pageIndex);
    // Zoom factor, 1.0 for actual size; 0 fits the page width to the window.
    double zoom() const;
    void setZoom(double factor);

    // Prints to a printer already set up (the print dialog's answer); see printReport().
    bool printTo(QPrinter &printer);

    QToolButton *firstPage = nullptr;
    QToolButton *previousPage = nullptr;
    QLineEdit *pageNumber = nullptr;
    QLabel *pageCountLabel = nullptr;
    QToolButton *nextPage = nullptr;
    QToolButton *lastPage = nullptr;
    QComboBox *zoomBox = nullptr;
    QPushButton *printButton = nullptr;
    QScrollArea *scrollArea = nullptr;

signals:
    void pageShown(int pageIndex);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectControls();
    void updatePageControls();
    void paginateInIdleTime();
    void goToTypedPage();
    void chooseZoom(int index);
    void openPrintDialog();

    std::shared_ptr<PagedDocument> m_document;
    PageView *m_view = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
    bool m_idleScheduled = false;
};

// Opens a preview window for the rows with that layout, not waiting (the window deletes
// itself when closed), and returns it.
ReportPreview *showReport(std::shared_ptr<const ReportRows> rows, ReportLayout layout,
                          QWidget *parent = nullptr);

} // namespace corvina::reporting
