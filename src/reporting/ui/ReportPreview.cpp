#include "reporting/ui/ReportPreview.h"

#include "reporting/ui/Twips.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace corvina::reporting {

namespace {

// Grey space around the page in the preview, in pixels.
constexpr int PageGap = 12;
// How long one turn of idle-time pagination may take.
constexpr int IdleSliceMs = 8;
constexpr double FitWidth = 0.0;

} // namespace

// Paints the shown page at the chosen zoom; only the page in view is ever painted.
class PageView : public QWidget {
public:
    PageView(PagedDocument &document, QWidget *parent) : QWidget(parent), m_document(document)
    {
        setObjectName(QStringLiteral("pageView"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setPage(int page)
    {
        m_page = page;
        update();
    }
    void setZoom(double zoom)
    {
        m_zoom = zoom;
        resize(sizeHint());
        update();
    }
    // The paper at 100% on this screen, in pixels.
    QSizeF paperPixels() const
    {
        const PageSize paper = m_document.pages().pageSize();
        return {twipsToDeviceX(*this, paper.width), twipsToDeviceY(*this, paper.height)};
    }
    QSize sizeHint() const override
    {
        const QSizeF paper = paperPixels() * m_zoom;
        return QSize(static_cast<int>(std::ceil(paper.width())) + 2 * PageGap,
                     static_cast<int>(std::ceil(paper.height())) + 2 * PageGap);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const QSizeF paper = paperPixels() * m_zoom;
        const QRectF sheet(PageGap, PageGap, paper.width(), paper.height());
        painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
        painter.fillRect(sheet, Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(sheet.topLeft());
        painter.scale(m_zoom, m_zoom);
        m_document.paintPage(painter, m_page);
    }

private:
    PagedDocument &m_document;
    int m_page = 0;
    double m_zoom = 1.0;
};

ReportPreview::ReportPreview(std::shared_ptr<PagedDocument> document, QWidget *parent)
    : QWidget(parent, Qt::Window), m_document(std::move(document))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(m_document->caption());
    createControls();
    connectControls();
    m_document->pages().ensurePage(0);
    updatePageControls();
    paginateInIdleTime();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::createControls()
{
    const auto toolButton = [this](const char *name, const QString &text, const QString &tip) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setToolTip(tip);
        return button;
    };
    firstPage = toolButton("firstPage", QStringLiteral("|<"), QStringLiteral("First page"));
    previousPage = toolButton("previousPage", QStringLiteral("<"), QStringLiteral("Previous page"));
    nextPage = toolButton("nextPage", QStringLiteral(">"), QStringLiteral("Next page"));
    lastPage = toolButton("lastPage", QStringLiteral(">|"), QStringLiteral("Last page"));

    pageNumber = new QLineEdit(this);
    pageNumber->setObjectName(QStringLiteral("pageNumber"));
    pageNumber->setValidator(new QIntValidator(1, 9999999, pageNumber));
    pageNumber->setAlignment(Qt::AlignRight);
    pageNumber->setFixedWidth(pageNumber->fontMetrics().horizontalAdvance(u'0') * 8);
    pageCountLabel = new QLabel(this);
    pageCountLabel->setObjectName(QStringLiteral("pageCountLabel"));

    zoomBox = new QComboBox(this);
    zoomBox->setObjectName(QStringLiteral("zoomBox"));
    zoomBox->addItem(QStringLiteral("Fit Width"), FitWidth);
    for (const int percent : {200, 150, 100, 75, 50, 25})
        zoomBox->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    zoomBox->setCurrentIndex(zoomBox->findData(1.0));

    printButton = new QPushButton(QStringLiteral("&Print..."), this);
    printButton->setObjectName(QStringLiteral("printButton"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(firstPage);
    bar->addWidget(previousPage);
    bar->addWidget(new QLabel(QStringLiteral("Page"), this));
    bar->addWidget(pageNumber);
    bar->addWidget(pageCountLabel);
    bar->addWidget(nextPage);
    bar->addWidget(lastPage);
    bar->addSpacing(16);
    bar->addWidget(zoomBox);
    bar->addStretch(1);
    bar->addWidget(printButton);

    m_view = new PageView(*m_document, this);
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setBackgroundRole(QPalette::Dark);
    scrollArea->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scrollArea->setWidget(m_view);
    scrollArea->installEventFilter(this);
    m_view->setZoom(m_zoom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(scrollArea, 1);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int wanted = m_view->sizeHint().width() + 60;
    resize(std::min(wanted, screen.width() * 9 / 10), screen.height() * 9 / 10);
    // On a screen too narrow for the whole page, start with the page fitted to the width.
    if (width() < wanted)
        setZoom(FitWidth);
}

void ReportPreview::connectControls()
{
    connect(firstPage, &QToolButton::clicked, this, [this] { showPage(0); });
    connect(previousPage, &QToolButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(nextPage, &QToolButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(lastPage, &QToolButton::clicked, this,
            [this] { showPage(m_document->pages().pageCount() - 1); });
    connect(pageNumber, &QLineEdit::returnPressed, this, &ReportPreview::goToTypedPage);
    connect(zoomBox, &QComboBox::activated, this, &ReportPreview::chooseZoom);
    connect(printButton, &QPushButton::clicked, this, &ReportPreview::openPrintDialog);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
}

PagedDocument &ReportPreview::document()
{
    return *m_document;
}

int ReportPreview::currentPage() const
{
    return m_page;
}

bool ReportPreview::showPage(int pageIndex)
{
    if (!m_document->pages().ensurePage(pageIndex))
        return false;
    m_page = pageIndex;
    m_view->setPage(pageIndex);
    scrollArea->verticalScrollBar()->setValue(0);
    updatePageControls();
    emit pageShown(pageIndex);
    return true;
}

double ReportPreview::zoom() const
{
    return m_zoom;
}

void ReportPreview::setZoom(double factor)
{
    m_zoom = factor;
    const int index = zoomBox->findData(factor);
    if (index >= 0)
        zoomBox->setCurrentIndex(index);
    double shown = factor;
    if (factor == FitWidth) {
        // Leave room for the vertical scroll bar a page at that width always needs.
        const int frame = 2 * scrollArea->frameWidth();
        const int scrollBar = scrollArea->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                               scrollArea->verticalScrollBar());
        const double room = scrollArea->width() - frame - scrollBar - 2 * PageGap - 1;
        shown = std::max(0.1, room / m_view->paperPixels().width());
    }
    m_view->setZoom(shown);
}

void ReportPreview::chooseZoom(int index)
{
    setZoom(zoomBox->itemData(index).toDouble());
}

// The scroll area's own width does not change with its scroll bars, so fitting to it
// cannot bounce between two zooms.
bool ReportPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == scrollArea && event->type() == QEvent::Resize && m_zoom == FitWidth)
        setZoom(FitWidth);
    return QWidget::eventFilter(watched, event);
}

void ReportPreview::goToTypedPage()
{
    bool ok = false;
    const int typed = pageNumber->text().toInt(&ok);
    // A page past the end shows the last page; anything else unusable keeps the page shown.
    if (ok && typed >= 1 && !showPage(typed - 1))
        showPage(m_document->pages().pageCount() - 1);
    updatePageControls();
}

void ReportPreview::updatePageControls()
{
    PageSequence &pages = m_document->pages();
    const int known = pages.knownPageCount();
    const bool complete = pages.isComplete();
    pageNumber->setText(QString::number(m_page + 1));
    pageCountLabel->setText(complete ? QStringLiteral("of %1").arg(known)
                                     : QStringLiteral("of %1+").arg(known));
    firstPage->setEnabled(m_page > 0);
    previousPage->setEnabled(m_page > 0);
    const bool more = !complete || m_page + 1 < known;
    nextPage->setEnabled(more);
    lastPage->setEnabled(more);
}

// Lays out the rest of the report a slice at a time between events, so the count of pages
// becomes known without holding up the window.
void ReportPreview::paginateInIdleTime()
{
    if (m_document->pages().isComplete())
        return;
    QTimer::singleShot(0, this, [this] {
        QElapsedTimer slice;
        slice.start();
        PageSequence &pages = m_document->pages();
        while (!pages.paginateMore(16) && slice.elapsed() < IdleSliceMs) {
        }
        updatePageControls();
        paginateInIdleTime();
    });
}

bool ReportPreview::printTo(QPrinter &printer)
{
    return printReport(*m_document, printer);
}

void ReportPreview::openPrintDialog()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(m_document->paper());
    printer.setDocName(m_document->caption());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_document->pages().pageCount());
    updatePageControls();
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!printTo(printer)) {
        QMessageBox box(QMessageBox::NoIcon, m_document->caption(),
                        QStringLiteral("The report could not be printed."), QMessageBox::Ok, this);
        box.exec();
    }
}

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
