// PointMap2D: the interactive 2-D map of a network — its model (positions, weights, sizes,
// clusters, labels, colours), drawing, mouse/keyboard/timer handling, and coordinate loading.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "layout/spatial.h"
#include "pointmap/surface.h"

namespace wendrel {

// An index outside the node lists, a value that does not fit, or a file that cannot be read.
class PointMapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the map tells its owner. Any of them may be left empty.
struct PointMapEvents {
  std::function<void(int32_t node)> OnNewNodeOver;  // -1 when the mouse left every node
  std::function<void(int32_t node)> OnNodeClick;
  std::function<void()> SelectionStarted;
  std::function<void()> SelectionEnded;
  std::function<void()> ViewChanged;
};

// Mouse buttons of the handlers (a bit set for MouseMove).
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;

// Contrast ratio of two colours by their relative luminance (1 to 21), as legibility rules count it.
double ContrastRatio(Color a, Color b);
// color itself when it stands out from background by at least least:1 (3:1 for shapes, 4.5:1 for
// text); otherwise the nearest shade of its hue, mixed towards white (on a dark background) or black
// (on a light one), that does.
Color ContrastingShade(Color color, Color background, double least = 3.0);

// One line of the map's legend: a disc in color and its text.
struct LegendEntry {
  std::string text;
  Color color = 0;
};

// Where a label was written, in pixels of the surface (left, top inclusive; right, bottom exclusive).
struct LabelBox {
  int32_t node = -1;
  float left = 0, top = 0, right = 0, bottom = 0;
};

// How labels are placed when placement is on: in order of priority (higher first, then lower node
// index), each beside its node where it covers no label already written, no node marked keepClear
// and not the legend; a label that finds no such place is left out. Entries missing from either
// list count as 0 and false.
struct LabelPlacement {
  bool enabled = false;
  std::vector<float> priority;
  std::vector<bool> keepClear;
};

// Nodes are indexed from 0. Positions, sizes and the view are in world units (the layout's own);
// world Y grows downwards on the surface. Colours are packed RGB (see Color). The map draws on a
// Surface given by InitializePM2DCtl and does nothing visible before. Every handler runs on the
// window thread; handlers that give the event loop a turn may see other handlers run meanwhile.
class PointMap2D {
 public:
  PointMap2D();

  PointMapEvents& Events() { return m_events; }

  // --- Model -------------------------------------------------------------------------------
  Color LabelColor() const { return m_labelColor; }
  void SetLabelColor(Color color) { m_labelColor = color; }
  bool ShowEdges() const { return m_showEdges; }
  void SetShowEdges(bool show) { m_showEdges = show; }
  bool ShowNodeLabels() const { return m_showNodeLabels; }
  void SetShowNodeLabels(bool show) { m_showNodeLabels = show; }
  // With the mask on, ordinary nodes keep whatever pen colour was last set as their outline.
  bool TemporalMask() const { return m_temporalMask; }
  void SetTemporalMask(bool mask) { m_temporalMask = mask; }
  int16_t NodeLabelThreshold() const { return m_nodeLabelThreshold; }
  void SetNodeLabelThreshold(int16_t threshold) { m_nodeLabelThreshold = threshold; }
  // 0 square, 1 filled square, 2 circle, 3 disc with outline, anything else nothing. Stored as a
  // byte: a value outside 0-255 throws.
  int32_t NodeShape() const { return m_nodeShape; }
  void SetNodeShape(int32_t shape);

  // Reads "" for a negative index; a write past the last label is ignored.
  std::string NodeLabel(int32_t index) const;
  void SetNodeLabel(int32_t index, const std::string& label);
  // Writing either redraws without clearing.
  int32_t SelectedNode() const { return m_selectedNode; }
  void SetSelectedNode(int32_t node);
  int32_t HoverNode() const { return m_hoverNode; }
  void SetHoverNode(int32_t node);
  int16_t NodeCluster(int32_t index) const;
  void SetNodeCluster(int32_t index, int16_t cluster);
  // Writing sets the node's size to weight x BaseNodeSize at once (linear; the size update uses
  // the 0.75 power); a write past the last node is ignored. No redraw.
  float Weight(int32_t index) const;
  void SetWeight(int32_t index, float weight);
  float BaseNodeSize() const { return static_cast<float>(m_baseNodeSize); }
  // Runs the size update, which redraws.
  void SetBaseNodeSize(float size);

  bool IsSet() const { return m_nodeCount >= 1; }
  int32_t NodeCount() const { return m_nodeCount; }
  float NodeX(int32_t index) const;
  float NodeY(int32_t index) const;
  float NodeSize(int32_t index) const;
  float MeanNodeSize() const { return m_meanNodeSize; }
  bool NodeIsPulsing() const { return m_pulseNode >= 0; }
  // Strictly inside the view; true for an index outside the lists.
  bool NodeVisible(int32_t index) const;
  Color GetClusterColor(uint8_t index) const { return m_clusterColors[index]; }
  Surface* PM2DCtlObject() { return m_surface; }
  const std::shared_ptr<const Spatial>& Graph() const { return m_graph; }

