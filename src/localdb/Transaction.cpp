#include "localdb/Database.h"

#include <sqlite3.h>

namespace corvina {

bool Database::inTransaction() const noexcept
{
    return m_db != nullptr && sqlite3_get_autocommit(m_db) == 0;
}

void Database::rollbackQuietly() noexcept
{
    // SQLite may already have rolled back on its own after certain errors.
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

// ---- Transaction ------------------------------------------------------------------------

Transaction::Transaction(Database &db) : m_db(db)
{
    m_db.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (!m_done)
        m_db.rollbackQuietly();
}

void Transaction::commit()
{
    m_db.execute(QStringLiteral("COMMIT"));
    m_done = true;
}

// ---- ReadTransaction --------------------------------------------------------------------

ReadTransaction::ReadTransaction(Database &db) : m_db(db)
{
    if (!m_db.inTransaction()) {
        m_db.execute(QStringLiteral("BEGIN"));
        m_began = true;
    }
}

ReadTransaction::~ReadTransaction()
{
    end();
}

void ReadTransaction::end() noexcept
{
    if (!m_began)
        return;
    m_began = false;
    m_db.rollbackQuietly();
}

QString likePrefixPattern(const QString &prefix)
{
    QString pattern;
    pattern.reserve(prefix.size() + 1);
    for (const QChar c : prefix) {
        if (c == u'\\' || c == u'%' || c == u'_')
            pattern += u'\\';
        pattern += c;
    }
    pattern += u'%';
    return pattern;
}

} // namespace corvina
