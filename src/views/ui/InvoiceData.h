#pragma once

#include "views/InvoiceList.h"

#include <QWidget>

#include <array>
#include <memory>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableView;

namespace corvina {

class Error;
class InvoiceTotals;
class ProgramState;

// "Invoice Data": every invoice line of QBData.mdb in a read-only grid, sorted by one of six
// columns, with the total and the number of lines of the current line's invoice.
//
// Open it with showInvoiceData(): the window loads itself on construction (a load error is
// reported in a message of its own, and the window stays open with what was set up), is
// shown without waiting and deletes itself when closed.
//
// Controls carry the system's names as objectName; the six sort options are
// each named "Option1" and tell their place by the property "Index".
class InvoiceData : public QWidget {
    Q_OBJECT

public:
    explicit InvoiceData(ProgramState &state, QWidget *parent = nullptr);
    ~InvoiceData() override;

    // The numbered load steps a failure message names.
    enum LoadStep {
        OpenList = 10,
        SortByCustomer = 20,
        FormatColumns = 30,
        TakeTotals = 40,
        ShowTotals = 50
    };

    // The grid's model: the invoice list.
    InvoiceList *list() const noexcept { return m_list; }

    // The window as it opens, read afresh: sorted by customer, the first line current.
    void reload();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Placement;

    void createControls();
    void createSortOptions();
    void placeControls();
    int placeSortOptions();
    void connectControls();
    void load();
    void bindGrid();
    void formatColumns();
    void showTotalsOf(int row);
    void optionToggled(int index, bool checked);
    void showFirstLine();
    void reportError(const Error &error);
    void reportError(const QString &description, qint32 number);

    ProgramState &m_state;
    InvoiceList *m_list = nullptr;
    std::unique_ptr<InvoiceTotals> m_totals;
    QButtonGroup *m_sortGroup = nullptr;
    std::vector<Placement> m_placements;
    QSize m_smallest;
    bool m_settingCurrent = false;
    QTableView *m_grid = nullptr;
    QGroupBox *m_sortFrame = nullptr;
    std::array<QRadioButton *, kInvoiceSortCount> m_sortOptions{};
    QLabel *m_invoiceLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QLineEdit *m_totalBox = nullptr;
    QLabel *m_linesLabel = nullptr;
    QLineEdit *m_linesBox = nullptr;
};

// "&Display Invoice Data": the one Invoice Data window, brought forward and read afresh
// when it is open, else a new one.
InvoiceData *showInvoiceData(ProgramState &state);

} // namespace corvina