  void SetClickedEdgeColor(uint8_t red, uint8_t green, uint8_t blue) { m_clickedEdgeColor = Rgb(red, green, blue); }
  Color ClickedEdgeColor() const { return m_clickedEdgeColor; }
  void SetPointEdgeColor(uint8_t red, uint8_t green, uint8_t blue) { m_pointEdgeColor = Rgb(red, green, blue); }
  Color PointEdgeColor() const { return m_pointEdgeColor; }
  void SetClusterColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue);
  // Entries first..last blend from the first colour to the second, each component rounded half
  // to even; false (and no change) when last - first < 2. Throws when last < first.
  bool SetClusterColorRange(uint8_t first, uint8_t last, uint8_t red1, uint8_t green1, uint8_t blue1, uint8_t red2,
                            uint8_t green2, uint8_t blue2);

  // Labels "1", "2", ... (one per node).
  void SetLabelsAsIndex();
  void ResetNodeLabels(const std::string& text);
  void ResetNodeClusters();
  // weights[i] for every node, then the size update. Returns false.
  bool SetNodeWeights(const std::vector<float>& weights);
  // The degree in Graph as every node's weight, then the size update. Returns false.
  bool SetNodeWeightAsDegree();
  void ResetNodeWeights();
  // Grows the node by factor; the timer shrinks it back (about 22 ticks for factor 3).
  void PulseNode(int32_t index, float factor);
  void TopLeft(float left, float top);
  void BottomRight(float right, float bottom);

  // Data extent (node bounds with a margin) and view window.
  float DataXMin() const { return m_dataXMin; }
  float DataXMax() const { return m_dataXMax; }
  float DataYMin() const { return m_dataYMin; }
  float DataYMax() const { return m_dataYMax; }
  float DataWidth() const { return m_dataWidth; }
  float DataHeight() const { return m_dataHeight; }
  float ViewXMin() const { return m_viewXMin; }
  float ViewXMax() const { return m_viewXMax; }
  float ViewYMin() const { return m_viewYMin; }
  float ViewYMax() const { return m_viewYMax; }

  // --- Drawing -----------------------------------------------------------------------------
  // Takes surface, or a new picture "PM2DMap" on host when surface is null, and starts the
  // 16 ms timer "<name>_ticker". Returns false.
  bool InitializePM2DCtl(MapWindow& host, Surface* surface);
  // Draws edges, nodes, the drag square (zoomBox) and labels; nothing before positions are set.
  // Never throws: a step that cannot be drawn is skipped.
  void RenderView(bool clear, bool zoomBox);
  // Centres the view on node, DataWidth x DataHeight at percent 100.
  void ZoomTo(int32_t node, float percent);

  // --- Legibility (all off on a new map; off, the map draws exactly as above) ----------------
  // Every node is drawn, and can be hovered, at least this many pixels in radius, so no weight makes
  // a node vanish or slip through the pointer at any zoom.
  void SetMinimumNodePixels(float pixels) { m_minimumNodePixels = pixels; }
  float MinimumNodePixels() const { return m_minimumNodePixels; }
  // No node is drawn more than this many pixels in radius (0: no limit), so a sparse layout, whose
  // nodes take their size from its long edges, does not fill the view with a few discs.
  void SetMaximumNodePixels(float pixels) { m_maximumNodePixels = pixels; }
  // Nodes drawn after all others, `enlarge` times their size, so that no other node covers them
  // (the pearls); entries missing count as false.
  void SetFrontNodes(std::vector<bool> front, float enlarge) {
    m_frontNodes = std::move(front);
    m_frontEnlarge = enlarge;
  }
  // Ordinary nodes are outlined in their cluster's hue, lightened (or darkened) until it stands out
  // from background by a contrast of at least 3:1; placed labels are written in a shade of
  // LabelColor that stands out by 4.5:1.
  void SetOutlineContrast(bool on, Color background);
  void SetLabelPlacement(LabelPlacement placement) { m_labelPlacement = std::move(placement); }
  // A legend in the corner of the surface where it covers the fewest nodes (top-left, top-right,
  // bottom-left, bottom-right in that order among equals), over everything else; empty for none.
  void SetLegend(std::vector<LegendEntry> entries) { m_legend = std::move(entries); }
  // The labels the last drawing wrote while placement was on, and the legend's box (pixels; empty
  // when no legend was drawn).
  const std::vector<LabelBox>& DrawnLabels() const { return m_drawnLabels; }
  const LabelBox& DrawnLegend() const { return m_drawnLegend; }
  // The world-to-pixel scale of the view on the surface; 0 when the surface has no size.
  float PixelsPerWorldX() const;
  float PixelsPerWorldY() const;

  // --- Interaction (world coordinates) -------------------------------------------------------
  void MouseMove(int buttons, int shift, float x, float y);
  void MouseDown(int button, int shift, float x, float y);
  void MouseUp(int button, int shift, float x, float y);
  void Click();
  void DoubleClick();
  // Digits pan like a numeric keypad by 3 x BaseNodeSize.
  void KeyPress(int character);
  void KeyUp(int keyCode, int shift);
  void TimerTick();
  // Mouse wheel: magnifies the view by factor (below 1 to zoom out) about the world point (x, y),
  // which stays under the pointer. Zooming out stops at the whole map.
  void WheelZoom(float x, float y, float factor);
  // The whole map again, as a double click shows it, without a mouse gesture to follow.
  void FitView();

