#include "views/CustomerList.h"

#include "localdb/Recordset.h"
#include "retrieval/RetrievalDates.h"

#include <QLocale>

namespace corvina {

QStringList RecordsetCustomerList::columnNames() const
{
    QStringList names;
    for (const Field &field : m_rows.fields())
        names << field.name;
    return names;
}

int RecordsetCustomerList::rowCount() const
{
    return m_rows.recordCount();
}

QVariant RecordsetCustomerList::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.recordCount() || column < 0 ||
        column >= static_cast<int>(m_rows.fields().size()))
        return {};
    // Reading a row moves the cursor; put it back so reading never changes the current row.
    const int saved = m_rows.position();
    m_rows.moveTo(row);
    QVariant result = m_rows.value(column);
    m_rows.moveTo(saved);
    return result;
}

int RecordsetCustomerList::currentRow() const
{
    return m_rows.bof() || m_rows.eof() ? -1 : m_rows.position();
}

void RecordsetCustomerList::setCurrentRow(int row)
{
    m_rows.moveTo(row < 0 ? m_rows.recordCount() : row);
}

QString customerValueText(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDateTime: return generalDateText(value.toDateTime());
    case QMetaType::Double:
        return QLocale::c().toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default: return value.toString();
    }
}

} // namespace corvina
