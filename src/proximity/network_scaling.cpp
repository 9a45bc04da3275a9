// ProximityMatrix network reductions: k nearest neighbours, spanning tree, Pathfinder and
// geodesic distances.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "proximity/proximity_matrix.h"

namespace wendrel {
namespace {

bool IsSimilarityKind(int32_t kind) { return kind == 1 || kind == 2; }

// The Minkowski path weight of two legs; r 0 is infinity (the longer leg). A leg without a link
// makes the path no link at all: for r above 5 its power leaves even the double range, and for
// smaller r the path could never be shorter than a pair without a link anyway.
float PathWeight(float a, float b, uint8_t r) {
  if (r == 0) return std::max(a, b);
  if (a >= ProximityMatrix::kNoLink || b >= ProximityMatrix::kNoLink) return std::numeric_limits<float>::infinity();
  double exponent = r;
  double sum = std::pow(a, exponent) + std::pow(b, exponent);
  double p = std::pow(sum, 1.0 / exponent);
  // Long legs with a large r overflow the double range; short ones underflow it, and their vanished
  // powers would make the path shorter than its legs (even 0). Both take the same norm relative to
  // the longer leg.
  const bool underflow = a >= 0 && b >= 0 && (a > 0 || b > 0) && sum < std::numeric_limits<double>::min();
  if (!std::isfinite(p) || underflow) {
    double m = std::max(std::fabs(a), std::fabs(b));
    p = m * std::pow(std::pow(a / m, exponent) + std::pow(b / m, exponent), 1.0 / exponent);
  }
  return static_cast<float>(p);
}

// pow(sum, 1 / r) rounded to single, for a sum in the normal double range. A square root is
// rounded correctly and pow errs by under one unit in the last place, so the two are at most one
// double apart: when both neighbours of the square root round to the same single, so does pow.
float Root(double sum, uint8_t r) {
  if (r == 2) {
    const double root = std::sqrt(sum);
    const auto below = static_cast<float>(std::nextafter(root, 0.0));
    if (below == static_cast<float>(std::nextafter(root, std::numeric_limits<double>::infinity()))) return below;
  }
  return static_cast<float>(std::pow(sum, 1.0 / r));
}

// A candidate link of the spanning tree, read from the upper triangle.
struct TreeLink {
  float value;
  int32_t i;  // i < j
  int32_t j;
};

// Counts, per chain of the next gap (gap / 2), of the links that sort before a value, from those of
// this gap: after a pass chain c's first before[c] slots, positions c + gap t, hold those links.
std::vector<uint32_t> NextCounts(const std::vector<uint32_t>& before, size_t gap) {
  const size_t next = gap / 2;
  std::vector<uint32_t> counts(next, 0);
  if (gap % 2 == 0) {
    for (size_t c = 0; c < next; ++c) counts[c] = before[c] + before[c + next];
    return counts;
  }
  // gap = 2 next + 1: slot t of chain c lies in chain (c + t) mod next, so chain c adds one to each
  // of before[c] cyclically consecutive chains from c mod next (as differences summed below, whose
  // unsigned wrapping cancels out).
  uint32_t everywhere = 0;
  for (size_t c = 0; c < gap; ++c) {
    everywhere += static_cast<uint32_t>(before[c] / next);
    const size_t start = c % next;
    const size_t end = start + before[c] % next;
    if (end == start) continue;
    ++counts[start];
    if (end < next) {
      --counts[end];
    } else {
      ++counts[0];
      --counts[end - next];
    }
  }
  uint32_t running = 0;
  for (uint32_t& count : counts) {
    running += count;
    count = running + everywhere;
  }
  return counts;
}

struct TiedPosition {
  size_t position;
  uint64_t pair;
};

// One gap pass for the links of the value: chain c ends up holding before[c] links that sort
// before it, then its links of the value in their earlier order (insertion by chain is stable).
void PlaceTies(const std::vector<uint32_t>& before, size_t gap, std::vector<TiedPosition>& tied) {
  std::sort(tied.begin(), tied.end(), [gap](const TiedPosition& a, const TiedPosition& b) {
    const size_t chainA = a.position % gap;
    const size_t chainB = b.position % gap;
    return chainA != chainB ? chainA < chainB : a.position < b.position;
  });
  for (size_t k = 0; k < tied.size();) {
    const size_t chain = tied[k].position % gap;
    size_t slot = before[chain];
    for (; k < tied.size() && tied[k].position % gap == chain; ++k) tied[k].position = chain + gap * slot++;
  }
}

// The order SortLinks leaves equal values in when it sorts the spanning tree's candidate links (the
// pairs i < j row by row whose value lies in [0, 1]). That Shell sort is not stable: where a link
// of one value ends up depends on how many other links sort before it in each chain of each pass.
// Those counts describe the whole pass for one value, so a value's links are followed through the
// passes when a tie first asks for it (time linear in the number of links). When ties of many values
// are asked the list is sorted once instead, with SortLinks itself.
class TieOrder {
 public:
  TieOrder(const std::vector<float>& values, int32_t n, bool descending, Host* host)
      : m_values(values), m_n(n), m_descending(descending), m_host(host) {}

