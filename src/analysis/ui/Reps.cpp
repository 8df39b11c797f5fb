#include "analysis/ui/Reps.h"

#include "analysis/RecordsetGridModel.h"
#include "analysis/RepsNotSelling.h"
#include "analysis/RepsReport.h"
#include "analysis/ui/SingleWindow.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "reporting/MemoryRows.h"
#include "reporting/ui/ReportPreview.h"
#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"
#include "views/ui/MailingLabels.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>

#include <algorithm>

namespace corvina {

Reps::Reps(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state),
      m_list(std::make_unique<RepsNotSelling>(state, allItems, item))
{
    setObjectName(QStringLiteral("Reps"));
    setWindowTitle(QStringLiteral("Reps Not Selling"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    placeControls();
    connectControls();
    load();
}

Reps::~Reps()
{
    // Unbind the grid before the list goes.
    m_model->setList(nullptr);
}

void Reps::createControls()
{
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Label1"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_model = new RecordsetGridModel({}, {}, this);
    m_grid->setModel(m_model);
    m_mailMergeBox =
        new QCheckBox(QStringLiteral("Add these Reps to the database for Mail Merge"), this);
    m_mailMergeBox->setObjectName(QStringLiteral("Check1"));
    m_printButton = new QPushButton(QStringLiteral("&Print"), this);
    m_printButton->setObjectName(QStringLiteral("Command1"));
    m_labelsButton = new QPushButton(QStringLiteral("Mailing &Labels"), this);
    m_labelsButton->setObjectName(QStringLiteral("labelsButton"));
}

void Reps::placeControls()
{
    // The window keeps its design size unless the check box's caption needs more room in
    // the screen's font; then the window, label, grid and button make room for it.
    const int captionRoom = twipsToPixelsX(this, 4200 - 120 - 60);
    const int extra = std::max(0, m_mailMergeBox->sizeHint().width() - captionRoom);
    // The labels button sits below "&Print", in a strip added under the designed window.
    setFixedSize(twipsToPixelsX(this, 5505) + extra, twipsToPixelsY(this, 3090 + 600));
    m_caption->setGeometry(twipsRect(this, 240, 120, 4215, 255).adjusted(0, 0, extra, 0));
    m_grid->setGeometry(twipsRect(this, 120, 600, 5295, 1815).adjusted(0, 0, extra, 0));
    m_mailMergeBox->setGeometry(
        twipsRect(this, 120, 2520, 3735, 375)
            .adjusted(0, 0, extra + captionRoom - twipsToPixelsX(this, 3735), 0));
    m_printButton->setGeometry(twipsRect(this, 4200, 2520, 1215, 495).translated(extra, 0));
    m_labelsButton->setGeometry(twipsRect(this, 4200, 3120, 1215, 495).translated(extra, 0));
}

void Reps::connectControls()
{
    // Only a click by the user saves; the box stays checked afterwards.
    connect(m_mailMergeBox, &QCheckBox::clicked, this, &Reps::checkClicked);
    connect(m_printButton, &QPushButton::clicked, this, [this] { print(); });
    connect(m_labelsButton, &QPushButton::clicked, this, [this] { printLabels(); });
}

void Reps::load()
{
    m_caption->setText(m_list->labelCaption());
    m_caption->setToolTip(m_caption->text()); // a long item name runs past the label's width
    try {
        m_list->load();
    } catch (const Error &e) {
        reportError(e.description(), e.number());
    }
    m_model->setList(&m_list->workingList());
    m_grid->resizeColumnsToContents();
}

void Reps::checkClicked(bool checked)
{
    if (!checked)
        return;
    try {
        m_list->saveForMailMerge();
    } catch (const Error &e) {
        // Said every time, not only as the program's first error: the user has to know
        // that the mail merge would read the earlier rows.
        m_state.screen().message(
            QStringLiteral("The Reps could not be added to the NoSellReps table; it keeps its "
                           "earlier rows.") +
                QChar(13) + e.description(),
            QStringLiteral("Reps Not Added"), Buttons::Ok);
        const QSignalBlocker blocker(m_mailMergeBox);
        m_mailMergeBox->setChecked(false);
    }
}

reporting::ReportPreview *Reps::print()
{
    auto layout = repsNotSellingReportLayout();
    layout.control(QStringLiteral("Label1"))->caption = m_list->reportTitle();
    auto *preview = reporting::showReport(m_list->reportRows(), std::move(layout), this);
    preview->setObjectName(QStringLiteral("DataReport3"));
    return preview;
}

MailingLabels *Reps::printLabels()
{
    return showMailingLabels(
        m_state, mailingListFromReps(m_list->workingList(), m_list->reportTitle()), this);
}

Reps *showReps(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent)
{
    return showSingleWindow<Reps>(
        [&](Reps &open) {
            return open.list()->allItems() == allItems &&
                   (allItems || open.list()->chosenItem() == item);
        },
        [&] { return new Reps(state, allItems, item, parent); });
}

void Reps::reportError(const QString &description, std::int32_t number)
{
    m_state.showError(QStringLiteral("Reps"), description, number, 0);
}

} // namespace corvina
