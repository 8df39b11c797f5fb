#include "analysis/campaign/CampaignGridModel.h"

#include "analysis/campaign/CampaignText.h"

namespace corvina {

void CampaignGridModel::setList(const CampaignData *data, const CampaignResult *list)
{
    beginResetModel();
    m_data = data;
    m_list = data ? list : nullptr;
    endResetModel();
}

int CampaignGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : static_cast<int>(m_list->rows.size());
}

int CampaignGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : static_cast<int>(m_list->columns.size()) + 1;
}

QVariant CampaignGridModel::data(const QModelIndex &index, int role) const
{
    if (!m_list || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const CampaignRow &row = m_list->rows[static_cast<size_t>(index.row())];
    if (role == Qt::ToolTipRole)
        return row.reason;
    if (index.column() == 0)
        return role == Qt::DisplayRole
                   ? QVariant(m_data->customers()[static_cast<size_t>(row.customer)].name)
                   : QVariant();
    const auto column = static_cast<size_t>(index.column() - 1);
    const CampaignColumn::Kind kind = m_list->columns[column].kind;
    if (role == Qt::DisplayRole)
        return campaignCellText(row.values[column], kind);
    if (role == Qt::TextAlignmentRole && kind != CampaignColumn::Kind::Text)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

QVariant CampaignGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !m_list || section < 0 ||
        section >= columnCount())
        return {};
    return section == 0 ? QStringLiteral("Customer")
                        : m_list->columns[static_cast<size_t>(section - 1)].title;
}

QString campaignCellText(const QVariant &value, CampaignColumn::Kind kind)
{
    using Kind = CampaignColumn::Kind;
    if (value.isNull())
        return {};
    switch (kind) {
    case Kind::Date: return campaignDateText(value.toDate());
    case Kind::Money: return moneyText(value.toDouble());
    case Kind::Days: return numberText(value.toDouble());
    case Kind::Count: return QString::number(value.toLongLong());
    case Kind::Ratio: return QString::number(value.toDouble(), 'f', 2);
    case Kind::Text: break;
    }
    return value.toString();
}

} // namespace corvina
