#pragma once

#include "analysis/campaign/CampaignData.h"
#include "localdb/Recordset.h"
#include "views/CustomerList.h"
#include "views/ui/FieldPrintSource.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;

namespace corvina {

class CampaignPanel;
class LapsedPanel;
class ReorderPanel;
class BoughtANotBPanel;
class RfmPanel;
class ProgramState;

// "Campaign Lists": the lapsed customers, the customers due to reorder, the customers who
// bought A and not B, and the RFM segments, one tab each, over the local copy as it was when
// the window opened. Whatever list the current tab shows goes, as the non-buyers list does,
// to CampaignCustomers for mail merge ("&Save for Mail Merge", after confirmation), to
// CampaignCustomers.xlsx in the documents folder ("&Export"), to the customer field printing
// ("&Print") and to mailing labels ("Mailing &Labels").
//
// Open it with showCampaignLists(). It loads itself when made (a failure is reported through
// ShowError as "CampaignLists" and leaves the lists empty) and is deleted when closed.
class CampaignLists : public QWidget, public FieldPrintSource {
    Q_OBJECT
public:
    explicit CampaignLists(ProgramState &state, QWidget *parent = nullptr);
    ~CampaignLists() override;

    // Where "&Export" writes; the documents folder unless set (tests).
    void setExportFolder(const QString &folder) { m_exportFolder = folder; }
    const CampaignData &campaignData() const noexcept { return m_data; }
    // The panel of the current tab.
    CampaignPanel *currentPanel() const;
    RfmPanel *rfmPanel() const noexcept { return m_rfm; }

    CustomerList &printList() override { return m_printList; }
    FieldPrintHeader printHeader() const override;
    QList<QWidget *> printWindows() override { return {this}; }

    void saveForMailMerge();
    void exportList();
    void print();
    void mailingLabels();

private:
    void createControls();
    void load();
    void tabChanged();
    void showCount();
    // The current list's customers with every column and the reason; false when no list.
    bool prepareMailRows();

    ProgramState &m_state;
    CampaignData m_data;
    Recordset m_mailRows;
    RecordsetCustomerList m_printList{m_mailRows};
    QString m_mailTitle;
    QString m_exportFolder;
    QTabWidget *m_tabs = nullptr;
    LapsedPanel *m_lapsed = nullptr;
    ReorderPanel *m_reorder = nullptr;
    BoughtANotBPanel *m_boughtANotB = nullptr;
    RfmPanel *m_rfm = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_period = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_labels = nullptr;
};

// Opens the window, or brings an open one forward.
CampaignLists *showCampaignLists(ProgramState &state, QWidget *parent = nullptr);

} // namespace corvina
