#include "analysis/campaign/CampaignLists.h"
#include "analysis/campaign/Rfm.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 6, 30);

std::int32_t day(int y, int m, int d)
{
    return static_cast<std::int32_t>(QDate(y, m, d).toJulianDay());
}

std::vector<CampaignData::Customer> customers(const QStringList &names)
{
    std::vector<CampaignData::Customer> out;
    for (const QString &name : names)
        out.push_back({u"ID-"_s + name, name, 0});
    return out;
}

QStringList names(const CampaignData &data, const CampaignResult &list)
{
    QStringList out;
    for (const CampaignRow &row : list.rows)
        out << data.customers()[static_cast<size_t>(row.customer)].name;
    return out;
}

TEST(CampaignLists, ReorderIntervalIsTheMedianOfUnevenGaps)
{
    EXPECT_DOUBLE_EQ(medianGap({0, 10, 30, 31}), 10); // gaps 10, 20, 1
    EXPECT_DOUBLE_EQ(medianGap({0, 30, 90}), 45);     // gaps 30, 60: the middle two averaged
    EXPECT_DOUBLE_EQ(medianGap({5}), 0);

    // Ann: Filter on 03/01, 03/11, 03/31 and 04/01 (interval 10), 90 days ago: 80 overdue.
    // Bob: interval 45, 31 days ago: within 1.5 intervals. Cy: two purchases only.
    const CampaignData data = CampaignData::fromParts(customers({u"Ann"_s, u"Bob"_s, u"Cy"_s}),
                                                      {{u"Filter"_s, {}}, {u"Gasket"_s, {}}},
                                                      {{0, 0, day(2026, 3, 1), 10},
                                                       {0, 0, day(2026, 3, 11), 20},
                                                       {0, 0, day(2026, 3, 31), 15},
                                                       {0, 0, day(2026, 3, 31), 15},
                                                       {0, 0, day(2026, 4, 1), 40},
                                                       {1, 0, day(2026, 3, 1), 5},
                                                       {1, 0, day(2026, 3, 31), 5},
                                                       {1, 0, day(2026, 5, 30), 5},
                                                       {2, 1, day(2026, 1, 1), 5},
                                                       {2, 1, day(2026, 2, 1), 5}});
    const CampaignResult due = dueToReorder(data, {}, kToday);
    ASSERT_EQ(names(data, due), QStringList{u"Ann"_s});
    const auto &values = due.rows[0].values;
    EXPECT_EQ(values[0].toString(), u"Filter"_s);
    EXPECT_EQ(values[1].toInt(), 4); // two lines on 03/31 are one purchase
    EXPECT_DOUBLE_EQ(values[2].toDouble(), 10);
    EXPECT_EQ(values[3].toDate(), QDate(2026, 4, 1));
    EXPECT_DOUBLE_EQ(values[4].toDouble(), 80);
    EXPECT_DOUBLE_EQ(values[5].toDouble(), 25);
    EXPECT_EQ(due.rows[0].reason, u"Buys Filter every 10 days (median of 3 gaps); last purchase "
                                  "04/01/2026, 90 days ago, 80 days overdue."_s);

    // Bob comes in once 31 days exceed 0.6 x 45; the prefix keeps to Filter without case.
    ReorderParams loose;
    loose.factor = 0.6;
    loose.itemPrefix = u"fil"_s;
    EXPECT_EQ(names(data, dueToReorder(data, loose, kToday)), (QStringList{u"Ann"_s, u"Bob"_s}));
    loose.itemPrefix = u"Gas"_s;
    loose.minPurchases = 2;
    EXPECT_EQ(names(data, dueToReorder(data, loose, kToday)), QStringList{u"Cy"_s});
}

