// Network reductions: the listed cases, the spanning tree against the growth over one sorted list
// of links and a brute-force best tree, Pathfinder against the plain triple loop and the union of
// minimum spanning trees, and geodesic distances against Dijkstra, all on seeded random matrices
// with tied values.
#include "proximity/proximity_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <queue>
#include <random>
#include <set>

#include "platform/scripted_host.h"

namespace wendrel {
namespace {

using Edge = std::pair<int32_t, int32_t>;

ProximityMatrix Symmetric(Host& host, int32_t n, int32_t kind, const std::vector<LinkRecord>& links) {
  ProximityMatrix m(host);
  m.InitMatrix(n, kind);  // no links
  for (const auto& l : links) m.SetValue(l.I, l.J, l.Value), m.SetValue(l.J, l.I, l.Value);
  return m;
}

// Random symmetric values from levels 0, 1 / levels, ..., 1 (many ties), some absent or outside [0, 1].
ProximityMatrix RandomMatrix(Host& host, std::mt19937& random, int32_t n, int32_t kind, bool allInRange = false,
                             int levels = 10) {
  ProximityMatrix m(host);
  m.InitMatrix(n, kind);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = i + 1; j < n; ++j) {
      int level = static_cast<int>(random() % static_cast<unsigned>(levels + 4));
      float v = level <= levels ? static_cast<float>(level) / static_cast<float>(levels)
                                : (allInRange ? 0.5f : (level == levels + 1 ? 1.5f : -1.0f));
      m.SetValue(i, j, v), m.SetValue(j, i, v);
    }
  }
  return m;
}

std::set<Edge> Links(const ProximityMatrix& m) {
  std::set<Edge> links;
  for (int32_t i = 0; i < m.NodeCount(); ++i)
    for (int32_t j = i + 1; j < m.NodeCount(); ++j)
      if (m.Value(i, j) != -1) links.insert({i, j});
  return links;
}

// The tree grown the slow way: every link in [0, 1] in one list sorted once (best value first, equal
// values by the lower node pair), then repeatedly the first link in the list with exactly one end
// in the tree.
std::set<Edge> SortedListTree(const ProximityMatrix& m, int32_t& startNode) {
  auto links = m.GetLinks(0, 1);
  const bool descending = m.CurrentMatrixType() == 1 || m.CurrentMatrixType() == 2;
  std::sort(links.begin(), links.end(), [descending](const LinkRecord& a, const LinkRecord& b) {
    if (a.Value != b.Value) return descending ? a.Value > b.Value : a.Value < b.Value;
    return std::make_pair(a.I, a.J) < std::make_pair(b.I, b.J);
  });
  std::set<Edge> tree;
  if (links.empty()) return tree;
  size_t first = 0;
  if (startNode != -1) {
    while (first < links.size() && links[first].I != startNode && links[first].J != startNode) ++first;
  }
  if (startNode == -1 || first == links.size()) {
    first = 0;
    startNode = links[0].I;
  }
  std::vector<bool> in(static_cast<size_t>(m.NodeCount()), false);
  in[links[first].I] = in[links[first].J] = true;
  tree.insert({links[first].I, links[first].J});
  for (bool grown = true; grown;) {
    grown = false;
    for (const auto& l : links) {
      if (in[l.I] != in[l.J]) {
        in[l.I] = in[l.J] = true;
        tree.insert({l.I, l.J});
        grown = true;
        break;
      }
    }
  }
  return tree;
}

TEST(Transform2MST, StartNodesAndNoLinkInRange) {
  ScriptedHost host;
  // 1.5 and -0.2 never enter; node 3 has no link in range, so the tree stops short of it.
  ProximityMatrix m = Symmetric(host, 4, 1, {{1.5f, 0, 1}, {0.5f, 1, 2}, {0.4f, 0, 2}, {-0.2f, 2, 3}});
  int32_t start = 3;  // no link's end: starts from the strongest link and reports its first node
  EXPECT_EQ(Links(m.Transform2MST(start)), (std::set<Edge>{{1, 2}, {0, 2}}));
  EXPECT_EQ(start, 1);
  start = -1;
  ProximityMatrix empty = Symmetric(host, 3, 1, {}).Transform2MST(start);
  EXPECT_EQ(empty.NodeCount(), 3);
  EXPECT_TRUE(Links(empty).empty());
  EXPECT_EQ(start, -1);
}

