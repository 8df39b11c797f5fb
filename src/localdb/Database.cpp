#include "localdb/Database.h"

#include "base/Error.h"
#include "localdb/SqlFunctions.h"

#include <QFileInfo>
#include <QMetaType>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace corvina {

namespace {

// SQLite copies text and blobs bound with this destructor before the call returns.
const auto kTransient = reinterpret_cast<sqlite3_destructor_type>(static_cast<std::intptr_t>(-1));

QString fromUtf8(const char *text)
{
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

QString fileNameOf(sqlite3 *db)
{
    const char *file = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
    return QFileInfo(fromUtf8(file)).fileName();
}

// SQL text short enough to quote in a message; values never appear in it, they are bound.
QString sqlForMessage(const QString &sql)
{
    constexpr qsizetype kMaxLength = 120;
    QString text = sql.simplified();
    if (text.size() > kMaxLength)
        text = text.left(kMaxLength) + QStringLiteral("...");
    return text;
}

// A lock held by another connection, after the busy timeout, is the one failure users can
// fix themselves; everything else is reported as a database failure with SQLite's text.
Error makeError(int code, const QString &fileName, const QString &what, const QString &message)
{
    const int primary = code & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        return Error(errc::kTableLocked,
                     QStringLiteral("The database %1 is in use by another program, which is "
                                    "holding it locked; close that program and try again. (%2)")
                         .arg(fileName, message));
    }
    return Error(errc::kDatabaseFailure, what + QStringLiteral(": ") + message);
}

// A ready connection: extended result codes, the default busy timeout, our SQL functions.
sqlite3 *openHandle(const QString &path, int flags, const QString &what)
{
    sqlite3 *db = nullptr;
    // A connection is only ever used by one thread at a time, so SQLite's own per-call
    // locking is not needed.
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    try {
        if (rc != SQLITE_OK) {
            throw makeError(rc, QFileInfo(path).fileName(), what.arg(path),
                            db != nullptr ? fromUtf8(sqlite3_errmsg(db))
                                          : fromUtf8(sqlite3_errstr(rc)));
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, static_cast<int>(Database::kDefaultBusyTimeout.count()));
        const int registered = registerSqlFunctions(db);
        if (registered != SQLITE_OK)
            throw makeError(registered, fileNameOf(db),
                            QStringLiteral("Cannot register SQL functions"),
                            fromUtf8(sqlite3_errmsg(db)));
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    return db;
}

bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!letter && !(digit && i > 0))
            return false;
    }
    return true;
}

QString quotedTable(const QString &table)
{
    if (!isPlainIdentifier(table))
        throw Error(errc::kDatabaseFailure,
                    QStringLiteral("\"%1\" is not a valid table name").arg(table));
    return QLatin1Char('"') + table + QLatin1Char('"');
}

} // namespace

// ---- Database ---------------------------------------------------------------------------

Database::Database(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}

Database::Database(Database &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path))
{
}

Database &Database::operator=(Database &&other) noexcept
{
    if (this != &other) {
        sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

Database::~Database()
{
    // close_v2 defers the close until outstanding statements are finalized.
    sqlite3_close_v2(m_db);
}

Database Database::open(const QString &path, Mode mode)
{
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    return Database(openHandle(path, flags, QStringLiteral("Cannot open the database %1")), path);
}

Database Database::create(const QString &path)
{
    return Database(openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               QStringLiteral("Cannot create the database %1")),
                    path);
}

void Database::setBusyTimeout(std::chrono::milliseconds timeout)
{
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0,
                                                               std::numeric_limits<int>::max());
    sqlite3_busy_timeout(m_db, static_cast<int>(ms));
}

void Database::execute(const QString &sql)
{
    char *errorText = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &errorText);
    if (rc == SQLITE_OK)
        return;
    const QString message =
        errorText != nullptr ? fromUtf8(errorText) : fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_free(errorText);
    throw makeError(rc, QFileInfo(m_path).fileName(),
                    QStringLiteral("Cannot run \"%1\"").arg(sqlForMessage(sql)), message);
}

int Database::execute(const QString &sql, const std::vector<QVariant> &values)
{
    Statement statement = prepare(sql);
    return statement.bindAll(values).run();
}

Statement Database::prepare(const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc =
        sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot prepare \"%1\"").arg(sqlForMessage(sql)));
    if (stmt == nullptr)
        throw Error(errc::kDatabaseFailure,
                    QStringLiteral("No SQL statement in \"%1\"").arg(sqlForMessage(sql)));
    return Statement(stmt);
}

void Database::deleteAll(const QString &table)
{
    execute(QStringLiteral("DELETE FROM ") + quotedTable(table));
}

std::int64_t Database::countRows(const QString &table)
{
    Statement statement = prepare(QStringLiteral("SELECT COUNT(*) FROM ") + quotedTable(table));
    statement.step();
    return sqlite3_column_int64(statement.m_stmt, 0);
}

void Database::raise(int code, const QString &what) const
{
    throw makeError(code, QFileInfo(m_path).fileName(), what, fromUtf8(sqlite3_errmsg(m_db)));
}

QString Database::declaredCollation(const QString &table, const QString &column) const
{
    const char *collation = nullptr;
    const int rc = sqlite3_table_column_metadata(m_db, "main", table.toUtf8().constData(),
                                                 column.toUtf8().constData(), nullptr, &collation,
                                                 nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK || collation == nullptr || sqlite3_stricmp(collation, "BINARY") == 0)
        return {};
    return fromUtf8(collation).toUpper();
}

