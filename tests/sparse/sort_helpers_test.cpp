// SortLinks and RankIndices: the listed cases, and both checked against std sorts on seeded
// random inputs with many ties.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "sparse/misc_functions.h"

namespace wendrel {
namespace {

std::vector<float> Keys(const std::vector<LinkRecord>& links) {
  std::vector<float> keys;
  for (const auto& l : links) keys.push_back(l.Value);
  return keys;
}

TEST(SortLinks, MatchesKeySortWithTies) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<LinkRecord> links(random() % 300);
    for (size_t k = 0; k < links.size(); ++k)
      links[k] = {static_cast<float>(random() % 10) / 10, static_cast<int32_t>(k), static_cast<int32_t>(random() % 50)};
    for (bool descending : {false, true}) {
      auto sorted = links;
      SortLinks(sorted, descending);
      auto keys = Keys(links);
      std::sort(keys.begin(), keys.end());
      if (descending) std::reverse(keys.begin(), keys.end());
      EXPECT_EQ(Keys(sorted), keys);
      // A permutation of the records: every record kept whole, integers carried along.
      std::sort(sorted.begin(), sorted.end(), [](const LinkRecord& a, const LinkRecord& b) { return a.I < b.I; });
      EXPECT_EQ(sorted, links);
    }
  }
}

TEST(RankIndices, Cases) {
  struct Case {
    const char* name;
    std::vector<float> values;
    int32_t exclude;
    int32_t k;
    bool descending;
    uint8_t base;
    std::vector<int32_t> expected;
    int32_t expectedK;
  };
  const Case cases[] = {
      {"k capped at the value count", {0, 5, 1, 5, 3}, -1, 10, true, 1, {1, 3, 4, 2}, 4},
      {"nothing left repeats the previous choice", {0, 1, 2, 3}, 2, 3, true, 1, {3, 1, 1}, 3},
      {"base 0 caps at two less than the count", {4, 3, 2, 1}, -1, 4, false, 0, {3, 2}, 2},
      {"no values", {}, -1, 3, true, 0, {}, -2},
  };
  for (const Case& c : cases) {
    int32_t k = c.k;
    EXPECT_EQ(RankIndices(c.values, c.exclude, k, c.descending, c.base), c.expected) << c.name;
    EXPECT_EQ(k, c.expectedK) << c.name;
  }
}

TEST(RankIndices, MatchesStableSortOfValues) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const uint8_t base = round % 2;
    std::vector<float> values(2 + random() % 40);
    for (float& v : values) v = static_cast<float>(random() % 7) - 3;
    const int32_t last = static_cast<int32_t>(values.size()) - 1;
    const int32_t exclude = round % 3 == 0 ? -1 : static_cast<int32_t>(base + random() % (last - base + 1));
    const bool descending = round % 4 < 2;
    std::vector<int32_t> order;
    for (int32_t p = base; p <= last; ++p)
      if (p != exclude) order.push_back(p);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
      return descending ? values[a] > values[b] : values[a] < values[b];
    });
    int32_t k = std::min<int32_t>(static_cast<int32_t>(order.size()), 1 + random() % 10);
    int32_t asked = k;
    auto ranked = RankIndices(values, exclude, k, descending, base);
    ASSERT_EQ(k, std::min(asked, last - 1 + base));
    EXPECT_EQ(ranked, std::vector<int32_t>(order.begin(), order.begin() + k));
  }
}

}  // namespace
}  // namespace wendrel
