#pragma once

#include "base/Screen.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace corvina {

class ProgramState;

// The start-up window: the last retrieval times and the menus into every function.
// Controls and menu entries carry the system's names as objectName.
class MainMenu : public QMainWindow {
    Q_OBJECT

public:
    explicit MainMenu(ProgramState &state, QWidget *parent = nullptr);

    // Form load: shows the retrieval times of Dates.adtg (making the file when missing)
    // and enables the entries that have data behind them.
    void load();

    QString boxText(RetrievalBox box) const;
    void setBoxText(RetrievalBox box, const QString &text);
    void enableEntry(MenuEntry entry);

private:
    void createControls();
    void createMenus();
    void connectActions();
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    QLineEdit *box(RetrievalBox which) const;

    ProgramState &m_state;
    QLabel *m_customersLabel = nullptr;
    QLineEdit *m_customersRetrieved = nullptr;
    QLabel *m_invoicesLabel = nullptr;
    QLineEdit *m_invoicesRetrieved = nullptr;
    QMenu *m_customersMenu = nullptr;
    QAction *m_retrieveCustomers = nullptr;
    QAction *m_displayCustomers = nullptr;
    QAction *m_customerSales = nullptr;
    QAction *m_lettersAndLabels = nullptr;
    QAction *m_campaignLists = nullptr;
    QAction *m_about = nullptr;
    QAction *m_refreshCustomers = nullptr;
    QMenu *m_invoicesMenu = nullptr;
    QAction *m_retrieveInvoices = nullptr;
    QAction *m_displayInvoices = nullptr;
    QAction *m_connection = nullptr;
    QAction *m_refreshInvoices = nullptr;
    QAction *m_itemAging = nullptr;
};

} // namespace corvina