// ---- Statement --------------------------------------------------------------------------

Statement::Statement(Statement &&other) noexcept : m_stmt(std::exchange(other.m_stmt, nullptr)) {}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::raise(int code, const QString &what)
{
    sqlite3 *db = sqlite3_db_handle(m_stmt);
    // Read the message before the reset, which releases any locks the statement holds.
    Error error = makeError(code, fileNameOf(db), what, fromUtf8(sqlite3_errmsg(db)));
    sqlite3_reset(m_stmt);
    throw error;
}

Statement &Statement::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    const auto bindText = [&](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        return sqlite3_bind_text64(m_stmt, index, bytes.constData(),
                                   static_cast<sqlite3_uint64>(bytes.size()), kTransient,
                                   SQLITE_UTF8);
    };
    switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
    case QMetaType::UnknownType: rc = sqlite3_bind_null(m_stmt, index); break;
    case QMetaType::QString: rc = bindText(value.toString()); break;
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        rc = date.isValid() ? bindText(dateToStorage(date)) : sqlite3_bind_null(m_stmt, index);
        break;
    }
    case QMetaType::QDate: {
        const QDate date = value.toDate();
        rc = date.isValid() ? bindText(dateToStorage(QDateTime(date, QTime(0, 0))))
                            : sqlite3_bind_null(m_stmt, index);
        break;
    }
    case QMetaType::Bool: rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0); break;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong: rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong()); break;
    case QMetaType::Float:
    case QMetaType::Double: rc = sqlite3_bind_double(m_stmt, index, value.toDouble()); break;
    default: rc = bindText(value.toString()); break;
    }
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot bind value %1").arg(index));
    return *this;
}

Statement &Statement::bindText(int index, QByteArrayView utf8)
{
    const int rc =
        sqlite3_bind_text64(m_stmt, index, utf8.data(), static_cast<sqlite3_uint64>(utf8.size()),
                            kTransient, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot bind value %1").arg(index));
    return *this;
}

Statement &Statement::bindDouble(int index, double value)
{
    const int rc = sqlite3_bind_double(m_stmt, index, value);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot bind value %1").arg(index));
    return *this;
}

Statement &Statement::bindInt64(int index, std::int64_t value)
{
    const int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot bind value %1").arg(index));
    return *this;
}

Statement &Statement::bindNull(int index)
{
    const int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("Cannot bind value %1").arg(index));
    return *this;
}

Statement &Statement::bindAll(const std::vector<QVariant> &values)
{
    for (size_t i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i) + 1, values[i]);
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    raise(rc,
          QStringLiteral("Cannot run \"%1\"").arg(sqlForMessage(fromUtf8(sqlite3_sql(m_stmt)))));
}

int Statement::run()
{
    while (step()) {
    }
    const int changes = sqlite3_changes(sqlite3_db_handle(m_stmt));
    sqlite3_reset(m_stmt);
    return changes;
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

QVariantList Statement::values() const
{
    QVariantList row;
    row.reserve(columnCount());
    for (int c = 0; c < columnCount(); ++c)
        row.append(value(c));
    return row;
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return fromUtf8(sqlite3_column_name(m_stmt, column));
}

FieldKind Statement::columnKind(int column) const
{
    const char *declared = sqlite3_column_decltype(m_stmt, column);
    if (declared != nullptr) {
        const QByteArray type = QByteArray(declared).toUpper();
        if (type.contains("DATE"))
            return FieldKind::Date;
        if (type.contains("REAL") || type.contains("DOUB") || type.contains("FLOA"))
            return FieldKind::Double;
        if (type.contains("BOOL"))
            return FieldKind::Boolean;
        if (type.contains("INT"))
            return FieldKind::Integer;
        return FieldKind::Text;
    }
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER: return FieldKind::Integer;
    case SQLITE_FLOAT: return FieldKind::Double;
    default: return FieldKind::Text;
    }
}

QVariant Statement::value(int column) const
{
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return {};
    switch (columnKind(column)) {
    case FieldKind::Date: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        const QDateTime date =
            dateFromStorage(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case FieldKind::Boolean: return QVariant(sqlite3_column_int64(m_stmt, column) != 0);
    case FieldKind::Integer: {
        const sqlite3_int64 number = sqlite3_column_int64(m_stmt, column);
        // Integers are 32-bit; a larger one (a count or rowid, say) stays whole rather than wrap.
        if (number >= std::numeric_limits<qint32>::min() &&
            number <= std::numeric_limits<qint32>::max())
            return QVariant(static_cast<qint32>(number));
        return QVariant(static_cast<qint64>(number));
    }
    case FieldKind::Double: return QVariant(sqlite3_column_double(m_stmt, column));
    case FieldKind::Text: break;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QByteArrayView Statement::text(int column) const
{
    // The text first, then its length, as SQLite asks.
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(bytes, bytes != nullptr ? sqlite3_column_bytes(m_stmt, column) : 0);
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::columnDeclaredType(int column) const
{
    return fromUtf8(sqlite3_column_decltype(m_stmt, column));
}

QString Statement::columnOrigin(int column) const
{
    return fromUtf8(sqlite3_column_origin_name(m_stmt, column));
}

} // namespace corvina
