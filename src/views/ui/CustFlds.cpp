#include "views/ui/CustFlds.h"

#include "base/Screen.h"
#include "reporting/ui/Twips.h"
#include "views/CustomerList.h"
#include "views/ui/FieldPrintPainter.h"
#include "views/ui/FieldPrintSource.h"
#include "views/ui/Prev.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

namespace corvina {

namespace {

const QString kMainWindowName = QStringLiteral("MainMenu");

} // namespace

bool askForPrinter(QPrinter &printer, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

CustFlds::CustFlds(Screen &screen, FieldPrintSource &source, QWidget *parent)
    : QDialog(parent), m_screen(screen), m_source(source)
{
    setObjectName(QStringLiteral("CustFlds"));
    setWindowTitle(QStringLiteral("Customer Fields"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_printerSetup = [this](QPrinter &printer) { return askForPrinter(printer, m_prev); };
    createControls();
    layOut();
    loadFields();
}

CustFlds::~CustFlds() = default;

void CustFlds::createControls()
{
    m_prompt =
        new QLabel(QStringLiteral("Select the field(s) you want to print on your report"), this);
    m_prompt->setObjectName(QStringLiteral("Label1"));
    m_prompt->setAlignment(Qt::AlignCenter);
    m_prompt->setWordWrap(true);
    m_fieldList = new QListWidget(this);
    m_fieldList->setObjectName(QStringLiteral("List1"));
    // Each click chooses or unchooses one entry.
    m_fieldList->setSelectionMode(QAbstractItemView::MultiSelection);
    m_okButton = new QPushButton(QStringLiteral("&OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    connect(m_okButton, &QPushButton::clicked, this, &CustFlds::run);
    // Printing nothing for every customer is no report: OK waits for a field.
    connect(m_fieldList, &QListWidget::itemSelectionChanged, this,
            [this] { m_okButton->setEnabled(!m_fieldList->selectedItems().isEmpty()); });
}

void CustFlds::layOut()
{
    setFixedSize(twipsToPixelsX(this, 4680), twipsToPixelsY(this, 3090));
    m_prompt->setGeometry(twipsRect(this, 120, 120, 4440, 495));
    m_fieldList->setGeometry(twipsRect(this, 120, 720, 4440, 1695));
    m_okButton->setGeometry(twipsRect(this, 1733, 2520, 1215, 435));
}

void CustFlds::loadFields()
{
    m_fieldList->addItems(m_source.printList().columnNames());
    if (m_fieldList->count() > 0)
        m_fieldList->item(0)->setSelected(true);
    m_okButton->setEnabled(m_fieldList->count() > 0);
}

void CustFlds::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_centred || !screen())
        return;
    m_centred = true;
    QRect frame = frameGeometry();
    frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
}

std::vector<int> CustFlds::chosenColumns() const
{
    std::vector<int> columns;
    for (int row = 0; row < m_fieldList->count(); ++row) {
        if (m_fieldList->item(row)->isSelected())
            columns.push_back(row);
    }
    return columns;
}

void CustFlds::run()
{
    CustomerList &list = m_source.printList();
    m_rememberedRow = list.currentRow();
    m_job = std::make_unique<FieldPrintJob>(list, chosenColumns(), m_source.printHeader());
    hide();
    hideWindows();

    m_prev = new Prev(this);
    connect(m_prev, &Prev::answered, this, &CustFlds::onAnswer);
    m_prev->placeOnScreen();
    QPixmap page = m_prev->blankPage();
    {
        QPainter painter(&page);
        FieldPrintPainter surface(painter, page.deviceIndependentSize());
        m_job->start(surface);
    }
    showPreviewPage(1);
    m_prev->show();
}

void CustFlds::hideWindows()
{
    QList<QWidget *> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == kMainWindowName)
            windows << window;
    }
    windows << m_source.printWindows();
    for (QWidget *window : windows) {
        if (window && window->isVisible()) {
            m_hidden << window;
            window->hide();
        }
    }
}

void CustFlds::showPreviewPage(int page)
{
    QPixmap image = m_prev->blankPage();
    {
        QPainter painter(&image);
        FieldPrintPainter surface(painter, image.deviceIndependentSize());
        m_job->drawPage(surface, page);
    }
    m_prev->showPage(image, page);
}

void CustFlds::onAnswer(const PreviewAnswer &answer)
{
    const Prev *prev = m_prev.data();
    if (prev == nullptr || !m_job)
        return;
    const PreviewStep step = previewStep(answer, prev->pageNumber(), m_job->pageCount());
    switch (step.action) {
    case PreviewStep::Action::Show: showPreviewPage(step.page); break;
    case PreviewStep::Action::Print: printAll(); break;
    case PreviewStep::Action::Finish: finish(); break;
    }
}

// Prints the whole list from its first customer, laid out afresh for the printer's page.
void CustFlds::printAll()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_printerSetup(printer))
        return;
    FieldPrintJob job(m_source.printList(), chosenColumns(), m_source.printHeader());
    if (!printFieldJob(job, printer)) {
        m_screen.message(QStringLiteral("The pages could not be printed: the printer could not be "
                                        "started."),
                         kAppTitle, Buttons::Ok);
        return;
    }
    m_screen.message(QStringLiteral("Your data has been sent to the printer."),
                     QStringLiteral("Print Complete"), Buttons::Ok);
    finish();
}

void CustFlds::finish()
{
    // The windows come back before the preview goes, so the program never looks closed.
    for (const QPointer<QWidget> &window : std::as_const(m_hidden)) {
        if (window)
            window->show();
    }
    m_hidden.clear();
    m_source.printList().setCurrentRow(m_rememberedRow);
    m_source.printFinished();
    if (m_prev) {
        m_prev->hide();
        m_prev->deleteLater();
    }
    m_job.reset();
    close();
}

Prev *CustFlds::preview() const
{
    return m_prev;
}

} // namespace corvina