TEST(Transform2MST, EqualValuesTakeTheLowerPairFirst) {
  ScriptedHost host;
  // Every pair ties: the lower pairs (0-1, 0-2, 0-3) win whatever node the tree starts from, for
  // similarities and distances alike.
  for (int32_t kind : {1, 3}) {
    std::vector<LinkRecord> links;
    for (int32_t i = 0; i < 4; ++i)
      for (int32_t j = i + 1; j < 4; ++j) links.push_back({0.5f, i, j});
    for (int32_t start : {-1, 0, 3}) {
      int32_t used = start;
      EXPECT_EQ(Links(Symmetric(host, 4, kind, links).Transform2MST(used)), (std::set<Edge>{{0, 1}, {0, 2}, {0, 3}}))
          << "kind " << kind << ", start " << start;
      EXPECT_EQ(used, start == -1 ? 0 : start);
    }
  }
  // A tie with a better link elsewhere: 2-3 and 1-3 tie after 0-1 and 1-2, the lower pair 1-3 wins.
  ProximityMatrix m = Symmetric(host, 4, 1, {{0.9f, 0, 1}, {0.8f, 1, 2}, {0.3f, 2, 3}, {0.3f, 1, 3}});
  int32_t start = -1;
  EXPECT_EQ(Links(m.Transform2MST(start)), (std::set<Edge>{{0, 1}, {1, 2}, {1, 3}}));
}

TEST(Transform2MST, MatchesSortedListGrowthWithTies) {
  ScriptedHost host;
  std::mt19937 random(21);
  for (int round = 0; round < 320; ++round) {
    // Mostly small tables, now and then a larger one; ties of few or of many values.
    int32_t n = 2 + static_cast<int32_t>(random() % (round % 20 == 19 ? 250 : 15));
    const int32_t kind = static_cast<int32_t>(random() % 5);
    ProximityMatrix m = RandomMatrix(host, random, n, kind, false, round / 20 % 2 ? 10 : 30);
    // Large ones are dense among their first nodes only, so the tree also takes values of other
    // levels, after many links that sort before them.
    if (n > 16)
      for (int32_t i = 0; i < n; ++i)
        for (int32_t j = std::max(i + 1, n / 3); j < n; ++j)
          if (random() % 8) m.SetValue(i, j, -1), m.SetValue(j, i, -1);
    // Now and then every node joins through links of its own value to all nodes before it: ties of
    // many values.
    if (round % 40 == 9) {
      m.InitMatrix(n = 80, kind);
      const bool descending = kind == 1 || kind == 2;
      for (int32_t v = 2; v < n; ++v)
        for (int32_t a = 0; a < v; ++a)
          m.SetValue(a, v, (descending ? 90.0f - v : 10.0f + v) / 100), m.SetValue(v, a, m.Value(a, v));
      m.SetValue(0, 1, descending ? 1 : 0), m.SetValue(1, 0, m.Value(0, 1));
    }
    // Now and then an asymmetric table: only the upper triangle counts.
    if (round % 5 == 0) m.SetValue(n - 1, 0, 0.95f);
    int32_t start = round % 3 == 0 ? -1 : static_cast<int32_t>(random() % n);
    int32_t expectedStart = start;
    std::set<Edge> expected = SortedListTree(m, expectedStart);
    ProximityMatrix tree = m.Transform2MST(start);
    ASSERT_EQ(Links(tree), expected) << "round " << round;
    EXPECT_EQ(start, expectedStart);
    for (const Edge& e : expected) EXPECT_EQ(tree.Value(e.second, e.first), m.Value(e.first, e.second));
  }
}

