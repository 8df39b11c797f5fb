#include "localdb/TableReplace.h"

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/Recordset.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace corvina {

namespace {

constexpr int kStamp = -2; // the column takes the stamp; -1 is "no such field"

QString quoted(const QString &identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

bool replaceTableRows(Database &db, const QString &table, const Recordset &list,
                      const QString &source, const QString &stampColumn, const QVariant &stamp,
                      const std::function<bool(const QVariant &previousStamp)> &confirm)
{
    // The table's columns in their order, each with the list column that fills it.
    QStringList columns;
    std::vector<int> sources;
    {
        Statement shape = db.prepare(QStringLiteral("SELECT * FROM ") + quoted(table) +
                                     QStringLiteral(" LIMIT 0"));
        // Running it reads the table as it is now, also when another program (the user's
        // database tool) has changed it since this connection last looked.
        shape.step();
        for (int c = 0; c < shape.columnCount(); ++c) {
            const QString column = shape.columnName(c);
            const int field = column.compare(stampColumn, Qt::CaseInsensitive) == 0
                                  ? kStamp
                                  : list.fieldIndex(column);
            if (field == -1)
                throw Error(errc::kDatabaseFailure,
                            QStringLiteral("The %1 table has a column %2, which the %3 table "
                                           "lacks.")
                                .arg(table, column, source));
            columns << quoted(column);
            sources.push_back(field);
        }
    }

    if (db.countRows(table) > 0) {
        QVariant previous;
        if (const auto item = std::find(sources.begin(), sources.end(), kStamp);
            item != sources.end()) {
            Statement first =
                db.prepare(QStringLiteral("SELECT ") + columns.at(item - sources.begin()) +
                           QStringLiteral(" FROM ") + quoted(table) +
                           QStringLiteral(" ORDER BY rowid LIMIT 1"));
            if (first.step())
                previous = first.value(0);
        }
        if (!confirm(previous))
            return false;
    }

    const QString marks = QStringList(columns.size(), QStringLiteral("?")).join(u',');
    Transaction transaction(db);
    db.execute(QStringLiteral("DELETE FROM ") + quoted(table));
    Statement insert =
        db.prepare(QStringLiteral("INSERT INTO ") + quoted(table) + QStringLiteral(" (") +
                   columns.join(u',') + QStringLiteral(") VALUES (") + marks + u')');
    for (int row = 0; row < list.storedRowCount(); ++row) {
        const std::vector<QVariant> &values = list.storedRow(row);
        for (size_t c = 0; c < sources.size(); ++c)
            insert.bind(static_cast<int>(c) + 1,
                        sources[c] == kStamp ? stamp : values[static_cast<size_t>(sources[c])]);
        insert.run();
        insert.reset();
    }
    transaction.commit();
    return true;
}

} // namespace corvina
