#pragma once

#include "analysis/campaign/CampaignData.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace corvina {

// A campaign list as the window shows it and the mail merge saves it: one row per
// top-level customer, the columns that explain why the customer is there, and the row's
// reason in words. `title` names the list and its parameters; it is what the saved rows
// carry in List and what the export and the printing are titled with.
struct CampaignColumn {
    enum class Kind { Text, Date, Count, Days, Money, Ratio };
    QString title;
    Kind kind = Kind::Text;
};

struct CampaignRow {
    int customer = 0;             // index into CampaignData::customers()
    std::vector<QVariant> values; // one per column after the customer's name
    QString reason;
};

struct CampaignResult {
    QString title;
    std::vector<CampaignColumn> columns; // the customer's name comes first and is not listed
    std::vector<CampaignRow> rows;
    QDate firstDate; // the period of the purchases the list looked at; invalid when none
    QDate lastDate;
};

// Customers who bought in the `months` before `cutoff` (the cutoff day included) and
// nothing after it, ranked by their sales in that window. Unset, the cutoff is
// `daysBeforeLatest` days before the latest purchase in the data.
struct LapsedParams {
    int months = 12;
    int daysBeforeLatest = 180;
    std::optional<QDate> cutoff;
};
QDate lapsedCutoff(const CampaignData &data, const LapsedParams &params);
CampaignResult lapsedCustomers(const CampaignData &data, const LapsedParams &params,
                               const QDate &today);

// For each customer and item bought on at least `minPurchases` days, the usual interval is
// the median gap between those days; listed when the days since the last purchase exceed
// the interval times `factor`, ranked by days overdue (days since less the interval).
// Only items whose name starts with `itemPrefix` (without case) are looked at.
struct ReorderParams {
    int minPurchases = 3;
    double factor = 1.5;
    QString itemPrefix;
};
CampaignResult dueToReorder(const CampaignData &data, const ReorderParams &params,
                            const QDate &today);
// The median of the gaps between consecutive days (sorted, distinct, at least two).
double medianGap(const std::vector<std::int32_t> &days);

// The customers who bought item A (or, with `kind` set, any item of that kind) and never
// item B, ranked by their sales of A.
struct BoughtANotBParams {
    int itemA = -1;
    QString kindA; // used instead of itemA when not empty
    int itemB = -1;
};
CampaignResult boughtANotB(const CampaignData &data, const BoughtANotBParams &params);

// An item A's buyers buy more often than customers overall. Over the customers with any
// purchase (n), with a the buyers of A, b the buyers of B and ab the buyers of both:
// support = ab / n, confidence = ab / a, lift = confidence / (b / n).
struct LiftSuggestion {
    int item = 0;
    int buyersOfBoth = 0;
    int buyersOfItem = 0;
    double support = 0;
    double confidence = 0;
    double lift = 0;
};
// The items (other than A's) bought by at least `minBuyersOfBoth` of A's buyers, by lift
// (then by buyers of both, then by name), at most `limit` of them.
std::vector<LiftSuggestion> suggestItemsB(const CampaignData &data, const BoughtANotBParams &params,
                                          int minBuyersOfBoth = 2, int limit = 10);
// Whether the item counts as A.
bool isItemA(const CampaignData &data, const BoughtANotBParams &params, int item);

} // namespace corvina
