#pragma once

#include "localdb/Database.h"
#include "quickbooks/ResponseSet.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace corvina {

class ProgramState;

// Adds rows to one table through a prepared statement over a fixed column list. Columns not
// set for a row are written as NULL, the value a new row holds.
class RowInserter {
public:
    RowInserter(Database &db, const QString &table, const QStringList &columns);

    void set(int column, const QVariant &value) { m_values[static_cast<std::size_t>(column)] = value; }
    template <class T>
    void setIf(int column, const std::optional<T> &value)
    {
        if (value)
            set(column, QVariant::fromValue(*value));
    }
    // Writes the row and starts a fresh one.
    void insert();

private:
    Statement m_insert;
    std::vector<QVariant> m_values;
};

// A reference's full name, when both are present.
inline std::optional<QString> fullNameOf(const std::optional<qb::Ref> &ref)
{
    return ref ? ref->fullName : std::nullopt;
}

// Sets the named row's Date in Dates.adtg (adding the row when missing) and saves the file.
void stampRetrievalDate(ProgramState &state, const QString &name, const QDateTime &when);

// The locked-table question; true when the user chose OK (try again).
bool askRetryLockedTable(ProgramState &state, const QString &table);

// Response 0 of an answer; an answer without any response breaks the protocol.
const qb::Response &firstResponse(const qb::ResponseSet &answer);

// Shows a non-zero status as QuickBooks' own message; true when it did.
bool reportStatus(ProgramState &state, const qb::Response &response);

} // namespace corvina