  // Whether Position answers for links of this value.
  bool Known(float value) const { return !m_ranks.empty() || m_positions.count(Key(value)) > 0; }
  // Works out the order of the value's links (or, after many values, of all links).
  void Learn(float value) {
    if (Known(value)) return;
    // A follow costs one pass over the links; the sort's cost grows faster than their number (about
    // a second for ten million links of few values, minutes for two hundred million distinct ones).
    if (m_positions.size() >= kValuesBeforeFullSort + Total() / 1000000) SortAll();
    else Follow(value);
  }
  // The link's place in the sorted list, or among the links of its value; its value must be known.
  size_t Position(const TreeLink& l) const {
    if (!m_ranks.empty()) return m_ranks[Triangle(l.i, l.j)];
    return m_positions.at(Key(l.value)).at(Pair(l.i, l.j));
  }
  // Of links of one value, the one the sorted list holds first.
  TreeLink First(const std::vector<TreeLink>& candidates) {
    if (candidates.size() == 1) return candidates.front();
    Learn(candidates.front().value);
    return *std::min_element(candidates.begin(), candidates.end(),
                             [&](const TreeLink& a, const TreeLink& b) { return Position(a) < Position(b); });
  }

 private:
  static constexpr size_t kValuesBeforeFullSort = 16;

  uint64_t Pair(int32_t i, int32_t j) const {
    return static_cast<uint64_t>(i) * static_cast<uint64_t>(m_n) + static_cast<uint64_t>(j);
  }
  size_t Triangle(int32_t i, int32_t j) const {
    const auto row = static_cast<size_t>(i);
    return row * static_cast<size_t>(m_n) - row * (row + 1) / 2 + static_cast<size_t>(j - i - 1);
  }
  bool InRange(float v) const { return v >= 0 && v <= 1; }
  template <typename Visit>
  void ForEachLink(Visit visit) const {
    for (int32_t i = 0; i < m_n; ++i) {
      const float* row = &m_values[static_cast<size_t>(i) * static_cast<size_t>(m_n)];
      for (int32_t j = i + 1; j < m_n; ++j)
        if (InRange(row[j])) visit(row[j], i, j);
    }
  }

  static uint32_t Key(float value) { return value == 0 ? 0 : std::bit_cast<uint32_t>(value); }  // -0 ties with 0

  size_t Total() {
    if (!m_total) {
      size_t total = 0;
      ForEachLink([&](float, int32_t, int32_t) { ++total; });
      m_total = total;
    }
    return *m_total;
  }

