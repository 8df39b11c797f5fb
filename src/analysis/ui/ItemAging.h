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

    QLabel *Label4;
    QTableView *MSHFlexGrid1;
    QGroupBox *Frame1;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QGroupBox *Frame2;
    QRadioButton *Option3;
    QRadioButton *Option4;
    QPushButton *Command2;
    QPushButton *Command1;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Text1;
    QLabel *Label3;
    QLineEdit *Text2;

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
};

// "&Item Analyzer": runs GetItemAging and opens the window on its result.
void runItemAnalyzer(ProgramState &state, QWidget *parent = nullptr);

} // namespace corvina