  float SelX1() const { return m_selX1; }
  float SelY1() const { return m_selY1; }
  float SelX2() const { return m_selX2; }
  float SelY2() const { return m_selY2; }

  // --- Coordinates ---------------------------------------------------------------------------
  // Positions and edges from a layout; fits the view and sizes the nodes. Returns false. Throws
  // (leaving the map unchanged) when an edge names a node the layout does not have.
  bool SetCoordinates(std::shared_ptr<const Spatial> graph);
  // Vertex lines of a Pajek network file (fixed columns). Throws when the file cannot be opened or
  // a vertex number lies outside 1..nodeCount; the map is unchanged then.
  void LoadPajekCoordinates(const std::string& path, int32_t nodeCount);
  // Tab-separated lines "name, x, y". Throws for a missing file or a short or non-numeric line.
  // Returns false.
  bool LoadCoordinatesTest(const std::string& path, int32_t nodeCount);

 private:
  void CheckIndex(int32_t index, size_t size) const;
  void UpdateNodeSizes();
  void UpdateHoverNode();
  void FitViewToNodes();
  // Node bounds (from the first node) into the data extent, without margins.
  void FindNodeBounds();
  void AddMargins();
  void ViewToDataExtent();
  // Takes loaded positions: lists anew, weights 0, sizes from the node density.
  void TakeFilePositions(std::vector<float> x, std::vector<float> y, double densityFactor);
  void DrawNode(int32_t i);
  // Half-size in world units of the node as drawn and hit: its size, or the minimum in pixels.
  float DrawnHalfWidth(int32_t i) const;
  float DrawnHalfHeight(int32_t i) const;
  // A node's world size within the pixel limits at the given pixels per world unit.
  float DrawnHalfSize(int32_t i, float scale) const;
  bool FrontNode(int32_t i) const { return static_cast<size_t>(i) < m_frontNodes.size() && m_frontNodes[static_cast<size_t>(i)]; }
  // The label of every node whose weight reaches the label threshold, at the node, unplaced.
  void DrawThresholdLabels();
  void DrawPlacedLabels();
  void DrawLegend();
  // The legend's box in pixels, empty (right <= left) when there is none to draw.
  LabelBox LegendBox();
  // The outline of a node in cluster (0-255), worked out once per drawing.
  Color OutlineOf(int16_t cluster);
  void Raise(const std::function<void()>& event);
  void Raise(const std::function<void(int32_t)>& event, int32_t node);
  void DoEvents();

  PointMapEvents m_events;
  MapWindow* m_window = nullptr;
  Surface* m_surface = nullptr;
  std::shared_ptr<const Spatial> m_graph;

  int32_t m_nodeCount = 0;
  std::vector<float> m_x;
  std::vector<float> m_y;
  std::vector<float> m_weight;
  std::vector<float> m_nodeSize;
  std::vector<int16_t> m_cluster;
  std::vector<std::string> m_labels;
  std::array<Color, 256> m_clusterColors{};

  int32_t m_selectedNode = 0;
  int32_t m_hoverNode = 0;
  int32_t m_pulseNode = -1;
  float m_pulseSavedSize = 0;

  float m_dataXMin = 0, m_dataXMax = 0, m_dataYMin = 0, m_dataYMax = 0;
  float m_dataWidth = 0, m_dataHeight = 0;
  float m_viewXMin = 0, m_viewXMax = 0, m_viewYMin = 0, m_viewYMax = 0;
  double m_baseNodeSize = 0;
  float m_meanNodeSize = 0;

  bool m_showEdges = false;
  bool m_showNodeLabels = false;
  int16_t m_nodeLabelThreshold = 0;
  bool m_temporalMask = false;
  uint8_t m_nodeShape = 0;
  Color m_labelColor = Rgb(255, 255, 0);
  Color m_clickedEdgeColor = Rgb(255, 255, 0);
  Color m_pointEdgeColor = Rgb(255, 255, 255);

  float m_mouseX = 0, m_mouseY = 0;
  float m_selX1 = 0, m_selY1 = 0, m_selX2 = 0, m_selY2 = 0;
  bool m_rightZoom = false;
  float m_zoomStep = 0;
  bool m_doubleClicked = false;

  float m_minimumNodePixels = 0;
  float m_maximumNodePixels = 0;
  std::vector<bool> m_frontNodes;
  float m_frontEnlarge = 1;
  bool m_outlineContrast = false;
  Color m_outlineBackground = 0;
  std::array<Color, 256> m_outlines{};
  std::array<bool, 256> m_outlineKnown{};
  LabelPlacement m_labelPlacement;
  std::vector<LegendEntry> m_legend;
  std::vector<LabelBox> m_drawnLabels;
  LabelBox m_drawnLegend;
};

}  // namespace wendrel