  // Final positions, by pair, of the links whose value equals value.
  void Follow(float value) {
    const size_t total = Total();
    size_t gap = total / 2;
    // Before the first pass: per chain of gap total / 2 (at most three links) the links sorting first.
    std::vector<uint32_t> before(gap, 0);
    std::vector<TiedPosition> tied;
    size_t position = 0;
    size_t chain = 0;
    ForEachLink([&](float v, int32_t i, int32_t j) {
      if (v == value) tied.push_back({position, Pair(i, j)});
      else if (gap > 0 && (m_descending ? v > value : v < value)) ++before[chain];
      ++position;
      if (++chain == gap) chain = 0;
    });
    for (; gap > 0; gap /= 2) {
      PlaceTies(before, gap, tied);
      if (gap > 1) before = NextCounts(before, gap);
    }
    std::unordered_map<uint64_t, size_t>& positions = m_positions[Key(value)];
    for (const TiedPosition& t : tied) positions[t.pair] = t.position;
  }

  void SortAll() {
    std::vector<LinkRecord> links;
    ForEachLink([&](float v, int32_t i, int32_t j) { links.push_back({v, i, j}); });
    SortLinks(links, m_descending, m_host);
    m_ranks.assign(Triangle(m_n - 2, m_n - 1) + 1, 0);
    for (size_t r = 0; r < links.size(); ++r) m_ranks[Triangle(links[r].I, links[r].J)] = static_cast<uint32_t>(r);
  }

  const std::vector<float>& m_values;
  int32_t m_n;
  bool m_descending;
  Host* m_host;
  std::optional<size_t> m_total;  // links in [0, 1]
  std::unordered_map<uint32_t, std::unordered_map<uint64_t, size_t>> m_positions;  // by value bits
  std::vector<uint32_t> m_ranks;  // position in the sorted list, by pair, once sorted whole
};

}  // namespace

std::optional<ProximityMatrix> ProximityMatrix::Transform2KNN(int32_t& k) const {
  if (m_nodeCount == 0) return std::nullopt;
  ProximityMatrix result(*m_host);
  result.InitMatrix(m_nodeCount, m_kind);
  const bool descending = m_kind <= 2;
  std::vector<float> row(static_cast<size_t>(m_nodeCount));
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    std::copy_n(m_values.begin() + static_cast<std::ptrdiff_t>(Cell(i, 0)), m_nodeCount, row.begin());
    for (int32_t j : RankIndices(row, i, k, descending, 0)) {
      float v = m_values[Cell(i, j)];
      result.m_values[Cell(i, j)] = v;
      result.m_values[Cell(j, i)] = v;
    }
  }
  return result;
}