TEST(Transform2MST, TotalWeightOfBruteForceBestTree) {
  ScriptedHost host;
  std::mt19937 random(8);
  for (int round = 0; round < 40; ++round) {
    const int32_t n = 2 + static_cast<int32_t>(random() % 5);
    const bool similarities = round % 2 == 0;
    ProximityMatrix m = RandomMatrix(host, random, n, similarities ? 1 : 3, true);
    std::vector<LinkRecord> links = m.GetLinks(0, 1);
    double best = similarities ? -1 : 1e9;
    for (uint32_t subset = 0; subset < (1u << links.size()); ++subset) {
      if (std::popcount(subset) != n - 1) continue;
      std::vector<int32_t> parent(static_cast<size_t>(n));
      std::iota(parent.begin(), parent.end(), 0);
      std::function<int32_t(int32_t)> root = [&](int32_t v) { return parent[v] == v ? v : parent[v] = root(parent[v]); };
      bool acyclic = true;
      double weight = 0;
      for (size_t e = 0; e < links.size(); ++e) {
        if (!(subset >> e & 1)) continue;
        int32_t a = root(links[e].I), b = root(links[e].J);
        if (a == b) acyclic = false;
        parent[a] = b;
        weight += links[e].Value;
      }
      if (acyclic) best = similarities ? std::max(best, weight) : std::min(best, weight);
    }
    int32_t start = -1;
    ProximityMatrix tree = m.Transform2MST(start);
    double weight = 0;
    for (const Edge& e : Links(tree)) weight += tree.Value(e.first, e.second);
    EXPECT_NEAR(weight, best, 1e-5) << "round " << round;
  }
}

TEST(Pathfinder, OneKeepsAllAndLargeRDoesNotOverflow) {
  ScriptedHost host;
  ProximityMatrix m = Symmetric(host, 3, 3, {{0.2f, 0, 1}, {0.3f, 1, 2}, {0.4f, 0, 2}});
  ProximityMatrix kept = m.Transform2FastPF(1);
  EXPECT_EQ(Links(kept), (std::set<Edge>{{0, 1}, {0, 2}, {1, 2}}));
  EXPECT_EQ(kept.Value(0, 2), 0.4f);
  // A large r does not overflow: the pair without a link stays without one.
  ProximityMatrix chain = Symmetric(host, 3, 3, {{0.2f, 0, 1}, {0.3f, 1, 2}});
  ProximityMatrix large = chain.Transform2FastPF(200);
  EXPECT_EQ(Links(large), (std::set<Edge>{{0, 1}, {1, 2}}));
  EXPECT_EQ(large.LinkCount(0, 2), 2);  // the path found, though not a link of the network
  // Nor do short legs underflow: their path is no shorter than the longer leg (0.01 * 2^(1/200)).
  ProximityMatrix shortLegs = Symmetric(host, 3, 3, {{0.01f, 0, 1}, {0.01f, 1, 2}, {0.01002f, 0, 2}});
  EXPECT_EQ(Links(shortLegs.Transform2FastPF(200)).size(), 3u);
  // Similarities are turned into distances in place first.
  ProximityMatrix similar = Symmetric(host, 3, 1, {{0.8f, 0, 1}, {0.7f, 1, 2}, {0.6f, 0, 2}});
  EXPECT_EQ(Links(similar.Transform2FastPF(0)), (std::set<Edge>{{0, 1}, {1, 2}}));
  EXPECT_EQ(similar.CurrentMatrixType(), 3);
  EXPECT_FLOAT_EQ(similar.Value(0, 1), 0.2f);
}

TEST(Pathfinder, QLimits) {
  ScriptedHost host;
  ProximityMatrix m = Symmetric(host, 4, 3, {{0.2f, 0, 1}, {0.3f, 1, 2}, {0.4f, 0, 2}, {1, 2, 3}, {0.1f, 0, 3}});
  // One link per path: nothing is replaced, so every pair with a distance other than 1 or -1 stays.
  for (auto result : {m.FastPFQ(1, 1), m.FastPFQ2(1, 1)}) {
    ASSERT_TRUE(result);
    EXPECT_EQ(Links(*result), (std::set<Edge>{{0, 1}, {1, 2}, {0, 2}, {0, 3}}));
  }
  EXPECT_EQ(Links(*m.FastPFQ(0, 2)), (std::set<Edge>{{0, 1}, {1, 2}, {0, 3}}));
  ProximityMatrix similarities = Symmetric(host, 2, 1, {{0.5f, 0, 1}});
  EXPECT_FALSE(similarities.FastPFQ(1, 1) || similarities.FastPFQ2(1, 1));
}

