// The local academic search service at 100k publications: import speed, and the latency of the
// requests the client makes (searches, reference and citing pages, retrieval), answered in full
// (query and JSON reply), plus one request over HTTP. The corpus is built once in a temporary
// folder.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "service/corpus_generator.h"
#include "service/corpus_import.h"
#include "service/search_request.h"
#include "service/search_service.h"
#include "service/sqlite_db.h"

namespace wendrel {
namespace {

constexpr uint64_t kPublications = 100000;

class BenchCorpus {
 public:
  static BenchCorpus& Get() {
    static BenchCorpus corpus;
    return corpus;
  }

  std::string JsonLines(uint64_t count) {
    std::string path = (m_dir / ("corpus-" + std::to_string(count) + ".jsonl")).string();
    if (!std::filesystem::exists(path)) {
      std::ofstream out(path, std::ios::binary);
      GenerateCorpus(count, 1, out);
    }
    return path;
  }
  std::string Scratch(const std::string& name) const { return (m_dir / name).string(); }

  const std::string& Corpus() const { return m_corpus; }
  CorpusReader& Reader() { return *m_reader; }
  int64_t mostCited = 0;
  int64_t mostReferencing = 0;
  std::vector<int64_t> sampleIds;

 private:
  BenchCorpus() {
    m_dir = std::filesystem::temp_directory_path() / ("wendrel-service-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(m_dir);
    m_corpus = Scratch("corpus.sqlite");
    ImportCorpus(JsonLines(kPublications), m_corpus, [](int64_t, const std::string&) {});
    m_reader = std::make_unique<CorpusReader>(m_corpus);
    SqliteDb db(m_corpus, SQLITE_OPEN_READONLY);
    SqliteStatement top(db, "SELECT id FROM publication ORDER BY citation_count DESC LIMIT 1");
    if (top.Step()) mostCited = top.Int(0);
    SqliteStatement longest(db, "SELECT id FROM publication ORDER BY reference_count DESC LIMIT 1");
    if (longest.Step()) mostReferencing = longest.Int(0);
    SqliteStatement sample(db, "SELECT id FROM publication WHERE id % 97 = 0 LIMIT 1000");
    while (sample.Step()) sampleIds.push_back(sample.Int(0));
  }
  ~BenchCorpus() {
    m_reader.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  std::filesystem::path m_dir;
  std::string m_corpus;
  std::unique_ptr<CorpusReader> m_reader;
};

void Answer(benchmark::State& state, const QueryParameters& parameters) {
  BenchCorpus& corpus = BenchCorpus::Get();
  QueryParameters request = parameters;
  request.insert(request.begin(), {"AppId", "bench"});
  size_t bytes = 0;
  for (auto _ : state) {
    ServiceReply reply = AnswerSearchRequest(corpus.Reader(), request);
    if (reply.status != 200) state.SkipWithError(reply.body.c_str());
    bytes += reply.body.size();
    benchmark::DoNotOptimize(reply);
  }
  state.counters["reply_bytes"] = benchmark::Counter(static_cast<double>(bytes) / state.iterations());
}

QueryParameters Page(QueryParameters parameters, int start, int end) {
  parameters.push_back({"StartIdx", std::to_string(start)});
  parameters.push_back({"EndIdx", std::to_string(end)});
  return parameters;
}

void BM_Import(benchmark::State& state) {
  BenchCorpus& corpus = BenchCorpus::Get();
  const auto count = static_cast<uint64_t>(state.range(0));
  std::string input = corpus.JsonLines(count);
  std::string output = corpus.Scratch("import.sqlite");
  for (auto _ : state) ImportCorpus(input, output, [](int64_t, const std::string&) {});
  state.counters["publications_per_s"] =
      benchmark::Counter(static_cast<double>(count) * state.iterations(), benchmark::Counter::kIsRate);
  std::filesystem::remove(output);
}
BENCHMARK(BM_Import)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SearchFullText(benchmark::State& state) {
  Answer(state, Page({{"FullTextQuery", "gene expression"}}, 1, 100));
}
BENCHMARK(BM_SearchFullText)->Unit(benchmark::kMillisecond);

void BM_SearchTitle(benchmark::State& state) {
  Answer(state, Page({{"TitleQuery", "coral  bleaching"}}, 1, 100));
}
BENCHMARK(BM_SearchTitle)->Unit(benchmark::kMillisecond);

void BM_SearchAuthorAndYears(benchmark::State& state) {
  Answer(state, Page({{"AuthorQuery", "müller"}, {"YearStart", "2000"}, {"YearEnd", "2010"}}, 1, 100));
}
BENCHMARK(BM_SearchAuthorAndYears)->Unit(benchmark::kMillisecond);

void BM_SearchYearsOnly(benchmark::State& state) {
  Answer(state, Page({{"YearStart", "1990"}, {"YearEnd", "2000"}}, 1, 100));
}
BENCHMARK(BM_SearchYearsOnly)->Unit(benchmark::kMillisecond);

void BM_ReferencesPage(benchmark::State& state) {
  std::string id = std::to_string(BenchCorpus::Get().mostReferencing);
  Answer(state, Page({{"PublicationID", id}, {"ReferenceType", "Reference"}, {"OrderBy", "CitationCount"}}, 1, 100));
}
BENCHMARK(BM_ReferencesPage)->Unit(benchmark::kMillisecond);

// The most cited publication's citing pages: the first, and the fifth (the client's 500 limit).
void BM_CitingPageOfMostCited(benchmark::State& state) {
  std::string id = std::to_string(BenchCorpus::Get().mostCited);
  auto start = static_cast<int>(state.range(0));
  Answer(state, Page({{"PublicationID", id}, {"ReferenceType", "Citation"}, {"OrderBy", "CitationCount"}}, start,
                     start + 99));
}
BENCHMARK(BM_CitingPageOfMostCited)->Arg(1)->Arg(401)->Arg(9901)->Unit(benchmark::kMillisecond);

void BM_Retrieve(benchmark::State& state) {
  BenchCorpus& corpus = BenchCorpus::Get();
  size_t next = 0;
  for (auto _ : state) {
    QueryParameters request = {{"AppId", "bench"},
                               {"PublicationID", std::to_string(corpus.sampleIds[next++ % corpus.sampleIds.size()])},
                               {"StartIdx", "1"},
                               {"EndIdx", "1"}};
    benchmark::DoNotOptimize(AnswerSearchRequest(corpus.Reader(), request));
  }
}
BENCHMARK(BM_Retrieve)->Unit(benchmark::kMicrosecond);

void BM_RetrieveOverHttp(benchmark::State& state) {
  BenchCorpus& corpus = BenchCorpus::Get();
  SearchService service(corpus.Corpus());
  httplib::Client client("127.0.0.1", service.Start());
  client.set_keep_alive(true);
  size_t next = 0;
  for (auto _ : state) {
    std::string path = "/json.svc/search?AppId=bench&PublicationID=" +
                       std::to_string(corpus.sampleIds[next++ % corpus.sampleIds.size()]) + "&StartIdx=1&EndIdx=1";
    auto reply = client.Get(path.c_str());
    if (!reply || reply->status != 200) state.SkipWithError("request failed");
  }
}
BENCHMARK(BM_RetrieveOverHttp)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wendrel
