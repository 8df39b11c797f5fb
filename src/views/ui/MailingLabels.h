#pragma once

#include "reporting/labels/LabelSheet.h"
#include "reporting/labels/MailingList.h"

#include <QWidget>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace corvina {

class LabelDocument;
class ProgramState;

namespace reporting {
class ReportPreview;
}

// The mailing labels of one list: a line saying what went onto the labels and what did
// not, the sheet to print on, and the report preview of the sheets (paging, printing,
// zoom), with "Save as &PDF...". Choosing another sheet lays the labels out again.
class MailingLabels : public QWidget {
    Q_OBJECT
public:
    MailingLabels(ProgramState &state, const MailingList &list, QWidget *parent = nullptr);
    ~MailingLabels() override;

    static std::vector<LabelSheet> sheets();

    // The sheets as now laid out.
    LabelDocument &document();
    const LabelRows &rows() const { return *m_rows; }
    reporting::ReportPreview *preview() const { return m_preview; }
    void chooseSheet(int index);
    // The line above the preview.
    QString summary() const;
    // Writes every sheet to a PDF file; a failure is told to the user. Returns success.
    bool savePdf(const QString &path);

private:
    void createControls();
    void showSheets();
    void fitInIdleTime();
    void askAndSavePdf();

    ProgramState &m_state;
    QString m_title;
    bool m_postal = true;
    std::shared_ptr<const LabelRows> m_rows;
    std::shared_ptr<LabelDocument> m_document;
    QComboBox *m_sheetBox = nullptr;
    QLabel *m_summaryLabel = nullptr;
    QPushButton *m_savePdfButton = nullptr;
    QVBoxLayout *m_layout = nullptr;
    reporting::ReportPreview *m_preview = nullptr;
};

// Opens the mailing-labels window for the list, not waiting: a line above the pages says
// how many labels there are, how many entries were left out for want of a usable address
// and how many labels were shortened to fit; the sheet (US Letter 30 labels of
// 2.625 x 1 in, or A4 21 labels of 63.5 x 38.1 mm) is chosen in the window, which prints
// or saves a PDF. The window deletes itself when closed; it is returned.
MailingLabels *showMailingLabels(ProgramState &state, const MailingList &list,
                                 QWidget *parent = nullptr);

} // namespace corvina
