#include "retrieval/RetrievalSupport.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "qbxml/ComErrors.h"
#include "retrieval/Session.h"
#include "state/ProgramState.h"

namespace corvina {

RowInserter::RowInserter(Database &db, const QString &table, const QStringList &columns)
    : m_insert([&] {
          QStringList quoted, marks;
          for (const QString &c : columns) {
              quoted << QLatin1Char('"') + c + QLatin1Char('"');
              marks << QStringLiteral("?");
          }
          return db.prepare(
              QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
      }()),
      m_values(static_cast<std::size_t>(columns.size()))
{
}

void RowInserter::set(int column, QDate date)
{
    set(column,
        date.isValid() ? date.toString(Qt::ISODate).toLatin1() + " 00:00:00" : QByteArray());
    if (!date.isValid())
        value(column) = Value{};
}

void RowInserter::set(int column, const QDateTime &when)
{
    if (!when.isValid()) {
        value(column) = Value{};
        return;
    }
    set(column, dateToStorage(when).toLatin1());
}

void RowInserter::insert()
{
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        Value &v = m_values[i];
        const int index = static_cast<int>(i) + 1;
        switch (v.kind) {
        case Value::Null: m_insert.bindNull(index); break;
        case Value::Text: m_insert.bindText(index, v.text); break;
        case Value::Real: m_insert.bindDouble(index, v.real); break;
        case Value::Integer: m_insert.bindInt64(index, v.integer); break;
        }
        v = Value{};
    }
    m_insert.run();
    m_insert.reset();
}

void stampRetrievalDate(ProgramState &state, const QString &name, const QDateTime &when)
{
    std::optional<RecoveryNotice> notice;
    Recordset dates = openSavedRecordset(state.appFolder(), QStringLiteral("Dates"), &notice);
    if (notice)
        state.screen().message(notice->message(), kAppTitle, Buttons::Ok);
    if (dates.fieldIndex(QStringLiteral("Name")) < 0 ||
        dates.fieldIndex(QStringLiteral("Date")) < 0)
        throw Error(errc::kFileFailure,
                    QStringLiteral("Dates.adtg lacks its Name and Date fields."));
    dates.moveFirst();
    // Case matters, as when the main window reads the rows back.
    if (!dates.find(fieldEquals(QStringLiteral("Name"), name, Qt::CaseSensitive))) {
        dates.addNew();
        dates.setValue(QStringLiteral("Name"), name);
    }
    dates.setValue(QStringLiteral("Date"), when);
    saveRecordset(dates, savedRecordsetPath(state.appFolder(), QStringLiteral("Dates")));
}

bool askRetryLockedTable(ProgramState &state, const QString &table)
{
    const QString text =
        QStringLiteral("You cannot have the %1 table open in the QBData database. Please close "
                       "the table in the database, then click \"OK\" to try again.")
            .arg(table);
    return state.screen().message(text, kAppTitle, Buttons::OkCancel) == Answer::Ok;
}

void reportFailure(ProgramState &state, const QString &procedure, const Error &error, int step)
{
    endLostSession(state);
    if (error.number() == qb::hr::kAborted)
        state.errors().logOnly(procedure, error.description(), error.number(), step);
    else
        state.showError(procedure, error.description(), error.number(), step);
}

void reportUnexpected(ProgramState &state, const QString &procedure, int step)
{
    try {
        throw;
    } catch (const Error &e) {
        reportFailure(state, procedure, e, step);
    } catch (const std::exception &e) {
        state.showError(procedure, QString::fromLocal8Bit(e.what()), qb::hr::kUnexpected, step);
    }
}

const qb::Response &firstResponse(const qb::ResponseSet &answer)
{
    if (answer.count() == 0)
        throw Error(qb::hr::kInvalidData,
                    QStringLiteral("QuickBooks answered without any response."));
    return answer.response(0);
}

bool reportStatus(ProgramState &state, const qb::Response &response)
{
    if (response.statusCode() == 0)
        return false;
    state.screen().message(response.statusMessage(), kAppTitle, Buttons::Ok);
    return true;
}

} // namespace corvina