TEST(Pathfinder, InfinityIsTheUnionOfMinimumSpanningTrees) {
  ScriptedHost host;
  std::mt19937 random(13);
  for (int round = 0; round < 60; ++round) {
    const int32_t n = 2 + static_cast<int32_t>(random() % 12);
    ProximityMatrix m(host);
    m.InitMatrix(n, 3);
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = i + 1; j < n; ++j) {
        float v = random() % 4 == 0 ? -1.0f : static_cast<float>(1 + random() % 6) / 10;
        m.SetValue(i, j, v), m.SetValue(j, i, v);
      }
    // A link is in some minimum spanning tree exactly when no path of strictly shorter links joins its ends.
    std::set<Edge> expected;
    for (int32_t i = 0; i < n; ++i) {
      for (int32_t j = i + 1; j < n; ++j) {
        const float d = m.Value(i, j);
        std::vector<bool> seen(static_cast<size_t>(n), false);
        std::vector<int32_t> stack{i};
        for (seen[i] = true; !stack.empty();) {
          int32_t u = stack.back();
          stack.pop_back();
          for (int32_t v = 0; v < n; ++v)
            if (!seen[v] && v != u && m.Value(u, v) != -1 && m.Value(u, v) < d) stack.push_back(v), seen[v] = true;
        }
        if (d != -1 && !seen[j]) expected.insert({i, j});
      }
    }
    for (auto network : {m.Transform2FastPF(0), *m.FastPFQ(0, n - 1), *m.FastPFQ2(0, n - 1)})
      EXPECT_EQ(Links(network), expected) << "round " << round;
  }
}

// Pathfinder as the plain triple loop, every node in turn the middle of a two-leg path (ascending
// or descending), read and written through the interface, with the Minkowski powers (a leg without
// a link gives no path; a sum of powers beyond the double range, either way, is taken relative to
// the longer leg).
ProximityMatrix TripleLoopPathfinder(const ProximityMatrix& m, int r, int32_t q, bool descending) {
  const int32_t n = m.NodeCount();
  ProximityMatrix w(m);
  w.InitLinks();
  w.PrepareDistances();
  auto weight = [r](float a, float b) {
    if (r == 0) return std::max(a, b);
    if (a >= ProximityMatrix::kNoLink || b >= ProximityMatrix::kNoLink) return std::numeric_limits<float>::infinity();
    const double sum = std::pow(a, double(r)) + std::pow(b, double(r));
    double p = std::pow(sum, 1.0 / r);
    const double longer = std::max(std::fabs(a), std::fabs(b));
    if (!std::isfinite(p) || (a >= 0 && b >= 0 && longer > 0 && sum < std::numeric_limits<double>::min()))
      p = longer * std::pow(std::pow(a / longer, double(r)) + std::pow(b / longer, double(r)), 1.0 / r);
    return static_cast<float>(p);
  };
  for (int32_t step = 0; step < n; ++step)
    for (int32_t k = descending ? n - 1 - step : step, i = 0; i + 1 < n; ++i)
      for (int32_t j = i + 1; j < n; ++j) {
        const float p = weight(w.Value(i, k), w.Value(k, j));
        const int32_t links = w.LinkCount(i, k) + w.LinkCount(k, j);
        if (w.Value(i, j) > p && (q < 0 || links <= q))
          w.SetValue(i, j, p), w.SetValue(j, i, p), w.SetLinkCount(i, j, links), w.SetLinkCount(j, i, links);
      }
  return w;
}

TEST(Pathfinder, MatchesTheTripleLoopBitForBit) {
  ScriptedHost host;
  std::mt19937 random(5);
  const float levels[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 1, -1, -0.3f, 0, 40, 3e6f};
  for (int round = 0; round < 120; ++round) {
    const int32_t n = 2 + static_cast<int32_t>(random() % (round % 10 ? 12 : 40));
    ProximityMatrix m(host);
    m.InitMatrix(n, 3 + round % 2);
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = i + 1; j < n; ++j) {
        // Levels (ties, exact sums), now and then odd ones or values of every size; some asymmetric.
        auto value = [&] {
          if (round % 3 == 0) return static_cast<float>(random() % 1000) / 997;
          return levels[random() % (round % 3 == 2 ? 12 : 7)];
        };
        m.SetValue(i, j, value());
        m.SetValue(j, i, round % 7 ? m.Value(i, j) : value());
      }
    const int r = std::vector<int>{0, 1, 2, 3, 7, 200}[static_cast<size_t>(round / 3 % 6)];
    const int32_t q = round % 4 ? n : 2;
    ProximityMatrix ascending = TripleLoopPathfinder(m, r, q, false);
    ProximityMatrix descending = TripleLoopPathfinder(m, r, q, true);
    ProximityMatrix one = *m.FastPFQ(static_cast<uint8_t>(r), q), both = *m.FastPFQ2(static_cast<uint8_t>(r), q);
    ProximityMatrix prepared(m);
    prepared.PrepareDistances();
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = 0; j < n; ++j) {
        // Pruning compares the upper triangle and clears both directions.
        const int32_t low = std::min(i, j), high = std::max(i, j);
        auto differs = [&](const ProximityMatrix& w) { return i != j && m.Value(low, high) != w.Value(low, high); };
        const float kept = differs(ascending) ? -1 : ascending.Value(i, j);
        ASSERT_EQ(one.Value(i, j), kept) << "round " << round << ": " << i << "-" << j;
        ASSERT_EQ(one.LinkCount(i, j), ascending.LinkCount(i, j)) << "round " << round;
        const float keptBoth = differs(ascending) || differs(descending) ? -1 : prepared.Value(i, j);
        ASSERT_EQ(both.Value(i, j), keptBoth) << "round " << round;
      }
  }
}

