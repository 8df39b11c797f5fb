#include "analysis/ItemAgingGrid.h"

#include "analysis/ItemAging.h"
#include "localdb/LocalDb.h"
#include "localdb/Value.h"
#include "reporting/Format.h"

#include <QDateTime>
#include <QLocale>

namespace corvina {

namespace {

const QString kChild = QStringLiteral("Child");

// The shown items of a source, with all their children.
class ShownItems : public reporting::ReportRows {
public:
    ShownItems(std::shared_ptr<const reporting::ReportRows> items, std::vector<int> shown)
        : m_items(std::move(items)), m_shown(std::move(shown))
    {
    }
    int count() const override { return static_cast<int>(m_shown.size()); }
    int fieldIndex(const QString &name) const override { return m_items->fieldIndex(name); }
    QVariant value(int row, int field) const override { return m_items->value(source(row), field); }
    const ReportRows *children(int row, const QString &member) const override
    {
        return m_items->children(source(row), member);
    }

private:
    int source(int row) const
    {
        return row >= 0 && row < count() ? m_shown[static_cast<size_t>(row)] : -1;
    }
    std::shared_ptr<const reporting::ReportRows> m_items;
    std::vector<int> m_shown;
};

// A date as the system shows a date with time: the time only when there is one.
QString dateText(const QVariant &value)
{
    if (value.isNull())
        return {};
    const QDateTime date = value.toDateTime();
    if (date.time() == QTime(0, 0))
        return QLocale().toString(date.date(), QLocale::ShortFormat);
    return QLocale().toString(date, QLocale::ShortFormat);
}

} // namespace

ItemAgingGridModel::ItemAgingGridModel(std::shared_ptr<const reporting::ReportRows> items,
                                       QObject *parent)
    : QAbstractTableModel(parent), m_items(std::move(items))
{
    rebuild();
}

int ItemAgingGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ItemAgingGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ItemAgingGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return text(m_rows[static_cast<size_t>(index.row())], index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= Purchases &&
        index.column() <= FirstPurch)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ItemAgingGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section <= Fixed ||
        section >= ColumnCount)
        return {};
    static const QStringList names = {QString(),
                                      QStringLiteral("Name"),
                                      QStringLiteral("Desc"),
                                      QStringLiteral("ListID"),
                                      QStringLiteral("Customer"),
                                      QStringLiteral("Purchases"),
                                      QStringLiteral("QtyTot"),
                                      QStringLiteral("SalesTot"),
                                      QStringLiteral("LastPurch"),
                                      QStringLiteral("FirstPurch"),
                                      QStringLiteral("Class"),
                                      QStringLiteral("State"),
                                      QStringLiteral("Type"),
                                      QStringLiteral("ListID")};
    return names[section];
}

QString ItemAgingGridModel::text(const GridRow &row, int column) const
{
    if (column == Fixed)
        return {};
    if (column <= ItemListID) {
        const bool firstOfItem = row.child <= 0;
        return firstOfItem ? m_items->value(row.item, column - Name).toString() : QString();
    }
    if (row.child < 0)
        return {};
    const reporting::ReportRows *children = m_items->children(row.item, kChild);
    const QVariant value = children->value(row.child, column - Customer);
    switch (column) {
    case SalesTot:
        return value.isNull() ? QString()
                              : reporting::formatValue(value, QStringLiteral("#,##0.00"));
    case LastPurch:
    case FirstPurch: return dateText(value);
    // Sums of fractions carry binary noise: numbers show to 15 significant digits.
    default: return reporting::formatValue(value, QString());
    }
}

void ItemAgingGridModel::setFilter(const ItemFilter &filter)
{
    beginResetModel();
    m_filter = filter;
    rebuild();
    endResetModel();
}

void ItemAgingGridModel::rebuild()
{
    m_shown.clear();
    m_rows.clear();
    if (!m_items)
        return;
    for (int item = 0; item < m_items->count(); ++item) {
        if (!m_filter.prefix.isEmpty() && !m_filter.passes(*m_items, item))
            continue;
        m_shown.push_back(item);
        const reporting::ReportRows *children = m_items->children(item, kChild);
        const int count = children ? children->count() : 0;
        if (count == 0)
            m_rows.push_back({item, -1});
        for (int child = 0; child < count; ++child)
            m_rows.push_back({item, child});
    }
}

QString ItemAgingGridModel::itemNameAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_items->value(m_rows[static_cast<size_t>(row)].item, 0).toString();
}

QString ItemAgingGridModel::itemListIdAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_items->value(m_rows[static_cast<size_t>(row)].item, 2).toString();
}

std::shared_ptr<const reporting::ReportRows> ItemAgingGridModel::shownItems() const
{
    return std::make_shared<ShownItems>(m_items, m_shown);
}

QStringList ItemAgingGridModel::shownItemNames() const
{
    QStringList names;
    for (const int item : m_shown)
        names.append(m_items->value(item, 0).toString());
    return names;
}

} // namespace corvina
