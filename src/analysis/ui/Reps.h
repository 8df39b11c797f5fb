#pragma once

#include "analysis/ChosenItem.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace corvina {

class MailingLabels;
class ProgramState;
class RecordsetGridModel;
class RepsNotSelling;

namespace reporting {
class ReportPreview;
}

// "Reps Not Selling": the sales reps without an invoice line for the item (or for any item),
// with "&Print" into DataReport3 and a box that saves the list into NoSellReps for the
// user's mail merge.
//
// Open it with `(new Reps(state, allItems, item))->show();` — it loads itself when made
// (possibly asking to refresh Reps from QuickBooks first) and is deleted when closed. The
// list is computed once per window.
class Reps : public QWidget {
    Q_OBJECT

public:
    Reps(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent = nullptr);
    ~Reps() override;

    // The window's list; null when the load failed before it was made.
    RepsNotSelling *list() const noexcept { return m_list.get(); }
    // "&Print": the working list as it stands, in the DataReport3 preview; null on failure.
    reporting::ReportPreview *print();
    // "Mailing &Labels": the working list's names on label sheets (Reps holds no
    // addresses); the labels window.
    MailingLabels *printLabels();

private:
    void createControls();
    void placeControls();
    void connectControls();
    void load();
    void checkClicked(bool checked);
    void reportError(const QString &description, std::int32_t number);

    ProgramState &m_state;
    std::unique_ptr<RepsNotSelling> m_list;
    RecordsetGridModel *m_model = nullptr;
    QLabel *m_caption = nullptr;
    QTableView *m_grid = nullptr;
    QCheckBox *m_mailMergeBox = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_labelsButton = nullptr;
};

// Shows the Reps window for this mode and item: an open one for the same mode and item is
// only brought forward (its list is computed once); an open one for another item or mode is
// closed and a new one loaded, so the list, its save and its report always describe the
// item the user chose.
Reps *showReps(ProgramState &state, bool allItems, const ChosenItem &item,
               QWidget *parent = nullptr);

} // namespace corvina
