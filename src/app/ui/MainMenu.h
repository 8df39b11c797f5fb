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
// Controls and menu entries carry the system's names, as members and as objectName.
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

    QLabel *Label4 = nullptr;
    QLineEdit *Cust = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Inv = nullptr;

    QMenu *mnuCust = nullptr;
    QAction *mnuRetCust = nullptr;
    QAction *mnuDispCust = nullptr;
    QAction *CustSales = nullptr;
    QAction *mnuLML = nullptr;
    QMenu *mnuInv = nullptr;
    QAction *mnuRetInv = nullptr;
    QAction *mnuDispInv = nullptr;
    QAction *mnuItemAging = nullptr;

private:
    void createControls();
    void createMenus();
    void connectActions();
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    QLineEdit *box(RetrievalBox which) const;

    ProgramState &m_state;
};

} // namespace corvina
