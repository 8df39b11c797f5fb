#include "views/CustomerBrowser.h"

#include "localdb/TextRule.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace corvina {

namespace {

} // namespace

CustomerBrowser::CustomerBrowser(CustomerTable table)
    : m_table(std::move(table)), m_states(distinctOf(m_table, &CustomerTable::billState)),
      m_types(distinctOf(m_table, &CustomerTable::custType))
{
    applyFilter(std::nullopt, std::nullopt);
}

QString CustomerBrowser::initialText(Combo combo)
{
    return combo == Combo::State ? QStringLiteral("State") : QStringLiteral("Type");
}

std::optional<int> CustomerBrowser::Distinct::numberOf(const QString &text) const
{
    if (text.isEmpty())
        return 0;
    const auto found = byFolded.constFind(caseKey(text));
    if (found == byFolded.constEnd())
        return std::nullopt;
    return found.value();
}

// Numbers each distinct value once: rows are mostly a few repeated texts, so the raw bytes
// are looked up first and only a new spelling is decoded and case-folded.
CustomerBrowser::Distinct CustomerBrowser::distinctOf(const CustomerTable &table, KeyColumn column)
{
    Distinct distinct;
    distinct.texts << QString();
    distinct.rowValue.assign(static_cast<std::size_t>(table.rowCount()), 0);
    std::unordered_map<std::string_view, int> bySpelling;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QByteArrayView raw = (table.*column)(row);
        if (raw.isEmpty()) {
            distinct.anyEmpty = true;
            continue;
        }
        const std::string_view spelling(raw.data(), static_cast<std::size_t>(raw.size()));
        auto known = bySpelling.find(spelling);
        if (known == bySpelling.end()) {
            const QString text = QString::fromUtf8(raw);
            const QString folded = caseKey(text);
            auto number = distinct.byFolded.constFind(folded);
            if (number == distinct.byFolded.constEnd()) {
                number = distinct.byFolded.insert(folded, static_cast<int>(distinct.texts.size()));
                distinct.texts << text;
            }
            known = bySpelling.emplace(spelling, number.value()).first;
        }
        distinct.rowValue[static_cast<std::size_t>(row)] = known->second;
    }
    return distinct;
}

QStringList CustomerBrowser::listOf(const Distinct &distinct)
{
    QStringList values = distinct.texts.mid(1);
    std::sort(values.begin(), values.end(),
              [](const QString &a, const QString &b) { return compareWithoutCase(a, b) < 0; });
    if (distinct.anyEmpty)
        values.prepend(QString());
    return values;
}

void CustomerBrowser::comboChanged(Combo changed, const QString &text, const QString &otherText)
{
    if (text.isEmpty()) {
        clearFilter();
        return;
    }
    const Combo other = changed == Combo::State ? Combo::Type : Combo::State;
    // An emptied other combo filters nothing either: customers without a value are not
    // what the user asked for by clearing it.
    const bool otherFilters = !otherText.isEmpty() && otherText != initialText(other);
    std::optional<QString> otherValue =
        otherFilters ? std::optional<QString>(otherText) : std::nullopt;
    if (changed == Combo::State)
        applyFilter(text, std::move(otherValue));
    else
        applyFilter(std::move(otherValue), text);
}

void CustomerBrowser::clearFilter()
{
    applyFilter(std::nullopt, std::nullopt);
}

void CustomerBrowser::applyFilter(std::optional<QString> state, std::optional<QString> type)
{
    m_stateFilter = std::move(state);
    m_typeFilter = std::move(type);
    // A value no customer has matches no row (-1 never occurs among the rows' numbers).
    const int stateNumber = m_stateFilter ? m_states.numberOf(*m_stateFilter).value_or(-1) : -1;
    const int typeNumber = m_typeFilter ? m_types.numberOf(*m_typeFilter).value_or(-1) : -1;

    m_visible.clear();
    m_visible.reserve(static_cast<std::size_t>(m_table.rowCount()));
    for (int row = 0; row < m_table.rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        if (m_stateFilter && m_states.rowValue[at] != stateNumber)
            continue;
        if (m_typeFilter && m_types.rowValue[at] != typeNumber)
            continue;
        m_visible.push_back(row);
    }
    m_current = m_visible.empty() ? -1 : 0;
}

int CustomerBrowser::goTo(const QString &prefix)
{
    m_current = -1;
    const QByteArray wanted = prefix.toUtf8();
    for (std::size_t row = 0; row < m_visible.size(); ++row) {
        if (startsWithWithoutCase(m_table.name(m_visible[row]), QByteArrayView(wanted))) {
            m_current = static_cast<int>(row);
            break;
        }
    }
    return m_current;
}

QStringList CustomerBrowser::columnNames() const
{
    QStringList names;
    for (const Field &field : m_table.columns())
        names << field.name;
    return names;
}

QVariant CustomerBrowser::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_table.columnCount())
        return {};
    return m_table.value(tableRow(row), column);
}

void CustomerBrowser::setCurrentRow(int row)
{
    m_current = row >= 0 && row < rowCount() ? row : -1;
}

} // namespace corvina
