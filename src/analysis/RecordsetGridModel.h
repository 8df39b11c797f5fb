#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <vector>

namespace corvina {

class Recordset;

// A read-only grid over a Recordset's stored rows: either the named columns, in that order
// (a name the list lacks shows empty cells), or every column of the list, captioned with its
// name. Rows are numbered from 1. The model does not own the list; call setList again after
// the list changes.
class RecordsetGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // How a stored value is shown; the value itself unless given.
    using ValueText = std::function<QVariant(const QVariant &)>;

    // `columns` empty: every column of the list.
    explicit RecordsetGridModel(QStringList columns = {}, ValueText text = {},
                                QObject *parent = nullptr);

    // `list` must outlive the model or be replaced first; null shows nothing.
    void setList(const Recordset *list);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_columns;
    ValueText m_text;
    const Recordset *m_list = nullptr;
    std::vector<int> m_fields; // the list's field of each column; -1 when it has none
};

} // namespace corvina
