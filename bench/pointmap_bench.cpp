// Point map speed: drawing whole maps with edges and labels into a QImage, and hover
// hit-testing on a large map.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/scripted_host.h"
#include "pointmap/article_look.h"
#include "pointmap/point_map.h"
#include "pointmap/qimage/qimage_surface.h"
#include "pointmap/recording_surface.h"

namespace wendrel {
namespace {

// A random tree grown outwards as the layout programs draw one: each node a short step from its
// parent. Built through the same files a layout run leaves.
std::shared_ptr<const Spatial> GrownTree(int nodes) {
  static ScriptedHost host;
  static PosixProcessRunner runner;
  std::mt19937 random(42);
  std::uniform_real_distribution<double> angle(0, 2 * M_PI);
  std::uniform_real_distribution<double> step(0.5, 1.5);
  std::vector<double> x(nodes), y(nodes);
  std::string plain = "graph 1 100 100\n";
  std::string dot = "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n";
  for (int i = 0; i < nodes; ++i) {
    if (i > 0) {
      int parent = std::uniform_int_distribution<int>(std::max(0, i - 50), i - 1)(random);
      double a = angle(random), s = step(random);
      x[i] = x[parent] + s * std::cos(a);
      y[i] = y[parent] + s * std::sin(a);
      dot.append("\t").append(std::to_string(parent + 1)).append(" -- ").append(std::to_string(i + 1));
      dot.append(" [len=0.50000];\r\n");
    }
    plain.append("node ").append(std::to_string(i + 1)).append(" ").append(std::to_string(x[i]));
    plain.append(" ").append(std::to_string(y[i])).append(" 0.1 0.1 x\n");
  }
  dot += "}";
  auto folder = std::filesystem::temp_directory_path() / ("wendrel_map_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "gvout.txt") << plain;
  auto spatial = std::make_shared<Spatial>(host, runner);
  spatial->SetWorkFolder(folder.string());
  spatial->LoadGVPlain("", 1, nodes);
  spatial->SetGraphFromDot(dot, 1);
  std::filesystem::remove_all(folder);
  return spatial;
}

void BM_RenderWithEdgesAndLabels(benchmark::State& state) {
  EnsureGuiApplication();
  const int nodes = static_cast<int>(state.range(0));
  HeadlessMapWindow window;
  QImageSurface surface(1200, 900);
  PointMap2D map;
  map.InitializePM2DCtl(window, &surface);
  map.SetCoordinates(GrownTree(nodes));
  map.SetShowEdges(true);
  map.SetShowNodeLabels(true);
  map.SetLabelsAsIndex();
  map.SetNodeShape(3);
  map.SetNodeWeightAsDegree();
  // Labels on the well-connected nodes only, as the map panel does (range 1), or on every node.
  map.SetNodeLabelThreshold(static_cast<int16_t>(state.range(1)));
  for (auto _ : state) {
    map.RenderView(true, false);
    benchmark::DoNotOptimize(surface.Image().constBits());
  }
}
BENCHMARK(BM_RenderWithEdgesAndLabels)
    ->ArgsProduct({{1000, 10000, 50000}, {0, 3}})
    ->ArgNames({"nodes", "label_threshold"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same drawing with the window's look: labels placed without overlap (pearls first and kept
// clear), nodes at least a few pixels, contrasting outlines and the legend.
void BM_RenderLegible(benchmark::State& state) {
  EnsureGuiApplication();
  const int nodes = static_cast<int>(state.range(0));
  HeadlessMapWindow window;
  QImageSurface surface(1200, 900);
  PointMap2D map;
  map.InitializePM2DCtl(window, &surface);
  ApplyArticleMapLook(map, surface);
  const std::shared_ptr<const Spatial> tree = GrownTree(nodes);
  map.SetCoordinates(tree);
  map.SetShowNodeLabels(true);
  map.SetLabelsAsIndex();
  std::vector<int32_t> degrees(static_cast<size_t>(nodes));
  for (int32_t e = 0; e < tree->EdgeCount(); ++e) {
    ++degrees[static_cast<size_t>(tree->Edge(e).FromNode)];
    ++degrees[static_cast<size_t>(tree->Edge(e).ToNode)];
  }
  std::vector<bool> pearls(static_cast<size_t>(nodes), false);
  for (int i = 0; i < nodes; ++i) {
    // Every degree below the threshold loses its label, as the slider does.
    if (degrees[static_cast<size_t>(i)] < state.range(1)) map.SetNodeLabel(i, "");
  }
  for (int i = 0; i < nodes; i += 500) {
    pearls[static_cast<size_t>(i)] = true;
    map.SetNodeCluster(i, kPearlCluster);
  }
  map.SetLabelPlacement(ArticleLabelPlacement(degrees, pearls));
  for (auto _ : state) {
    map.RenderView(true, false);
    benchmark::DoNotOptimize(surface.Image().constBits());
  }
  state.counters["labels"] = static_cast<double>(map.DrawnLabels().size());
}
BENCHMARK(BM_RenderLegible)
    ->ArgsProduct({{1000, 10000, 50000}, {1, 3}})
    ->ArgNames({"nodes", "min_degree"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Moving the mouse on and off a node of a large map, each move a full hover update. The map has
// no surface, so the redraw on a change costs nothing and only hit-testing is measured.
void BM_HoverHitTest(benchmark::State& state) {
  const int nodes = static_cast<int>(state.range(0));
  PointMap2D map;
  map.SetCoordinates(GrownTree(nodes));
  const float x0 = map.NodeX(nodes / 2), y0 = map.NodeY(nodes / 2);
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    map.MouseMove(0, 0, flip ? x0 : x0 + 1000, y0);
    benchmark::DoNotOptimize(map.HoverNode());
  }
}
BENCHMARK(BM_HoverHitTest)->Arg(50000)->ArgName("nodes")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wendrel
