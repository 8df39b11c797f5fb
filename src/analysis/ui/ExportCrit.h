#pragma once

#include "analysis/ItemAgingExport.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace corvina {

class ProgramState;

// "Export Criteria": which Item Analyzer rows the export takes. No option is set when it
// opens; "&OK" hides it (accepting its modal run) and the caller reads the options.
class ExportCrit : public QDialog {
    Q_OBJECT
public:
    explicit ExportCrit(QWidget *parent = nullptr);

    // The chosen rows; every row when no option is set.
    ExportCriterion criterion() const;

private:
    void createControls();
    void layOut();
    QGroupBox *m_rowsFrame = nullptr;
    QRadioButton *m_withSales = nullptr;
    QRadioButton *m_withoutSales = nullptr;
    QRadioButton *m_allItems = nullptr;
    QPushButton *m_okButton = nullptr;
};

// The Item Analyzer's "&Export": asks for the criterion in ExportCrit, then writes the rows
// of state.itemAging() that pass `filter` to ItemAnalyzerData.xlsx in the user's documents
// folder (or `folder` when given) and tells the user where it went or why it failed.
// Closing the dialog through its title bar exports nothing.
void exportItemAging(ProgramState &state, const ItemFilter &filter, QWidget *parent,
                     const QString &folder = {});

} // namespace corvina
