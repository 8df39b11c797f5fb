#include "app/ui/MainMenu.h"

#include "analysis/campaign/ui/CampaignLists.h"
#include "analysis/ui/ItemAging.h"
#include "app/AppFolder.h"
#include "app/MailMergeGuide.h"
#include "app/ui/QuickBooksConnection.h"
#include "retrieval/RetrievalDates.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"
#include "views/ui/CustData.h"
#include "views/ui/DataReport4.h"
#include "views/ui/InvoiceData.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

namespace corvina {

MainMenu::MainMenu(ProgramState &state, QWidget *parent) : QMainWindow(parent), m_state(state)
{
    setObjectName(QStringLiteral("MainMenu"));
    setWindowTitle(QStringLiteral("Corvina Main Menu"));
    createControls();
    createMenus();
    connectActions();
}

void MainMenu::createControls()
{
    auto *central = new QWidget(this);
    auto *grid = new QGridLayout(central);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);

    const auto makeRow = [&](int row, const char *labelName, const QString &caption,
                             const char *boxName) {
        auto *label = new QLabel(caption, central);
        label->setObjectName(QLatin1String(labelName));
        auto *edit = new QLineEdit(central);
        edit->setObjectName(QLatin1String(boxName));
        edit->setReadOnly(true);
        edit->setMinimumWidth(200);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        return std::pair{label, edit};
    };
    std::tie(m_customersLabel, m_customersRetrieved) =
        makeRow(0, "Label4", QStringLiteral("Last Customer Retrieval"), "Cust");
    std::tie(m_invoicesLabel, m_invoicesRetrieved) =
        makeRow(1, "Label2", QStringLiteral("Last Invoice Retrieval"), "Inv");
    grid->setRowStretch(2, 1);
    setCentralWidget(central);
}

QAction *MainMenu::addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void MainMenu::createMenus()
{
    m_customersMenu = menuBar()->addMenu(QStringLiteral("&Customers"));
    m_customersMenu->setObjectName(QStringLiteral("mnuCust"));
    m_retrieveCustomers =
        addEntry(m_customersMenu, "mnuRetCust", QStringLiteral("&Retrieve Customers"));
    m_displayCustomers =
        addEntry(m_customersMenu, "mnuDispCust", QStringLiteral("&Display Customer Data"));
    m_customerSales =
        addEntry(m_customersMenu, "CustSales", QStringLiteral("&Customer Sales by State, Zip"));
    m_lettersAndLabels =
        addEntry(m_customersMenu, "mnuLML", QStringLiteral("Letters && Mailing Labels"));
    m_campaignLists = addEntry(m_customersMenu, "mnuCampaign", QStringLiteral("Campaign &Lists"));
    // Where QBData.mdb is, for the mail merge: beside the entries that lead to it.
    m_customersMenu->addSeparator()->setObjectName(QStringLiteral("mnuAboutBar"));
    m_about = addEntry(m_customersMenu, "mnuAbout", QStringLiteral("&About Corvina"));
    // Only what changed since the last retrieval or refresh.
    m_refreshCustomers =
        addEntry(m_customersMenu, "mnuRefCust", QStringLiteral("Re&fresh Customers"));

    m_invoicesMenu = menuBar()->addMenu(QStringLiteral("&Invoices"));
    m_invoicesMenu->setObjectName(QStringLiteral("mnuInv"));
    m_retrieveInvoices =
        addEntry(m_invoicesMenu, "mnuRetInv", QStringLiteral("&Retrieve Invoices"));
    m_displayInvoices =
        addEntry(m_invoicesMenu, "mnuDispInv", QStringLiteral("&Display Invoice Data"));
    // How QuickBooks is reached: the stand-in here or the Web Connector on a Windows PC.
    m_invoicesMenu->addSeparator();
    m_connection =
        addEntry(m_invoicesMenu, "mnuQBConnection", QStringLiteral("QuickBooks &Connection..."));
    m_refreshInvoices = addEntry(m_invoicesMenu, "mnuRefInv", QStringLiteral("Re&fresh Invoices"));

    // A top-level entry without a submenu: choosing it runs the action at once.
    m_itemAging = menuBar()->addAction(QStringLiteral("&Item Analyzer"));
    m_itemAging->setObjectName(QStringLiteral("mnuItemAging"));
}