// Prim's algorithm on the table itself. Growing the tree from one globally sorted link list takes
// at each step the first crossing link in that order: the best value, and among equal values the
// link the sort left first. Keeping for every outside node its best value into the tree gives the
// same tree without listing, sorting and rescanning the n (n - 1) / 2 links; only when several
// crossing links share the best value is the sort's order of that value worked out (TieOrder).
ProximityMatrix ProximityMatrix::Transform2MST(int32_t& startNode) const {
  const int32_t n = m_nodeCount;
  const bool descending = IsSimilarityKind(m_kind);
  // The result's n x n table is made only once the tree is known, after the work of finding it.
  auto result = [&](const std::vector<TreeLink>& edges) {
    ProximityMatrix tree(*m_host);
    tree.InitMatrix(n, m_kind);
    for (const TreeLink& e : edges) {
      tree.m_values[Cell(e.i, e.j)] = e.value;
      tree.m_values[Cell(e.j, e.i)] = e.value;
    }
    return tree;
  };

  auto inRange = [](float v) { return v >= 0 && v <= 1; };
  auto better = [descending](float x, float y) { return descending ? x > y : x < y; };
  // Pairs are read from the upper triangle; when the table is symmetric (as the map's is) the row
  // of the node just added holds the same values and is read in order instead of down a column.
  const bool symmetric = IsSymmetric();
  auto link = [this, symmetric](int32_t a, int32_t b) {
    if (symmetric) return TreeLink{m_values[Cell(a, b)], std::min(a, b), std::max(a, b)};
    return a < b ? TreeLink{m_values[Cell(a, b)], a, b} : TreeLink{m_values[Cell(b, a)], b, a};
  };
  // Keeps the links of the best value seen.
  auto offer = [&](std::vector<TreeLink>& bestLinks, const TreeLink& candidate) {
    if (!inRange(candidate.value)) return;
    if (bestLinks.empty() || better(candidate.value, bestLinks.front().value)) bestLinks.assign(1, candidate);
    else if (candidate.value == bestLinks.front().value) bestLinks.push_back(candidate);
  };
  TieOrder ties(m_values, n, descending, m_host);

  std::vector<TreeLink> firstLinks;
  if (startNode >= 0 && startNode < n)
    for (int32_t v = 0; v < n; ++v)
      if (v != startNode) offer(firstLinks, link(startNode, v));
  const bool fromStartNode = !firstLinks.empty();
  if (!fromStartNode) {
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = i + 1; j < n; ++j) offer(firstLinks, TreeLink{m_values[Cell(i, j)], i, j});
    if (firstLinks.empty()) return result({});
  }
  const TreeLink first = ties.First(firstLinks);
  if (!fromStartNode) startNode = first.i;

  std::vector<char> inTree(static_cast<size_t>(n), 0);
  std::vector<int32_t> members;  // the tree's nodes
  // For each outside node: its best value into the tree and the tree node of the link that comes
  // first in the sorted list (-1 none yet), or, while the order of that value is not yet worked out,
  // one such node and a mark that others give the same value.
  std::vector<float> best(static_cast<size_t>(n));
  std::vector<int32_t> from(static_cast<size_t>(n), -1);
  std::vector<char> tied(static_cast<size_t>(n), 0);
  std::vector<int32_t> outside;  // nodes not in the tree, in ascending order
  outside.reserve(static_cast<size_t>(n));
  auto add = [&](int32_t u) {
    inTree[static_cast<size_t>(u)] = 1;
    members.push_back(u);
    for (int32_t v : outside) {
      const auto s = static_cast<size_t>(v);
      if (inTree[s]) continue;
      const TreeLink candidate = link(u, v);
      if (!inRange(candidate.value)) continue;
      if (from[s] < 0 || better(candidate.value, best[s])) {
        best[s] = candidate.value;
        from[s] = u;
        tied[s] = 0;
      } else if (candidate.value == best[s] && !tied[s]) {
        if (!ties.Known(candidate.value)) tied[s] = 1;
        else if (ties.Position(candidate) < ties.Position(link(from[s], v))) from[s] = u;
      }
    }
  };
  // Settles the marked nodes whose value has become known, from all their links into the tree.
  auto settle = [&] {
    for (int32_t v : outside) {
      const auto s = static_cast<size_t>(v);
      if (!tied[s] || !ties.Known(best[s])) continue;
      for (int32_t u : members)
        if (const TreeLink candidate = link(u, v);
            candidate.value == best[s] && ties.Position(candidate) < ties.Position(link(from[s], v)))
          from[s] = u;
      tied[s] = 0;
    }
  };
  for (int32_t v = 0; v < n; ++v)
    if (v != first.i && v != first.j) outside.push_back(v);
  std::vector<TreeLink> edges{first};
  add(first.i);
  add(first.j);
  m_host->DoEvents();

  while (!outside.empty()) {
    // The best value of any crossing link, and how many outside nodes it reaches.
    float value = 0;
    size_t reached = 0;
    bool anyTied = false;
    for (int32_t v : outside) {
      const auto s = static_cast<size_t>(v);
      if (from[s] < 0) continue;
      if (!reached || better(best[s], value)) {
        value = best[s];
        reached = 1;
        anyTied = tied[s];
      } else if (best[s] == value) {
        ++reached;
        anyTied = anyTied || tied[s];
      }
    }
    if (!reached) break;  // the links in range leave the other nodes unreached
    if ((reached > 1 || anyTied) && !ties.Known(value)) {
      ties.Learn(value);
      settle();
    }
    size_t chosen = outside.size();
    for (size_t p = 0; p < outside.size(); ++p) {
      const auto s = static_cast<size_t>(outside[p]);
      if (from[s] < 0 || best[s] != value) continue;
      if (chosen == outside.size() ||
          ties.Position(link(from[s], outside[p])) <
              ties.Position(link(from[static_cast<size_t>(outside[chosen])], outside[chosen])))
        chosen = p;
      if (reached == 1) break;
    }
    const int32_t v = outside[chosen];
    edges.push_back(link(from[static_cast<size_t>(v)], v));
    outside.erase(outside.begin() + static_cast<std::ptrdiff_t>(chosen));
    add(v);
    m_host->DoEvents();
  }

  return result(edges);
}

