#include "analysis/ItemAgingRows.h"

#include <QDateTime>
#include <QLocale>

namespace corvina {

namespace itemaging {

namespace {

enum ChildColumn {
    Customer,
    Purchases,
    QtyTot,
    SalesTot,
    LastPurch,
    FirstPurch,
    Class,
    State,
    Type,
    ListID
};

int indexOf(const QStringList &fields, const QString &name)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

int ChildRows::fieldIndex(const QString &name) const
{
    return indexOf(kItemAgingChildFields, name);
}

QVariant ChildRows::value(int row, int field) const
{
    if (row < 0 || row >= count())
        return {};
    const SharedValues &v = *m_shared;
    const LineGroup &g = v.groups[static_cast<size_t>(m_groups[static_cast<size_t>(row)])];
    const auto at = [](const std::vector<QVariant> &values, int id) {
        return id < 0 ? QVariant() : values[static_cast<size_t>(id)];
    };
    switch (field) {
    case Customer: return at(v.customers, g.customerText);
    case Purchases: return g.purchases;
    case QtyTot: return g.hasQty ? QVariant(g.qty) : QVariant();
    case SalesTot: return g.hasAmt ? QVariant(g.amt) : QVariant();
    case LastPurch: return at(v.dates, g.dates.last);
    case FirstPurch: return at(v.dates, g.dates.first);
    case Class: return at(v.classes, g.lineClass);
    case State: return v.facts[static_cast<size_t>(g.customerText)].state;
    case Type: return v.facts[static_cast<size_t>(g.customerText)].type;
    case ListID: return at(v.listIds, g.listIdText);
    default: return {};
    }
}

int ItemAgingRows::addItem(const QVariantList &values, std::shared_ptr<const SharedValues> shared)
{
    m_items.push_back(values);
    m_children.push_back(std::make_unique<ChildRows>(std::move(shared)));
    return count() - 1;
}

void ItemAgingRows::setPeriod(const QVariant &first, const QVariant &last)
{
    m_firstDate = first;
    m_lastDate = last;
}

int ItemAgingRows::fieldIndex(const QString &name) const
{
    return indexOf(kItemAgingFields, name);
}

QVariant ItemAgingRows::value(int row, int field) const
{
    if (row < 0 || row >= count() || field < 0 || field >= kItemAgingFields.size())
        return {};
    return m_items[static_cast<size_t>(row)].value(field);
}

const reporting::ReportRows *ItemAgingRows::children(int row, const QString &member) const
{
    if (row < 0 || row >= count() || member.compare(kItemAgingMember, Qt::CaseInsensitive) != 0)
        return nullptr;
    return m_children[static_cast<size_t>(row)].get();
}

} // namespace itemaging

QString periodAnalyzedText(const reporting::ReportRows &itemAging)
{
    const QString label = QStringLiteral("Period Analyzed: ");
    const auto *rows = dynamic_cast<const itemaging::ItemAgingRows *>(&itemAging);
    if (rows == nullptr || rows->firstDate().isNull())
        return label + QStringLiteral("no invoices");
    const auto shortDate = [](const QVariant &date) {
        return QLocale().toString(date.toDateTime().date(), QLocale::ShortFormat);
    };
    return label + shortDate(rows->firstDate()) + QStringLiteral(" - ") +
           shortDate(rows->lastDate());
}

std::pair<QDate, QDate> analysedPeriod(const reporting::ReportRows &itemAging)
{
    const auto *rows = dynamic_cast<const itemaging::ItemAgingRows *>(&itemAging);
    if (rows == nullptr || rows->firstDate().isNull())
        return {};
    return {rows->firstDate().toDateTime().date(), rows->lastDate().toDateTime().date()};
}

} // namespace corvina
