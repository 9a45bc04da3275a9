// The local academic search service at 100k publications: import speed (JSON Lines and OpenAlex
// works), and the latency of the requests the client makes (searches, reference and citing pages,
// retrieval), answered in full (query and JSON reply), one request over HTTP, and the server under
// load from many clients at once. The corpus is built once in a temporary folder.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "corpus/corpus_generator.h"
#include "corpus/corpus_import.h"
#include "openalex/openalex_import.h"
#include "corpus/corpus_reader.h"
#include "service/search_request.h"
#include "corpus/search_service.h"
#include "platform/sqlite_db.h"

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
    // The generated corpus's IDs are numbers.
    SqliteStatement top(db,
                        "SELECT CAST(external_id AS INTEGER) FROM publication ORDER BY citation_count DESC LIMIT 1");
    if (top.Step()) mostCited = top.Int(0);
    SqliteStatement longest(
        db, "SELECT CAST(external_id AS INTEGER) FROM publication ORDER BY reference_count DESC LIMIT 1");
    if (longest.Step()) mostReferencing = longest.Int(0);
    SqliteStatement sample(
        db, "SELECT CAST(external_id AS INTEGER) FROM publication WHERE id % 97 = 0 LIMIT 1000");
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

// The generated corpus as gzipped OpenAlex works, with the bulk real works carry and the import
// passes over (concepts, yearly counts, related works).
std::string OpenAlexLines(uint64_t count) {
  BenchCorpus& corpus = BenchCorpus::Get();
  std::string path = corpus.Scratch("openalex-" + std::to_string(count) + ".jsonl.gz");
  if (std::filesystem::exists(path)) return path;
  std::ifstream in(corpus.JsonLines(count));
  gzFile out = gzopen(path.c_str(), "wb1");
  auto work = [](const nlohmann::json& id) { return "https://openalex.org/W" + id.dump(); };
  for (std::string line; std::getline(in, line);) {
    nlohmann::json p = nlohmann::json::parse(line);
    nlohmann::json w = {{"id", work(p["id"])}, {"title", p["title"]}, {"publication_year", p["year"]},
                        {"cited_by_count", 0}, {"related_works", nlohmann::json::array()},
                        {"concepts", nlohmann::json::array()}, {"counts_by_year", nlohmann::json::array()}};
    nlohmann::json index = nlohmann::json::object();
    std::istringstream words(p.value("abstract", ""));
    int at = 0;
    for (std::string word; words >> word;) index[word].push_back(at++);
    w["abstract_inverted_index"] = index;
    for (const auto& a : p.value("authors", nlohmann::json::array()))
      w["authorships"].push_back({{"author", {{"display_name", a.value("first", "") + " " + a.value("last", "")}}}});
    for (const auto& r : p.value("references", nlohmann::json::array())) w["referenced_works"].push_back(work(r));
    for (int i = 0; i < 10; ++i) {
      w["concepts"].push_back({{"id", "https://openalex.org/C" + std::to_string(i)}, {"display_name", "Concept"},
                               {"level", 2}, {"score", 0.5}});
      w["counts_by_year"].push_back({{"year", 2014 + i}, {"cited_by_count", i}});
      w["related_works"].push_back("https://openalex.org/W" + std::to_string(i + 1));
    }
    std::string text = w.dump() + "\n";
    gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  }
  gzclose(out);
  return path;
}

void BM_ImportOpenAlex(benchmark::State& state) {
  const auto count = static_cast<uint64_t>(state.range(0));
  std::string input = OpenAlexLines(count);
  std::string output = BenchCorpus::Get().Scratch("import-openalex.sqlite");
  for (auto _ : state) ImportOpenAlexCorpus(input, output, [](int64_t, const std::string&) {});
  state.counters["works_per_s"] =
      benchmark::Counter(static_cast<double>(count) * state.iterations(), benchmark::Counter::kIsRate);
  std::filesystem::remove(output);
}
BENCHMARK(BM_ImportOpenAlex)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);

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

// N clients at once, each on its own keep-alive connection, sending a mix of what a chain's growth
// sends: searches, reference and citing pages, retrievals; 8,000 requests in all. Reports the
// throughput, the median and 99th-percentile latency and the failed requests.
void BM_ServiceUnderLoad(benchmark::State& state) {
  BenchCorpus& corpus = BenchCorpus::Get();
  const auto clients = static_cast<int>(state.range(0));
  const int perClient = 8000 / clients;
  const std::string mostCited = std::to_string(corpus.mostCited);
  const std::string mostReferencing = std::to_string(corpus.mostReferencing);
  auto path = [&](int client, int i) -> std::string {
    std::string base = "/json.svc/search?AppId=bench&";
    std::string sample = std::to_string(corpus.sampleIds[(client * 131 + i) % corpus.sampleIds.size()]);
    const std::string firstPage = "&OrderBy=CitationCount&StartIdx=1&EndIdx=100";
    switch ((client + i) % 6) {
      case 0: return base + "FullTextQuery=gene%20expression&StartIdx=1&EndIdx=100";
      case 1: return base + "AuthorQuery=m%C3%BCller&YearStart=2000&YearEnd=2010&StartIdx=1&EndIdx=100";
      case 2: return base + "PublicationID=" + sample + "&ReferenceType=Reference" + firstPage;
      case 3: return base + "PublicationID=" + sample + "&ReferenceType=Citation" + firstPage;
      case 4: return base + "PublicationID=" + mostCited + "&ReferenceType=Citation&OrderBy=CitationCount&StartIdx=" +
                     std::to_string(1 + 100 * (i % 5)) + "&EndIdx=" + std::to_string(100 + 100 * (i % 5));
      default: return base + "PublicationID=" + (i % 2 ? mostReferencing : sample) + "&StartIdx=1&EndIdx=1";
    }
  };
  SearchService service(corpus.Corpus());
  int port = service.Start();
  std::vector<double> latencies;
  std::atomic<int> errors{0};
  double seconds = 0;
  for (auto _ : state) {
    std::vector<std::vector<double>> perThread(clients);
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
      threads.emplace_back([&, c] {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        client.set_read_timeout(30);
        for (int i = 0; i < perClient; ++i) {
          auto begin = std::chrono::steady_clock::now();
          auto reply = client.Get(path(c, i).c_str());
          if (!reply || reply->status != 200) ++errors;
          auto took = std::chrono::steady_clock::now() - begin;
          perThread[c].push_back(std::chrono::duration<double, std::milli>(took).count());
        }
      });
    for (auto& t : threads) t.join();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (auto& l : perThread) latencies.insert(latencies.end(), l.begin(), l.end());
  }
  std::sort(latencies.begin(), latencies.end());
  auto at = [&](double q) { return latencies[static_cast<size_t>(q * (latencies.size() - 1))]; };
  state.counters["requests_per_s"] = static_cast<double>(latencies.size()) / seconds;
  state.counters["p50_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["errors"] = errors.load();
  state.counters["requests"] = static_cast<double>(latencies.size());
}
BENCHMARK(BM_ServiceUnderLoad)->Arg(8)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace wendrel
