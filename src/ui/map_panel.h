// MapPanel: the window's map: the "Map" frame with the canvas, its gestures' hint and the label
// slider, the point map drawn on the canvas, and the last build with its settings.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QSize>
#include <QSlider>
#include <cstdint>
#include <optional>
#include <vector>

#include "article_map/article_map.h"
#include "platform/host.h"
#include "platform/process_runner.h"
#include "pointmap/point_map.h"
#include "search_client/cc_record.h"
#include "ui/map_canvas.h"

namespace wendrel {

// The size "Save Map Image" offers for a view of this size: twice the view, or larger where that
// is smaller than 1600 x 1200, in the view's proportions.
QSize DefaultMapImageSize(QSize view);
// Asks the size of a saved map image in a small dialog over parent, in the view's proportions;
// nothing when cancelled.
std::optional<QSize> AskMapImageSize(QWidget* parent, QSize suggested, QSize view);

// Owns the map's state: the point map (DVis), the article map of the last build, the similarity
// order it was built with, the build settings and the node size ticked. Controls keep their
// described names and belong to the window once BuildFrame has put them in it. Nodes count from 0
// (node of chain record i is i - 1); records added since the last build have none. The panel knows
// no list and no menu: the window's map commands drive it.
class MapPanel {
 public:
  explicit MapPanel(Host& host);

  // The frame with its controls, hidden until the map is enabled; the canvas shows DVis.
  QGroupBox* BuildFrame();

  // --- Controls ---
  QGroupBox* VisualizationFrame = nullptr;
  MapCanvas* DVisContainer = nullptr;
  QSlider* LabelDegree = nullptr;
  QLabel* LabelDegreeValue = nullptr;  // the slider's value, beside it
  QLabel* MapHint = nullptr;           // the map's gestures, one line under it
  PointMap2D DVis;

  // The objects of the last build (MapDocs, MapTDM, MapGraph).
  const ArticleMap& Map() const { return m_map; }
  // Where the map's layout program is found; tests point it elsewhere.
  MapBuildSettings& Settings() { return m_settings; }
  // The similarity order of the map drawn: 0 first, 1 second.
  int Order() const { return m_order; }
  NodeSize CurrentNodeSize() const { return m_nodeSize; }
  void SetNodeSize(NodeSize size) { m_nodeSize = size; }

  bool HasNode(int32_t node) const;
  // The degree the labels start from as the user set it (or the settings restored it); a map
  // whose largest degree is smaller shows it on the slider as that degree.
  int WantedLabelDegree() const { return m_labelDegree; }
  void SetLabelDegree(int degree);
  // Builds the map of the articles (chain order) in the similarity order given and draws it; the
  // label slider's range follows the tree's largest degree.
  void Build(const std::vector<MapArticle>& articles, int order, const MapProgress& progress);
  // Puts the last build's graph on the map (an empty one when there is none) and draws it.
  void ShowGraph();
  // Forgets the last build and draws the empty map.
  void Clear();
  void PulseAndWait(int32_t node);
  // Weights for the node size ticked, from the records in chain order.
  void ApplyNodeSize(const std::vector<CCRecord>& records);
  // The hubs' labels from the slider's degree, placed with the pearls' (one flag a node) first.
  void ShowLabels(const std::vector<bool>& pearls);

 private:
  Host& m_host;
  PosixProcessRunner m_runner;
  MapBuildSettings m_settings;
  ArticleMap m_map;
  NodeSize m_nodeSize = NodeSize::Constant;
  int m_order = 0;
  int m_labelDegree = 3;
};

}  // namespace wendrel
