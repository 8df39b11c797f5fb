#include "analysis/ui/Reps.h"

#include "analysis/RepsGridModel.h"
#include "analysis/RepsNotSelling.h"
#include "analysis/RepsReport.h"
#include "base/Error.h"
#include "reporting/MemoryRows.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"
#include "base/Screen.h"
#include "views/ui/CustTwips.h"

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
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    DataGrid1 = new QTableView(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setWordWrap(false);
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_model = new RepsGridModel(this);
    DataGrid1->setModel(m_model);
    Check1 = new QCheckBox(QStringLiteral("Add these Reps to the database for Mail Merge"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new QPushButton(QStringLiteral("&Print"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
}

void Reps::placeControls()
{
    // The window keeps its design size unless the check box's caption needs more room in
    // the screen's font; then the window, label, grid and button make room for it.
    const int captionRoom = twipsToPixelsX(this, 4200 - 120 - 60);
    const int extra = std::max(0, Check1->sizeHint().width() - captionRoom);
    setFixedSize(twipsToPixelsX(this, 5505) + extra, twipsToPixelsY(this, 3090));
    Label1->setGeometry(twipsRect(this, 240, 120, 4215, 255).adjusted(0, 0, extra, 0));
    DataGrid1->setGeometry(twipsRect(this, 120, 600, 5295, 1815).adjusted(0, 0, extra, 0));
    Check1->setGeometry(twipsRect(this, 120, 2520, 3735, 375)
                            .adjusted(0, 0, extra + captionRoom - twipsToPixelsX(this, 3735), 0));
    Command1->setGeometry(twipsRect(this, 4200, 2520, 1215, 495).translated(extra, 0));
}

void Reps::connectControls()
{
    // Only a click by the user saves; the box stays checked afterwards.
    connect(Check1, &QCheckBox::clicked, this, &Reps::checkClicked);
    connect(Command1, &QPushButton::clicked, this, [this] { print(); });
}

void Reps::load()
{
    Label1->setText(m_list->labelCaption());
    Label1->setToolTip(Label1->text()); // a long item name runs past the label's width
    try {
        m_list->load();
    } catch (const Error &e) {
        reportError(e.description(), e.number());
    }
    m_model->setList(&m_list->workingList());
    DataGrid1->resizeColumnsToContents();
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
        const QSignalBlocker blocker(Check1);
        Check1->setChecked(false);
    }
}

reporting::ReportPreview *Reps::print()
{
    auto layout = dataReport3Layout();
    layout.control(QStringLiteral("Label1"))->caption = m_list->reportTitle();
    auto *preview = reporting::showReport(m_list->reportRows(), std::move(layout), this);
    preview->setObjectName(QStringLiteral("DataReport3"));
    return preview;
}

Reps *showReps(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *open = qobject_cast<Reps *>(widget);
        if (!open || open->isHidden())
            continue;
        if (open->list()->allItems() == allItems &&
            (allItems || open->list()->chosenItem() == item)) {
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
        open->close();
    }
    auto *window = new Reps(state, allItems, item, parent);
    window->show();
    return window;
}

void Reps::reportError(const QString &description, std::int32_t number)
{
    m_state.showError(QStringLiteral("Reps"), description, number, 0);
}

} // namespace corvina
