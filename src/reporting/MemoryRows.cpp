#include "reporting/MemoryRows.h"

namespace corvina::reporting {

MemoryRows::MemoryRows(QStringList fields) : m_fields(std::move(fields)) {}

MemoryRows::MemoryRows(QStringList fields, const QString &member, QStringList childFields)
    : m_fields(std::move(fields)), m_member(member), m_childFields(std::move(childFields))
{
}

int MemoryRows::addRow(const QVariantList &values)
{
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_values.push_back(i < values.size() ? values.at(i) : QVariant());
    if (!m_member.isEmpty())
        m_children.push_back(std::make_unique<MemoryRows>(m_childFields));
    return count() - 1;
}

int MemoryRows::addChild(int row, const QVariantList &values)
{
    return m_children.at(static_cast<size_t>(row))->addRow(values);
}

int MemoryRows::count() const
{
    if (m_fields.isEmpty())
        return 0;
    return static_cast<int>(m_values.size() / static_cast<size_t>(m_fields.size()));
}

int MemoryRows::fieldIndex(const QString &name) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QVariant MemoryRows::value(int row, int field) const
{
    if (row < 0 || row >= count() || field < 0 || field >= m_fields.size())
        return {};
    return m_values[static_cast<size_t>(row) * static_cast<size_t>(m_fields.size()) +
                    static_cast<size_t>(field)];
}

const ReportRows *MemoryRows::children(int row, const QString &member) const
{
    if (m_member.isEmpty() || member.compare(m_member, Qt::CaseInsensitive) != 0 || row < 0 ||
        row >= count())
        return nullptr;
    return m_children[static_cast<size_t>(row)].get();
}

} // namespace corvina::reporting
