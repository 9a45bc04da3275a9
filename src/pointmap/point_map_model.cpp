// PointMap2D model: properties, per-node lists, cluster colours, weights and the size update.
#include <cmath>

#include "pointmap/point_map.h"

namespace wendrel {

PointMap2D::PointMap2D() = default;

void PointMap2D::CheckIndex(int32_t index, size_t size) const {
  if (index < 0 || static_cast<size_t>(index) >= size) {
    throw PointMapError("node index out of range: " + std::to_string(index));
  }
}

void PointMap2D::SetNodeShape(int32_t shape) {
  if (shape < 0 || shape > 255) throw PointMapError("node shape does not fit a byte: " + std::to_string(shape));
  m_nodeShape = static_cast<uint8_t>(shape);
}

std::string PointMap2D::NodeLabel(int32_t index) const {
  if (index < 0) return "";
  CheckIndex(index, m_labels.size());
  return m_labels[index];
}

void PointMap2D::SetNodeLabel(int32_t index, const std::string& label) {
  if (index < 0) CheckIndex(index, m_labels.size());
  if (static_cast<size_t>(index) < m_labels.size()) m_labels[index] = label;
}

void PointMap2D::SetSelectedNode(int32_t node) {
  m_selectedNode = node;
  RenderView(false, false);
}

void PointMap2D::SetHoverNode(int32_t node) {
  m_hoverNode = node;
  RenderView(false, false);
}

int16_t PointMap2D::NodeCluster(int32_t index) const {
  CheckIndex(index, m_cluster.size());
  return m_cluster[index];
}

void PointMap2D::SetNodeCluster(int32_t index, int16_t cluster) {
  CheckIndex(index, m_cluster.size());
  m_cluster[index] = cluster;
}

float PointMap2D::Weight(int32_t index) const {
  CheckIndex(index, m_weight.size());
  return m_weight[index];
}

void PointMap2D::SetWeight(int32_t index, float weight) {
  if (index < 0) CheckIndex(index, m_weight.size());
  if (static_cast<size_t>(index) >= m_weight.size()) return;
  m_weight[index] = weight;
  m_nodeSize[index] = static_cast<float>(weight * m_baseNodeSize);
}

void PointMap2D::SetBaseNodeSize(float size) {
  m_baseNodeSize = size;
  UpdateNodeSizes();
}

float PointMap2D::NodeX(int32_t index) const {
  CheckIndex(index, m_x.size());
  return m_x[index];
}

float PointMap2D::NodeY(int32_t index) const {
  CheckIndex(index, m_y.size());
  return m_y[index];
}

float PointMap2D::NodeSize(int32_t index) const {
  CheckIndex(index, m_nodeSize.size());
  return m_nodeSize[index];
}

bool PointMap2D::NodeVisible(int32_t index) const {
  if (index < 0 || index >= m_nodeCount) return true;
  float x = m_x[index];
  float y = m_y[index];
  return m_viewXMin < x && x < m_viewXMax && m_viewYMin < y && y < m_viewYMax;
}

void PointMap2D::SetClusterColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
  m_clusterColors[index] = Rgb(red, green, blue);
}

bool PointMap2D::SetClusterColorRange(uint8_t first, uint8_t last, uint8_t red1, uint8_t green1, uint8_t blue1,
                                      uint8_t red2, uint8_t green2, uint8_t blue2) {
  if (last < first) throw PointMapError("cluster colour range ends before it starts");
  const int span = last - first;
  if (span < 2) return false;
  // Components may fall as well as rise from the first colour to the second.
  auto blend = [](double t, uint8_t from, uint8_t to) {
    return static_cast<uint8_t>(std::nearbyint(t * (static_cast<double>(to) - from) + from));
  };
  for (int c = first; c <= last; ++c) {
    double t = static_cast<double>(c - first) / span;
    m_clusterColors[c] = Rgb(blend(t, red1, red2), blend(t, green1, green2), blend(t, blue1, blue2));
  }
  return true;
}

void PointMap2D::SetLabelsAsIndex() {
  m_labels.resize(m_nodeCount);
  for (int32_t i = 0; i < m_nodeCount; ++i) m_labels[i] = std::to_string(i + 1);
}

void PointMap2D::ResetNodeLabels(const std::string& text) {
  for (auto& label : m_labels) label = text;
}

void PointMap2D::ResetNodeClusters() {
  for (auto& cluster : m_cluster) cluster = 0;
}

bool PointMap2D::SetNodeWeights(const std::vector<float>& weights) {
  if (weights.size() < static_cast<size_t>(m_nodeCount)) throw PointMapError("fewer weights than nodes");
  for (int32_t i = 0; i < m_nodeCount; ++i) m_weight[i] = weights[i];
  UpdateNodeSizes();
  return false;
}

bool PointMap2D::SetNodeWeightAsDegree() {
  if (!m_graph) throw PointMapError("the map has no graph");
  for (int32_t i = 0; i < m_nodeCount; ++i) SetWeight(i, static_cast<float>(m_graph->NodeDegree(i)));
  UpdateNodeSizes();
  return false;
}

void PointMap2D::ResetNodeWeights() {
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    m_weight[i] = 1.0f;
    m_nodeSize[i] = static_cast<float>(m_baseNodeSize);
  }
  UpdateNodeSizes();
}

void PointMap2D::UpdateNodeSizes() {
  // The running sum is a single, as the mean it becomes.
  float sum = 0;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    m_nodeSize[i] = static_cast<float>(std::pow(static_cast<double>(m_weight[i]), 0.75) * m_baseNodeSize);
    sum += m_nodeSize[i];
  }
  m_meanNodeSize = m_nodeCount > 0 ? static_cast<float>(static_cast<double>(sum) / m_nodeCount) : 0.0f;
  RenderView(true, false);
}

void PointMap2D::PulseNode(int32_t index, float factor) {
  CheckIndex(index, m_nodeSize.size());
  m_pulseNode = index;
  m_pulseSavedSize = m_nodeSize[index];
  m_nodeSize[index] *= factor;
  if (m_window) m_window->SetMousePointer(MousePointer::ArrowQuestion);
}

void PointMap2D::TopLeft(float left, float top) {
  if (!m_surface) return;
  Placement placement = m_surface->GetPlacement();
  placement.left = left;
  placement.top = top;
  m_surface->SetPlacement(placement);
}

void PointMap2D::BottomRight(float right, float bottom) {
  if (!m_surface) return;
  Placement placement = m_surface->GetPlacement();
  placement.height = bottom - placement.top;
  placement.width = right - placement.left;
  m_surface->SetPlacement(placement);
}

}  // namespace wendrel
