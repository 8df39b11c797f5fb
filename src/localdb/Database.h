#pragma once

#include "localdb/Value.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace corvina {

class Statement;

// One connection to a SQLite file. Owns the handle; move-only. Every failure throws Error:
// a write refused because another process holds the database (after the busy timeout)
// carries errc::kTableLocked, any other failure errc::kDatabaseFailure, both with SQLite's text.
//
// Every connection has the aggregate Last(value, order) registered: per group it yields the
// value of the row with the greatest order (ties: the later row read). Pass the table's rowid
// as order to get the group's last row in stored (insertion) order. LIKE is redefined to
// compare without case across all of Unicode, not only ASCII, and so is the collation NOCASE,
// under the program's one text rule (TextRule.h). Since other programs read the file with
// SQLite's own NOCASE, which agrees only on ASCII, no index may be made on a NOCASE column
// that can hold other text (list identifiers are ASCII).
class Database {
public:
    enum class Mode { ReadWrite, ReadOnly };
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{2000};

    // Opens an existing file; never creates one (see LocalDb for that).
    static Database open(const QString &path, Mode mode = Mode::ReadWrite);
    // Opens or creates the file; used when the database is being made.
    static Database create(const QString &path);

    Database(Database &&other) noexcept;
    Database &operator=(Database &&other) noexcept;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    void setBusyTimeout(std::chrono::milliseconds timeout);

    // Runs one or more statements that take no values.
    void execute(const QString &sql);
    // Runs one statement with its values bound in order; returns the rows changed.
    int execute(const QString &sql, const std::vector<QVariant> &values);
    Statement prepare(const QString &sql);

    // Removes every row of a table ("Delete * From"); the name must be a plain identifier.
    void deleteAll(const QString &table);
    std::int64_t countRows(const QString &table);

    const QString &path() const noexcept { return m_path; }
    // Whether a transaction is open on the connection.
    bool inTransaction() const noexcept;
    // The collation declared for a column of a table of the main database, upper case as
    // declared ("NOCASE"); empty for the default or when there is no such column.
    QString declaredCollation(const QString &table, const QString &column) const;

    // Throws the Error for the connection's last failure; `what` names the action.
    [[noreturn]] void raise(int code, const QString &what) const;

private:
    friend class Transaction;
    friend class ReadTransaction;
    Database(sqlite3 *db, QString path);
    // Ends the open transaction, discarding it; for guards that cannot throw.
    void rollbackQuietly() noexcept;
    sqlite3 *m_db = nullptr;
    QString m_path;
};

// A prepared statement; values are bound, never spliced into the text.
class Statement {
public:
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    // Binds by position, from 1. Null QVariant → NULL; QDateTime → storage text; bool → 0/1.
    Statement &bind(int index, const QVariant &value);
    Statement &bindAll(const std::vector<QVariant> &values);
    // Typed binds for bulk writes: no QVariant, text already in UTF-8 (copied by SQLite).
    Statement &bindText(int index, QByteArrayView utf8);
    Statement &bindDouble(int index, double value);
    Statement &bindInt64(int index, std::int64_t value);
    Statement &bindNull(int index);

    // Advances to the next row; false when the statement is done.
    bool step();
    // Runs to completion; returns the rows changed.
    int run();
    // Clears bindings and rewinds so the statement can run again.
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The kind the column holds, from its declared type (DATETIME → Date, REAL → Double,
    // BOOLEAN → Boolean, INTEGER → Integer, otherwise Text); for an expression, from the value.
    FieldKind columnKind(int column) const;
    // The current row's value converted to columnKind(column); null for SQL NULL.
    QVariant value(int column) const;
    // Every column of the current row, converted as value() does.
    QVariantList values() const;

    // The current row's column as stored, without conversion to a kind, for reading many
    // rows fast. text() is the value as UTF-8, valid until the next step or reset, and a null
    // view for SQL NULL (an empty text gives an empty, non-null view).
    bool isNull(int column) const;
    QByteArrayView text(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;

    // The declared type of a result column ("" for an expression), and the name of the table
    // column it comes from ("" for an expression).
    QString columnDeclaredType(int column) const;
    QString columnOrigin(int column) const;

private:
    friend class Database;
    explicit Statement(sqlite3_stmt *stmt) : m_stmt(stmt) {}
    [[noreturn]] void raise(int code, const QString &what);
    sqlite3_stmt *m_stmt = nullptr;
};

// Begins an immediate (write) transaction; rolls back on destruction unless committed.
class Transaction {
public:
    explicit Transaction(Database &db);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();

    void commit();

private:
    Database &m_db;
    bool m_done = false;
};

// A deferred read transaction, so that everything read in it is one state of the file: the
// first read takes a shared lock, held until the end, so no other connection can commit in
// between. When the connection already has a transaction open, that one is used as it is and
// left open. Ends (nothing having been written) on end() or destruction.
class ReadTransaction {
public:
    explicit ReadTransaction(Database &db);
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;
    ~ReadTransaction();

    void end() noexcept;

private:
    Database &m_db;
    bool m_began = false;
};

// A LIKE pattern that matches every text beginning with `prefix`, taken literally: %, _ and
// the escape character in it match only themselves. Use with "LIKE ? ESCAPE '\'".
QString likePrefixPattern(const QString &prefix);

} // namespace corvina