TEST(Transform2Geodesic, ChainAndProgress) {
  ScriptedHost host;
  ScriptedCaption caption;
  ProximityMatrix m = Symmetric(host, 3, 3, {{0.2f, 0, 1}, {0.3f, 1, 2}});
  auto g = m.Transform2Geodesic(&caption);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->LinkCount(0, 2), 2);
  EXPECT_EQ(caption.GetCaption(), "Geodesic - K=2");
  EXPECT_FALSE(ProximityMatrix(host).Transform2Geodesic());
}

TEST(Transform2Geodesic, MatchesDijkstra) {
  ScriptedHost host;
  std::mt19937 random(17);
  for (int round = 0; round < 40; ++round) {
    const int32_t n = 1 + static_cast<int32_t>(random() % 12);
    const int32_t kind = round % 2 ? 1 : 3;
    ProximityMatrix m = RandomMatrix(host, random, n, kind, true);  // no negative distances
    for (int32_t i = 0; i + 1 < n; i += 3) m.SetValue(i, i + 1, -1), m.SetValue(i + 1, i, -1);
    auto g = m.Transform2Geodesic();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->CurrentMatrixType(), 3);
    auto length = [&](int32_t u, int32_t v) {
      float value = m.Value(u, v);
      float d = kind == 1 && value > -1 ? 1 - value : value;
      return std::fabs(d) == 1 ? -1.0f : d;
    };
    for (int32_t s = 0; s < n; ++s) {
      std::vector<double> best(static_cast<size_t>(n), 1e300);
      std::priority_queue<std::pair<double, int32_t>, std::vector<std::pair<double, int32_t>>, std::greater<>> queue;
      for (queue.push({best[s] = 0, s}); !queue.empty();) {
        auto [d, u] = queue.top();
        queue.pop();
        for (int32_t v = 0; v < n && d <= best[u]; ++v) {
          float l = u == v ? -1 : length(std::min(u, v), std::max(u, v));
          if (l != -1 && d + l < best[v]) queue.push({best[v] = d + l, v});
        }
      }
      for (int32_t t = 0; t < n; ++t) {
        if (best[t] >= 1e300) EXPECT_EQ(g->Value(s, t), ProximityMatrix::kNoLink);
        else EXPECT_NEAR(g->Value(s, t), best[t], 1e-4) << round << ": " << s << "-" << t;
      }
    }
  }
}

TEST(Transform2KNN, NearestNeighbours) {
  ScriptedHost host;
  const std::vector<LinkRecord> links{{0.9f, 0, 1}, {0.5f, 1, 2}, {0.2f, 0, 2}};
  ProximityMatrix m = Symmetric(host, 3, 1, links);
  int32_t k = 1;
  auto knn = m.Transform2KNN(k);
  ASSERT_TRUE(knn);
  // 0 and 1 choose each other, 2 chooses 1: node 1 gets two links.
  EXPECT_EQ(Links(*knn), (std::set<Edge>{{0, 1}, {1, 2}}));
  EXPECT_EQ(knn->Value(2, 1), 0.5f);
  ProximityMatrix distances = Symmetric(host, 3, 3, links);
  EXPECT_EQ(Links(*distances.Transform2KNN(k)), (std::set<Edge>{{0, 2}, {1, 2}}));
  k = 5;
  distances.Transform2KNN(k);
  EXPECT_EQ(k, 1);  // capped at n - 2
  EXPECT_FALSE(ProximityMatrix(host).Transform2KNN(k));
}

}  // namespace
}  // namespace wendrel
