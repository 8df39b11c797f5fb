#include "analysis/CustomerOrder.h"

#include "localdb/TextRule.h"

#include <algorithm>

namespace corvina::itemaging {

namespace {

// Rank of each customer id when the customers are sorted by name.
std::vector<int> nameRanks(const std::vector<LineGroup> &groups,
                           const TextDictionary &customerTexts)
{
    std::vector<int> nameOfCustomer; // customer id → text id of its first spelling
    for (const LineGroup &group : groups) {
        if (static_cast<size_t>(group.customerId) >= nameOfCustomer.size())
            nameOfCustomer.resize(static_cast<size_t>(group.customerId) + 1, -1);
        if (nameOfCustomer[static_cast<size_t>(group.customerId)] < 0)
            nameOfCustomer[static_cast<size_t>(group.customerId)] = group.customerText;
    }
    std::vector<int> byName(nameOfCustomer.size());
    for (size_t c = 0; c < byName.size(); ++c)
        byName[c] = static_cast<int>(c);
    const auto name = [&](int customer) {
        const int text = nameOfCustomer[static_cast<size_t>(customer)];
        const std::string_view bytes = text < 0 ? std::string_view() : customerTexts.bytes(text);
        return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };
    std::sort(byName.begin(), byName.end(),
              [&](int a, int b) { return compareWithoutCase(name(a), name(b)) < 0; });
    std::vector<int> rank(byName.size());
    for (size_t r = 0; r < byName.size(); ++r)
        rank[static_cast<size_t>(byName[r])] = static_cast<int>(r);
    return rank;
}

} // namespace

std::vector<int> groupsByCustomerName(const std::vector<LineGroup> &groups,
                                      const TextDictionary &customerTexts)
{
    const std::vector<int> rank = nameRanks(groups, customerTexts);
    std::vector<int> start(rank.size() + 1, 0);
    for (const LineGroup &group : groups)
        ++start[static_cast<size_t>(rank[static_cast<size_t>(group.customerId)]) + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    std::vector<int> order(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        const auto r = static_cast<size_t>(rank[static_cast<size_t>(groups[g].customerId)]);
        order[static_cast<size_t>(start[r]++)] = static_cast<int>(g);
    }
    return order;
}

} // namespace corvina::itemaging
