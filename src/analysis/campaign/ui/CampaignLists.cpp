#include "analysis/campaign/ui/CampaignLists.h"

#include "analysis/campaign/CampaignMailing.h"
#include "analysis/campaign/ui/CampaignLabels.h"
#include "analysis/campaign/ui/CampaignPanels.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "views/ui/CustFlds.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>

namespace corvina {

CampaignLists::CampaignLists(ProgramState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("CampaignLists"));
    setWindowTitle(QStringLiteral("Campaign Lists"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    resize(1040, 680);
    load();
}

CampaignLists::~CampaignLists()
{
    // The printing dialogs read this window's list.
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
}

void CampaignLists::createControls()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabLists"));
    m_lapsed = new LapsedPanel;
    m_lapsed->setObjectName(QStringLiteral("pnlLapsed"));
    m_reorder = new ReorderPanel;
    m_reorder->setObjectName(QStringLiteral("pnlReorder"));
    m_boughtANotB = new BoughtANotBPanel;
    m_boughtANotB->setObjectName(QStringLiteral("pnlBoughtANotB"));
    m_rfm = new RfmPanel;
    m_rfm->setObjectName(QStringLiteral("pnlRfm"));
    m_tabs->addTab(m_lapsed, QStringLiteral("Lapsed customers"));
    m_tabs->addTab(m_reorder, QStringLiteral("Due to reorder"));
    m_tabs->addTab(m_boughtANotB, QStringLiteral("Bought A, not B"));
    m_tabs->addTab(m_rfm, QStringLiteral("RFM segments"));

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_count->setWordWrap(true); // titles with their parameters run long
    m_period = new QLabel(this);
    m_period->setObjectName(QStringLiteral("lblPeriod"));
    const auto button = [this](const QString &caption, const char *name) {
        auto *made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        return made;
    };
    m_save = button(QStringLiteral("&Save for Mail Merge"), "cmdSave");
    m_export = button(QStringLiteral("&Export"), "cmdExport");
    m_export->setToolTip(QStringLiteral("Export to a workbook"));
    m_print = button(QStringLiteral("&Print"), "cmdPrint");
    m_labels = button(QStringLiteral("Mailing &Labels"), "cmdLabels");

    auto *labels = new QVBoxLayout;
    labels->addWidget(m_count);
    labels->addWidget(m_period);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(labels, 1);
    for (QPushButton *made : {m_save, m_export, m_print, m_labels})
        bottom->addWidget(made);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);

    for (CampaignPanel *panel :
         {static_cast<CampaignPanel *>(m_lapsed), static_cast<CampaignPanel *>(m_reorder),
          static_cast<CampaignPanel *>(m_boughtANotB), static_cast<CampaignPanel *>(m_rfm)})
        connect(panel, &CampaignPanel::listChanged, this, &CampaignLists::showCount);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CampaignLists::tabChanged);
    connect(m_save, &QPushButton::clicked, this, &CampaignLists::saveForMailMerge);
    connect(m_export, &QPushButton::clicked, this, &CampaignLists::exportList);
    connect(m_print, &QPushButton::clicked, this, &CampaignLists::print);
    connect(m_labels, &QPushButton::clicked, this, &CampaignLists::mailingLabels);
}

void CampaignLists::load()
{
    Screen &screen = m_state.screen();
    screen.setBusyPointer(true);
    try {
        Database db = openLocalDb(m_state.appFolder(), Database::Mode::ReadOnly);
        m_data = CampaignData::load(db);
    } catch (const Error &e) {
        m_state.showError(QStringLiteral("CampaignLists"), e.description(), e.number(), 0);
        m_data = CampaignData();
    }
    const QDate today = screen.now().date();
    for (int tab = 0; tab < m_tabs->count(); ++tab)
        static_cast<CampaignPanel *>(m_tabs->widget(tab))->setData(&m_data, today);
    tabChanged();
    screen.setBusyPointer(false);
}

CampaignPanel *CampaignLists::currentPanel() const
{
    return static_cast<CampaignPanel *>(m_tabs->currentWidget());
}

void CampaignLists::tabChanged()
{
    CampaignPanel *panel = currentPanel();
    // Each list is found the first time its tab is shown, then on "&Find"; the list of
    // bought A, not B waits for the user's choice of B.
    if (panel && !panel->hasList() && panel != m_boughtANotB) {
        m_state.screen().setBusyPointer(true);
        panel->refresh();
        m_state.screen().setBusyPointer(false);
    }
    showCount();
}

void CampaignLists::showCount()
{
    CampaignPanel *panel = currentPanel();
    const bool has = panel && panel->hasList();
    const CampaignResult *list = has ? &panel->list() : nullptr;
    m_count->setText(
        list ? QStringLiteral("%1 customers: %2").arg(list->rows.size()).arg(list->title)
             : QStringLiteral("Choose the list's settings and press Find."));
    m_period->setText(
        m_data.firstDate().isValid()
            ? QStringLiteral("Invoices from %1 to %2")
                  .arg(campaignDateText(m_data.firstDate()), campaignDateText(m_data.lastDate()))
            : QStringLiteral("No invoices in the local copy."));
    for (QPushButton *button : {m_save, m_export, m_print, m_labels})
        button->setEnabled(list && !list->rows.empty());
}

bool CampaignLists::prepareMailRows()
{
    CampaignPanel *panel = currentPanel();
    if (!panel || !panel->hasList())
        return false;
    Database db = openLocalDb(m_state.appFolder());
    m_mailRows = campaignCustomerRows(db, m_data, panel->list());
    m_mailTitle = panel->list().title;
    return true;
}

void CampaignLists::saveForMailMerge()
{
    try {
        if (!prepareMailRows())
            return;
        Database db = openLocalDb(m_state.appFolder());
        saveCampaignList(db, m_state.screen(), m_mailRows, m_mailTitle);
    } catch (const Error &e) {
        m_state.screen().message(
            QStringLiteral("The customers could not be added to the CampaignCustomers "
                           "table; it keeps its earlier rows.") +
                QChar(13) + e.description(),
            QStringLiteral("Customers Not Added"), Buttons::Ok);
    }
}

void CampaignLists::exportList()
{
    try {
        if (!prepareMailRows())
            return;
    } catch (const Error &e) {
        m_state.showError(QStringLiteral("CampaignLists"), e.description(), e.number(), 0);
        return;
    }
    const QString folder = m_exportFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : m_exportFolder;
    exportCampaignList(m_state.screen(), m_mailRows, m_mailTitle, folder);
}

void CampaignLists::print()
{
    // An open printing dialog lists the columns of the rows about to be replaced.
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
    try {
        if (!prepareMailRows())
            return;
    } catch (const Error &e) {
        m_state.showError(QStringLiteral("CampaignLists"), e.description(), e.number(), 0);
        return;
    }
    auto *dialog = new CustFlds(m_state.screen(), *this, this);
    dialog->show();
}

void CampaignLists::mailingLabels()
{
    try {
        if (!prepareMailRows())
            return;
    } catch (const Error &e) {
        m_state.showError(QStringLiteral("CampaignLists"), e.description(), e.number(), 0);
        return;
    }
    showCampaignLabels(m_state, m_printList, m_mailTitle, this);
}

FieldPrintHeader CampaignLists::printHeader() const
{
    FieldPrintHeader header;
    header.title = m_mailTitle;
    return header;
}

CampaignLists *showCampaignLists(ProgramState &state, QWidget *parent)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<CampaignLists *>(widget); open && !open->isHidden()) {
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    auto *window = new CampaignLists(state, parent);
    window->show();
    return window;
}

} // namespace corvina
