#pragma once

#include "analysis/campaign/CampaignLists.h"

#include <QString>

#include <array>
#include <vector>

namespace corvina {

// The RFM segments, tried in this order: a customer belongs to the first rule whose three
// score ranges (1-5, both ends included) hold its recency, frequency and monetary scores.
// The rules cover every combination of scores.
struct RfmRule {
    const char *name;
    int recencyMin, recencyMax;
    int frequencyMin, frequencyMax;
    int monetaryMin, monetaryMax;
    const char *meaning;
};

inline constexpr std::array<RfmRule, 8> kRfmRules = {{
    {"Champions", 4, 5, 4, 5, 1, 5, "bought lately and often"},
    {"Cannot lose them", 1, 2, 4, 5, 4, 5, "bought often and for much, but not lately"},
    {"At risk", 1, 2, 3, 5, 1, 5, "bought often, but not lately"},
    {"Loyal", 3, 5, 3, 5, 1, 5, "buy regularly"},
    {"Promising", 4, 5, 1, 2, 1, 5, "bought lately, not yet often"},
    {"Need attention", 3, 3, 1, 2, 1, 5, "bought a while ago, seldom"},
    {"Hibernating", 2, 2, 1, 2, 1, 5, "bought long ago, seldom"},
    {"Lost", 1, 1, 1, 2, 1, 5, "bought longest ago, seldom"},
}};

// The index in kRfmRules of the segment for these scores.
int rfmSegment(int recency, int frequency, int monetary);

// Scores 1-5 by quintile: a value's score is 1 + 5 * (values strictly worse) / n, rounded
// down, so ties share a score and every score holds at most about a fifth of the values.
// `higherIsBetter` false scores the smallest values highest (days since the last purchase).
std::vector<int> quintileScores(const std::vector<double> &values, bool higherIsBetter);

// Every customer with a purchase, scored on recency (days from its last purchase to
// `today`), frequency (days it bought on) and monetary value (its sales).
struct RfmCustomer {
    int customer = 0;
    qint64 daysSince = 0;
    int purchases = 0;
    double sales = 0;
    int recency = 0;
    int frequency = 0;
    int monetary = 0;
    int segment = 0;
};
std::vector<RfmCustomer> scoreRfm(const CampaignData &data, const QDate &today);

// What the segment chart shows: per rule of kRfmRules, in that order, its customers and
// their sales, and each as a share (percent) of all scored customers and of all their sales.
struct RfmBar {
    QString segment;
    int customers = 0;
    double sales = 0;
    double customerShare = 0;
    double salesShare = 0;
};
std::vector<RfmBar> rfmChartData(const std::vector<RfmCustomer> &scored);

// The customers of one segment (index in kRfmRules), by sales, highest first.
CampaignResult rfmSegmentList(const CampaignData &data, const std::vector<RfmCustomer> &scored,
                              int segment);

} // namespace corvina
