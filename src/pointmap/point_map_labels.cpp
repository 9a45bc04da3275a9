// PointMap2D legibility: nodes kept visible at every zoom, outlines that stand out from the
// background, labels placed without overlap, and the legend.
#include <algorithm>
#include <cmath>
#include <limits>

#include "pointmap/point_map.h"

namespace wendrel {

namespace {

constexpr double kTextContrast = 4.5;
// Room between a node and its label, and between the legend and the surface's edge, in pixels.
constexpr float kLabelGap = 2;
constexpr float kLegendMargin = 8;
constexpr float kLegendPadding = 6;
constexpr float kLegendDisc = 5;
constexpr Color kLegendPlate = Rgb(40, 40, 40);
constexpr Color kLegendText = Rgb(235, 235, 235);
// Label boxes are looked up in square cells of this many pixels.
constexpr float kCellPixels = 32;

double Linear(uint8_t component) {
  const double c = component / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Color color) {
  return 0.2126 * Linear(RedOf(color)) + 0.7152 * Linear(GreenOf(color)) + 0.0722 * Linear(BlueOf(color));
}

uint8_t Mix(uint8_t from, uint8_t to, double t) {
  return static_cast<uint8_t>(std::lround(from + (static_cast<double>(to) - from) * t));
}

bool Intersect(const LabelBox& a, const LabelBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Boxes by the grid cells they cover, so a new label is checked only against its neighbours.
class BoxGrid {
 public:
  BoxGrid(float width, float height)
      : m_columns(std::max(1, static_cast<int>(std::ceil(width / kCellPixels)))),
        m_rows(std::max(1, static_cast<int>(std::ceil(height / kCellPixels)))),
        m_cells(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows)) {}

  bool Collides(const LabelBox& box) const {
    bool hit = false;
    ForCells(box, [&](std::vector<size_t>& cell) {
      for (size_t k : cell) hit = hit || Intersect(box, m_boxes[k]);
    });
    return hit;
  }

  void Add(const LabelBox& box) {
    const size_t k = m_boxes.size();
    m_boxes.push_back(box);
    ForCells(box, [k](std::vector<size_t>& cell) { cell.push_back(k); });
  }

 private:
  template <typename F>
  void ForCells(const LabelBox& box, F f) const {
    const auto clampColumn = [this](float x) {
      return std::clamp(static_cast<int>(x / kCellPixels), 0, m_columns - 1);
    };
    const auto clampRow = [this](float y) { return std::clamp(static_cast<int>(y / kCellPixels), 0, m_rows - 1); };
    for (int row = clampRow(box.top); row <= clampRow(box.bottom); ++row) {
      for (int column = clampColumn(box.left); column <= clampColumn(box.right); ++column) {
        f(m_cells[static_cast<size_t>(row) * static_cast<size_t>(m_columns) + static_cast<size_t>(column)]);
      }
    }
  }

  int m_columns;
  int m_rows;
  std::vector<LabelBox> m_boxes;
  mutable std::vector<std::vector<size_t>> m_cells;
};

}  // namespace

double ContrastRatio(Color a, Color b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Color ContrastingShade(Color color, Color background, double least) {
  if (ContrastRatio(color, background) >= least) return color;
  const uint8_t toward = Luminance(background) < 0.18 ? 255 : 0;
  for (int step = 1; step <= 20; ++step) {
    const double t = step / 20.0;
    const Color shade =
        Rgb(Mix(RedOf(color), toward, t), Mix(GreenOf(color), toward, t), Mix(BlueOf(color), toward, t));
    if (ContrastRatio(shade, background) >= least) return shade;
  }
  return Rgb(toward, toward, toward);
}

void PointMap2D::SetOutlineContrast(bool on, Color background) {
  m_outlineContrast = on;
  m_outlineBackground = background;
}

Color PointMap2D::OutlineOf(int16_t cluster) {
  const auto k = static_cast<size_t>(cluster);
  if (!m_outlineKnown[k]) {
    m_outlines[k] = ContrastingShade(m_clusterColors[k], m_outlineBackground);
    m_outlineKnown[k] = true;
  }
  return m_outlines[k];
}

float PointMap2D::PixelsPerWorldX() const {
  if (!m_surface || m_viewXMax == m_viewXMin) return 0;
  return m_surface->GetPlacement().width / (m_viewXMax - m_viewXMin);
}

float PointMap2D::PixelsPerWorldY() const {
  if (!m_surface || m_viewYMax == m_viewYMin) return 0;
  return m_surface->GetPlacement().height / (m_viewYMax - m_viewYMin);
}

float PointMap2D::DrawnHalfSize(int32_t i, float scale) const {
  float size = m_nodeSize[i];
  if (scale > 0) {
    if (m_maximumNodePixels > 0) size = std::min(size, m_maximumNodePixels / scale);
    if (m_minimumNodePixels > 0) size = std::max(size, m_minimumNodePixels / scale);
  }
  return FrontNode(i) ? size * m_frontEnlarge : size;
}

float PointMap2D::DrawnHalfWidth(int32_t i) const { return DrawnHalfSize(i, std::fabs(PixelsPerWorldX())); }

float PointMap2D::DrawnHalfHeight(int32_t i) const { return DrawnHalfSize(i, std::fabs(PixelsPerWorldY())); }

void PointMap2D::DrawPlacedLabels() {
  Surface& surface = *m_surface;
  const Placement picture = surface.GetPlacement();
  const float scaleX = PixelsPerWorldX();
  const float scaleY = PixelsPerWorldY();
  const auto pixelX = [&](float x) { return (x - m_viewXMin) * scaleX; };
  const auto pixelY = [&](float y) { return (y - m_viewYMin) * scaleY; };
  const auto priority = [this](int32_t i) {
    const auto k = static_cast<size_t>(i);
    return k < m_labelPlacement.priority.size() ? m_labelPlacement.priority[k] : 0.0f;
  };
  // The node's shape as drawn, in pixels: a circle's radius follows the horizontal scale alone.
  const bool circles = m_nodeShape == 2 || m_nodeShape == 3;
  const auto nodeBox = [&](int32_t i) {
    const float halfWidth = DrawnHalfWidth(i) * std::fabs(scaleX);
    const float halfHeight = circles ? halfWidth : DrawnHalfHeight(i) * std::fabs(scaleY);
    const float cx = pixelX(m_x[i]);
    const float cy = pixelY(m_y[i]);
    return LabelBox{i, cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight};
  };

  BoxGrid taken(picture.width, picture.height);
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    const auto k = static_cast<size_t>(i);
    if (k < m_labelPlacement.keepClear.size() && m_labelPlacement.keepClear[k] && NodeVisible(i)) taken.Add(nodeBox(i));
  }
  const LabelBox legend = LegendBox();
  if (legend.right > legend.left) taken.Add(legend);

  std::vector<int32_t> candidates;
  const float threshold = m_nodeLabelThreshold;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (m_weight[i] < threshold || static_cast<size_t>(i) >= m_labels.size() || m_labels[i].empty()) continue;
    if (NodeVisible(i)) candidates.push_back(i);
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](int32_t a, int32_t b) { return priority(a) > priority(b); });

  surface.SetPenColor(m_outlineContrast ? ContrastingShade(m_labelColor, m_outlineBackground, kTextContrast)
                                         : m_labelColor);
  for (const int32_t i : candidates) {
    const auto [width, height] = surface.TextPixelSize(m_labels[i]);
    if (width <= 0 || height <= 0) continue;
    const LabelBox node = nodeBox(i);
    const float cx = (node.left + node.right) / 2;
    const float cy = (node.top + node.bottom) / 2;
    // Right of the node first (read as belonging to it), then left, above and below.
    const float lefts[4] = {node.right + kLabelGap, node.left - kLabelGap - width, cx - width / 2, cx - width / 2};
    const float tops[4] = {cy - height / 2, cy - height / 2, node.top - kLabelGap - height, node.bottom + kLabelGap};
    for (int place = 0; place < 4; ++place) {
      const LabelBox box{i, lefts[place], tops[place], lefts[place] + width, tops[place] + height};
      if (box.left < 0 || box.top < 0 || box.right > picture.width || box.bottom > picture.height) continue;
      if (taken.Collides(box)) continue;
      taken.Add(box);
      m_drawnLabels.push_back(box);
      surface.Text(m_viewXMin + box.left / scaleX, m_viewYMin + box.top / scaleY, m_labels[i]);
      break;
    }
  }
}

