#include "localdb/Recordset.h"

#include "localdb/Value.h"

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/TextRule.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <set>

namespace corvina {

namespace {

[[noreturn]] void fail(const QString &description)
{
    throw Error(errc::kDatabaseFailure, description);
}

// The text form of a value, dates in storage form; used for text fields and text matching.
QString textOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return dateToStorage(value.toDateTime());
    return value.toString();
}

std::optional<QDateTime> toDate(const QVariant &value)
{
    QDateTime date;
    switch (value.typeId()) {
    case QMetaType::QDateTime: date = value.toDateTime(); break;
    case QMetaType::QDate: date = QDateTime(value.toDate(), QTime(0, 0)); break;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        date = dateFromStorage(text);
        if (!date.isValid())
            date = QDateTime::fromString(text, Qt::ISODate);
        break;
    }
    default: break;
    }
    if (!date.isValid())
        return std::nullopt;
    date = date.toLocalTime();
    return date.addMSecs(-date.time().msec());
}

std::optional<double> toDouble(const QVariant &value)
{
    if (isNumeric(value) || value.typeId() == QMetaType::Bool)
        return value.toDouble();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

std::optional<qint32> toInteger(const QVariant &value)
{
    const std::optional<double> number = toDouble(value);
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    // Round half to even, as the original's integer conversion did.
    const double whole = std::nearbyint(*number);
    if (whole < std::numeric_limits<qint32>::min() || whole > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(whole);
}

std::optional<bool> toBoolean(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumeric(value))
        return value.toDouble() != 0.0;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1")
            return true;
        if (text.compare(u"false", Qt::CaseInsensitive) == 0 || text == u"0")
            return false;
    }
    return std::nullopt;
}

// The value as the field stores it; throws when it cannot be stored there.
QVariant convertForField(const QVariant &value, const Field &field)
{
    if (value.isNull())
        return {};
    std::optional<QVariant> converted;
    switch (field.kind) {
    case FieldKind::Text: {
        const QString text = textOf(value);
        if (field.definedSize > 0 && text.size() > field.definedSize) {
            fail(QStringLiteral("The text for field \"%1\" is %2 characters long; the field "
                                "holds at most %3")
                     .arg(field.name)
                     .arg(text.size())
                     .arg(field.definedSize));
        }
        return text;
    }
    case FieldKind::Date:
        if (const auto date = toDate(value))
            converted = *date;
        break;
    case FieldKind::Double:
        if (const auto number = toDouble(value))
            converted = *number;
        break;
    case FieldKind::Boolean:
        if (const auto flag = toBoolean(value))
            converted = *flag;
        break;
    case FieldKind::Integer:
        if (const auto number = toInteger(value))
            converted = *number;
        break;
    }
    if (!converted) {
        fail(QStringLiteral("The value \"%1\" cannot be stored in field \"%2\", which holds %3 "
                            "values")
                 .arg(textOf(value), field.name, fieldKindName(field.kind)));
    }
    return *converted;
}

int compareForSort(const QVariant &a, const QVariant &b)
{
    const bool aNull = a.isNull();
    const bool bNull = b.isNull();
    if (aNull || bNull)
        return aNull == bNull ? 0 : (aNull ? -1 : 1);
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
        return compareWithoutCase(a.toString(), b.toString());
    const QPartialOrdering order = QVariant::compare(a, b);
    if (order == QPartialOrdering::Less)
        return -1;
    if (order == QPartialOrdering::Greater)
        return 1;
    if (order == QPartialOrdering::Equivalent)
        return 0;
    // Values that do not compare (mixed kinds) group by kind.
    return a.typeId() < b.typeId() ? -1 : (a.typeId() > b.typeId() ? 1 : 0);
}

FieldKind kindOfValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: return FieldKind::Date;
    case QMetaType::Bool: return FieldKind::Boolean;
    case QMetaType::Double: return FieldKind::Double;
    case QMetaType::Int:
    case QMetaType::LongLong: return FieldKind::Integer;
    default: return FieldKind::Text;
    }
}

