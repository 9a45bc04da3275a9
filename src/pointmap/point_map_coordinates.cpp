// PointMap2D coordinates: positions from a layout or a coordinate file, and fitting the view and
// the node sizes to them.
#include <cmath>
#include <fstream>

#include "platform/number_text.h"
#include "pointmap/point_map.h"

namespace wendrel {

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PointMapError("cannot open " + path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Characters start..start+length-1 of text, counting from 1; shorter (or empty) past its end.
std::string_view Mid(std::string_view text, size_t start, size_t length) {
  if (start - 1 >= text.size()) return {};
  return text.substr(start - 1, length);
}

std::vector<std::string_view> SplitAtTabs(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t at = text.find('\t', start);
    fields.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return fields;
    start = at + 1;
  }
}

}  // namespace

bool PointMap2D::SetCoordinates(std::shared_ptr<const Spatial> graph) {
  if (!graph) throw PointMapError("no graph");
  const int32_t count = graph->NodeCount();
  for (int32_t e = 0; e < graph->EdgeCount(); ++e) {
    const SpatialEdge& edge = graph->Edge(e);
    if (edge.FromNode < 0 || edge.FromNode >= count || edge.ToNode < 0 || edge.ToNode >= count) {
      throw PointMapError("edge " + std::to_string(e) + " names a node the layout does not have");
    }
  }
  m_nodeCount = count;
  m_x.assign(count, 0.0f);
  m_y.assign(count, 0.0f);
  m_weight.assign(count, 0.0f);
  m_cluster.assign(count, 0);
  m_nodeSize.assign(count, 0.0f);
  m_labels.assign(count, std::string());
  for (int32_t i = 0; i < count; ++i) {
    m_x[i] = graph->X(i);
    m_y[i] = graph->Y(i);
  }
  m_graph = std::move(graph);
  FitViewToNodes();
  m_pulseNode = -1;
  return false;
}

void PointMap2D::FindNodeBounds() {
  // The bounds start from the first node, so a layout lying wholly beyond +-999 is still fitted
  // to its nodes; a map without nodes keeps the wide default extent.
  if (m_nodeCount > 0) {
    m_dataXMin = m_dataXMax = m_x[0];
    m_dataYMin = m_dataYMax = m_y[0];
  } else {
    m_dataXMin = m_dataYMin = 999;
    m_dataXMax = m_dataYMax = -999;
  }
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (m_x[i] < m_dataXMin) m_dataXMin = m_x[i];
    if (m_y[i] < m_dataYMin) m_dataYMin = m_y[i];
    if (m_x[i] > m_dataXMax) m_dataXMax = m_x[i];
    if (m_y[i] > m_dataYMax) m_dataYMax = m_y[i];
  }
  m_dataWidth = std::fabs(m_dataXMin - m_dataXMax);
  m_dataHeight = std::fabs(m_dataYMin - m_dataYMax);
}

void PointMap2D::AddMargins() {
  m_dataXMin -= 0.1f * m_dataWidth;
  m_dataYMin -= 0.1f * m_dataHeight;
  m_dataXMax += 0.1f * m_dataWidth;
  m_dataYMax += 0.1f * m_dataHeight;
}

void PointMap2D::ViewToDataExtent() {
  m_viewXMin = m_dataXMin;
  m_viewXMax = m_dataXMax;
  m_viewYMin = m_dataYMin;
  m_viewYMax = m_dataYMax;
}

void PointMap2D::FitViewToNodes() {
  FindNodeBounds();
  if (m_dataWidth == 0) m_dataWidth = 0.1f;
  if (m_dataHeight == 0) m_dataHeight = 0.1f;
  AddMargins();

  const int32_t edgeCount = m_graph ? m_graph->EdgeCount() : 0;
  if (edgeCount > 0) {
    double sum = 0;
    for (int32_t e = 0; e < edgeCount; ++e) {
      const SpatialEdge& edge = m_graph->Edge(e);
      sum += std::fabs(static_cast<double>(m_x[edge.FromNode]) - m_x[edge.ToNode]);
    }
    m_baseNodeSize = sum / edgeCount / 3;
  } else {
    // Without edges there is no mean edge length to go by.
    m_baseNodeSize = std::max(m_dataWidth, m_dataHeight) / 50.0;
  }

  ViewToDataExtent();
  ResetNodeWeights();
  UpdateNodeSizes();
  RenderView(true, false);
}

void PointMap2D::TakeFilePositions(std::vector<float> x, std::vector<float> y, double densityFactor) {
  const int32_t count = static_cast<int32_t>(x.size());
  m_nodeCount = count;
  m_x = std::move(x);
  m_y = std::move(y);
  m_weight.assign(count, 0.0f);
  m_cluster.assign(count, 0);
  FindNodeBounds();
  AddMargins();
  const double n = count;
  m_baseNodeSize =
      densityFactor * std::sqrt(static_cast<double>(m_dataXMax - m_dataXMin) * (m_dataYMax - m_dataYMin) / (n * n));
  m_nodeSize.assign(count, static_cast<float>(m_baseNodeSize));
  float sum = 0;
  for (float size : m_nodeSize) sum += size;
  m_meanNodeSize = count > 0 ? static_cast<float>(static_cast<double>(sum) / count) : 0.0f;
  m_pulseNode = -1;
  ViewToDataExtent();
  RenderView(false, false);
}

void PointMap2D::LoadPajekCoordinates(const std::string& path, int32_t nodeCount) {
  if (nodeCount < 0) throw PointMapError("negative node count");
  const std::vector<std::string> lines = ReadLines(path);
  if (lines.size() < 2) throw PointMapError("no vertex header in " + path);
  std::vector<float> x(nodeCount, 0.0f);
  std::vector<float> y(nodeCount, 0.0f);
  // The header lines are skipped; reading ends after the line of vertex nodeCount.
  size_t next = 2;
  std::string_view current = lines[1];
  while (next < lines.size() && LeadingNumber(current) != nodeCount) {
    current = lines[next++];
    const double index = std::nearbyint(LeadingNumber(Mid(current, 8, 6)) - 1);
    if (!(index >= 0 && index < nodeCount)) {
      throw PointMapError("vertex number outside 1.." + std::to_string(nodeCount) + " in " + std::string(current));
    }
    x[static_cast<size_t>(index)] = static_cast<float>(LeadingNumber(Mid(current, 48, 6)));
    y[static_cast<size_t>(index)] = static_cast<float>(LeadingNumber(Mid(current, 58, 6)));
  }
  TakeFilePositions(std::move(x), std::move(y), 4);
}

bool PointMap2D::LoadCoordinatesTest(const std::string& path, int32_t nodeCount) {
  if (nodeCount < 0) throw PointMapError("negative node count");
  const std::vector<std::string> lines = ReadLines(path);
  std::vector<float> x(nodeCount, 0.0f);
  std::vector<float> y(nodeCount, 0.0f);
  for (size_t row = 0; row < lines.size() && row < static_cast<size_t>(nodeCount); ++row) {
    auto fields = SplitAtTabs(lines[row]);
    if (fields.size() < 3) throw PointMapError("fewer than three fields in line " + std::to_string(row + 1));
    auto valueX = ParseNumber(fields[1]);
    auto valueY = ParseNumber(fields[2]);
    if (!valueX || !valueY) throw PointMapError("not a number in line " + std::to_string(row + 1));
    x[row] = static_cast<float>(*valueX);
    y[row] = static_cast<float>(*valueY);
  }
  TakeFilePositions(std::move(x), std::move(y), 1);
  return false;
}

}  // namespace wendrel
