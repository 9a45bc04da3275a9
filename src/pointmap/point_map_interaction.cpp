// PointMap2D interaction: hover and click, drag-square zoom, right-button zoom-out, keypad
// panning, double click to the full view, and the pulse animation on the timer.
#include <cmath>

#include "pointmap/point_map.h"

namespace wendrel {

namespace {
constexpr float kPulseShrink = 0.95f;
constexpr float kZoomStepGrowth = 1.05f;
}  // namespace

void PointMap2D::Raise(const std::function<void()>& event) {
  if (event) event();
}

void PointMap2D::Raise(const std::function<void(int32_t)>& event, int32_t node) {
  if (event) event(node);
}

void PointMap2D::DoEvents() {
  if (m_window) m_window->DoEvents();
}

void PointMap2D::MouseMove(int buttons, int /*shift*/, float x, float y) {
  m_mouseX = x;
  m_mouseY = y;
  if (buttons != 0) {
    // The drag rectangle is kept square in world units; its height follows the horizontal move.
    m_selX2 = x;
    m_selY2 = m_selY1 + (x - m_selX1);
    RenderView(true, true);
    DoEvents();
    return;
  }
  UpdateHoverNode();
}

void PointMap2D::UpdateHoverNode() {
  const int32_t previous = m_hoverNode;
  m_hoverNode = -1;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (!(std::fabs(m_mouseX - m_x[i]) < DrawnHalfWidth(i) && std::fabs(m_mouseY - m_y[i]) < DrawnHalfHeight(i))) {
      continue;
    }
    // Among overlapping nodes the lightest wins, and among equally light ones the first.
    if (m_hoverNode == -1 || m_weight[i] < m_weight[m_hoverNode]) m_hoverNode = i;
  }
  if (m_hoverNode != previous) {
    RenderView(false, false);
    Raise(m_events.OnNewNodeOver, m_hoverNode);
  }
}

void PointMap2D::MouseDown(int button, int /*shift*/, float x, float y) {
  if (button == kLeftButton) {
    m_selX1 = x;
    m_selY1 = y;
    Raise(m_events.SelectionStarted);
  } else if (button == kRightButton) {
    m_rightZoom = true;
    m_zoomStep = m_meanNodeSize;
  }
  RenderView(true, false);
}

void PointMap2D::MouseUp(int button, int /*shift*/, float x, float y) {
  const float dx = std::fabs(x - m_selX1);
  const float dy = std::fabs(y - m_selY1);
  if (dx > m_meanNodeSize && dy > m_meanNodeSize && button == kLeftButton && !m_doubleClicked) {
    // The corners are taken as they are: a drag to the left or upwards gives a reversed view.
    m_viewXMin = m_selX1;
    m_viewYMin = m_selY1;
    m_viewXMax = m_selX2;
    m_viewYMax = m_selY2;
    RenderView(true, false);
    Raise(m_events.SelectionEnded);
    Raise(m_events.ViewChanged);
  }
  if (button == kRightButton) {
    m_rightZoom = false;
    Raise(m_events.ViewChanged);
  }
  m_doubleClicked = false;
}

void PointMap2D::Click() {
  if (m_hoverNode > -1) Raise(m_events.OnNodeClick, m_hoverNode);
  m_selX1 = m_selX2;
  m_selY1 = m_selY2;
  // Stored without redrawing: the owner redraws or pulses in its click handler.
  if (m_hoverNode > -1) m_selectedNode = m_hoverNode;
}

void PointMap2D::DoubleClick() {
  ViewToDataExtent();
  m_doubleClicked = true;
  RenderView(true, false);
  Raise(m_events.ViewChanged);
}

void PointMap2D::WheelZoom(float x, float y, float factor) {
  if (!(factor > 0) || m_nodeCount == 0) return;
  const float width = (m_viewXMax - m_viewXMin) / factor;
  const float height = (m_viewYMax - m_viewYMin) / factor;
  // Deeper than this, single-precision positions no longer tell nodes apart.
  constexpr float kDeepestZoom = 1e-4f;
  if (factor > 1 && std::fabs(width) < m_dataWidth * kDeepestZoom) return;
  if (factor < 1 && (std::fabs(width) >= m_dataXMax - m_dataXMin || std::fabs(height) >= m_dataYMax - m_dataYMin)) {
    ViewToDataExtent();
  } else {
    m_viewXMin = x - (x - m_viewXMin) / factor;
    m_viewXMax = m_viewXMin + width;
    m_viewYMin = y - (y - m_viewYMin) / factor;
    m_viewYMax = m_viewYMin + height;
  }
  RenderView(true, false);
  Raise(m_events.ViewChanged);
  // The node under the pointer is another one now that the map moved beneath it.
  m_mouseX = x;
  m_mouseY = y;
  UpdateHoverNode();
}

void PointMap2D::FitView() {
  ViewToDataExtent();
  RenderView(true, false);
  Raise(m_events.ViewChanged);
}

void PointMap2D::KeyPress(int character) {
  const float step = static_cast<float>(3 * m_baseNodeSize);
  float moveX = 0;
  float moveY = 0;
  switch (character) {
    case '1': moveX = -step; moveY = step; break;
    case '2': moveY = step; break;
    case '3': moveX = step; moveY = step; break;
    case '4': moveX = -step; break;
    case '6': moveX = step; break;
    case '7': moveX = -step; moveY = -step; break;
    case '8': moveY = -step; break;
    case '9': moveX = step; moveY = -step; break;
    default: break;
  }
  m_viewXMin += moveX;
  m_viewXMax += moveX;
  m_viewYMin += moveY;
  m_viewYMax += moveY;
  RenderView(true, false);
  DoEvents();
  Raise(m_events.ViewChanged);
}

void PointMap2D::KeyUp(int keyCode, int /*shift*/) {
  if (keyCode == 56 || keyCode == 52 || keyCode == 50 || keyCode == 54) Raise(m_events.ViewChanged);
}

void PointMap2D::TimerTick() {
  if (m_rightZoom) {
    m_viewXMin = std::max(m_viewXMin - m_zoomStep, m_dataXMin);
    m_viewXMax = std::min(m_viewXMax + m_zoomStep, m_dataXMax);
    m_viewYMin = std::max(m_viewYMin - m_zoomStep, m_dataYMin);
    m_viewYMax = std::min(m_viewYMax + m_zoomStep, m_dataYMax);
    RenderView(true, false);
    if (m_zoomStep < m_dataWidth / 100) m_zoomStep *= kZoomStepGrowth;
  }
  if (m_pulseNode >= 0 && m_pulseNode < m_nodeCount) {
    m_nodeSize[m_pulseNode] *= kPulseShrink;
    if (m_nodeSize[m_pulseNode] <= m_pulseSavedSize) {
      m_nodeSize[m_pulseNode] = m_pulseSavedSize;
      m_pulseNode = -1;
      if (m_window) m_window->SetMousePointer(MousePointer::Default);
    }
    RenderView(true, false);
  }
}

}  // namespace wendrel
