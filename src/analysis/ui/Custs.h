#pragma once

#include "analysis/ChosenItem.h"
#include "views/CustomerList.h"
#include "views/ui/FieldPrintSource.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace corvina {

class CustsNotBuying;
class ProgramState;
class RecordsetGridModel;

// "Non-Buying Customer Data": the customers who did not buy `item` (or, with `allItems`,
// anything) in a read-only grid. The check box saves them into NoBuyCustomers for mail
// merge, "&Export" writes CustsNotBuying.xlsx to the documents folder, "&Print" opens
// CustFlds over the list and "Mailing &Labels" the label sheets of the list.
//
// Open it with `(new Custs(state, allItems, item))->show();`: it loads itself when made
// (a failure is reported through ShowError as "Custs" and leaves the list empty), sits in
// the top left corner of the screen and is deleted when closed. A save that fails says so
// in a message of its own and unchecks the box; NoBuyCustomers keeps its earlier rows.
class Custs : public QWidget, public FieldPrintSource {
    Q_OBJECT
public:
    Custs(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent = nullptr);
    ~Custs() override;

    // The list behind the window.
    CustsNotBuying &customers() { return *m_list; }
    // Where "&Export" writes; the documents folder unless set (tests).
    void setExportFolder(const QString &folder) { m_exportFolder = folder; }

    CustomerList &printList() override { return m_printList; }
    FieldPrintHeader printHeader() const override;
    // This window and the Item Analyzer it was opened from.
    QList<QWidget *> printWindows() override;

private:
    void createControls();
    void layOut(bool allItems);
    void load();
    void checkClicked(bool checked);
    void print();
    void printLabels();
    void exportList();
    void reportError(const QString &description, std::int32_t number);

    ProgramState &m_state;
    std::unique_ptr<CustsNotBuying> m_list;
    RecordsetCustomerList m_printList;
    RecordsetGridModel *m_model = nullptr;
    QPushButton *m_labelsButton = nullptr;
    QString m_exportFolder;
    QLabel *m_caption = nullptr;
    QLineEdit *m_itemBox = nullptr;
    QTableView *m_grid = nullptr;
    QCheckBox *m_mailMergeBox = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_exportButton = nullptr;
};

// Shows the Custs window for this mode and item: an open one for the same mode and item is
// only brought forward (its list is computed once); an open one for another item or mode is
// closed and a new one loaded, so the list and its save describe the item the user chose.
Custs *showCusts(ProgramState &state, bool allItems, const ChosenItem &item,
                 QWidget *parent = nullptr);

} // namespace corvina