LabelBox PointMap2D::LegendBox() {
  if (m_legend.empty() || !m_surface || PixelsPerWorldX() == 0 || PixelsPerWorldY() == 0) return {};
  float textWidth = 0;
  float rowHeight = 2 * kLegendDisc;
  for (const LegendEntry& entry : m_legend) {
    const auto [width, height] = m_surface->TextPixelSize(entry.text);
    textWidth = std::max(textWidth, width);
    rowHeight = std::max(rowHeight, height);
  }
  const float width = 2 * kLegendPadding + 2 * kLegendDisc + kLegendPadding + textWidth;
  const float height = 2 * kLegendPadding + rowHeight * static_cast<float>(m_legend.size());
  // The corner where the legend hides the fewest nodes (drawn size and all).
  const Placement picture = m_surface->GetPlacement();
  const float scaleX = PixelsPerWorldX();
  const float scaleY = PixelsPerWorldY();
  const float right = picture.width - kLegendMargin - width;
  const float bottom = picture.height - kLegendMargin - height;
  const LabelBox corners[4] = {{-1, kLegendMargin, kLegendMargin, kLegendMargin + width, kLegendMargin + height},
                               {-1, right, kLegendMargin, right + width, kLegendMargin + height},
                               {-1, kLegendMargin, bottom, kLegendMargin + width, bottom + height},
                               {-1, right, bottom, right + width, bottom + height}};
  size_t best = 0;
  int32_t fewest = std::numeric_limits<int32_t>::max();
  for (size_t k = 0; k < 4 && fewest > 0; ++k) {
    int32_t covered = 0;
    for (int32_t i = 0; i < m_nodeCount; ++i) {
      if (!NodeVisible(i)) continue;
      const float cx = (m_x[i] - m_viewXMin) * scaleX;
      const float cy = (m_y[i] - m_viewYMin) * scaleY;
      const float rx = DrawnHalfWidth(i) * std::fabs(scaleX);
      const float ry = DrawnHalfHeight(i) * std::fabs(scaleY);
      covered += Intersect(corners[k], LabelBox{i, cx - rx, cy - ry, cx + rx, cy + ry}) ? 1 : 0;
    }
    if (covered < fewest) {
      fewest = covered;
      best = k;
    }
  }
  return corners[best];
}

