#pragma once

#include "views/CustomerBrowser.h"
#include "views/ui/FieldPrintSource.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace corvina {

class CustomerGridModel;
class ProgramState;

// "Customer Data": the local customers in a read-only grid, narrowed by billing state and
// customer type, with Go To by the first letter of the name and "&Print" into CustFlds.
//
// Open it with showCustData(): it loads itself when made (a load step that fails is
// reported with its number and leaves the window as far as it got) and is deleted when
// closed. The window keeps its own snapshot of the customers from load to close; "&Clear
// Filter" loads it afresh.
class CustData : public QWidget, public FieldPrintSource {
    Q_OBJECT
public:
    // The numbered load steps, as the load-error message names them.
    enum LoadStep { OpenConnection = 10, OpenCustomers = 20, ShowCount = 30, OpenLists = 40 };

    explicit CustData(ProgramState &state, QWidget *parent = nullptr);
    ~CustData() override;

    // The window's list, null when the load failed before it was opened.
    CustomerBrowser *customers() const noexcept { return m_browser.get(); }
    CustomerGridModel *gridModel() const noexcept { return m_model; }

    // The window as it opens, read afresh: no filter, combos at "State" and "Type".
    void reload();

    CustomerList &printList() override;
    FieldPrintHeader printHeader() const override;
    QList<QWidget *> printWindows() override { return {this}; }
    void printFinished() override { showCurrentRow(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void createFilterControls();
    void placeControls();
    void connectControls();

    void load();
    void loadSteps(int &step);
    void reportLoadError(int step, const QString &description);
    void unload();
    void filterChanged(CustomerBrowser::Combo changed);
    void goToTyped(const QString &text);
    void print();
    void showCount();
    void showCurrentRow();
    void gridRowChanged(int row);

    ProgramState &m_state;
    std::unique_ptr<CustomerBrowser> m_browser;
    EmptyCustomerList m_noList;
    CustomerGridModel *m_model = nullptr;
    bool m_quiet = false; // set while the window itself changes the combos or the grid
    QTableView *m_grid = nullptr;
    QLabel *m_countLabel = nullptr;
    QLineEdit *m_countBox = nullptr;
    QLabel *m_goToLabel = nullptr;
    QLineEdit *m_goToBox = nullptr;
    QGroupBox *m_filterFrame = nullptr;
    QComboBox *m_stateCombo = nullptr;
    QComboBox *m_typeCombo = nullptr;
    QPushButton *m_clearFilterButton = nullptr;
    QPushButton *m_printButton = nullptr;
};

// "&Display Customer Data": the one Customer Data window, brought forward and read afresh
// when it is open, else a new one.
CustData *showCustData(ProgramState &state);

} // namespace corvina
