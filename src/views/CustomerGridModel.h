#pragma once

#include "views/CustomerBrowser.h"

#include <QAbstractTableModel>

#include <vector>

namespace corvina {

// The customer browser's grid: the browser's rows under 49 columns, each captioned with its
// column name, read-only. Filter changes go through the model so views are told.
class CustomerGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The grid's columns, in grid order.
    static const QStringList &gridColumns();

    explicit CustomerGridModel(QObject *parent = nullptr);

    // Shows a newly loaded list (or none); the model does not own it.
    void setBrowser(CustomerBrowser *browser);
    CustomerBrowser *browser() const noexcept { return m_browser; }

    void comboChanged(CustomerBrowser::Combo changed, const QString &text,
                      const QString &otherText);
    void clearFilter();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    CustomerBrowser *m_browser = nullptr;
    std::vector<int> m_tableColumn; // per grid column; -1 when the table lacks it
};

} // namespace corvina
