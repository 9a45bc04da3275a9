// Helpers of the map tests: layouts with given positions and edges, a map drawing on a recording
// surface of a headless window, and its view and data extent.
#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "layout/spatial.h"
#include "layout_fixtures.h"
#include "platform/scripted_host.h"
#include "pointmap/point_map.h"
#include "pointmap/recording_surface.h"

namespace wendrel::test {

// A Spatial holding the given positions (nodes 0..n-1) and edges (0-based ends).
inline std::shared_ptr<const Spatial> MakeLayout(const std::vector<std::pair<double, double>>& positions,
                                                 const std::vector<std::pair<int, int>>& edges = {}) {
  static ScriptedHost host;
  static PosixProcessRunner runner;
  TempDir folder;
  auto spatial = std::make_shared<Spatial>(host, runner);
  spatial->SetWorkFolder(folder.Root().string());
  WriteFile(folder.Path("gvout.txt"), PlainText(10, 10, positions));
  spatial->LoadGVPlain("", 1, static_cast<int32_t>(positions.size()));
  std::vector<DotEdge> dotEdges;
  for (const auto& [from, to] : edges) dotEdges.push_back({from + 1, to + 1, 1.0});
  spatial->SetGraphFromDot(DotText(dotEdges), 1);
  return spatial;
}

// A map initialised on a headless window, drawing on the window's recording picture.
struct MapOnWindow {
  MapOnWindow() {
    map.InitializePM2DCtl(window, nullptr);
    surface = window.Pictures().front().get();
  }
  HeadlessMapWindow window;
  PointMap2D map;
  RecordingSurface* surface = nullptr;
};

// The view window and the data extent as {x min, x max, y min, y max}.
using Extent = std::array<float, 4>;
inline Extent ViewOf(const PointMap2D& map) { return {map.ViewXMin(), map.ViewXMax(), map.ViewYMin(), map.ViewYMax()}; }
inline Extent DataOf(const PointMap2D& map) { return {map.DataXMin(), map.DataXMax(), map.DataYMin(), map.DataYMax()}; }

}  // namespace wendrel::test
