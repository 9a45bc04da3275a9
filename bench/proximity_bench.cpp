// The network code's table pipeline on synthetic corpora of 1k, 5k and 20k documents: cosine
// similarities of the documents, made symmetric, as a dense table (built straight, without the sparse
// matrix), loaded into a proximity matrix, its spanning tree and the tree's dot text. (The map grows
// its tree from rows of cosines without the table; article_map_bench measures it.) Each stage's seconds and
// the process's peak memory are reported as counters (sizes run in increasing order, so the peak
// belongs to the size shown).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "platform/host.h"
#include "proximity/proximity_matrix.h"
#include "sparse/sparse_matrix_single.h"

namespace {

constexpr int kVocabulary = 20000;
constexpr int kTermsPerDocument = 60;
// Terms in more than this share of the documents are left out, as the map's document-frequency
// filter does (otherwise nearly every pair would share a word).
constexpr double kMaximumDocumentShare = 0.75;

class QuietHost : public wendrel::Host {
 public:
  void DoEvents() override {}
  wendrel::MessageResult MessageBox(const std::string&, const std::string&, wendrel::MessageIcon,
                                    wendrel::MessageButtons) override {
    return wendrel::MessageResult::Ok;
  }
  void SetBusy(bool) override {}
  void SetClipboardText(const std::string&) override {}
  bool OpenAddress(const std::string&) override { return false; }
};

// A terms x documents matrix of tf-idf-like weights over Zipf-distributed terms. Documents keep
// only the terms drawn for them, so the corpus adds little to the peak memory measured.
wendrel::SparseMatrixSingle Corpus(int documents) {
  std::vector<double> weights;
  for (int w = 0; w < kVocabulary; ++w) weights.push_back(1.0 / (w + 1));
  std::mt19937 random(42);
  std::discrete_distribution<int> zipf(weights.begin(), weights.end());
  std::vector<std::vector<int>> terms(static_cast<size_t>(documents));  // each document's terms, ascending
  std::vector<int> documentFrequency(kVocabulary + 1, 0);
  for (auto& document : terms) {
    for (int k = 0; k < kTermsPerDocument; ++k) document.push_back(1 + zipf(random));
    std::sort(document.begin(), document.end());
    for (size_t k = 0; k < document.size(); ++k)
      if (k == 0 || document[k] != document[k - 1]) ++documentFrequency[static_cast<size_t>(document[k])];
  }
  wendrel::SparseMatrixSingle tdm;
  tdm.Reset(kVocabulary, documents);
  for (int d = 1; d <= documents; ++d) {
    std::vector<int32_t> indexes;
    std::vector<float> values;
    const auto& document = terms[static_cast<size_t>(d - 1)];
    for (size_t k = 0; k < document.size();) {
      const int t = document[k];
      size_t count = 0;
      for (; k < document.size() && document[k] == t; ++k) ++count;
      int df = documentFrequency[static_cast<size_t>(t)];
      if (df > kMaximumDocumentShare * documents) continue;
      indexes.push_back(t);
      values.push_back(static_cast<float>(static_cast<double>(count) * std::log(double(documents) / df)));
    }
    tdm.Vector(d).SetElements(std::move(indexes), std::move(values), kVocabulary);
  }
  return tdm;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void MapPipeline(benchmark::State& state) {
  const auto documents = static_cast<int32_t>(state.range(0));
  QuietHost host;
  const wendrel::SparseMatrixSingle tdm = Corpus(documents);
  double similarity = 0, dense = 0, tree = 0, dot = 0, links = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::vector<float> table = tdm.GetSymmetricSimilarityTable(tdm, 2, &host);
    similarity = Seconds(start);

    start = std::chrono::steady_clock::now();
    wendrel::ProximityMatrix matrix(host);
    matrix.SetFromDense(std::move(table), documents, 1);
    dense = Seconds(start);

    start = std::chrono::steady_clock::now();
    int32_t startNode = -1;
    wendrel::ProximityMatrix spanningTree = matrix.Transform2MST(startNode);
    tree = Seconds(start);

    start = std::chrono::steady_clock::now();
    uint8_t firstNode = 1;
    std::string text = spanningTree.Matrix2Dot(1, firstNode, "", 0, 1);
    dot = Seconds(start);
    links = static_cast<double>(std::count(text.begin(), text.end(), '\n')) - 3;
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["similarity_s"] = similarity;
  state.counters["dense_s"] = dense;
  state.counters["tree_s"] = tree;
  state.counters["dot_s"] = dot;
  state.counters["tree_links"] = links;
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(MapPipeline)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
