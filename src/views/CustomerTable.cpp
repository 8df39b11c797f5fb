#include "views/CustomerTable.h"

#include "base/Error.h"
#include "localdb/TextRule.h"
#include <sqlite3.h>

#include <algorithm>

namespace corvina {

namespace {

const QString kSnapshot = QStringLiteral("temp.CustomerSnapshot");
// Rows kept decoded at a time: several screens of the grid.
constexpr std::size_t kCachedRows = 1024;

QString quotedName(QString name)
{
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

void CustomerTable::TextColumn::append(const char *bytes, std::size_t size, bool null)
{
    m_bytes.append(bytes, size);
    if (m_bytes.size() >= kNullBit)
        throw Error(errc::kDatabaseFailure,
                    QStringLiteral("The customer table is too large to show."));
    m_ends.push_back(static_cast<std::uint32_t>(m_bytes.size()) | (null ? kNullBit : 0u));
}

QByteArrayView CustomerTable::TextColumn::bytes(std::size_t row) const
{
    const std::uint32_t begin = row == 0 ? 0 : (m_ends[row - 1] & ~kNullBit);
    const std::uint32_t end = m_ends[row] & ~kNullBit;
    return QByteArrayView(m_bytes.data() + begin, static_cast<qsizetype>(end - begin));
}

std::size_t CustomerTable::TextColumn::memoryBytes() const
{
    return m_bytes.capacity() + m_ends.capacity() * sizeof(std::uint32_t);
}

CustomerTable CustomerTable::load(Database db)
{
    CustomerTable table;
    table.m_db.emplace(std::move(db));
    table.copyTable();
    table.readColumns();
    table.readKeys();
    table.sortByName();
    table.m_fetch.emplace(table.m_db->prepare(QStringLiteral("Select * From ") + kSnapshot +
                                              QStringLiteral(" Where rowid = ?")));
    return table;
}

// The copy has the columns of Customers with their declared types and collations, so that
// SQLite transfers the stored records as they are and the columns keep their kinds. Its
// definition is built from our own text and quoted names: the definition stored in the
// file is never run, since a hostile QBData.mdb could hide statements in it.
void CustomerTable::copyTable()
{
    const QStringList columns = snapshotColumns();
    if (columns.isEmpty())
        throw Error(errc::kDatabaseFailure, QStringLiteral("The Customers table has no columns."));
    m_db->execute(QStringLiteral("PRAGMA temp_store = MEMORY"));
    m_db->execute(QStringLiteral("Drop Table If Exists ") + kSnapshot);
    m_db->execute(QStringLiteral("Create Temp Table CustomerSnapshot (") +
                  columns.join(QStringLiteral(", ")) + QLatin1Char(')'));
    m_db->execute(QStringLiteral("Insert Into ") + kSnapshot +
                  QStringLiteral(" Select * From main.Customers"));
}

// One column definition per column of Customers: its name and declared type, each as a
// quoted name (SQLite reads a quoted type name as the type), and a collation other than the
// default when it is one of SQLite's own.
QStringList CustomerTable::snapshotColumns()
{
    Statement shape = m_db->prepare(QStringLiteral("Select * From main.Customers"));
    QStringList columns;
    for (int c = 0; c < shape.columnCount(); ++c) {
        QString column = quotedName(shape.columnName(c));
        if (const QString type = shape.columnDeclaredType(c); !type.isEmpty())
            column += QLatin1Char(' ') + quotedName(type);
        const QString origin = shape.columnOrigin(c);
        const QString collation =
            origin.isEmpty() ? QString()
                             : m_db->declaredCollation(QStringLiteral("Customers"), origin);
        if (collation == QLatin1String("NOCASE") || collation == QLatin1String("RTRIM"))
            column += QStringLiteral(" Collate ") + collation;
        columns.append(column);
    }
    return columns;
}

void CustomerTable::readColumns()
{
    Statement columns = m_db->prepare(QStringLiteral("Select * From ") + kSnapshot);
    for (int c = 0; c < columns.columnCount(); ++c)
        m_columns.push_back(Field{columns.columnName(c), columns.columnKind(c), 0});
}

// Column by column as stored: no value objects are made for the 100,000s of rows.
void CustomerTable::readKeys()
{
    Statement keys =
        m_db->prepare(QStringLiteral("Select rowid, Name, BillState, CustType From ") + kSnapshot);
    const auto appendText = [&](TextColumn &column, int c) {
        const QByteArrayView text = keys.text(c);
        column.append(text.data(), static_cast<std::size_t>(text.size()), text.isNull());
    };
    while (keys.step()) {
        m_rowids.push_back(keys.integer(0));
        appendText(m_names, 1);
        appendText(m_states, 2);
        appendText(m_types, 3);
    }
}

void CustomerTable::sortByName()
{
    m_order.resize(m_rowids.size());
    for (std::size_t r = 0; r < m_order.size(); ++r)
        m_order[r] = static_cast<std::uint32_t>(r);
    std::stable_sort(m_order.begin(), m_order.end(), [this](std::uint32_t a, std::uint32_t b) {
        const bool nullA = m_names.isNull(a);
        const bool nullB = m_names.isNull(b);
        if (nullA || nullB)
            return nullA && !nullB;
        return compareWithoutCase(m_names.bytes(a), m_names.bytes(b)) < 0;
    });
}

int CustomerTable::columnIndex(const QString &name) const
{
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(c);
    }
    return -1;
}

const std::vector<QVariant> &CustomerTable::fetch(std::size_t storedRow) const
{
    if (const auto cached = m_cache.find(storedRow); cached != m_cache.end())
        return cached->second;
    if (m_cache.size() >= kCachedRows)
        m_cache.clear();
    std::vector<QVariant> values;
    values.reserve(m_columns.size());
    // Values are asked for while the grid paints and the pages are drawn, where an error
    // cannot be reported; the copy is in memory, so a failure here leaves the row empty.
    try {
        m_fetch->reset();
        m_fetch->bind(1, QVariant::fromValue(static_cast<qint64>(m_rowids[storedRow])));
        if (m_fetch->step()) {
            for (int c = 0; c < m_fetch->columnCount(); ++c)
                values.push_back(m_fetch->value(c));
        }
        m_fetch->reset();
    } catch (const Error &) {
        values.clear();
    }
    values.resize(m_columns.size());
    return m_cache.emplace(storedRow, std::move(values)).first->second;
}

QVariant CustomerTable::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return fetch(stored(row))[static_cast<std::size_t>(column)];
}

std::size_t CustomerTable::memoryBytes() const
{
    return m_rowids.capacity() * sizeof(std::int64_t) + m_names.memoryBytes() +
           m_states.memoryBytes() + m_types.memoryBytes() +
           m_order.capacity() * sizeof(std::uint32_t);
}

} // namespace corvina