void MainMenu::connectActions()
{
    // Each entry is one user action: its first unexpected error shows a box, later ones of
    // the same action only reach the log (the retrievals open theirs in runRetrieval).
    const auto action = [this](auto body) {
        return [this, body] {
            ErrorReport::Action scope(m_state.errors());
            body();
        };
    };
    connect(m_lettersAndLabels, &QAction::triggered, this,
            action([this] { openMailMergeGuide(m_state); }));
    connect(m_retrieveCustomers, &QAction::triggered, this,
            [this] { m_state.runRetrieval(GetCustomers); });
    connect(m_retrieveInvoices, &QAction::triggered, this,
            [this] { m_state.runRetrieval(GetInvoices); });
    connect(m_refreshCustomers, &QAction::triggered, this,
            [this] { m_state.runRetrieval(RefreshCustomers); });
    connect(m_refreshInvoices, &QAction::triggered, this,
            [this] { m_state.runRetrieval(RefreshInvoices); });
    connect(m_customerSales, &QAction::triggered, this,
            action([this] { showCustSales(m_state, this); }));
    // One window of each browser: choosing the entry again brings it forward, read afresh.
    connect(m_displayCustomers, &QAction::triggered, this,
            action([this] { showCustData(m_state); }));
    connect(m_displayInvoices, &QAction::triggered, this,
            action([this] { showInvoiceData(m_state); }));
    connect(m_itemAging, &QAction::triggered, this,
            action([this] { runItemAging(m_state, this); }));
    connect(m_connection, &QAction::triggered, this,
            action([this] { showQuickBooksConnection(m_state, this); }));
    connect(m_campaignLists, &QAction::triggered, this,
            action([this] { showCampaignLists(m_state, this); }));
    connect(m_about, &QAction::triggered, this, [this] {
        m_state.screen().message(aboutText({m_state.appFolder(), m_state.sharedFolder()},
                                           QCoreApplication::applicationVersion()),
                                 QStringLiteral("About Corvina"), Buttons::Ok);
    });
}

void MainMenu::load()
{
    std::optional<RecoveryNotice> notice;
    const RetrievalDates dates = readRetrievalDates(m_state.appFolder(), &notice);
    if (notice)
        m_state.screen().message(notice->message(), kAppTitle, Buttons::Ok);

    m_customersRetrieved->setText(dates.cust ? generalDateText(*dates.cust) : QString());
    m_invoicesRetrieved->setText(dates.inv ? generalDateText(*dates.inv) : QString());
    const bool haveCustomers = !m_customersRetrieved->text().isEmpty();
    const bool haveInvoices = !m_invoicesRetrieved->text().isEmpty();
    m_displayCustomers->setEnabled(haveCustomers);
    m_lettersAndLabels->setEnabled(haveCustomers);
    m_displayInvoices->setEnabled(haveInvoices);
    m_itemAging->setEnabled(haveInvoices);
    m_campaignLists->setEnabled(haveInvoices);
}

QLineEdit *MainMenu::box(RetrievalBox which) const
{
    return which == RetrievalBox::Cust ? m_customersRetrieved : m_invoicesRetrieved;
}

QString MainMenu::boxText(RetrievalBox which) const
{
    return box(which)->text();
}

void MainMenu::setBoxText(RetrievalBox which, const QString &text)
{
    box(which)->setText(text);
}

void MainMenu::enableEntry(MenuEntry entry)
{
    switch (entry) {
    case MenuEntry::DispCust: m_displayCustomers->setEnabled(true); break;
    case MenuEntry::LettersAndLabels: m_lettersAndLabels->setEnabled(true); break;
    case MenuEntry::DispInv: m_displayInvoices->setEnabled(true); break;
    case MenuEntry::ItemAging:
        m_itemAging->setEnabled(true);
        m_campaignLists->setEnabled(true); // the campaign lists need the invoices too
        break;
    }
}

} // namespace corvina