void PointMap2D::DrawLegend() {
  m_drawnLegend = LegendBox();
  if (m_drawnLegend.right <= m_drawnLegend.left) return;
  Surface& surface = *m_surface;
  const float scaleX = PixelsPerWorldX();
  const float scaleY = PixelsPerWorldY();
  const auto worldX = [&](float px) { return m_viewXMin + px / scaleX; };
  const auto worldY = [&](float py) { return m_viewYMin + py / scaleY; };
  const LabelBox& box = m_drawnLegend;
  surface.SetPenColor(kLegendPlate);
  surface.Rectangle(worldX(box.left), worldY(box.top), worldX(box.right), worldY(box.bottom),
                    RectangleStyle::FilledWithPen);
  const float rowHeight = (box.bottom - box.top - 2 * kLegendPadding) / static_cast<float>(m_legend.size());
  for (size_t k = 0; k < m_legend.size(); ++k) {
    const float rowTop = box.top + kLegendPadding + rowHeight * static_cast<float>(k);
    const float discX = box.left + kLegendPadding + kLegendDisc;
    const float discY = rowTop + rowHeight / 2;
    surface.SetPenColor(ContrastingShade(m_legend[k].color, kLegendPlate));
    surface.SetFillColor(m_legend[k].color);
    surface.SetFillStyle(FillStyle::Solid);
    surface.Circle(worldX(discX), worldY(discY), kLegendDisc / std::fabs(scaleX));
    surface.SetFillStyle(FillStyle::Transparent);
    const float textHeight = surface.TextPixelSize(m_legend[k].text).second;
    surface.SetPenColor(kLegendText);
    surface.Text(worldX(discX + kLegendDisc + kLegendPadding), worldY(discY - textHeight / 2), m_legend[k].text);
  }
}

}  // namespace wendrel
