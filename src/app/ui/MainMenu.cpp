#include "app/ui/MainMenu.h"

#include "analysis/ui/ItemAging.h"
#include "retrieval/Retrievals.h"
#include "app/MailMergeGuide.h"
#include "state/ProgramState.h"
#include "retrieval/RetrievalDates.h"
#include "views/ui/CustData.h"
#include "views/ui/DataReport4.h"
#include "views/ui/InvoiceData.h"

#include <QAction>
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
    std::tie(Label4, Cust) = makeRow(0, "Label4", QStringLiteral("Last Customer Retrieval"), "Cust");
    std::tie(Label2, Inv) = makeRow(1, "Label2", QStringLiteral("Last Invoice Retrieval"), "Inv");
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
    mnuCust = menuBar()->addMenu(QStringLiteral("&Customers"));
    mnuCust->setObjectName(QStringLiteral("mnuCust"));
    mnuRetCust = addEntry(mnuCust, "mnuRetCust", QStringLiteral("&Retrieve Customers"));
    mnuDispCust = addEntry(mnuCust, "mnuDispCust", QStringLiteral("&Display Customer Data"));
    CustSales = addEntry(mnuCust, "CustSales", QStringLiteral("&Customer Sales by State, Zip"));
    mnuLML = addEntry(mnuCust, "mnuLML", QStringLiteral("Letters && Mailing Labels"));

    mnuInv = menuBar()->addMenu(QStringLiteral("&Invoices"));
    mnuInv->setObjectName(QStringLiteral("mnuInv"));
    mnuRetInv = addEntry(mnuInv, "mnuRetInv", QStringLiteral("&Retrieve Invoices"));
    mnuDispInv = addEntry(mnuInv, "mnuDispInv", QStringLiteral("&Display Invoice Data"));

    // A top-level entry without a submenu: choosing it runs the action at once.
    mnuItemAging = menuBar()->addAction(QStringLiteral("&Item Analyzer"));
    mnuItemAging->setObjectName(QStringLiteral("mnuItemAging"));
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
    connect(mnuLML, &QAction::triggered, this, action([this] { openMailMergeGuide(m_state); }));
    connect(mnuRetCust, &QAction::triggered, this, [this] { m_state.runRetrieval(GetCustomers); });
    connect(mnuRetInv, &QAction::triggered, this, [this] { m_state.runRetrieval(GetInvoices); });
    connect(CustSales, &QAction::triggered, this, action([this] { showCustSales(m_state, this); }));
    // One window of each browser: choosing the entry again brings it forward, read afresh.
    connect(mnuDispCust, &QAction::triggered, this, action([this] { showCustData(m_state); }));
    connect(mnuDispInv, &QAction::triggered, this, action([this] { showInvoiceData(m_state); }));
    connect(mnuItemAging, &QAction::triggered, this, action([this] { runItemAnalyzer(m_state, this); }));
}

void MainMenu::load()
{
    std::optional<RecoveryNotice> notice;
    const RetrievalDates dates = readRetrievalDates(m_state.appFolder(), &notice);
    if (notice)
        m_state.screen().message(notice->message(), kAppTitle, Buttons::Ok);

    Cust->setText(dates.cust ? generalDateText(*dates.cust) : QString());
    Inv->setText(dates.inv ? generalDateText(*dates.inv) : QString());
    const bool haveCustomers = !Cust->text().isEmpty();
    const bool haveInvoices = !Inv->text().isEmpty();
    mnuDispCust->setEnabled(haveCustomers);
    mnuLML->setEnabled(haveCustomers);
    mnuDispInv->setEnabled(haveInvoices);
    mnuItemAging->setEnabled(haveInvoices);
}

QLineEdit *MainMenu::box(RetrievalBox which) const
{
    return which == RetrievalBox::Cust ? Cust : Inv;
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
    case MenuEntry::DispCust: mnuDispCust->setEnabled(true); break;
    case MenuEntry::LettersAndLabels: mnuLML->setEnabled(true); break;
    case MenuEntry::DispInv: mnuDispInv->setEnabled(true); break;
    case MenuEntry::ItemAging: mnuItemAging->setEnabled(true); break;
    }
}

} // namespace corvina
