#include "analysis/campaign/CampaignLists.h"

#include "analysis/campaign/CampaignText.h"

#include <algorithm>
#include <cmath>

namespace corvina {

namespace {

using Kind = CampaignColumn::Kind;

CampaignResult started(const CampaignData &data, QString title, std::vector<CampaignColumn> columns)
{
    CampaignResult result;
    result.title = std::move(title);
    result.columns = std::move(columns);
    result.firstDate = data.firstDate();
    result.lastDate = data.lastDate();
    return result;
}

// Rows by a number, highest first, then by customer name.
void rankRows(const CampaignData &data, std::vector<CampaignRow> &rows, size_t column)
{
    const auto &customers = data.customers();
    std::stable_sort(rows.begin(), rows.end(), [&](const CampaignRow &a, const CampaignRow &b) {
        const double x = a.values[column].toDouble();
        const double y = b.values[column].toDouble();
        if (x != y)
            return x > y;
        return customers[static_cast<size_t>(a.customer)].name.compare(
                   customers[static_cast<size_t>(b.customer)].name, Qt::CaseInsensitive) < 0;
    });
}

QDate dateOf(std::int32_t day)
{
    return QDate::fromJulianDay(day);
}

} // namespace

QDate lapsedCutoff(const CampaignData &data, const LapsedParams &params)
{
    if (params.cutoff)
        return *params.cutoff;
    return data.lastDate().isValid() ? data.lastDate().addDays(-params.daysBeforeLatest) : QDate();
}

CampaignResult lapsedCustomers(const CampaignData &data, const LapsedParams &params,
                               const QDate &today)
{
    const QDate cutoff = lapsedCutoff(data, params);
    const QDate start = cutoff.isValid() ? cutoff.addMonths(-params.months) : QDate();
    CampaignResult result =
        started(data,
                QStringLiteral("Lapsed customers: bought in the %1 months to %2, nothing since")
                    .arg(params.months)
                    .arg(campaignDateText(cutoff)),
                {{QStringLiteral("Last purchase"), Kind::Date},
                 {QStringLiteral("Days since"), Kind::Days},
                 {QStringLiteral("Sales in window"), Kind::Money},
                 {QStringLiteral("Purchases"), Kind::Count}});
    if (!cutoff.isValid())
        return result;
    const auto first = static_cast<std::int32_t>(start.toJulianDay()); // excluded
    const auto last = static_cast<std::int32_t>(cutoff.toJulianDay()); // included
    const auto &days = data.customerDays();
    for (size_t begin = 0; begin < days.size();) {
        size_t end = begin;
        double sales = 0;
        int purchases = 0;
        for (; end < days.size() && days[end].customer == days[begin].customer; ++end) {
            if (days[end].day > first && days[end].day <= last) {
                sales += days[end].amount;
                ++purchases;
            }
        }
        const std::int32_t lastDay = days[end - 1].day; // days are in order
        if (lastDay > first && lastDay <= last) {
            const QDate lastDate = dateOf(lastDay);
            const qint64 since = lastDate.daysTo(today);
            CampaignRow row{days[begin].customer, {lastDate, since, sales, purchases}, {}};
            row.reason =
                QStringLiteral("Bought on %1 for %2 in the %3 months to %4; last purchase %5, "
                               "%6 days ago; nothing since.")
                    .arg(timesText(purchases), moneyText(sales))
                    .arg(params.months)
                    .arg(campaignDateText(cutoff), campaignDateText(lastDate))
                    .arg(since);
            result.rows.push_back(std::move(row));
        }
        begin = end;
    }
    rankRows(data, result.rows, 2);
    return result;
}

double medianGap(const std::vector<std::int32_t> &days)
{
    std::vector<std::int32_t> gaps;
    for (size_t i = 1; i < days.size(); ++i)
        gaps.push_back(days[i] - days[i - 1]);
    if (gaps.empty())
        return 0;
    std::sort(gaps.begin(), gaps.end());
    const size_t middle = gaps.size() / 2;
    return gaps.size() % 2 ? gaps[middle] : (gaps[middle - 1] + gaps[middle]) / 2.0;
}

CampaignResult dueToReorder(const CampaignData &data, const ReorderParams &params,
                            const QDate &today)
{
    QString title =
        QStringLiteral("Due to reorder: items bought on %1 or more days, overdue by %2 times the "
                       "usual interval")
            .arg(params.minPurchases)
            .arg(numberText(params.factor));
    if (!params.itemPrefix.isEmpty())
        title += QStringLiteral(", items starting with \"%1\"").arg(params.itemPrefix);
    CampaignResult result = started(data, title,
                                    {{QStringLiteral("Item"), Kind::Text},
                                     {QStringLiteral("Purchases"), Kind::Count},
                                     {QStringLiteral("Usual interval"), Kind::Days},
                                     {QStringLiteral("Last purchase"), Kind::Date},
                                     {QStringLiteral("Days overdue"), Kind::Days},
                                     {QStringLiteral("Average order"), Kind::Money}});
    std::vector<char> wanted(data.items().size(), 1);
    if (!params.itemPrefix.isEmpty()) {
        for (size_t i = 0; i < wanted.size(); ++i)
            wanted[i] = data.items()[i].name.startsWith(params.itemPrefix, Qt::CaseInsensitive);
    }
    const qint64 todayDay = today.toJulianDay();
    const auto &purchases = data.purchases();
    std::vector<std::int32_t> days;
    for (size_t begin = 0; begin < purchases.size();) {
        const CampaignData::Purchase &head = purchases[begin];
        size_t end = begin;
        double total = 0;
        days.clear();
        for (; end < purchases.size() && purchases[end].customer == head.customer &&
               purchases[end].item == head.item;
             ++end) {
            days.push_back(purchases[end].day);
            total += purchases[end].amount;
        }
        begin = end;
        if (!wanted[static_cast<size_t>(head.item)] ||
            static_cast<int>(days.size()) < params.minPurchases || days.size() < 2)
            continue;
        const double interval = medianGap(days);
        const auto since = static_cast<double>(todayDay - days.back());
        if (!(since > interval * params.factor))
            continue;
        const QString &itemName = data.items()[static_cast<size_t>(head.item)].name;
        const QDate lastDate = dateOf(days.back());
        const double overdue = since - interval;
        const double average = total / static_cast<double>(days.size());
        CampaignRow row{
            head.customer,
            {itemName, static_cast<int>(days.size()), interval, lastDate, overdue, average},
            {}};
        row.reason = QStringLiteral("Buys %1 every %2 days (median of %3 gaps); last purchase %4, "
                                    "%5 days ago, %6 days overdue.")
                         .arg(itemName, numberText(interval))
                         .arg(days.size() - 1)
                         .arg(campaignDateText(lastDate))
                         .arg(static_cast<qint64>(since))
                         .arg(numberText(overdue));
        result.rows.push_back(std::move(row));
    }
    rankRows(data, result.rows, 4);
    return result;
}

bool isItemA(const CampaignData &data, const BoughtANotBParams &params, int item)
{
    if (!params.kindA.isEmpty())
        return data.items()[static_cast<size_t>(item)].kind.compare(params.kindA,
                                                                    Qt::CaseInsensitive) == 0;
    return item == params.itemA;
}

namespace {

QString itemAText(const CampaignData &data, const BoughtANotBParams &params)
{
    if (!params.kindA.isEmpty())
        return QStringLiteral("any %1 item").arg(params.kindA);
    return params.itemA >= 0 ? data.items()[static_cast<size_t>(params.itemA)].name : QString();
}

} // namespace

CampaignResult boughtANotB(const CampaignData &data, const BoughtANotBParams &params)
{
    const QString a = itemAText(data, params);
    const QString b =
        params.itemB >= 0 ? data.items()[static_cast<size_t>(params.itemB)].name : QString();
    CampaignResult result = started(data, QStringLiteral("Bought A, not B: %1, not %2").arg(a, b),
                                    {{QStringLiteral("Purchases of A"), Kind::Count},
                                     {QStringLiteral("Last purchase of A"), Kind::Date},
                                     {QStringLiteral("Sales of A"), Kind::Money}});
    if ((params.itemA < 0 && params.kindA.isEmpty()) || params.itemB < 0)
        return result;
    std::vector<char> itemIsA(data.items().size());
    for (size_t i = 0; i < itemIsA.size(); ++i)
        itemIsA[i] = isItemA(data, params, static_cast<int>(i));
    const auto &purchases = data.purchases();
    std::vector<std::int32_t> days;
    for (size_t begin = 0; begin < purchases.size();) {
        size_t end = begin;
        bool boughtB = false;
        double sales = 0;
        days.clear();
        for (; end < purchases.size() && purchases[end].customer == purchases[begin].customer;
             ++end) {
            const auto &purchase = purchases[end];
            boughtB = boughtB || purchase.item == params.itemB;
            if (itemIsA[static_cast<size_t>(purchase.item)]) {
                days.push_back(purchase.day);
                sales += purchase.amount;
            }
        }
        const int customer = purchases[begin].customer;
        begin = end;
        if (days.empty() || boughtB)
            continue;
        std::sort(days.begin(), days.end());
        const int times = static_cast<int>(std::unique(days.begin(), days.end()) - days.begin());
        const QDate lastDate = dateOf(days[static_cast<size_t>(times) - 1]);
        CampaignRow row{customer, {times, lastDate, sales}, {}};
        row.reason = QStringLiteral("Bought %1 on %2 for %3, last on %4; never bought %5.")
                         .arg(a, timesText(times), moneyText(sales), campaignDateText(lastDate), b);
        result.rows.push_back(std::move(row));
    }
    rankRows(data, result.rows, 2);
    return result;
}

std::vector<LiftSuggestion> suggestItemsB(const CampaignData &data, const BoughtANotBParams &params,
                                          int minBuyersOfBoth, int limit)
{
    const size_t itemCount = data.items().size();
    std::vector<char> itemIsA(itemCount);
    for (size_t i = 0; i < itemCount; ++i)
        itemIsA[i] = isItemA(data, params, static_cast<int>(i));
    std::vector<int> buyers(itemCount, 0);
    std::vector<int> buyersWithA(itemCount, 0);
    int customers = 0;
    int buyersOfA = 0;
    const auto &purchases = data.purchases();
    for (size_t begin = 0; begin < purchases.size();) {
        size_t end = begin;
        bool boughtA = false;
        for (; end < purchases.size() && purchases[end].customer == purchases[begin].customer;
             ++end)
            boughtA = boughtA || itemIsA[static_cast<size_t>(purchases[end].item)];
        ++customers;
        buyersOfA += boughtA;
        // Purchases of one customer and item are consecutive: count each item once.
        for (size_t p = begin; p < end; ++p) {
            if (p > begin && purchases[p].item == purchases[p - 1].item)
                continue;
            const auto item = static_cast<size_t>(purchases[p].item);
            ++buyers[item];
            buyersWithA[item] += boughtA;
        }
        begin = end;
    }
    std::vector<LiftSuggestion> suggestions;
    if (buyersOfA == 0)
        return suggestions;
    const auto n = static_cast<double>(customers);
    for (size_t item = 0; item < itemCount; ++item) {
        if (itemIsA[item] || buyersWithA[item] < std::max(1, minBuyersOfBoth))
            continue;
        LiftSuggestion s;
        s.item = static_cast<int>(item);
        s.buyersOfBoth = buyersWithA[item];
        s.buyersOfItem = buyers[item];
        s.support = s.buyersOfBoth / n;
        s.confidence = static_cast<double>(s.buyersOfBoth) / buyersOfA;
        s.lift = s.confidence / (buyers[item] / n);
        suggestions.push_back(s);
    }
    const auto &items = data.items();
    std::sort(suggestions.begin(), suggestions.end(),
              [&](const LiftSuggestion &x, const LiftSuggestion &y) {
                  if (x.lift != y.lift)
                      return x.lift > y.lift;
                  if (x.buyersOfBoth != y.buyersOfBoth)
                      return x.buyersOfBoth > y.buyersOfBoth;
                  return items[static_cast<size_t>(x.item)].name.compare(
                             items[static_cast<size_t>(y.item)].name, Qt::CaseInsensitive) < 0;
              });
    if (limit >= 0 && suggestions.size() > static_cast<size_t>(limit))
        suggestions.resize(static_cast<size_t>(limit));
    return suggestions;
}

} // namespace corvina
