#include "analysis/CustsGridModel.h"

#include "localdb/Recordset.h"
#include "views/CustomerList.h"

namespace corvina {

void CustsGridModel::setList(const Recordset *list)
{
    beginResetModel();
    m_list = list;
    m_fields.clear();
    if (m_list) {
        for (const QString &name : kColumns)
            m_fields.push_back(m_list->fieldIndex(name));
    }
    endResetModel();
}

int CustsGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : m_list->storedRowCount();
}

int CustsGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant CustsGridModel::data(const QModelIndex &index, int role) const
{
    if (!m_list || !index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount())
        return {};
    const int field = m_fields[static_cast<size_t>(index.column())];
    if (field < 0)
        return QString();
    return customerValueText(m_list->storedRow(index.row()).at(static_cast<size_t>(field)));
}

QVariant CustsGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < kColumns.size() ? QVariant(kColumns.at(section))
                                                         : QVariant();
    return section + 1;
}

} // namespace corvina
