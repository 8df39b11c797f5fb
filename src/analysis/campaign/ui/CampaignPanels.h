#pragma once

#include "analysis/campaign/CampaignLists.h"
#include "analysis/campaign/Rfm.h"

#include <QWidget>

class QBoxLayout;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace corvina {

class CampaignGridModel;
class RfmChart;

// One tab of the Campaign Lists window: a row of parameters, "&Find", and a grid of the
// customers found. The window hands the data in with setData() and asks for the list with
// refresh(); the panel emits listChanged() after each new list.
class CampaignPanel : public QWidget {
    Q_OBJECT
public:
    explicit CampaignPanel(QWidget *parent = nullptr);

    // `data` must outlive the panel or be replaced first.
    void setData(const CampaignData *data, const QDate &today);
    // Computes the list from the parameters shown.
    void refresh();
    bool hasList() const noexcept { return m_computed; }
    const CampaignResult &list() const noexcept { return m_list; }
    QTableView *grid() const noexcept { return m_grid; }

signals:
    void listChanged();

protected:
    virtual void dataChanged() {}
    virtual CampaignResult compute() = 0;
    // The parameters' row, above the grid; "&Find" ends it.
    QBoxLayout *parameters() const noexcept { return m_parameters; }
    QBoxLayout *body() const noexcept { return m_body; }
    const CampaignData *data() const noexcept { return m_data; }
    const QDate &today() const noexcept { return m_today; }

private:
    QBoxLayout *m_body = nullptr;
    QBoxLayout *m_parameters = nullptr;
    QTableView *m_grid = nullptr;
    CampaignGridModel *m_model = nullptr;
    const CampaignData *m_data = nullptr;
    QDate m_today;
    CampaignResult m_list;
    bool m_computed = false;
};

class LapsedPanel : public CampaignPanel {
    Q_OBJECT
public:
    explicit LapsedPanel(QWidget *parent = nullptr);

protected:
    void dataChanged() override;
    CampaignResult compute() override;

private:
    void daysChanged();

    QSpinBox *m_months = nullptr;
    QSpinBox *m_daysBefore = nullptr;
    QDateEdit *m_cutoff = nullptr;
};

class ReorderPanel : public CampaignPanel {
    Q_OBJECT
public:
    explicit ReorderPanel(QWidget *parent = nullptr);

protected:
    CampaignResult compute() override;

private:
    QSpinBox *m_minPurchases = nullptr;
    QDoubleSpinBox *m_factor = nullptr;
    QLineEdit *m_prefix = nullptr;
};

class BoughtANotBPanel : public CampaignPanel {
    Q_OBJECT
public:
    explicit BoughtANotBPanel(QWidget *parent = nullptr);

protected:
    void dataChanged() override;
    CampaignResult compute() override;

private:
    BoughtANotBParams params() const;
    void suggest();
    void suggestionChosen(int row);

    QRadioButton *m_byItem = nullptr;
    QRadioButton *m_byKind = nullptr;
    QComboBox *m_itemA = nullptr;
    QComboBox *m_kindA = nullptr;
    QComboBox *m_itemB = nullptr;
    QTableWidget *m_suggestions = nullptr;
    std::vector<LiftSuggestion> m_suggested;
};

class RfmPanel : public CampaignPanel {
    Q_OBJECT
public:
    explicit RfmPanel(QWidget *parent = nullptr);

    RfmChart *chart() const noexcept { return m_chart; }
    QComboBox *segmentBox() const noexcept { return m_segment; }

protected:
    void dataChanged() override;
    CampaignResult compute() override;

private:
    QComboBox *m_segment = nullptr;
    RfmChart *m_chart = nullptr;
    std::vector<RfmCustomer> m_scored;
};

} // namespace corvina