// A query column's kind: its declared kind, or for an expression the kind its values share
// (integers among doubles count as doubles; anything else mixed is text).
FieldKind settleKind(const std::set<FieldKind> &seen, FieldKind declared)
{
    if (seen.empty())
        return declared;
    if (seen.size() == 1)
        return *seen.begin();
    if (seen == std::set<FieldKind>{FieldKind::Integer, FieldKind::Double})
        return FieldKind::Double;
    return FieldKind::Text;
}

} // namespace

// ---- RowView ----------------------------------------------------------------------------

const QVariant &RowView::value(int field) const
{
    const auto &row = m_set->m_rows.at(static_cast<size_t>(m_row));
    if (field < 0 || static_cast<size_t>(field) >= row.size())
        fail(QStringLiteral("The recordset has no field %1").arg(field));
    return row[static_cast<size_t>(field)];
}

const QVariant &RowView::value(const QString &fieldName) const
{
    return value(m_set->requireField(fieldName));
}

// ---- Recordset --------------------------------------------------------------------------

Recordset::Recordset(std::vector<Field> fields) : m_fields(std::move(fields)) {}

Recordset Recordset::fromQuery(Database &db, const QString &sql,
                               const std::vector<QVariant> &values)
{
    Statement statement = db.prepare(sql);
    statement.bindAll(values);
    const int columns = statement.columnCount();
    const auto width = static_cast<size_t>(columns);

    Recordset set;
    set.m_fields.resize(width);
    std::vector<std::set<FieldKind>> seen(width);
    while (statement.step()) {
        std::vector<QVariant> row(width);
        for (int c = 0; c < columns; ++c) {
            QVariant value = statement.value(c);
            if (!value.isNull())
                seen[static_cast<size_t>(c)].insert(kindOfValue(value));
            row[static_cast<size_t>(c)] = std::move(value);
        }
        set.m_rows.push_back(std::move(row));
    }
    for (int c = 0; c < columns; ++c) {
        const auto index = static_cast<size_t>(c);
        Field &field = set.m_fields[index];
        field.name = statement.columnName(c);
        field.kind = settleKind(seen[index], statement.columnKind(c));
        if (seen[index].size() > 1) {
            for (auto &row : set.m_rows)
                row[index] = convertForField(row[index], field);
        }
    }
    set.m_readOnly = true;
    return set;
}

void Recordset::appendField(const Field &field)
{
    if (!m_rows.empty())
        fail(QStringLiteral("Field \"%1\" cannot be added to a recordset that holds rows")
                 .arg(field.name));
    if (fieldIndex(field.name) >= 0)
        fail(QStringLiteral("The recordset already has a field \"%1\"").arg(field.name));
    m_fields.push_back(field);
}