bool ProximityMatrix::IsSymmetric() const {
  constexpr int32_t kTile = 64;
  for (int32_t i0 = 0; i0 < m_nodeCount; i0 += kTile)
    for (int32_t j0 = i0; j0 < m_nodeCount; j0 += kTile)
      for (int32_t i = i0; i < std::min(m_nodeCount, i0 + kTile); ++i)
        for (int32_t j = std::max(j0, i + 1); j < std::min(m_nodeCount, j0 + kTile); ++j)
          if (std::memcmp(&m_values[Cell(i, j)], &m_values[Cell(j, i)], sizeof(float)) != 0) return false;
  return true;
}

ProximityMatrix ProximityMatrix::PathfinderCopy() const {
  ProximityMatrix w(*m_host);
  w.SetFromDense(m_values, m_nodeCount, m_kind);
  w.InitLinks();
  w.PrepareDistances();
  return w;
}

// The described triple loop, with its decisions kept exactly and its work cut:
// - Row k and column k do not change while k is the middle node (a path through k to k itself adds
//   the diagonal's 0, never shorter), so a and the row of b are read once and the columns j go in
//   blocks whose first test the compiler runs side by side; relax decides each pair as described.
// - For legs of no negative length the path weight is at least the longer leg (also once rounded
//   to single), so only pairs whose direct value exceeds both legs need a closer look. With r 0 the
//   weight is the longer leg itself and with r 1 the sum, rounded once from double.
// - For r >= 2 the r-th powers pow gives are kept beside the table, so a path's sum of powers
//   costs no pow. The root, (a^r + b^r)^(1/r) rounded to single, cannot fall below c when the sum
//   is at least c^r (1 + r 2^-20): pow errs by under one unit in the last place of a double, far
//   inside that margin, and rounding to single is monotone. The blocks test the same with the
//   powers rounded to single and twice the margin, which covers those roundings. Only the other
//   sums take the root.
void ProximityMatrix::PathfinderPass(ProximityMatrix& w, uint8_t r, int32_t q, bool descending) const {
  const int32_t n = m_nodeCount;
  const auto un = static_cast<size_t>(n);
  float* values = w.m_values.data();
  int32_t* counts = w.m_linkCounts.data();
  const double exponent = r;
  const double margin = 1 + exponent * std::ldexp(1.0, -20);
  const auto singleMargin = static_cast<float>(1 + exponent * std::ldexp(1.0, -19));
  std::vector<double> powers(r >= 2 ? un * un : 0);
  std::vector<float> singlePowers(powers.size());
  auto setPower = [&](size_t cell) {
    // The square of a single is exact in double, as pow gives it.
    const auto v = static_cast<double>(values[cell]);
    powers[cell] = r == 2 ? v * v : std::pow(v, exponent);
    singlePowers[cell] = static_cast<float>(powers[cell]);
  };
  for (size_t cell = 0; cell < powers.size(); ++cell) setPower(cell);
  // A symmetric table stays symmetric, and its lower triangle is read only in row k and column k:
  // those are copied from the upper triangle before each k instead of writing every change twice.
  const bool mirrorLater = w.IsSymmetric();
  auto cell = [un](int32_t i, int32_t j) { return static_cast<size_t>(i) * un + static_cast<size_t>(j); };
  auto mirror = [&](size_t from, size_t to) {
    values[to] = values[from];
    counts[to] = counts[from];
    if (r >= 2) {
      powers[to] = powers[from];
      singlePowers[to] = singlePowers[from];
    }
  };
  constexpr int32_t kBlock = 16;
  for (int32_t step = 0; step < n; ++step) {
    const int32_t k = descending ? n - 1 - step : step;
    const size_t rowKStart = static_cast<size_t>(k) * un;
    const float* rowK = values + rowKStart;
    if (mirrorLater) {
      for (int32_t j = 0; j < k; ++j) mirror(cell(j, k), cell(k, j));
      for (int32_t i = k + 1; i < n; ++i) mirror(cell(k, i), cell(i, k));
    }
    for (int32_t i = 0; i + 1 < n; ++i) {
      const size_t rowIStart = static_cast<size_t>(i) * un;
      float* rowI = values + rowIStart;
      const float a = rowI[k];
      auto relax = [&](int32_t j) {
        const float b = rowK[j];
        const float c = rowI[j];
        const size_t ij = rowIStart + static_cast<size_t>(j);
        float p;
        if (!(a >= 0 && b >= 0)) {
          p = PathWeight(a, b, r);
        } else if (!(c > std::max(a, b))) {
          return;
        } else if (r == 0) {
          p = std::max(a, b);
        } else if (a >= kNoLink || b >= kNoLink) {
          return;  // no path, as PathWeight gives it
        } else if (r == 1) {
          p = static_cast<float>(static_cast<double>(a) + static_cast<double>(b));
        } else {
          const double sum = powers[rowIStart + static_cast<size_t>(k)] + powers[rowKStart + static_cast<size_t>(j)];
          const double cPower = powers[ij];
          if (cPower >= std::numeric_limits<double>::min() && cPower <= std::numeric_limits<double>::max() &&
              sum >= cPower * margin)
            return;
          p = sum >= std::numeric_limits<double>::min() && sum <= std::numeric_limits<double>::max()
                  ? Root(sum, r)
                  : PathWeight(a, b, r);
        }
        if (!(c > p)) return;
        const int32_t links = counts[rowIStart + static_cast<size_t>(k)] + counts[rowKStart + static_cast<size_t>(j)];
        if (q >= 0 && links > q) return;
        values[ij] = p;
        counts[ij] = links;
        if (r >= 2) setPower(ij);
        if (!mirrorLater) mirror(ij, cell(j, i));
      };
      // mayChange(t) holds for every pair relax may change (it leaves out the no-link legs).
      auto scan = [&](auto mayChange) {
        int32_t j = i + 1;
        for (; j + kBlock <= n; j += kBlock) {
          int any = 0;
          for (int32_t t = j; t < j + kBlock; ++t) any |= mayChange(t);
          if (any)
            for (int32_t t = j; t < j + kBlock; ++t)
              if (mayChange(t)) relax(t);
        }
        for (; j < n; ++j) relax(j);
      };
      if (!(a >= 0)) {
        for (int32_t j = i + 1; j < n; ++j) relax(j);
      } else if (r == 0) {
        scan([&](int32_t t) {
          const float b = rowK[t];
          return (b >= 0 ? 0 : 1) | (rowI[t] > (a < b ? b : a) ? 1 : 0);
        });
      } else if (r == 1) {
        scan([&](int32_t t) {
          const float b = rowK[t];
          const auto sum = static_cast<float>(static_cast<double>(a) + static_cast<double>(b));
          return (b >= 0 ? 0 : 1) | (rowI[t] > sum ? 1 : 0);
        });
      } else {
        const float aPower = singlePowers[rowIStart + static_cast<size_t>(k)];
        const float* powersK = singlePowers.data() + rowKStart;
        const float* powersI = singlePowers.data() + rowIStart;
        scan([&](int32_t t) {
          const float b = rowK[t];
          const float cPower = powersI[t];
          const int surelyNot = (cPower >= std::numeric_limits<float>::min() ? 1 : 0) &
                                (cPower <= std::numeric_limits<float>::max() / 2 ? 1 : 0) &
                                (aPower + powersK[t] >= cPower * singleMargin ? 1 : 0);
          return (b >= 0 ? 0 : 1) | ((rowI[t] > (a < b ? b : a) ? 1 : 0) & (1 - surelyNot));
        });
      }
    }
    m_host->DoEvents();
  }
  if (mirrorLater)
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = i + 1; j < n; ++j) mirror(cell(i, j), cell(j, i));
}

