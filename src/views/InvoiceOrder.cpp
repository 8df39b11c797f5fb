#include "views/InvoiceOrder.h"

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/TextRule.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>

namespace corvina {

namespace {

Statement prepareScan(Database &db, const QString &column, bool withRowids)
{
    if (column.isEmpty() || column.contains(QLatin1Char('"')))
        throw Error(errc::kDatabaseFailure,
                    QStringLiteral("\"%1\" is not a column name").arg(column));
    return db.prepare(QStringLiteral("SELECT %1\"%2\" FROM Invoices ORDER BY rowid")
                          .arg(withRowids ? QStringLiteral("rowid, ") : QString(), column));
}

// The distinct texts of a column under NOCASE (the program's text rule), each with
// an id from 1 upwards in order of first appearance. Texts live back to back in one buffer and
// are found through an open-addressing table, so a column of a million lines costs no
// allocation per line.
class FoldedTexts {
public:
    static constexpr std::uint32_t kNull = 0;

    FoldedTexts() : m_slots(1024, kNull) {}

    std::uint32_t idOf(QByteArrayView value)
    {
        const char *bytes = value.data();
        const auto size = static_cast<std::size_t>(value.size());
        // Lines of one invoice repeat its header values, so the previous value often recurs.
        if (m_lastId != kNull && size == m_last.size() &&
            std::memcmp(bytes, m_last.data(), size) == 0)
            return m_lastId;
        m_last.assign(bytes, size);
        m_folded.clear();
        appendCaseKey(m_folded, value);
        const std::size_t hash = std::hash<std::string_view>{}(m_folded);
        std::size_t slot = hash & (m_slots.size() - 1);
        for (; m_slots[slot] != kNull; slot = (slot + 1) & (m_slots.size() - 1)) {
            const std::uint32_t id = m_slots[slot];
            if (m_hashes[id - 1] == hash && text(id) == std::string_view(m_folded))
                return m_lastId = id;
        }
        m_starts.push_back(m_bytes.size());
        m_bytes.insert(m_bytes.end(), m_folded.begin(), m_folded.end());
        m_hashes.push_back(hash);
        m_lastId = static_cast<std::uint32_t>(m_hashes.size());
        m_slots[slot] = m_lastId;
        if (m_hashes.size() * 2 > m_slots.size())
            grow();
        return m_lastId;
    }

    // Rank of each id (index 0: NULL, rank 0); texts rank from 1 in byte order.
    std::vector<std::uint32_t> ranksById(std::uint32_t *highestRank) const
    {
        std::vector<std::uint32_t> byText(m_hashes.size());
        std::iota(byText.begin(), byText.end(), 1u);
        std::sort(byText.begin(), byText.end(),
                  [this](std::uint32_t a, std::uint32_t b) { return text(a) < text(b); });
        std::vector<std::uint32_t> ranks(m_hashes.size() + 1, 0);
        for (std::size_t i = 0; i < byText.size(); ++i)
            ranks[byText[i]] = static_cast<std::uint32_t>(i + 1);
        *highestRank = static_cast<std::uint32_t>(byText.size());
        return ranks;
    }

private:
    std::string_view text(std::uint32_t id) const
    {
        const std::size_t start = m_starts[id - 1];
        const std::size_t end = id < m_starts.size() ? m_starts[id] : m_bytes.size();
        return {m_bytes.data() + start, end - start};
    }

    void grow()
    {
        std::vector<std::uint32_t> table(m_slots.size() * 2, kNull);
        for (std::uint32_t id = 1; id <= m_hashes.size(); ++id) {
            std::size_t slot = m_hashes[id - 1] & (table.size() - 1);
            while (table[slot] != kNull)
                slot = (slot + 1) & (table.size() - 1);
            table[slot] = id;
        }
        m_slots = std::move(table);
    }

    std::vector<char> m_bytes;
    std::vector<std::size_t> m_starts;
    std::vector<std::size_t> m_hashes;
    std::vector<std::uint32_t> m_slots;
    std::string m_last;
    std::string m_folded;
    std::uint32_t m_lastId = kNull;
};

} // namespace

ColumnRanks rankInvoiceColumn(Database &db, const QString &column, bool withRowids)
{
    Statement scan = prepareScan(db, column, withRowids);
    const int valueColumn = withRowids ? 1 : 0;
    ColumnRanks result;
    FoldedTexts texts;
    std::vector<std::uint32_t> ids;
    while (scan.step()) {
        if (withRowids)
            result.rowids.push_back(scan.integer(0));
        // NULL gives a null view; an empty text gives an empty one.
        const QByteArrayView text = scan.text(valueColumn);
        ids.push_back(text.isNull() ? FoldedTexts::kNull : texts.idOf(text));
    }
    if (ids.size() >= std::numeric_limits<std::uint32_t>::max())
        throw Error(errc::kDatabaseFailure, QStringLiteral("Too many invoice lines to list"));

    const std::vector<std::uint32_t> rankOfId = texts.ranksById(&result.highestRank);
    result.ranks.resize(ids.size());
    std::transform(ids.begin(), ids.end(), result.ranks.begin(),
                   [&](std::uint32_t id) { return rankOfId[id]; });
    return result;
}

std::vector<std::uint32_t> stableOrderByRank(const ColumnRanks &column,
                                             const std::vector<std::uint32_t> &base)
{
    // Counting sort: linear, and stable by construction.
    std::vector<std::uint32_t> start(static_cast<std::size_t>(column.highestRank) + 2, 0);
    for (const std::uint32_t rank : column.ranks)
        ++start[rank + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> order(base.size());
    for (const std::uint32_t row : base)
        order[start[column.ranks[row]]++] = row;
    return order;
}

std::vector<std::uint32_t> storedOrder(std::size_t count)
{
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    return order;
}

} // namespace corvina
