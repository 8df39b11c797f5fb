#include "analysis/RepsGridModel.h"

#include "localdb/Recordset.h"

namespace corvina {

RepsGridModel::RepsGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void RepsGridModel::setList(const Recordset *list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

int RepsGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : m_list->storedRowCount();
}

int RepsGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : static_cast<int>(m_list->fields().size());
}

QVariant RepsGridModel::data(const QModelIndex &index, int role) const
{
    if (!m_list || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return m_list->storedRow(index.row()).at(static_cast<size_t>(index.column()));
}

QVariant RepsGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (!m_list || section < 0 || section >= columnCount())
        return {};
    return m_list->fields().at(static_cast<size_t>(section)).name;
}

} // namespace corvina
