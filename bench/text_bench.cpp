// Text-analysis throughput on synthetic corpora of 1k, 10k and 100k documents: tokens per second
// of Preprocess, the time of BuildVocab + BuildTDM + WeightMatrixValues, and the whole pipeline;
// and words per second of the stemmer (bench/stem_speed.sh times `wendrel stem` beside Snowball's).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/scripted_host.h"
#include "text/document_set.h"
#include "text/porter.h"
#include "text/term_document_matrix.h"

namespace {

constexpr int kVocabulary = 20000;
constexpr int kTokensPerDocument = 60;

// Word w: lower-case letters of length 3..10 drawn from a generator seeded with w.
std::string Word(int w) {
  std::mt19937 random(static_cast<unsigned>(w) * 2654435761u);
  std::string word(3 + random() % 8, 'a');
  for (char& c : word) c = static_cast<char>('a' + random() % 26);
  return word;
}

// Documents of title-and-abstract-like text: Zipf-distributed words, capitals, punctuation, digits.
struct Corpus {
  explicit Corpus(int documents) {
    std::vector<std::string> words;
    std::vector<double> weights;
    for (int w = 0; w < kVocabulary; ++w) {
      words.push_back(Word(w));
      weights.push_back(1.0 / (w + 1));
    }
    std::mt19937 random(42);
    std::discrete_distribution<int> zipf(weights.begin(), weights.end());
    for (int d = 0; d < documents; ++d) {
      std::string title, abstract;
      for (int k = 0; k < kTokensPerDocument; ++k) {
        std::string word = words[static_cast<size_t>(zipf(random))];
        if (k % 11 == 0) word[0] = static_cast<char>(word[0] - 32);
        std::string& target = k < 8 ? title : abstract;
        target += word;
        target += k % 9 == 8 ? ", " : (k % 17 == 16 ? " (2019) " : " ");
      }
      rows.push_back({title, abstract});
    }
    stopWords = (std::filesystem::temp_directory_path() / "text_bench_stop_words.txt").string();
    std::ofstream out(stopWords);
    for (int w = 0; w < 50; ++w) out << Word(w) << "\n";
  }
  std::vector<std::vector<std::string>> rows;
  std::string stopWords;
};

const Corpus& CorpusOf(int documents) {
  static std::vector<std::pair<int, Corpus*>> made;
  for (auto& [n, corpus] : made)
    if (n == documents) return *corpus;
  made.emplace_back(documents, new Corpus(documents));
  return *made.back().second;
}

void Assign(const Corpus& corpus, wendrel::DocumentSet& set, wendrel::TermDocumentMatrix& tdm) {
  set.SetDocuments(corpus.rows, 6, static_cast<int32_t>(corpus.rows.size()));
  int32_t n = set.DocumentCount();
  tdm.AssignText(set, n, false);
}

void BM_Preprocess(benchmark::State& state) {
  const Corpus& corpus = CorpusOf(static_cast<int>(state.range(0)));
  wendrel::ScriptedHost host;
  for (auto _ : state) {
    state.PauseTiming();
    wendrel::DocumentSet set(host);
    wendrel::TermDocumentMatrix tdm(host);
    Assign(corpus, set, tdm);
    state.ResumeTiming();
    tdm.Preprocess(false, true, 3, corpus.stopWords, false);
    benchmark::DoNotOptimize(tdm.Text(1));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * kTokensPerDocument);
}

void BM_BuildAndWeight(benchmark::State& state) {
  const Corpus& corpus = CorpusOf(static_cast<int>(state.range(0)));
  wendrel::ScriptedHost host;
  int64_t stored = 0;
  for (auto _ : state) {
    state.PauseTiming();
    wendrel::DocumentSet set(host);
    wendrel::TermDocumentMatrix tdm(host);
    Assign(corpus, set, tdm);
    tdm.Preprocess(false, true, 3, corpus.stopWords, false);
    state.ResumeTiming();
    tdm.BuildVocab(0, 999);
    tdm.BuildTDM(2, static_cast<int32_t>(std::nearbyint(0.75 * tdm.DocCount())));
    tdm.WeightMatrixValues(1);
    state.PauseTiming();
    stored = 0;
    for (int32_t d = 1; d <= tdm.DocCount(); ++d) stored += tdm.Matrix().Vector(d).NZElementCount();
    state.ResumeTiming();
  }
  state.counters["terms_x_docs_stored"] = static_cast<double>(stored);
  state.SetItemsProcessed(state.iterations() * state.range(0) * kTokensPerDocument);
}

// AssignText to weights: the pipeline of the article map on one core.
void BM_EndToEnd(benchmark::State& state) {
  const Corpus& corpus = CorpusOf(static_cast<int>(state.range(0)));
  wendrel::ScriptedHost host;
  for (auto _ : state) {
    state.PauseTiming();
    wendrel::DocumentSet set(host);
    set.SetDocuments(corpus.rows, 6, static_cast<int32_t>(corpus.rows.size()));
    state.ResumeTiming();
    wendrel::TermDocumentMatrix tdm(host);
    int32_t n = set.DocumentCount();
    tdm.AssignText(set, n, false);
    tdm.Preprocess(false, true, 3, corpus.stopWords, false);
    tdm.BuildVocab(0, 999);
    tdm.BuildTDM(2, static_cast<int32_t>(std::nearbyint(0.75 * tdm.DocCount())));
    tdm.WeightMatrixValues(1);
    benchmark::DoNotOptimize(tdm.TermCount());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * kTokensPerDocument);
}

// The stemmer alone: corpus words with English suffixes, so that every step has work to do.
void BM_PorterStem(benchmark::State& state) {
  static constexpr const char* kSuffixes[] = {"",     "s",     "ed",    "ing",  "ational", "izer", "ousness", "iveness",
                                              "ical", "ness",  "ement", "sion", "ities",   "ly",   "fulness", "alize"};
  std::vector<std::string> words;
  for (int w = 0; w < 4096; ++w) words.push_back(Word(w) + kSuffixes[w % std::size(kSuffixes)]);
  size_t length = 0;
  for (auto _ : state)
    for (const std::string& word : words) length += wendrel::PorterStem(word).size();
  benchmark::DoNotOptimize(length);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}

BENCHMARK(BM_PorterStem);
BENCHMARK(BM_Preprocess)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAndWeight)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndToEnd)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
