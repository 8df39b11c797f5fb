#include "localdb/LocalDb.h"

#include "base/Error.h"
#include "localdb/SchemaSql.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace corvina {

namespace {

enum class PlaceResult { Placed, AlreadyThere };

// Moves `from` to `to` unless `to` exists, atomically: a database another process put in
// place meanwhile is never replaced.
PlaceResult placeWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int rc =
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without RENAME_NOREPLACE: a hard link fails just as atomically.
        rc = ::link(source.constData(), target.constData());
        if (rc == 0)
            ::unlink(source.constData());
    }
    const int error = errno;
    if (rc == 0)
        return PlaceResult::Placed;
    if (error == EEXIST)
        return PlaceResult::AlreadyThere;
    throw Error(errc::kFileFailure, QStringLiteral("Cannot put the new database in place as %1: %2")
                                        .arg(to, QString::fromLocal8Bit(std::strerror(error))));
}

void buildDatabase(const QString &path)
{
    Database db = Database::create(path);
    Transaction transaction(db);
    db.execute(QString::fromUtf8(localdb::kSchemaSql));
    transaction.commit();
}

// SQLite reads an empty file as a database without tables, so an empty QBData.mdb (left by
// a failed copy, say) is given the tables in place, under the database's own write lock.
// False when another process filled it meanwhile.
bool fillEmptyDatabase(const QString &path)
{
    Database db = Database::open(path, Database::Mode::ReadWrite);
    Transaction transaction(db);
    {
        Statement tables = db.prepare(QStringLiteral("Select Count(*) From sqlite_master"));
        if (tables.step() && tables.value(0).toLongLong() != 0)
            return false;
    }
    db.execute(QString::fromUtf8(localdb::kSchemaSql));
    transaction.commit();
    return true;
}

struct LayoutEntry {
    QString type; // "table" or "index"
    QString name;
    QString table;
    QString sql;
};

// The tables and indexes of the layout, read from a database built in memory from it, so
// the text is exactly what a new file gets.
std::vector<LayoutEntry> layoutEntries()
{
    Database layout = Database::create(QStringLiteral(":memory:"));
    layout.execute(QString::fromUtf8(localdb::kSchemaSql));
    Statement entries = layout.prepare(
        QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master "
                       "WHERE type IN ('table', 'index') AND sql IS NOT NULL ORDER BY rowid"));
    std::vector<LayoutEntry> out;
    while (entries.step()) {
        out.push_back({entries.value(0).toString(), entries.value(1).toString(),
                       entries.value(2).toString(), entries.value(3).toString()});
    }
    return out;
}

QStringList missingTables(Database &db, const std::vector<LayoutEntry> &layout)
{
    QStringList missing;
    for (const LayoutEntry &entry : layout) {
        if (entry.type == u"table" && !hasTable(db, entry.name))
            missing << entry.name;
    }
    return missing;
}

// Columns added at the end of a table after files were made with it: each is added in place
// to a file whose table lacks it, with its index.
struct AddedColumn {
    const char *table;
    const char *column;
    const char *definition;
    const char *index;
};
constexpr AddedColumn kAddedColumns[] = {
    {"Invoices", "TxnID", "TEXT COLLATE NOCASE",
     "CREATE INDEX IF NOT EXISTS InvoicesByTxnID ON Invoices (TxnID)"},
};

bool hasRealTable(Database &db, const QString &name)
{
    Statement find = db.prepare(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    find.bind(1, name);
    return find.step();
}

bool columnExists(Database &db, const QString &table, const QString &column)
{
    Statement find = db.prepare(
        QStringLiteral("SELECT 1 FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE"));
    find.bind(1, table);
    find.bind(2, column);
    return find.step();
}

bool lacksColumns(Database &db)
{
    for (const AddedColumn &added : kAddedColumns) {
        const QString table = QLatin1String(added.table);
        if (hasRealTable(db, table) && !columnExists(db, table, QLatin1String(added.column)))
            return true;
    }
    return false;
}

// Adds each column of kAddedColumns that its (existing) table lacks; running it again
// changes nothing.
void addMissingColumns(Database &db)
{
    for (const AddedColumn &added : kAddedColumns) {
        const QString table = QLatin1String(added.table);
        if (!hasRealTable(db, table) || columnExists(db, table, QLatin1String(added.column)))
            continue;
        db.execute(QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN \"%2\" %3")
                       .arg(table, QLatin1String(added.column), QLatin1String(added.definition)));
        db.execute(QLatin1String(added.index));
    }
}

} // namespace

bool hasTable(Database &db, const QString &name)
{
    Statement find = db.prepare(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ? COLLATE NOCASE"));
    find.bind(1, name);
    return find.step();
}

bool hasColumn(Database &db, const QString &table, const QString &column)
{
    return columnExists(db, table, column);
}

QStringList addMissingTables(Database &db)
{
    const std::vector<LayoutEntry> layout = layoutEntries();
    const QStringList missing = missingTables(db, layout);
    for (const LayoutEntry &entry : layout) {
        // Indexes only for the tables made here: an index on a table the file already has
        // could fail on a layout someone changed.
        if (missing.contains(entry.table, Qt::CaseInsensitive))
            db.execute(entry.sql);
    }
    addMissingColumns(db);
    return missing;
}

QStringList upgradeLocalDb(const QString &appFolder)
{
    Database db = openLocalDb(appFolder);
    if (missingTables(db, layoutEntries()).isEmpty() && !lacksColumns(db))
        return {};
    Transaction transaction(db);
    const QStringList added = addMissingTables(db);
    transaction.commit();
    return added;
}

QString localDbPath(const QString &appFolder)
{
    return appFolder + QStringLiteral("/QBData.mdb");
}

bool ensureLocalDb(const QString &appFolder)
{
    const QString path = localDbPath(appFolder);
    const QFileInfo existing(path);
    if (existing.exists())
        return existing.size() == 0 && fillEmptyDatabase(path);
    const QString building =
        path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(building);
    try {
        buildDatabase(building);
        const PlaceResult result = placeWithoutReplacing(building, path);
        if (result == PlaceResult::AlreadyThere)
            QFile::remove(building);
        return result == PlaceResult::Placed;
    } catch (...) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        throw;
    }
}

Database openLocalDb(const QString &appFolder, Database::Mode mode)
{
    return Database::open(localDbPath(appFolder), mode);
}

} // namespace corvina