int Recordset::fieldIndex(const QString &name) const
{
    const int count = static_cast<int>(m_fields.size());
    // Callers nearly always spell the name as defined; the exact pass is the cheap one.
    for (int i = 0; i < count; ++i) {
        if (m_fields[static_cast<size_t>(i)].name == name)
            return i;
    }
    for (int i = 0; i < count; ++i) {
        if (m_fields[static_cast<size_t>(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int Recordset::recordCount() const noexcept
{
    return static_cast<int>(m_filter ? m_view.size() : m_rows.size());
}

void Recordset::moveNext() noexcept
{
    if (m_pos < recordCount())
        ++m_pos;
}

void Recordset::movePrevious() noexcept
{
    if (m_pos >= 0)
        --m_pos;
}

void Recordset::moveTo(int position) noexcept
{
    m_pos = std::clamp(position, -1, recordCount());
}

const QVariant &Recordset::value(int field) const
{
    return RowView(*this, requireCurrent()).value(field);
}

const QVariant &Recordset::value(const QString &fieldName) const
{
    return value(requireField(fieldName));
}

void Recordset::setValue(int field, const QVariant &value)
{
    checkWritable();
    const int row = requireCurrent();
    if (field < 0 || static_cast<size_t>(field) >= m_fields.size())
        fail(QStringLiteral("The recordset has no field %1").arg(field));
    const auto index = static_cast<size_t>(field);
    m_rows[static_cast<size_t>(row)][index] = convertForField(value, m_fields[index]);
}

void Recordset::setValue(const QString &fieldName, const QVariant &value)
{
    setValue(requireField(fieldName), value);
}

void Recordset::addNew()
{
    checkWritable();
    m_rows.emplace_back(m_fields.size());
    if (m_filter)
        m_view.push_back(storedRowCount() - 1);
    m_pos = recordCount() - 1;
}

void Recordset::deleteCurrent()
{
    checkWritable();
    const int row = requireCurrent();
    m_rows.erase(m_rows.begin() + row);
    if (m_filter) {
        m_view.erase(m_view.begin() + m_pos);
        for (int &stored : m_view) {
            if (stored > row)
                --stored;
        }
    }
}

bool Recordset::find(const RowPredicate &predicate)
{
    const int count = recordCount();
    for (int pos = std::max(m_pos, 0); pos < count; ++pos) {
        if (predicate(RowView(*this, storedIndex(pos)))) {
            m_pos = pos;
            return true;
        }
    }
    m_pos = count;
    return false;
}

void Recordset::setFilter(RowPredicate predicate)
{
    m_filter = std::move(predicate);
    rebuildView();
    m_pos = 0;
}

void Recordset::clearFilter()
{
    m_filter = nullptr;
    m_view.clear();
    m_pos = 0;
}

void Recordset::sort(const std::vector<SortKey> &keys)
{
    std::vector<std::pair<size_t, bool>> columns;
    for (const SortKey &key : keys)
        columns.emplace_back(static_cast<size_t>(requireField(key.field)), key.ascending);

    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto &rowA = m_rows[static_cast<size_t>(a)];
        const auto &rowB = m_rows[static_cast<size_t>(b)];
        for (const auto &[column, ascending] : columns) {
            const int cmp = compareForSort(rowA[column], rowB[column]);
            if (cmp != 0)
                return ascending ? cmp < 0 : cmp > 0;
        }
        return false;
    });

    std::vector<std::vector<QVariant>> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newIndex(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[static_cast<size_t>(order[i])]));
        newIndex[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);
    // The visible rows stay the same rows (including ones added after the filter was set),
    // now in the new order.
    for (int &stored : m_view)
        stored = newIndex[static_cast<size_t>(stored)];
    std::sort(m_view.begin(), m_view.end());
    m_pos = 0;
}

int Recordset::storedIndex(int visible) const
{
    return m_filter ? m_view[static_cast<size_t>(visible)] : visible;
}

int Recordset::requireCurrent() const
{
    if (m_pos < 0 || m_pos >= recordCount())
        fail(QStringLiteral("There is no current record: the recordset is at BOF or EOF"));
    return storedIndex(m_pos);
}

int Recordset::requireField(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        fail(QStringLiteral("The recordset has no field \"%1\"").arg(name));
    return index;
}

void Recordset::rebuildView()
{
    m_view.clear();
    if (!m_filter)
        return;
    for (int row = 0; row < storedRowCount(); ++row) {
        if (m_filter(RowView(*this, row)))
            m_view.push_back(row);
    }
}

void Recordset::checkWritable() const
{
    if (m_readOnly)
        fail(QStringLiteral("The recordset is read-only"));
}

// ---- Predicates -------------------------------------------------------------------------

RowPredicate fieldEquals(const QString &field, const QVariant &value, Qt::CaseSensitivity cs)
{
    return [field, value, cs](const RowView &row) {
        const QVariant &stored = row.value(field);
        if (stored.isNull() || value.isNull())
            return stored.isNull() && value.isNull();
        if (stored.typeId() == QMetaType::QString || value.typeId() == QMetaType::QString)
            return cs == Qt::CaseInsensitive
                       ? compareWithoutCase(textOf(stored), textOf(value)) == 0
                       : textOf(stored).compare(textOf(value), cs) == 0;
        return QVariant::compare(stored, value) == QPartialOrdering::Equivalent;
    };
}

RowPredicate fieldStartsWith(const QString &field, const QString &prefix, Qt::CaseSensitivity cs)
{
    return [field, prefix, cs](const RowView &row) {
        const QVariant &stored = row.value(field);
        if (stored.isNull())
            return false;
        return cs == Qt::CaseInsensitive ? startsWithWithoutCase(textOf(stored), prefix)
                                         : textOf(stored).startsWith(prefix, cs);
    };
}

} // namespace corvina
