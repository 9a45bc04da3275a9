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
};

}  // namespace wendrel