void ProximityMatrix::PruneChanged(ProximityMatrix& w, const ProximityMatrix& reference) const {
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    for (int32_t j = i + 1; j < m_nodeCount; ++j) {
      if (m_values[Cell(i, j)] != reference.m_values[Cell(i, j)]) {
        w.m_values[Cell(i, j)] = -1;
        w.m_values[Cell(j, i)] = -1;
      }
    }
  }
}

ProximityMatrix ProximityMatrix::Transform2FastPF(uint8_t r) {
  if (m_kind <= 2) Sim2Dis();
  ProximityMatrix w = PathfinderCopy();
  PathfinderPass(w, r, -1, false);
  PruneChanged(w, w);
  return w;
}

std::optional<ProximityMatrix> ProximityMatrix::FastPFQ(uint8_t r, int32_t q) const {
  if (m_kind != 3 && m_kind != 4) return std::nullopt;
  ProximityMatrix w = PathfinderCopy();
  PathfinderPass(w, r, q, false);
  PruneChanged(w, w);
  return w;
}

std::optional<ProximityMatrix> ProximityMatrix::FastPFQ2(uint8_t r, int32_t q) const {
  if (m_kind != 3 && m_kind != 4) return std::nullopt;
  ProximityMatrix ascending = PathfinderCopy();
  PathfinderPass(ascending, r, q, false);
  ProximityMatrix descending = PathfinderCopy();
  PathfinderPass(descending, r, q, true);
  ProximityMatrix result = PathfinderCopy();
  PruneChanged(result, ascending);
  PruneChanged(result, descending);
  return result;
}

