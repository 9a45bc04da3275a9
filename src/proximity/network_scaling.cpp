// ProximityMatrix network reductions: k nearest neighbours, spanning tree, Pathfinder and
// geodesic distances.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "proximity/proximity_matrix.h"
#include "proximity/spanning_tree.h"

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

// Pairs are read from the upper triangle. When the table is symmetric (as the map's is) a node's
// row holds its values as they are; otherwise the row is gathered from the upper triangle.
ProximityMatrix ProximityMatrix::Transform2MST(int32_t& startNode) const {
  const int32_t n = m_nodeCount;
  const bool similarities = IsSimilarityKind(m_kind);
  const bool symmetric = IsSymmetric();
  std::vector<float> gathered(symmetric ? 0 : static_cast<size_t>(n));
  auto row = [&](int32_t u) -> const float* {
    if (symmetric) return &m_values[Cell(u, 0)];
    for (int32_t v = 0; v < n; ++v) gathered[static_cast<size_t>(v)] = m_values[v < u ? Cell(v, u) : Cell(u, v)];
    return gathered.data();
  };
  const std::vector<TreeEdge> edges = TreeOf(SpanningForest(n, row, similarities, m_host), n, startNode, similarities);
  ProximityMatrix tree(*m_host);
  tree.InitMatrix(n, m_kind);
  for (const TreeEdge& e : edges) {
    tree.m_values[Cell(e.I, e.J)] = e.Value;
    tree.m_values[Cell(e.J, e.I)] = e.Value;
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
