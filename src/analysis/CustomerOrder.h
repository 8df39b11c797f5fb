#pragma once

#include "analysis/LineGroups.h"

#include <vector>

namespace corvina::itemaging {

// The group numbers in customer name order (the text rule, each customer named by its first
// spelling), groups of one customer in reading order. The distinct names are sorted once and
// the groups placed by a counting sort on their name's rank: stable, and linear in the number
// of groups.
std::vector<int> groupsByCustomerName(const std::vector<LineGroup> &groups,
                                      const TextDictionary &customerTexts);

} // namespace corvina::itemaging
