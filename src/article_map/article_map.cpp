// The map build: documents, term-document matrix, similarities, spanning tree and layout, with a
// watch on the layout program so that a failed layout is told to the user once, with its reason.
#include "article_map/article_map.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>

#include "platform/process_runner.h"
#include "proximity/proximity_matrix.h"
#include "proximity/spanning_tree.h"

namespace wendrel {

namespace {

constexpr const char* kLayoutFailedTitle = "Graph layout failed";
constexpr int32_t kFirstNode = 1;
constexpr int32_t kCosine = 2;

// What became of the last program the layout started.
struct LayoutRun {
  bool attempted = false;
  bool started = false;
  std::string program;
  std::optional<WaitResult> lastWait;
  int exitStatus = -1;
};

class WatchedProcess : public RunningProcess {
 public:
  WatchedProcess(std::unique_ptr<RunningProcess> process, LayoutRun& run) : m_process(std::move(process)), m_run(run) {}
  int ProcessId() const override { return m_process->ProcessId(); }
  WaitResult Wait(int sliceMs) override {
    const WaitResult result = m_process->Wait(sliceMs);
    m_run.lastWait = result;
    if (result == WaitResult::Ended) m_run.exitStatus = m_process->ExitStatus();
    return result;
  }
  int ExitStatus() const override { return m_process->ExitStatus(); }

 private:
  std::unique_ptr<RunningProcess> m_process;
  LayoutRun& m_run;
};

// Starts programs through the caller's runner and remembers how the last one ended: the layout
// itself only tells whether it worked, not why not.
class WatchingRunner : public ProcessRunner {
 public:
  explicit WatchingRunner(ProcessRunner& runner) : m_runner(runner) {}
  std::unique_ptr<RunningProcess> Start(const std::string& program, const std::vector<std::string>& arguments) override {
    m_run = LayoutRun{};
    m_run.attempted = true;
    m_run.program = program;
    auto process = m_runner.Start(program, arguments);
    if (!process) return nullptr;
    m_run.started = true;
    return std::make_unique<WatchedProcess>(std::move(process), m_run);
  }
  const LayoutRun& Run() const { return m_run; }

 private:
  ProcessRunner& m_runner;
  LayoutRun m_run;
};

// Hands everything on to the caller's host, except that it counts event-loop turns for the
// progress of a stage and, while the layout runs, keeps the layout's own failure message back so
// that the build can tell the user once, with the reason.
class RelayHost : public Host {
 public:
  explicit RelayHost(Host& host) : m_host(host) {}

  void DoEvents() override {
    m_host.DoEvents();
    if (m_onTurn) m_onTurn();
  }
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override {
    if (m_holdLayoutMessages && title == kLayoutFailedTitle) {
      m_heldMessage = text;
      return MessageResult::Ok;
    }
    return m_host.MessageBox(text, title, icon, buttons);
  }
  void SetBusy(bool busy) override { m_host.SetBusy(busy); }
  void SetClipboardText(const std::string& text) override { m_host.SetClipboardText(text); }
  bool OpenAddress(const std::string& address) override { return m_host.OpenAddress(address); }

  void OnTurn(std::function<void()> onTurn) { m_onTurn = std::move(onTurn); }
  void HoldLayoutMessages(bool hold) { m_holdLayoutMessages = hold; }
  const std::string& HeldMessage() const { return m_heldMessage; }

