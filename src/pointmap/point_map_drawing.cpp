// PointMap2D drawing: setting up the surface and timer, drawing the map, zooming to a node.
#include "pointmap/point_map.h"

namespace wendrel {

namespace {

constexpr const char* kDefaultPictureName = "PM2DMap";
constexpr int kTickerIntervalMs = 1000 / 60;
constexpr Color kEdgeColor = Rgb(100, 100, 100);
constexpr Color kZoomBoxColor = Rgb(255, 0, 0);

constexpr std::array<Color, 16> kPalette = {
    Rgb(0, 0, 0),       Rgb(0, 0, 128),     Rgb(0, 128, 0),   Rgb(0, 128, 128), Rgb(128, 0, 0),   Rgb(128, 0, 128),
    Rgb(128, 128, 0),   Rgb(192, 192, 192), Rgb(128, 128, 128), Rgb(0, 0, 255), Rgb(0, 255, 0),   Rgb(0, 255, 255),
    Rgb(255, 0, 0),     Rgb(255, 0, 255),   Rgb(255, 255, 0), Rgb(255, 255, 255)};

}  // namespace

bool PointMap2D::InitializePM2DCtl(MapWindow& host, Surface* surface) {
  m_window = &host;
  m_surface = surface ? surface : &host.CreatePicture(kDefaultPictureName);
  m_surface->SetVisible(true);
  m_surface->SetEnabled(true);
  m_surface->SetPersistent(true);
  m_surface->SetLineWidth(2);
  m_surface->SetBackColor(Rgb(255, 255, 255));
  m_surface->SetFontName("Courier");
  m_pulseNode = -1;
  host.StartTimer(m_surface->Name() + "_ticker", kTickerIntervalMs, [this] { TimerTick(); });
  for (size_t i = 0; i < kPalette.size(); ++i) m_clusterColors[i] = kPalette[i];
  m_pointEdgeColor = Rgb(255, 255, 255);
  m_clickedEdgeColor = Rgb(255, 255, 0);
  m_labelColor = Rgb(255, 255, 0);
  return false;
}

void PointMap2D::RenderView(bool clear, bool zoomBox) {
  if (m_dataWidth == 0 || m_dataHeight == 0 || !m_surface) return;
  Surface& surface = *m_surface;
  m_drawnLabels.clear();
  // Cluster colours may have changed since the last drawing.
  m_outlineKnown.fill(false);
  surface.SetMapping(m_viewXMin, m_viewYMin, m_viewXMax, m_viewYMax);
  if (clear) surface.Clear();
  surface.SetPenColor(0);

  if (m_showEdges && m_graph) {
    surface.SetPenColor(kEdgeColor);
    const int32_t edgeCount = m_graph->EdgeCount();
    for (int32_t e = 0; e < edgeCount; ++e) {
      const SpatialEdge& edge = m_graph->Edge(e);
      if (edge.FromNode < 0 || edge.FromNode >= m_nodeCount || edge.ToNode < 0 || edge.ToNode >= m_nodeCount) continue;
      if (NodeVisible(edge.FromNode) || NodeVisible(edge.ToNode)) {
        surface.Line(m_x[edge.FromNode], m_y[edge.FromNode], m_x[edge.ToNode], m_y[edge.ToNode]);
      }
    }
  }

  // Front nodes last, over the others.
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (NodeVisible(i) && !FrontNode(i)) DrawNode(i);
  }
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (NodeVisible(i) && FrontNode(i)) DrawNode(i);
  }

  if (zoomBox) {
    surface.SetPenColor(kZoomBoxColor);
    surface.Rectangle(m_selX1, m_selY1, m_selX2, m_selY2, RectangleStyle::Outline);
  }

  if (m_showNodeLabels) {
    if (m_labelPlacement.enabled && PixelsPerWorldX() != 0 && PixelsPerWorldY() != 0) {
      DrawPlacedLabels();
    } else {
      DrawThresholdLabels();
    }
  }
  DrawLegend();
}

void PointMap2D::DrawThresholdLabels() {
  const float threshold = m_nodeLabelThreshold;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (m_weight[i] < threshold || static_cast<size_t>(i) >= m_labels.size()) continue;
    m_surface->SetPenColor(m_labelColor);
    m_surface->Text(m_x[i], m_y[i], m_labels[i]);
  }
}

void PointMap2D::DrawNode(int32_t i) {
  Surface& surface = *m_surface;
  const int16_t cluster = m_cluster[i];
  // A cluster outside the table leaves the colour it would have set as it was.
  const bool hasColor = cluster >= 0 && cluster <= 255;
  const Color color = hasColor ? m_clusterColors[cluster] : 0;
  if (i == m_selectedNode) {
    surface.SetPenColor(m_clickedEdgeColor);
  } else if (i != m_hoverNode) {
    if (!m_temporalMask && hasColor) surface.SetPenColor(m_outlineContrast ? OutlineOf(cluster) : color);
  } else {
    surface.SetPenColor(m_pointEdgeColor);
  }
  if (hasColor) surface.SetFillColor(color);

  const float x = m_x[i];
  const float y = m_y[i];
  const float s = DrawnHalfWidth(i);
  const float h = DrawnHalfHeight(i);
  switch (m_nodeShape) {
    case 0:
      surface.Rectangle(x - s, y - h, x + s, y + h, RectangleStyle::Outline);
      break;
    case 1:
      surface.Rectangle(x - s, y - h, x + s, y + h, RectangleStyle::FilledWithPen);
      break;
    case 2:
      surface.Circle(x, y, s);
      break;
    case 3:
      surface.SetFillStyle(FillStyle::Solid);
      surface.Circle(x, y, s);
      surface.SetFillStyle(FillStyle::Transparent);
      break;
    default:
      break;
  }
}

void PointMap2D::ZoomTo(int32_t node, float percent) {
  CheckIndex(node, m_x.size());
  const double halfWidth = m_dataWidth / (percent * 0.02);
  const double halfHeight = m_dataHeight / (percent * 0.02);
  m_viewXMin = static_cast<float>(m_x[node] - halfWidth);
  m_viewXMax = static_cast<float>(m_x[node] + halfWidth);
  m_viewYMin = static_cast<float>(m_y[node] - halfHeight);
  m_viewYMax = static_cast<float>(m_y[node] + halfHeight);
  RenderView(true, false);
}

}  // namespace wendrel