// Items Anchor (0) and Dowel (3) are of the kind Part, Bolt (1) and Clamp (2) Hardware.
// c0 bought Anchor twice and Bolt once; c1 Anchor and Dowel; c2 Anchor, Clamp and Dowel;
// c3 Bolt and Clamp; c4 Clamp.
CampaignData anchorsAndBolts()
{
    return CampaignData::fromParts(customers({u"c0"_s, u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s}),
                                   {{u"Anchor"_s, u"Part"_s},
                                    {u"Bolt"_s, u"Hardware"_s},
                                    {u"Clamp"_s, u"Hardware"_s},
                                    {u"Dowel"_s, u"Part"_s}},
                                   {{0, 0, day(2026, 1, 1), 10},
                                    {0, 0, day(2026, 2, 1), 10},
                                    {0, 1, day(2026, 3, 1), 5},
                                    {1, 0, day(2026, 1, 5), 30},
                                    {1, 3, day(2026, 1, 6), 1},
                                    {2, 0, day(2026, 1, 7), 50},
                                    {2, 2, day(2026, 1, 8), 1},
                                    {2, 3, day(2026, 1, 9), 1},
                                    {3, 1, day(2026, 1, 1), 1},
                                    {3, 2, day(2026, 1, 1), 1},
                                    {4, 2, day(2026, 1, 1), 1}});
}

TEST(CampaignLists, BoughtANotBLeavesOutEveryBuyerOfB)
{
    const CampaignData data = anchorsAndBolts();
    BoughtANotBParams params;
    params.itemA = 0;
    params.itemB = 1;
    const CampaignResult list = boughtANotB(data, params);
    EXPECT_EQ(names(data, list), (QStringList{u"c2"_s, u"c1"_s})); // by sales of A; c0 bought B
    EXPECT_EQ(list.rows[0].reason,
              u"Bought Anchor on 1 day for 50.00, last on 01/07/2026; never bought Bolt."_s);

    params.itemB = 3;
    EXPECT_EQ(names(data, boughtANotB(data, params)), QStringList{u"c0"_s});
    params.kindA = u"part"_s;
    params.itemB = 2;
    const CampaignResult byKind = boughtANotB(data, params);
    EXPECT_EQ(names(data, byKind), (QStringList{u"c1"_s, u"c0"_s})); // 31.00 of Part, then 20.00
    EXPECT_EQ(byKind.rows[0].values[0].toInt(), 2);                  // Anchor and Dowel on two days
}

TEST(CampaignLists, LiftSuggestionsComputedByHand)
{
    // n = 5 buyers, 3 of them bought Anchor. Dowel: 2 buyers, both of Anchor: confidence 2/3,
    // lift (2/3) / (2/5) = 5/3. Bolt: 2 buyers, 1 of Anchor: (1/3) / (2/5) = 5/6. Clamp: 3
    // buyers, 1 of Anchor: (1/3) / (3/5) = 5/9.
    const CampaignData data = anchorsAndBolts();
    BoughtANotBParams params;
    params.itemA = 0;
    const auto all = suggestItemsB(data, params, 1);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].item, 3);
    EXPECT_NEAR(all[0].lift, 5.0 / 3, 1e-12);
    EXPECT_NEAR(all[0].support, 2.0 / 5, 1e-12);
    EXPECT_NEAR(all[0].confidence, 2.0 / 3, 1e-12);
    EXPECT_EQ(all[0].buyersOfBoth, 2);
    EXPECT_EQ(all[1].item, 1);
    EXPECT_NEAR(all[1].lift, 5.0 / 6, 1e-12);
    EXPECT_EQ(all[2].item, 2);
    EXPECT_NEAR(all[2].lift, 5.0 / 9, 1e-12);
    // By default an item needs two of A's buyers; A itself is never suggested.
    const auto usual = suggestItemsB(data, params);
    ASSERT_EQ(usual.size(), 1u);
    EXPECT_EQ(usual[0].item, 3);
    params.itemA = -1;
    params.kindA = u"Part"_s; // buyers c0, c1, c2: Dowel is of the kind, so left out
    const auto byKind = suggestItemsB(data, params, 1);
    ASSERT_EQ(byKind.size(), 2u);
    EXPECT_EQ(byKind[0].item, 1);
}

