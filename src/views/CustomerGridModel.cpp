#include "views/CustomerGridModel.h"

namespace corvina {

const QStringList &CustomerGridModel::gridColumns()
{
    static const QStringList columns = {
        QStringLiteral("Name"),
        QStringLiteral("IsActive"),
        QStringLiteral("CompanyName"),
        QStringLiteral("Salutation"),
        QStringLiteral("FirstName"),
        QStringLiteral("MiddleName"),
        QStringLiteral("LastName"),
        QStringLiteral("FullName"),
        QStringLiteral("BillAddr1"),
        QStringLiteral("BillAddr2"),
        QStringLiteral("BillAddr3"),
        QStringLiteral("BillAddr4"),
        QStringLiteral("BillCity"),
        QStringLiteral("BillState"),
        QStringLiteral("BillZip"),
        QStringLiteral("ShipAddr1"),
        QStringLiteral("ShipAddr2"),
        QStringLiteral("ShipAddr3"),
        QStringLiteral("ShipAddr4"),
        QStringLiteral("ShipCity"),
        QStringLiteral("ShipState"),
        QStringLiteral("ShipZip"),
        QStringLiteral("Phone"),
        QStringLiteral("Mobile"),
        QStringLiteral("Pager"),
        QStringLiteral("AltPhone"),
        QStringLiteral("Fax"),
        QStringLiteral("Email"),
        QStringLiteral("Contact"),
        QStringLiteral("AltContact"),
        QStringLiteral("CustType"),
        QStringLiteral("Terms"),
        QStringLiteral("SalesRep"),
        QStringLiteral("OpenBalance"),
        QStringLiteral("OpenBalanceDate"),
        QStringLiteral("TaxCodeRef"),
        QStringLiteral("SalesTaxCodeRef"),
        QStringLiteral("ItemSalesTaxRef"),
        QStringLiteral("ResaleNo"),
        QStringLiteral("AccountNo"),
        QStringLiteral("CreditLimit"),
        QStringLiteral("PrefPaymentMethod"),
        QStringLiteral("CCNumber"),
        QStringLiteral("CCExpMo"),
        QStringLiteral("CCExpYr"),
        QStringLiteral("NameOnCard"),
        QStringLiteral("CCAddr"),
        QStringLiteral("CCZip"),
        QStringLiteral("DeliveryMethod"),
    };
    return columns;
}

CustomerGridModel::CustomerGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void CustomerGridModel::setBrowser(CustomerBrowser *browser)
{
    beginResetModel();
    m_browser = browser;
    m_tableColumn.clear();
    for (const QString &name : gridColumns())
        m_tableColumn.push_back(browser ? browser->table().columnIndex(name) : -1);
    endResetModel();
}

void CustomerGridModel::comboChanged(CustomerBrowser::Combo changed, const QString &text,
                                     const QString &otherText)
{
    if (!m_browser)
        return;
    beginResetModel();
    m_browser->comboChanged(changed, text, otherText);
    endResetModel();
}

void CustomerGridModel::clearFilter()
{
    if (!m_browser)
        return;
    beginResetModel();
    m_browser->clearFilter();
    endResetModel();
}

int CustomerGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_browser ? 0 : m_browser->rowCount();
}

int CustomerGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(gridColumns().size());
}

QVariant CustomerGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !m_browser || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int column = m_tableColumn[static_cast<std::size_t>(index.column())];
    if (column < 0)
        return QString();
    return customerValueText(m_browser->value(index.row(), column));
}

QVariant CustomerGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return gridColumns().at(section);
}

Qt::ItemFlags CustomerGridModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace corvina
