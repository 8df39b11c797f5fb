#include "analysis/RecordsetGridModel.h"

#include "localdb/Recordset.h"

namespace corvina {

RecordsetGridModel::RecordsetGridModel(QStringList columns, ValueText text, QObject *parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)), m_text(std::move(text))
{
}

void RecordsetGridModel::setList(const Recordset *list)
{
    beginResetModel();
    m_list = list;
    m_fields.clear();
    if (m_list) {
        if (m_columns.isEmpty()) {
            for (std::size_t i = 0; i < m_list->fields().size(); ++i)
                m_fields.push_back(static_cast<int>(i));
        } else {
            for (const QString &name : m_columns)
                m_fields.push_back(m_list->fieldIndex(name));
        }
    }
    endResetModel();
}

int RecordsetGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_list ? 0 : m_list->storedRowCount();
}

int RecordsetGridModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    // Named columns are there with or without a list.
    return static_cast<int>(m_columns.isEmpty() ? m_fields.size()
                                                : static_cast<std::size_t>(m_columns.size()));
}

QVariant RecordsetGridModel::data(const QModelIndex &index, int role) const
{
    if (!m_list || !index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const int field = m_fields[static_cast<std::size_t>(index.column())];
    if (field < 0)
        return QString();
    const QVariant &value = m_list->storedRow(index.row()).at(static_cast<std::size_t>(field));
    return m_text ? m_text(value) : value;
}

QVariant RecordsetGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    if (!m_columns.isEmpty())
        return m_columns.at(section);
    return m_list->fields().at(static_cast<std::size_t>(section)).name;
}

} // namespace corvina
