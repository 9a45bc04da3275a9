// ProximityMatrix: the value table, loading, similarity/distance conversion and the operations the
// network code builds on.
#include "proximity/proximity_matrix.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace wendrel {
namespace {

// The leading number of a piece, full stop as decimal point; 0 when it has none.
float LeadingValue(std::string_view piece) {
  size_t start = piece.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) return 0;
  piece.remove_prefix(start);
  if (!piece.empty() && piece.front() == '+') piece.remove_prefix(1);
  double v = 0;
  auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
  return ec == std::errc() ? static_cast<float>(v) : 0.0f;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1)
    pieces.push_back(line.substr(start, tab - start));
  pieces.push_back(line.substr(start));
  return pieces;
}

}  // namespace

void ProximityMatrix::CheckNode(int32_t i) const {
  if (i < 0 || i >= m_nodeCount)
    throw std::out_of_range("proximity node " + std::to_string(i) + " outside 0.." + std::to_string(m_nodeCount - 1));
}

float ProximityMatrix::Value(int32_t i, int32_t j) const {
  CheckNode(i);
  CheckNode(j);
  return m_values[Cell(i, j)];
}

int32_t ProximityMatrix::LinkCount(int32_t i, int32_t j) const {
  CheckNode(i);
  CheckNode(j);
  return m_linkCounts.empty() ? 0 : m_linkCounts[Cell(i, j)];
}

void ProximityMatrix::InitMatrix(int32_t n, int32_t kind) {
  if (n < 0) throw std::out_of_range("proximity matrix of " + std::to_string(n) + " nodes");
  m_nodeCount = n;
  m_kind = kind;
  m_values.assign(static_cast<size_t>(n) * static_cast<size_t>(n), -1.0f);
  m_linkCounts.clear();
  m_linkCounts.shrink_to_fit();
}

void ProximityMatrix::SetFromDense(std::vector<float> table, int32_t n, int32_t kind) {
  if (n < 0 || table.size() < static_cast<size_t>(n) * static_cast<size_t>(n))
    throw std::out_of_range("dense table smaller than " + std::to_string(n) + " x " + std::to_string(n));
  table.resize(static_cast<size_t>(n) * static_cast<size_t>(n));
  m_nodeCount = n;
  m_kind = kind;
  m_values = std::move(table);
  m_linkCounts.clear();
  m_linkCounts.shrink_to_fit();
}

void ProximityMatrix::SetValue(int32_t i, int32_t j, float v) {
  CheckNode(i);
  CheckNode(j);
  m_values[Cell(i, j)] = v;
}

void ProximityMatrix::SetLinkCount(int32_t i, int32_t j, int32_t count) {
  if (m_nodeCount == 1) return;
  CheckNode(i);
  CheckNode(j);
  if (m_linkCounts.empty()) m_linkCounts.assign(m_values.size(), 0);
  m_linkCounts[Cell(i, j)] = count;
}

void ProximityMatrix::InitLinks() {
  m_linkCounts.assign(m_values.size(), 1);
  for (int32_t i = 0; i < m_nodeCount; ++i) m_linkCounts[Cell(i, i)] = 0;
}

void ProximityMatrix::PrepareDistances() {
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    for (int32_t j = 0; j < m_nodeCount; ++j) {
      float& v = m_values[Cell(i, j)];
      if (i == j) v = 0;
      else if (std::fabs(v) == 1.0f) v = kNoLink;
    }
  }
}

std::vector<LinkRecord> ProximityMatrix::GetLinks(float min, float max) const {
  std::vector<LinkRecord> links;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    for (int32_t j = i + 1; j < m_nodeCount; ++j) {
      float v = m_values[Cell(i, j)];
      if (min <= v && v <= max) links.push_back({v, i, j});
    }
    m_host->DoEvents();
  }
  return links;
}

bool ProximityMatrix::LoadMatrix(const std::string& filePath, int32_t format, int32_t type) {
  if (format != 0) return false;
  std::ifstream in(filePath, std::ios::binary);
  if (!in) return false;
  std::string line;
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  auto pieces = SplitTabs(line);
  const size_t columns = pieces.size() - (pieces.back().empty() ? 1 : 0);
  if (columns < 1) return false;
  // The table is n x n for the n columns of the first line: a file of fewer lines than that is
  // not a square table, and one long first line must not ask for gigabytes.
  size_t lines = 1;
  for (std::string rest; lines < columns && std::getline(in, rest);) ++lines;
  if (lines < columns || columns > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  in.clear();
  in.seekg(0);
  std::getline(in, line);
  const auto n = static_cast<int32_t>(columns);

  InitMatrix(n, type);
  for (int32_t j = 0; j < n; ++j) {
    float v = LeadingValue(pieces[static_cast<size_t>(j)]);
    m_values[Cell(0, j)] = v;
    m_values[Cell(j, 0)] = v;
  }
  // Later blocks of n - 1 rows overwrite the earlier ones; a block cut short keeps its rows read.
  bool more = true;
  while (more && n > 1) {
    for (int32_t i = 1; i < n; ++i) {
      if (!std::getline(in, line)) {
        more = false;
        break;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pieces = SplitTabs(line);
      for (int32_t j = 1; j < n; ++j) {
        float v = static_cast<size_t>(j) < pieces.size() ? LeadingValue(pieces[static_cast<size_t>(j)]) : 0.0f;
        m_values[Cell(i, j)] = v;
        m_values[Cell(j, i)] = v;
      }
    }
  }
  return true;
}

void ProximityMatrix::Sim2Dis() {
  static constexpr int32_t kConverted[] = {0, 3, 4, 1, 2};
  if (m_kind == 0) return;
  if (m_kind >= 1 && m_kind <= 4) m_kind = kConverted[m_kind];
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    for (int32_t j = i + 1; j < m_nodeCount; ++j) {
      float v = m_values[Cell(i, j)];
      if (v > -1) v = 1 - v;
      m_values[Cell(i, j)] = v;
      m_values[Cell(j, i)] = v;
    }
  }
}

}  // namespace wendrel
