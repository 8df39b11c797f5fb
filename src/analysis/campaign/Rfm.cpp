#include "analysis/campaign/Rfm.h"

#include "analysis/campaign/CampaignText.h"

#include <algorithm>
#include <numeric>

namespace corvina {

int rfmSegment(int recency, int frequency, int monetary)
{
    const auto within = [](int score, int low, int high) { return score >= low && score <= high; };
    for (size_t i = 0; i < kRfmRules.size(); ++i) {
        const RfmRule &rule = kRfmRules[i];
        if (within(recency, rule.recencyMin, rule.recencyMax) &&
            within(frequency, rule.frequencyMin, rule.frequencyMax) &&
            within(monetary, rule.monetaryMin, rule.monetaryMax))
            return static_cast<int>(i);
    }
    return static_cast<int>(kRfmRules.size()) - 1;
}

std::vector<int> quintileScores(const std::vector<double> &values, bool higherIsBetter)
{
    const size_t n = values.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    // Worst first.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return higherIsBetter ? values[a] < values[b] : values[a] > values[b];
    });
    std::vector<int> scores(n, 1);
    for (size_t first = 0; first < n;) {
        size_t last = first;
        while (last < n && values[order[last]] == values[order[first]])
            ++last;
        const int score = 1 + static_cast<int>(5 * first / n);
        for (size_t i = first; i < last; ++i)
            scores[order[i]] = score;
        first = last;
    }
    return scores;
}

std::vector<RfmCustomer> scoreRfm(const CampaignData &data, const QDate &today)
{
    std::vector<RfmCustomer> scored;
    const auto &days = data.customerDays();
    for (size_t begin = 0; begin < days.size();) {
        RfmCustomer customer;
        customer.customer = days[begin].customer;
        size_t end = begin;
        for (; end < days.size() && days[end].customer == customer.customer; ++end) {
            ++customer.purchases;
            customer.sales += days[end].amount;
        }
        customer.daysSince = today.toJulianDay() - days[end - 1].day;
        scored.push_back(customer);
        begin = end;
    }
    std::vector<double> recency, frequency, monetary;
    for (const RfmCustomer &c : scored) {
        recency.push_back(static_cast<double>(c.daysSince));
        frequency.push_back(c.purchases);
        monetary.push_back(c.sales);
    }
    const std::vector<int> r = quintileScores(recency, false);
    const std::vector<int> f = quintileScores(frequency, true);
    const std::vector<int> m = quintileScores(monetary, true);
    for (size_t i = 0; i < scored.size(); ++i) {
        scored[i].recency = r[i];
        scored[i].frequency = f[i];
        scored[i].monetary = m[i];
        scored[i].segment = rfmSegment(r[i], f[i], m[i]);
    }
    return scored;
}

std::vector<RfmBar> rfmChartData(const std::vector<RfmCustomer> &scored)
{
    std::vector<RfmBar> bars(kRfmRules.size());
    for (size_t i = 0; i < bars.size(); ++i)
        bars[i].segment = QString::fromUtf8(kRfmRules[i].name);
    double totalSales = 0;
    for (const RfmCustomer &c : scored) {
        RfmBar &bar = bars[static_cast<size_t>(c.segment)];
        ++bar.customers;
        bar.sales += c.sales;
        totalSales += c.sales;
    }
    for (RfmBar &bar : bars) {
        bar.customerShare =
            scored.empty() ? 0 : 100.0 * bar.customers / static_cast<double>(scored.size());
        bar.salesShare = totalSales > 0 ? 100.0 * bar.sales / totalSales : 0;
    }
    return bars;
}

CampaignResult rfmSegmentList(const CampaignData &data, const std::vector<RfmCustomer> &scored,
                              int segment)
{
    using Kind = CampaignColumn::Kind;
    const RfmRule &rule = kRfmRules[static_cast<size_t>(segment)];
    CampaignResult result;
    result.title = QStringLiteral("RFM segment: %1").arg(QString::fromUtf8(rule.name));
    result.columns = {
        {QStringLiteral("Segment"), Kind::Text},    {QStringLiteral("R"), Kind::Count},
        {QStringLiteral("F"), Kind::Count},         {QStringLiteral("M"), Kind::Count},
        {QStringLiteral("Days since"), Kind::Days}, {QStringLiteral("Purchases"), Kind::Count},
        {QStringLiteral("Sales"), Kind::Money}};
    result.firstDate = data.firstDate();
    result.lastDate = data.lastDate();
    for (const RfmCustomer &c : scored) {
        if (c.segment != segment)
            continue;
        CampaignRow row{c.customer,
                        {QString::fromUtf8(rule.name), c.recency, c.frequency, c.monetary,
                         c.daysSince, c.purchases, c.sales},
                        {}};
        row.reason =
            QStringLiteral("%1 (%2): recency %3, frequency %4, monetary %5 of 5; last purchase "
                           "%6 days ago, bought on %7 for %8.")
                .arg(QString::fromUtf8(rule.name), QString::fromUtf8(rule.meaning))
                .arg(c.recency)
                .arg(c.frequency)
                .arg(c.monetary)
                .arg(c.daysSince)
                .arg(timesText(c.purchases), moneyText(c.sales));
        result.rows.push_back(std::move(row));
    }
    const auto &customers = data.customers();
    std::stable_sort(
        result.rows.begin(), result.rows.end(), [&](const CampaignRow &a, const CampaignRow &b) {
            const double x = a.values[6].toDouble();
            const double y = b.values[6].toDouble();
            if (x != y)
                return x > y;
            return customers[static_cast<size_t>(a.customer)].name.compare(
                       customers[static_cast<size_t>(b.customer)].name, Qt::CaseInsensitive) < 0;
        });
    return result;
}

} // namespace corvina
