// The whole article map build (documents, term-document matrix, similarities, tree, sfdp layout) on
// synthetic corpora of 1k, 5k and 20k articles, with the generator's short sentences over a few
// hundred words (second argument 0) and with its realistic vocabulary (1), each stage's seconds and
// peak memory as counters, and the time of one redraw of the finished map (edges, nodes, hub
// labels) into a QImage. One size a process gives that size's peak memory (--benchmark_filter).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "article_map/article_map.h"
#include "platform/scripted_host.h"
#include "pointmap/point_map.h"
#include "pointmap/qimage/qimage_surface.h"
#include "pointmap/recording_surface.h"
#include "corpus/corpus_generator.h"
#include "platform/user_folders.h"

namespace wendrel {
namespace {

constexpr int kStages = 5;
constexpr const char* kStageNames[kStages] = {"documents", "matrix", "similarity", "tree", "layout"};

// Titles and abstracts of the corpus `wendrel corpus generate --count N [--realistic-vocabulary]`
// writes (seed 1).
std::vector<MapArticle> Articles(int count, bool realisticVocabulary) {
  std::ostringstream lines;
  GenerateCorpus(static_cast<uint64_t>(count), 1, lines, {realisticVocabulary});
  std::istringstream in(lines.str());
  std::vector<MapArticle> articles;
  for (std::string line; std::getline(in, line);) {
    const auto publication = nlohmann::json::parse(line);
    articles.push_back({publication.at("title").get<std::string>(), publication.at("abstract").get<std::string>()});
  }
  return articles;
}

// The stop words beside the program, or at the top of the build tree above bench/.
std::string StopWords() {
  const std::filesystem::path beside = std::filesystem::path(ProgramFolder()) / "common_words.txt";
  if (std::filesystem::exists(beside)) return beside.string();
  return (std::filesystem::path(ProgramFolder()).parent_path() / "common_words.txt").string();
}

// The process's peak resident memory since the last reset, in megabytes (Linux's VmHWM).
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

// Seconds of processor time this process has used: on a busy machine the stages' own work, where
// their wall-clock time also counts the waits for a processor (the layout runs in a child process
// and shows only in wall-clock time).
double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Starts a new peak from the present resident memory.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct BuiltMap {
  std::shared_ptr<Spatial> graph;
  std::vector<std::string> labels;
};

// The finished maps, kept for the redraw benchmark.
std::map<int, BuiltMap>& BuiltMaps() {
  static std::map<int, BuiltMap> maps;
  return maps;
}

void BM_BuildArticleMap(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool realistic = state.range(1) != 0;
  const std::vector<MapArticle> articles = Articles(count, realistic);
  ScriptedHost host;
  PosixProcessRunner runner;
  const auto work = std::filesystem::temp_directory_path() / ("wendrel_article_map_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  MapBuildSettings settings;
  settings.StopWordPath = StopWords();
  settings.WorkFolder = work.string();

  std::array<double, kStages> seconds{}, processorSeconds{}, peaks{};
  for (auto _ : state) {
    int stage = -1;
    auto stageStart = std::chrono::steady_clock::now();
    double stageProcessorStart = ProcessorSeconds();
    auto endStage = [&] {
      if (stage < 0) return;
      seconds[stage] = std::chrono::duration<double>(std::chrono::steady_clock::now() - stageStart).count();
      processorSeconds[stage] = ProcessorSeconds() - stageProcessorStart;
      peaks[stage] = PeakMegabytes();
    };
    ResetPeak();
    ArticleMap map = BuildArticleMap(articles, host, runner, settings, [&](MapStage s, double) {
      if (static_cast<int>(s) == stage) return;
      endStage();
      stage = static_cast<int>(s);
      ResetPeak();
      stageStart = std::chrono::steady_clock::now();
      stageProcessorStart = ProcessorSeconds();
    });
    endStage();
    // A layout cut short by the time limit on a busy machine still leaves the other stages' figures.
    if (!map.LayoutFailure.empty()) state.SetLabel("layout failed: " + map.LayoutFailure);
    if (!realistic) BuiltMaps()[count] = {map.MapGraph, HubLabels(map, 3)};
    state.counters["edges"] = map.MapGraph->EdgeCount();
  }
  std::filesystem::remove_all(work);
  for (int s = 0; s < kStages; ++s) {
    state.counters[std::string(kStageNames[s]) + "_s"] = seconds[s];
    state.counters[std::string(kStageNames[s]) + "_cpu_s"] = processorSeconds[s];
    state.counters[std::string(kStageNames[s]) + "_peak_MB"] = peaks[s];
  }
}
BENCHMARK(BM_BuildArticleMap)
    ->ArgsProduct({{1000, 5000, 20000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// One full redraw of a built map as the window draws it: edges, disc nodes, labels of the hubs.
void BM_RedrawMap(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  auto built = BuiltMaps().find(count);
  if (built == BuiltMaps().end()) {
    state.SkipWithError("the map of this size was not built (run BM_BuildArticleMap first)");
    return;
  }
  EnsureGuiApplication();
  HeadlessMapWindow window;
  QImageSurface surface(1600, 1200);
  PointMap2D map;
  map.InitializePM2DCtl(window, &surface);
  surface.SetBackColor(Rgb(80, 80, 80));
  map.SetCoordinates(built->second.graph);
  map.SetLabelColor(Rgb(0, 128, 255));
  map.SetNodeShape(3);
  map.SetShowEdges(true);
  map.SetShowNodeLabels(true);
  for (size_t n = 0; n < built->second.labels.size(); ++n) map.SetNodeLabel(static_cast<int32_t>(n), built->second.labels[n]);
  for (auto _ : state) {
    map.RenderView(true, false);
    benchmark::DoNotOptimize(surface.Image().constBits());
  }
}
BENCHMARK(BM_RedrawMap)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace wendrel
