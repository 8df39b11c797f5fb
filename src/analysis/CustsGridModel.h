#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace corvina {

class Recordset;

// The Custs window's grid: the columns Name, BillState and CustType of a customer list,
// one row per customer, read-only. Call setList again (or reset it) after the list changes.
class CustsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // `list` must outlive the model or be replaced first; null shows nothing.
    void setList(const Recordset *list);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static inline const QStringList kColumns = {QStringLiteral("Name"), QStringLiteral("BillState"),
                                                QStringLiteral("CustType")};

private:
    const Recordset *m_list = nullptr;
    std::vector<int> m_fields;
};

} // namespace corvina
