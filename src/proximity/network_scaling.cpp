// ProximityMatrix network reductions: k nearest neighbours, spanning tree, Pathfinder and
// geodesic distances.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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
  double p = std::pow(std::pow(a, exponent) + std::pow(b, exponent), 1.0 / exponent);
  if (!std::isfinite(p)) {
    // Long real legs with a large r: the same norm taken relative to the longer leg.
    double m = std::max(std::fabs(a), std::fabs(b));
    p = m * std::pow(std::pow(a / m, exponent) + std::pow(b / m, exponent), 1.0 / exponent);
  }
  return static_cast<float>(p);
}

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
// link listed first (row, then column). Keeping for every outside node its best link into the tree
// gives the same tree without listing, sorting and rescanning the n (n - 1) / 2 links.
ProximityMatrix ProximityMatrix::Transform2MST(int32_t& startNode) const {
  const int32_t n = m_nodeCount;
  const bool descending = IsSimilarityKind(m_kind);
  ProximityMatrix tree(*m_host);
  tree.InitMatrix(n, m_kind);

  auto inRange = [](float v) { return v >= 0 && v <= 1; };
  struct Link {
    float value;
    int32_t i;  // i < j
    int32_t j;
  };
  auto before = [descending](const Link& x, const Link& y) {
    if (x.value != y.value) return descending ? x.value > y.value : x.value < y.value;
    return x.i != y.i ? x.i < y.i : x.j < y.j;
  };
  // Pairs are read from the upper triangle; when the table is symmetric (as the map's is) the row
  // of the node just added holds the same values and is read in order instead of down a column.
  const bool symmetric = IsSymmetric();
  auto link = [this, symmetric](int32_t a, int32_t b) {
    if (symmetric) return Link{m_values[Cell(a, b)], std::min(a, b), std::max(a, b)};
    return a < b ? Link{m_values[Cell(a, b)], a, b} : Link{m_values[Cell(b, a)], b, a};
  };

  std::optional<Link> first;
  if (startNode >= 0 && startNode < n) {
    for (int32_t v = 0; v < n; ++v) {
      if (v == startNode) continue;
      Link candidate = link(startNode, v);
      if (inRange(candidate.value) && (!first || before(candidate, *first))) first = candidate;
    }
  }
  if (!first) {
    for (int32_t i = 0; i < n; ++i) {
      const float* row = &m_values[Cell(i, 0)];
      for (int32_t j = i + 1; j < n; ++j)
        if (inRange(row[j]) && (!first || before(Link{row[j], i, j}, *first))) first = Link{row[j], i, j};
    }
    if (!first) return tree;
    startNode = first->i;
  }

  std::vector<char> inTree(static_cast<size_t>(n), 0);
  std::vector<Link> best(static_cast<size_t>(n));
  std::vector<char> hasBest(static_cast<size_t>(n), 0);
  std::vector<int32_t> outside;  // nodes not in the tree, in ascending order
  outside.reserve(static_cast<size_t>(n));
  auto add = [&](int32_t u) {
    inTree[static_cast<size_t>(u)] = 1;
    for (int32_t v : outside) {
      if (inTree[static_cast<size_t>(v)]) continue;
      Link candidate = link(u, v);
      if (inRange(candidate.value) && (!hasBest[static_cast<size_t>(v)] || before(candidate, best[static_cast<size_t>(v)]))) {
        best[static_cast<size_t>(v)] = candidate;
        hasBest[static_cast<size_t>(v)] = 1;
      }
    }
  };
  for (int32_t v = 0; v < n; ++v)
    if (v != first->i && v != first->j) outside.push_back(v);
  std::vector<Link> edges{*first};
  add(first->i);
  add(first->j);
  m_host->DoEvents();

  while (!outside.empty()) {
    size_t chosen = outside.size();
    for (size_t p = 0; p < outside.size(); ++p) {
      size_t v = static_cast<size_t>(outside[p]);
      if (hasBest[v] && (chosen == outside.size() || before(best[v], best[static_cast<size_t>(outside[chosen])])))
        chosen = p;
    }
    if (chosen == outside.size()) break;  // the links in range leave the other nodes unreached
    int32_t v = outside[chosen];
    edges.push_back(best[static_cast<size_t>(v)]);
    outside.erase(outside.begin() + static_cast<std::ptrdiff_t>(chosen));
    add(v);
    m_host->DoEvents();
  }

  for (const Link& e : edges) {
    tree.m_values[Cell(e.i, e.j)] = e.value;
    tree.m_values[Cell(e.j, e.i)] = e.value;
  }
  return tree;
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

void ProximityMatrix::PathfinderPass(ProximityMatrix& w, uint8_t r, int32_t q, bool descending) const {
  const int32_t n = m_nodeCount;
  for (int32_t step = 0; step < n; ++step) {
    const int32_t k = descending ? n - 1 - step : step;
    for (int32_t i = 0; i + 1 < n; ++i) {
      for (int32_t j = i + 1; j < n; ++j) {
        const float a = w.m_values[Cell(i, k)];
        const float b = w.m_values[Cell(k, j)];
        const float c = w.m_values[Cell(i, j)];
        // For legs of no negative length the path weight is at least the longer leg (also once
        // rounded to single), so the powers are needed only when the direct value exceeds it.
        if (a >= 0 && b >= 0 && !(c > std::max(a, b))) continue;
        const float p = PathWeight(a, b, r);
        if (!(c > p)) continue;
        int32_t links = w.m_linkCounts[Cell(i, k)] + w.m_linkCounts[Cell(k, j)];
        if (q >= 0 && links > q) continue;
        w.m_values[Cell(i, j)] = p;
        w.m_values[Cell(j, i)] = p;
        w.m_linkCounts[Cell(i, j)] = links;
        w.m_linkCounts[Cell(j, i)] = links;
      }
    }
    m_host->DoEvents();
  }
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