std::optional<ProximityMatrix> ProximityMatrix::Transform2Geodesic(Caption* progress) const {
  const int32_t n = m_nodeCount;
  if (n == 0) return std::nullopt;
  ProximityMatrix g(*m_host);
  g.SetFromDense(m_values, n, m_kind);
  if (IsSimilarityKind(m_kind)) g.Sim2Dis();
  g.PrepareDistances();
  g.InitLinks();
  std::vector<float> column(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    // Column k does not change while k is the middle node (its pairs only meet the diagonal's 0),
    // so it is read once, in a row, instead of down the table for every pair.
    for (int32_t j = 0; j < n; ++j) column[static_cast<size_t>(j)] = g.m_values[Cell(j, k)];
    for (int32_t i = 0; i + 1 < n; ++i) {
      const float a = column[static_cast<size_t>(i)];
      for (int32_t j = i + 1; j < n; ++j) {
        const float sum = a + column[static_cast<size_t>(j)];
        if (!(sum < g.m_values[Cell(i, j)])) continue;
        int32_t links = g.m_linkCounts[Cell(i, k)] + g.m_linkCounts[Cell(k, j)];
        g.m_values[Cell(i, j)] = sum;
        g.m_values[Cell(j, i)] = sum;
        g.m_linkCounts[Cell(i, j)] = links;
        g.m_linkCounts[Cell(j, i)] = links;
      }
    }
    m_host->DoEvents();
    if (progress) progress->SetCaption("Geodesic - K=" + std::to_string(k));
  }
  return g;
}

}  // namespace wendrel