 private:
  Host& m_host;
  std::function<void()> m_onTurn;
  bool m_holdLayoutMessages = false;
  std::string m_heldMessage;
};

// The laid-out graph with the host and runner it keeps references to, so that MapGraph can be
// kept on its own.
struct LayoutParts {
  LayoutParts(Host& callerHost, ProcessRunner& callerRunner)
      : host(callerHost), runner(callerRunner), graph(host, runner) {}
  RelayHost host;
  WatchingRunner runner;
  Spatial graph;
};

// Why the layout left no usable positions; empty when it laid the tree out.
std::string LayoutFailureReason(const LayoutParts& parts, bool laidOut) {
  const LayoutRun& run = parts.runner.Run();
  const std::string& held = parts.host.HeldMessage();
  if (!run.attempted) {
    if (!held.empty()) return "the working file gvin.txt could not be written in " + parts.graph.WorkFolder();
    return laidOut ? "" : "the layout program was not run";
  }
  if (!run.started) {
    std::error_code ignored;
    if (!std::filesystem::exists(run.program, ignored)) return run.program + " was not found";
    return run.program + " could not be started";
  }
  if (run.lastWait == WaitResult::SliceElapsed) {
    return run.program + " did not finish within " + std::to_string(Spatial::kLayoutTimeLimitMs / 1000) + " seconds";
  }
  if (run.exitStatus > 0) return run.program + " ended with exit status " + std::to_string(run.exitStatus);
  if (!held.empty()) return "the output of " + run.program + " could not be read (" + held + ")";
  return laidOut ? "" : run.program + " failed";
}

void Report(const MapProgress& progress, MapStage stage, double fraction) {
  if (progress) progress(stage, std::min(fraction, 1.0));
}

// Counts the event-loop turns of a stage as its progress, out of the turns expected.
void CountTurns(RelayHost& host, const MapProgress& progress, MapStage stage, double expected) {
  if (!progress) return;
  expected = std::max(expected, 1.0);
  host.OnTurn([&progress, stage, expected, turns = 0.0]() mutable { Report(progress, stage, ++turns / expected); });
}

std::unique_ptr<DocumentSet> MakeDocuments(const std::vector<MapArticle>& articles, Host& host) {
  if (articles.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw std::length_error("too many articles for one map");
  }
  const auto count = static_cast<int32_t>(articles.size());
  auto docs = std::make_unique<DocumentSet>(host);
  docs->InitFieldDefs(kRisFormat, "", "");
  std::vector<std::vector<std::string>> table(articles.size(),
                                              std::vector<std::string>(static_cast<size_t>(docs->FieldCount())));
  for (size_t i = 0; i < articles.size(); ++i) {
    table[i][docs->TitleField()] = articles[i].Title;
    table[i][docs->ContentField()] = articles[i].Abstract;
  }
  docs->SetDocuments(std::move(table), kRisFormat, count);
  return docs;
}

void BuildMatrix(TermDocumentMatrix& tdm, const DocumentSet& docs, const std::string& stopWordPath,
                 const MapProgress& progress) {
  int32_t documents = docs.DocumentCount();
  tdm.AssignText(docs, documents, false);
  Report(progress, MapStage::Matrix, 0.2);
  tdm.Preprocess(false, true, 3, stopWordPath.empty() ? DefaultStopWordPath() : stopWordPath, false);
  Report(progress, MapStage::Matrix, 0.4);
  tdm.BuildVocab(0, 999);
  Report(progress, MapStage::Matrix, 0.6);
  // Rounded to the nearest whole number, halves to even.
  tdm.BuildTDM(2, static_cast<int32_t>(std::nearbyint(0.75 * tdm.DocCount())));
  Report(progress, MapStage::Matrix, 0.8);
  tdm.WeightMatrixValues(1);
}

// The maximum spanning trees of the cosines as dot text, each edge 1 - similarity long: one tree for
// every group of articles linked by shared words. Each tree is the one that the similarity matrix,
// made symmetric, turned into a dense table and reduced by Transform2MST gives from a node of that
// group, and the text is what Matrix2Dot writes for them; it is grown from one row of cosines at a
// time instead of a table of all pairs. A single tree, grown from the strongest link only, would
// leave out every other group: two articles without abstracts under the same title ("Editorial")
// are as similar as can be, and a map of a thousand articles became the tree of those few. No
// cosines (no articles): a graph without links.
std::string TreeDotText(CosineRows* cosines, RelayHost& host) {
  std::vector<LinkRecord> links;
  if (cosines) {
    const int32_t n = cosines->ColCount();
    // A node's row is read once, when it joins its tree; no later row needs its cosines.
    const LinkRow row = [cosines](int32_t node) {
      cosines->Retire(node + 1);
      return cosines->Row(node + 1).data();
    };
    const std::vector<TreeEdge> forest = SpanningForest(n, row, true, &host);
    // Matrix2Dot's links: the pairs one after the other, each as its distance 1 - similarity.
    links.reserve(forest.size());
    for (const TreeEdge& e : forest) links.push_back({1 - e.Value, e.I, e.J});
    std::sort(links.begin(), links.end(), [](const LinkRecord& a, const LinkRecord& b) {
      return std::make_pair(a.I, a.J) < std::make_pair(b.I, b.J);
    });
  }
  return LinksToDot(std::move(links), 1.0f, kFirstNode, host);
}

}  // namespace

ArticleMap BuildArticleMap(const std::vector<MapArticle>& articles, Host& host, ProcessRunner& runner,
                           const MapBuildSettings& settings, const MapProgress& progress) {
  ArticleMap map;
  auto parts = std::make_shared<LayoutParts>(host, runner);
  if (!settings.WorkFolder.empty()) parts->graph.SetWorkFolder(settings.WorkFolder);
  parts->graph.SetLayoutOptions(settings.GraphvizOptions);
  map.MapGraph = std::shared_ptr<Spatial>(parts, &parts->graph);
  map.MapTDM = std::make_unique<TermDocumentMatrix>(host);
  const double nodes = static_cast<double>(articles.size());

  Report(progress, MapStage::Documents, 0);
  map.MapDocs = MakeDocuments(articles, host);
  Report(progress, MapStage::Documents, 1);

  Report(progress, MapStage::Matrix, 0);
  if (!articles.empty()) BuildMatrix(*map.MapTDM, *map.MapDocs, settings.StopWordPath, progress);
  Report(progress, MapStage::Matrix, 1);

  Report(progress, MapStage::Similarity, 0);
  // The rows of cosines between the documents, or for the second order between the columns of the
  // documents' first-order similarities (cosines of their term vectors, made symmetric).
  SparseMatrixSingle firstOrder;
  std::optional<CosineRows> cosines;
  if (!articles.empty()) {
    const SparseMatrixSingle& documents = map.MapTDM->Matrix();
    if (settings.SecondOrder) {
      // One turn per row of the first-order matrix.
      CountTurns(parts->host, progress, MapStage::Similarity, nodes);
      firstOrder = documents.GetSimilarityMatrix(documents, kCosine, &parts->host);
      firstOrder.MakeSymmetric(true);
      parts->host.OnTurn({});
    }
    cosines.emplace(settings.SecondOrder ? firstOrder : documents);
  }
  Report(progress, MapStage::Similarity, 1);

  Report(progress, MapStage::Tree, 0);
  // One turn per node added to the tree and one per line of the dot text.
  CountTurns(parts->host, progress, MapStage::Tree, 2 * nodes);
  map.DotText = TreeDotText(cosines ? &*cosines : nullptr, parts->host);
  parts->host.OnTurn({});
  Report(progress, MapStage::Tree, 1);

  Report(progress, MapStage::Layout, 0);
  if (!articles.empty()) {
    parts->host.HoldLayoutMessages(true);
    const bool laidOut = parts->graph.GraphVisLayout_CLI(settings.GraphvizFolder, settings.GraphvizProgram, map.DotText,
                                                         map.MapDocs->DocumentCount(), kFirstNode);
    parts->host.HoldLayoutMessages(false);
    map.LayoutFailure = LayoutFailureReason(*parts, laidOut);
    if (!map.LayoutFailure.empty()) {
      host.MessageBox("The map could not be laid out: " + map.LayoutFailure + ".", kLayoutFailedTitle,
                      MessageIcon::Exclamation, MessageButtons::Ok);
    }
  }
  Report(progress, MapStage::Layout, 1);
  return map;
}

std::vector<int32_t> TreeDegrees(const ArticleMap& map) {
  if (!map.MapGraph) return {};
  const Spatial& graph = *map.MapGraph;
  std::vector<int32_t> degrees(static_cast<size_t>(std::max(graph.NodeCount(), 0)), 0);
  auto count = [&degrees](int32_t node) {
    if (node >= 0 && static_cast<size_t>(node) < degrees.size()) ++degrees[static_cast<size_t>(node)];
  };
  for (int32_t e = 0; e < graph.EdgeCount(); ++e) {
    const SpatialEdge& edge = graph.Edge(e);
    count(edge.FromNode);
    if (edge.ToNode != edge.FromNode) count(edge.ToNode);
  }
  return degrees;
}

std::vector<std::string> HubLabels(const ArticleMap& map, int minDegree) {
  const std::vector<int32_t> degrees = TreeDegrees(map);
  std::vector<std::string> labels(degrees.size());
  if (!map.MapTDM) return labels;
  const SparseMatrixSingle& matrix = map.MapTDM->Matrix();
  for (size_t n = 0; n < degrees.size(); ++n) {
    if (degrees[n] < minDegree) continue;
    // The two largest weights, the lower term number first among equals: what truncating a copy
    // of the vector to two elements keeps, without a dense copy of the whole vocabulary per node.
    const SparseVectorSingle& terms = matrix.Vector(static_cast<int32_t>(n) + 1);
    int32_t best = -1, second = -1;
    float bestValue = 0, secondValue = 0;
    for (size_t k = 0; k < terms.Indexes().size(); ++k) {
      const float value = terms.Values()[k];
      if (value <= 0) continue;
      if (best < 0 || value > bestValue) {
        second = best;
        secondValue = bestValue;
        best = terms.Indexes()[k];
        bestValue = value;
      } else if (second < 0 || value > secondValue) {
        second = terms.Indexes()[k];
        secondValue = value;
      }
    }
    // A document left without terms gets no label.
    if (best < 0) continue;
    const int32_t first = second < 0 ? best : std::min(best, second);
    const int32_t last = second < 0 ? best : std::max(best, second);
    // A document with one term (or two that read alike) is labelled by the word once.
    const std::string firstTerm = map.MapTDM->Term(first);
    const std::string lastTerm = map.MapTDM->Term(last);
    labels[n] = firstTerm == lastTerm ? firstTerm : firstTerm + "," + lastTerm;
  }
  return labels;
}

std::vector<float> NodeSizeWeights(const std::vector<CCRecord>& records, NodeSize size) {
  const auto mode = static_cast<int>(size);
  if (mode < 0 || mode > 3) throw std::out_of_range("node size " + std::to_string(mode));
  std::vector<float> weights;
  weights.reserve(records.size());
  for (const CCRecord& r : records) {
    switch (size) {
      case NodeSize::Constant: weights.push_back(1.0f); break;
      case NodeSize::LogCitationCount: weights.push_back(static_cast<float>(std::log(r.CitationCount + 1.5))); break;
      case NodeSize::CitedCount:
        weights.push_back(static_cast<float>(std::pow(static_cast<double>(r.CitedByPearls), 1.5)));
        break;
      case NodeSize::CitingCount:
        weights.push_back(static_cast<float>(std::pow(static_cast<double>(r.CitesPearls), 1.5)));
        break;
    }
  }
  return weights;
}

int LargestDegree(const ArticleMap& map) {
  const std::vector<int32_t> degrees = TreeDegrees(map);
  return degrees.empty() ? 0 : *std::max_element(degrees.begin(), degrees.end());
}

}  // namespace wendrel