TEST(CampaignLists, QuintileEdgesAndTies)
{
    EXPECT_EQ(quintileScores({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true),
              (std::vector<int>{1, 1, 2, 2, 3, 3, 4, 4, 5, 5}));
    // The three 5s share the score of the first of them (four values below: 1 + 20/10).
    EXPECT_EQ(quintileScores({5, 5, 5, 1, 2, 3, 4, 6, 7, 8}, true),
              (std::vector<int>{3, 3, 3, 1, 1, 2, 2, 4, 5, 5}));
    // Recency: fewest days scores highest; the two of 0 days share 4.
    EXPECT_EQ(quintileScores({0, 0, 10, 20, 30}, false), (std::vector<int>{4, 4, 3, 2, 1}));
    EXPECT_EQ(quintileScores({7, 7, 7}, true), (std::vector<int>{1, 1, 1}));
    EXPECT_TRUE(quintileScores({}, true).empty());
}

TEST(CampaignLists, RfmRulesCoverEveryScoreInOrder)
{
    const auto covered = [](int r, int f, int m) {
        for (const RfmRule &rule : kRfmRules) {
            if (r >= rule.recencyMin && r <= rule.recencyMax && f >= rule.frequencyMin &&
                f <= rule.frequencyMax && m >= rule.monetaryMin && m <= rule.monetaryMax)
                return true;
        }
        return false;
    };
    for (int r = 1; r <= 5; ++r)
        for (int f = 1; f <= 5; ++f)
            for (int m = 1; m <= 5; ++m)
                EXPECT_TRUE(covered(r, f, m)) << r << f << m;
    const auto name = [](int r, int f, int m) {
        return QString::fromUtf8(kRfmRules[static_cast<size_t>(rfmSegment(r, f, m))].name);
    };
    EXPECT_EQ(name(5, 5, 1), u"Champions"_s);
    EXPECT_EQ(name(1, 5, 5), u"Cannot lose them"_s);
    EXPECT_EQ(name(1, 5, 3), u"At risk"_s);
    EXPECT_EQ(name(3, 4, 2), u"Loyal"_s);
    EXPECT_EQ(name(5, 1, 5), u"Promising"_s);
    EXPECT_EQ(name(2, 2, 2), u"Hibernating"_s);
    EXPECT_EQ(name(1, 1, 1), u"Lost"_s);
}

TEST(CampaignLists, RfmScoresSegmentsAndChartData)
{
    // Customer i last bought 10 i days ago, on 5 - i days, 100 each: every score is 5 - i.
    std::vector<CampaignData::Purchase> lines;
    for (int c = 0; c < 5; ++c) {
        const auto last = static_cast<std::int32_t>(kToday.toJulianDay()) - 10 * c;
        for (int d = 0; d < 5 - c; ++d)
            lines.push_back({c, 0, last - 40 * d, 100});
    }
    const CampaignData data = CampaignData::fromParts(
        customers({u"c0"_s, u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s}), {{u"Item"_s, {}}}, lines);
    const auto scored = scoreRfm(data, kToday);
    ASSERT_EQ(scored.size(), 5u);
    QStringList segments;
    for (const RfmCustomer &c : scored) {
        EXPECT_EQ(c.recency, 5 - c.customer);
        EXPECT_EQ(c.frequency, 5 - c.customer);
        EXPECT_EQ(c.monetary, 5 - c.customer);
        segments << QString::fromUtf8(kRfmRules[static_cast<size_t>(c.segment)].name);
    }
    EXPECT_EQ(segments, (QStringList{u"Champions"_s, u"Champions"_s, u"Loyal"_s, u"Hibernating"_s,
                                     u"Lost"_s}));

    const auto bars = rfmChartData(scored);
    ASSERT_EQ(bars.size(), kRfmRules.size());
    EXPECT_EQ(bars[0].segment, u"Champions"_s);
    EXPECT_EQ(bars[0].customers, 2);
    EXPECT_DOUBLE_EQ(bars[0].sales, 900);
    EXPECT_DOUBLE_EQ(bars[0].customerShare, 40);
    EXPECT_DOUBLE_EQ(bars[0].salesShare, 60);
    EXPECT_EQ(bars[3].segment, u"Loyal"_s);
    EXPECT_DOUBLE_EQ(bars[3].salesShare, 20);
    EXPECT_EQ(bars[1].customers, 0);

    const CampaignResult champions = rfmSegmentList(data, scored, 0);
    EXPECT_EQ(names(data, champions), (QStringList{u"c0"_s, u"c1"_s}));
    EXPECT_EQ(champions.title, u"RFM segment: Champions"_s);
}

} // namespace
