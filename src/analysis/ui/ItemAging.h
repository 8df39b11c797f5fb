#pragma once

#include "analysis/ChosenItem.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace corvina {

class ItemAgingGridModel;
class ItemSalesChart;
class ProgramState;

// "Item Analyzer": the result GetItemAging left in state.itemAging(), one block of grid rows
// per item with a line per customer. The items can be filtered by the start of their name
// or description, printed (DataReport1), exported, and the customers not buying / reps not
// selling opened for the current row's item or for all shown items; a chart beside the grid
// shows the current row's item's sales by month over the period analysed. Closing the window
// releases the result. Modeless, deleted when closed.
class ItemAging : public QWidget {
    Q_OBJECT
public:
    explicit ItemAging(ProgramState &state, QWidget *parent = nullptr);
    ~ItemAging() override;

    ItemAgingGridModel *model() const noexcept { return m_model; }
    // The item of the grid's current row; empty without one.
    ChosenItem currentItem() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void placeControls();
    void load();
    void connectHandlers();
    void filterOn(const QString &field, const QString &text);
    void makeColumnOneCurrent();
    void print();
    // The chart beside the grid follows the current row's item.
    void showItemSales();

    ProgramState &m_state;
    ItemAgingGridModel *m_model = nullptr;
    ItemSalesChart *m_salesChart = nullptr;
    int m_bottomDistance = 0; // pixels from the bottom edge to the top of Frame1
    QLabel *m_periodLabel = nullptr;
    QTableView *m_grid = nullptr;
    QGroupBox *m_customersFrame = nullptr;
    QRadioButton *m_customersForItem = nullptr;
    QRadioButton *m_customersForAll = nullptr;
    QGroupBox *m_repsFrame = nullptr;
    QRadioButton *m_repsForItem = nullptr;
    QRadioButton *m_repsForAll = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QLabel *m_filterHint = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLineEdit *m_nameFilter = nullptr;
    QLabel *m_descriptionLabel = nullptr;
    QLineEdit *m_descriptionFilter = nullptr;
};

// "&Item Analyzer": runs GetItemAging and opens the window on its result.
void runItemAging(ProgramState &state, QWidget *parent = nullptr);

} // namespace corvina
