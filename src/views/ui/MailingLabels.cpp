#include "views/ui/MailingLabels.h"

#include "base/Screen.h"
#include "reporting/labels/ui/LabelDocument.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace corvina {

namespace {

constexpr int kIdleSliceMs = 8;
constexpr int kLabelsPerTurn = 64;

QString counted(int n, const QString &one, const QString &many)
{
    return QLocale().toString(n) + u' ' + (n == 1 ? one : many);
}

} // namespace

MailingLabels::MailingLabels(ProgramState &state, const MailingList &list, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state), m_title(list.title), m_postal(list.needsAddress),
      m_rows(std::make_shared<const LabelRows>(labelRows(list)))
{
    setObjectName(QStringLiteral("MailingLabels"));
    setWindowTitle(QStringLiteral("Mailing Labels") +
                   (m_title.isEmpty() ? QString() : QStringLiteral(" - ") + m_title));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    // Metric countries use A4 label stock.
    chooseSheet(QLocale().measurementSystem() == QLocale::MetricSystem ? 1 : 0);
}

MailingLabels::~MailingLabels() = default;

LabelDocument &MailingLabels::document()
{
    return *m_document;
}

std::vector<LabelSheet> MailingLabels::sheets()
{
    return {usLetter30(), a4Sheet21()};
}

void MailingLabels::createControls()
{
    m_sheetBox = new QComboBox(this);
    m_sheetBox->setObjectName(QStringLiteral("sheetBox"));
    for (const LabelSheet &sheet : sheets())
        m_sheetBox->addItem(sheet.name);
    auto *sheetCaption = new QLabel(QStringLiteral("&Sheet:"), this);
    sheetCaption->setBuddy(m_sheetBox);
    m_savePdfButton = new QPushButton(QStringLiteral("Save as P&DF..."), this);
    m_savePdfButton->setObjectName(QStringLiteral("savePdfButton"));
    m_summaryLabel = new QLabel(this);
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setWordWrap(true);

    auto *bar = new QHBoxLayout;
    bar->addWidget(sheetCaption);
    bar->addWidget(m_sheetBox);
    bar->addStretch(1);
    bar->addWidget(m_savePdfButton);
    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(m_summaryLabel);
    m_layout->addLayout(bar);

    connect(m_sheetBox, &QComboBox::activated, this, &MailingLabels::chooseSheet);
    connect(m_savePdfButton, &QPushButton::clicked, this, &MailingLabels::askAndSavePdf);
}

void MailingLabels::chooseSheet(int index)
{
    const std::vector<LabelSheet> all = sheets();
    if (index < 0 || static_cast<size_t>(index) >= all.size())
        return;
    m_sheetBox->setCurrentIndex(index);
    m_document =
        std::make_shared<LabelDocument>(m_rows, all[static_cast<size_t>(index)], windowTitle());
    showSheets();
    fitInIdleTime();
}

void MailingLabels::showSheets()
{
    const double zoom = m_preview ? m_preview->zoom() : 1.0;
    delete m_preview;
    m_preview = new reporting::ReportPreview(m_document, this);
    m_preview->setWindowFlags(Qt::Widget);
    m_preview->setObjectName(QStringLiteral("labelPreview"));
    m_preview->setZoom(zoom);
    m_layout->addWidget(m_preview, 1);
    m_preview->show();
    m_summaryLabel->setText(summary());
    resize(m_preview->size().width() + 24, m_preview->size().height());
}

// The count of cut labels needs every label fitted; that runs a slice at a time between
// events, and the line above the preview follows it.
void MailingLabels::fitInIdleTime()
{
    QTimer::singleShot(0, this, [this, document = m_document.get()] {
        if (document != m_document.get())
            return; // another sheet was chosen since
        QElapsedTimer slice;
        slice.start();
        bool done = false;
        while (!(done = m_document->fitMore(kLabelsPerTurn)) && slice.elapsed() < kIdleSliceMs) {
        }
        m_summaryLabel->setText(summary());
        if (!done)
            fitInIdleTime();
    });
}

QString MailingLabels::summary() const
{
    QStringList parts{counted(static_cast<int>(m_rows->labels.size()), QStringLiteral("label"),
                              QStringLiteral("labels"))};
    if (m_postal) {
        parts << counted(m_rows->unusable,
                         QStringLiteral("left out without a usable mailing "
                                        "address"),
                         QStringLiteral("left out without a usable mailing address"));
        if (m_rows->duplicates > 0)
            parts << counted(m_rows->duplicates, QStringLiteral("repeated address printed once"),
                             QStringLiteral("repeated addresses printed once"));
    } else {
        parts << QStringLiteral("names only: the sales rep list holds no mailing addresses");
        if (m_rows->unusable > 0)
            parts << counted(m_rows->unusable, QStringLiteral("left out without a name"),
                             QStringLiteral("left out without a name"));
    }
    if (m_document && m_document->allFitted())
        parts << counted(m_document->cutCount(), QStringLiteral("shortened with \u2026 to fit"),
                         QStringLiteral("shortened with \u2026 to fit"));
    else if (m_document)
        parts << counted(m_document->cutCount(), QStringLiteral("shortened to fit so far"),
                         QStringLiteral("shortened to fit so far"));
    return parts.join(QStringLiteral("; ")) + u'.';
}

bool MailingLabels::savePdf(const QString &path)
{
    QString error;
    if (reporting::exportPdf(*m_document, path, &error))
        return true;
    m_state.screen().message(error, QStringLiteral("Mailing Labels"), Buttons::Ok);
    return false;
}

void MailingLabels::askAndSavePdf()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Mailing Labels"),
                                     QDir(folder).filePath(QStringLiteral("MailingLabels.pdf")),
                                     QStringLiteral("PDF files (*.pdf)"));
    if (!path.isEmpty())
        savePdf(path);
}

MailingLabels *showMailingLabels(ProgramState &state, const MailingList &list, QWidget *parent)
{
    auto *window = new MailingLabels(state, list, parent);
    window->show();
    return window;
}

} // namespace corvina
