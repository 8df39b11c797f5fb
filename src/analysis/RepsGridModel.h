#pragma once

#include <QAbstractTableModel>

namespace corvina {

class Recordset;

// The Reps window's grid: one column per column of the working list, captioned with its
// name, read-only. The model does not own the list.
class RepsGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RepsGridModel(QObject *parent = nullptr);

    // Shows this list (or none, when unbinding).
    void setList(const Recordset *list);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const Recordset *m_list = nullptr;
};

} // namespace corvina
