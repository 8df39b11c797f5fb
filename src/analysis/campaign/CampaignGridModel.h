#pragma once

#include "analysis/campaign/CampaignLists.h"

#include <QAbstractTableModel>

namespace corvina {

// A campaign list in the Campaign Lists window's grid: the customer's name, then the list's
// own columns, read-only. Call setList again after the list changes.
class CampaignGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Both must outlive the model or be replaced first; null shows nothing.
    void setList(const CampaignData *data, const CampaignResult *list);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const CampaignData *m_data = nullptr;
    const CampaignResult *m_list = nullptr;
};

// A value of a list's column as the grid shows it.
QString campaignCellText(const QVariant &value, CampaignColumn::Kind kind);

} // namespace corvina
