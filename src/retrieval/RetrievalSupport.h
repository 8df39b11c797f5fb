#pragma once

#include "base/Error.h"
#include "localdb/Database.h"
#include "qbxml/ResponseSet.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace corvina {

class ProgramState;

// Adds rows to one table through a prepared statement over a fixed column list. Columns not
// set for a row are written as NULL, the value a new row holds. Values are kept in the form
// SQLite stores (UTF-8 text, REAL, INTEGER), so a bulk copy converts nothing twice.
class RowInserter {
public:
    RowInserter(Database &db, const QString &table, const QStringList &columns);

    void set(int column, const QString &text)
    {
        value(column) = Value{Value::Text, text.toUtf8(), 0, 0};
    }
    void set(int column, const QByteArray &utf8) { value(column) = Value{Value::Text, utf8, 0, 0}; }
    void set(int column, double number) { value(column) = Value{Value::Real, {}, number, 0}; }
    void set(int column, int number) { value(column) = Value{Value::Integer, {}, 0, number}; }
    void set(int column, bool flag) { value(column) = Value{Value::Integer, {}, 0, flag ? 1 : 0}; }
    // A date column holds the day at midnight.
    void set(int column, QDate date);
    void set(int column, const QDateTime &when);
    template <class T> void setIf(int column, const std::optional<T> &v)
    {
        if (v)
            set(column, *v);
    }
    // Writes the row and starts a fresh one.
    void insert();

private:
    struct Value {
        enum Kind { Null, Text, Real, Integer } kind = Null;
        QByteArray text;
        double real = 0;
        std::int64_t integer = 0;
    };
    Value &value(int column) { return m_values[static_cast<std::size_t>(column)]; }

    Statement m_insert;
    std::vector<Value> m_values;
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

// Runs `attempt` again for as long as it fails because `table` is held by another program
// and the user answers the locked-table question with OK. False when the user chose Cancel;
// any other error reaches the caller.
template <class Attempt>
bool retryWhileLocked(ProgramState &state, const QString &table, Attempt attempt)
{
    for (;;) {
        try {
            attempt();
            return true;
        } catch (const Error &e) {
            if (e.number() != errc::kTableLocked)
                throw;
            if (!askRetryLockedTable(state, table))
                return false;
        }
    }
}

// ShowError for the exception being handled (call it inside a catch block), naming the
// procedure and the numbered step that failed. See reportFailure.
void reportUnexpected(ProgramState &state, const QString &procedure, int step);

// ShowError for `error`. A failure that took the link to QuickBooks down first ends the
// session, so the next retrieval opens a new one; a wait the user gave up is only logged,
// since the user already knows.
void reportFailure(ProgramState &state, const QString &procedure, const Error &error, int step);

// Response 0 of an answer; an answer without any response breaks the protocol.
const qb::Response &firstResponse(const qb::ResponseSet &answer);

// Shows a non-zero status as QuickBooks' own message; true when it did.
bool reportStatus(ProgramState &state, const qb::Response &response);

} // namespace corvina
