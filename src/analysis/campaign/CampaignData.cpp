#include "analysis/campaign/CampaignData.h"

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "localdb/TextRule.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvina {

namespace {

// A plain scan read column by column without a QVariant per value: the invoice lines are a
// million rows, and their texts are only looked up, never kept.
Statement prepareScan(Database &db, const char *sql)
{
    return db.prepare(QString::fromLatin1(sql));
}

std::string_view textOf(const Statement &scan, int column)
{
    const QByteArrayView bytes = scan.text(column);
    return std::string_view(bytes.data(), static_cast<size_t>(bytes.size()));
}

struct TransparentHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
using KeyIndex = std::unordered_map<std::string, int, TransparentHash, std::equal_to<>>;

// Keys compare as the NOCASE columns do, by the program's one text rule.
class Folder {
public:
    std::string_view operator()(std::string_view text)
    {
        m_buffer.clear();
        appendCaseKey(m_buffer, QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        return m_buffer;
    }

private:
    std::string m_buffer;
};

int find(const KeyIndex &index, std::string_view key)
{
    const auto it = index.find(key);
    return it == index.end() ? -1 : it->second;
}

// 'YYYY-MM-DD...' to a Julian day; 0 when the text is no date.
std::int32_t dayOf(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return 0;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const char c = text[static_cast<size_t>(starts[p] + i)];
            if (c < '0' || c > '9')
                return 0;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? static_cast<std::int32_t>(date.toJulianDay()) : 0;
}

QString kindOf(const QString &type)
{
    // Items.Type holds "Item" + kind + "Ret".
    if (type.size() > 7 && type.startsWith(QStringLiteral("Item")) &&
        type.endsWith(QStringLiteral("Ret")))
        return type.mid(4, type.size() - 7);
    return type;
}

} // namespace

CampaignData CampaignData::load(Database &db)
{
    std::vector<Customer> customers;
    KeyIndex customerOf;
    Folder fold;
    {
        Statement scan =
            prepareScan(db, "SELECT rowid, ListID, Name FROM Customers ORDER BY Name, rowid");
        while (scan.step()) {
            const std::string_view listId = textOf(scan, 1);
            if (listId.empty() || customerOf.contains(fold(listId)))
                continue;
            customerOf.emplace(std::string(fold(listId)), static_cast<int>(customers.size()));
            customers.push_back(
                {QString::fromUtf8(listId), QString::fromUtf8(textOf(scan, 2)), scan.integer(0)});
        }
    }
    if (hasTable(db, QStringLiteral("CustomerJobs"))) {
        Statement scan =
            prepareScan(db, "SELECT ListID, CustListID FROM CustomerJobs ORDER BY rowid");
        KeyIndex jobs;
        while (scan.step()) {
            const int customer = find(customerOf, fold(textOf(scan, 1)));
            const std::string job(fold(textOf(scan, 0)));
            if (customer >= 0 && !job.empty())
                jobs.emplace(job, customer); // the first row of a job wins
        }
        for (auto &[job, customer] : jobs)
            customerOf.emplace(job, customer); // a customer's own ListID wins over a job's
    }

    std::vector<Item> items;
    KeyIndex itemOf;
    std::unordered_map<std::string, QString> kindOfItem;
    {
        Statement scan = prepareScan(db, "SELECT ListID, Type FROM Items ORDER BY rowid");
        while (scan.step())
            kindOfItem.emplace(std::string(fold(textOf(scan, 0))),
                               kindOf(QString::fromUtf8(textOf(scan, 1))));
    }

    std::vector<Purchase> lines;
    Statement scan =
        prepareScan(db, "SELECT CustListID, ItemRefID, ItemRef, InvDate, Amt FROM Invoices");
    std::string lastCustomerKey = "\x01";
    int lastCustomer = -1;
    while (scan.step()) {
        // Lines of one invoice follow each other and share their customer.
        const std::string_view customerKey = textOf(scan, 0);
        if (customerKey != lastCustomerKey) {
            lastCustomerKey.assign(customerKey);
            lastCustomer = find(customerOf, fold(customerKey));
        }
        const std::int32_t day = dayOf(textOf(scan, 3));
        if (lastCustomer < 0 || day == 0)
            continue;
        // Lines name the item by ListID; a line without one by its full name.
        const std::string_view itemId = textOf(scan, 1);
        const std::string_view itemName = textOf(scan, 2);
        std::string key =
            itemId.empty() ? "\x01" + std::string(fold(itemName)) : std::string(fold(itemId));
        int item = find(itemOf, key);
        if (item < 0) {
            item = static_cast<int>(items.size());
            const auto kind = kindOfItem.find(key);
            items.push_back(
                {QString::fromUtf8(itemName), kind == kindOfItem.end() ? QString() : kind->second});
            itemOf.emplace(std::move(key), item);
        }
        lines.push_back({lastCustomer, item, day, scan.real(4)});
    }

    CampaignData data;
    data.m_customers = std::move(customers);
    data.m_items = std::move(items);
    data.settle(std::move(lines));
    return data;
}

CampaignData CampaignData::fromParts(std::vector<Customer> customers, std::vector<Item> items,
                                     std::vector<Purchase> lines)
{
    CampaignData data;
    data.m_customers = std::move(customers);
    data.m_items = std::move(items);
    data.settle(std::move(lines));
    return data;
}

void CampaignData::settle(std::vector<Purchase> lines)
{
    std::sort(lines.begin(), lines.end(), [](const Purchase &a, const Purchase &b) {
        return a.customer != b.customer ? a.customer < b.customer
               : a.item != b.item       ? a.item < b.item
                                        : a.day < b.day;
    });
    m_purchases.clear();
    for (const Purchase &line : lines) {
        if (!m_purchases.empty() && m_purchases.back().customer == line.customer &&
            m_purchases.back().item == line.item && m_purchases.back().day == line.day)
            m_purchases.back().amount += line.amount;
        else
            m_purchases.push_back(line);
    }
    // Each customer's days from its purchases, which are already grouped by customer.
    m_customerDays.clear();
    std::vector<CustomerDay> days;
    for (size_t begin = 0; begin < m_purchases.size();) {
        size_t end = begin;
        days.clear();
        for (; end < m_purchases.size() && m_purchases[end].customer == m_purchases[begin].customer;
             ++end)
            days.push_back(
                {m_purchases[end].customer, m_purchases[end].day, m_purchases[end].amount});
        std::sort(days.begin(), days.end(),
                  [](const CustomerDay &a, const CustomerDay &b) { return a.day < b.day; });
        for (const CustomerDay &day : days) {
            if (!m_customerDays.empty() && m_customerDays.back().customer == day.customer &&
                m_customerDays.back().day == day.day)
                m_customerDays.back().amount += day.amount;
            else
                m_customerDays.push_back(day);
        }
        begin = end;
    }
    m_firstDay = m_lastDay = 0;
    for (const CustomerDay &day : m_customerDays) {
        m_firstDay = m_firstDay == 0 ? day.day : std::min(m_firstDay, day.day);
        m_lastDay = std::max(m_lastDay, day.day);
    }
}

QStringList CampaignData::kinds() const
{
    QStringList kinds;
    for (const Item &item : m_items) {
        if (!item.kind.isEmpty() && !kinds.contains(item.kind))
            kinds << item.kind;
    }
    kinds.sort(Qt::CaseInsensitive);
    return kinds;
}

QDate CampaignData::firstDate() const
{
    return m_firstDay ? QDate::fromJulianDay(m_firstDay) : QDate();
}

QDate CampaignData::lastDate() const
{
    return m_lastDay ? QDate::fromJulianDay(m_lastDay) : QDate();
}

QString campaignDateText(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

} // namespace corvina
