// The session file at the sizes a long search reaches: opening a session (checks, reading every
// article, putting the chain back) of 5k articles / 15k relations and of 20k / 60k, which must take
// under a second; and writing one grown page of 100 articles into a session of 5k and 20k articles,
// which must stay well under 50 ms, as the window waits for it; and marking a thousand articles
// known, change by change and in one batch.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/scripted_host.h"
#include "session/session_file.h"

namespace {

using namespace wendrel;

class NoHttp : public HttpClient {
 public:
  std::unique_ptr<HttpRequestHandle> Get(const std::string&, const std::vector<std::string>& = {}) override {
    return nullptr;
  }
  void AbortAll() override {}
};

CCRecord Article(int64_t id, std::mt19937& random) {
  CCRecord r;
  r.PK = std::to_string(4000000000 + id);
  r.PK.insert(r.PK.begin(), 'W');
  r.Title = "Towards robust article number " + std::to_string(id) + " in citation chaining";
  r.FirstAuthor = "Kowalski, Anna";
  for (int k = 0; k < 6; ++k) r.CoAuthors += "Author" + std::to_string(random() % 1000) + ", Ann, ";
  r.Year = std::to_string(1980 + random() % 45);
  r.Source = "Journal of Information Retrieval Studies";
  r.Keywords = "citation,retrieval,chaining,";
  r.DOI = "10.1000/jirs." + std::to_string(id);
  r.FullTextURL = "https://example.org/works/" + std::to_string(id) + ".pdf";
  // Abstracts of about a hundred and fifty words, as the service's replies carry them.
  for (int k = 0; k < 150; ++k) r.Abstract += "word" + std::to_string(random() % 5000) + ' ';
  r.CitationCount = static_cast<int16_t>(random() % 500);
  r.ReferenceCount = static_cast<int16_t>(random() % 80);
  r.PubType = "Journal";
  return r;
}

// A chain state of `articles` records, records 1 to 200 pearls, each pearl related to
// relations/200 articles (half cited, half citing) on full pages.
ChainState MakeState(int32_t articles, int32_t relations) {
  std::mt19937 random(7);
  ChainState state;
  for (int32_t i = 1; i <= articles; ++i) state.records.push_back(Article(i, random));
  const int32_t pearls = 200, each = relations / pearls;
  for (int32_t p = 1; p <= pearls; ++p) {
    state.records[static_cast<size_t>(p - 1)].IsPearl = true;
    state.pearlOrder.push_back(p);
    GrownPages& grown = state.grown[p];
    for (int32_t k = 0; k < each; ++k) {
      CCRecord& r = state.records[static_cast<size_t>(pearls + (random() % (articles - pearls)))];
      std::string token = std::to_string(p);
      token.insert(token.begin(), ';');
      token += ';';
      if (k % 2 == 0) {
        if (r.CitedPearlList.find(token) != std::string::npos) continue;
        r.IsCited = true;
        ++r.CitedByPearls;
        r.CitedPearlList += token;
      } else {
        if (r.CitingPearlList.find(token) != std::string::npos) continue;
        r.IsCiting = true;
        ++r.CitesPearls;
        r.CitingPearlList += token;
      }
    }
    for (int32_t page = 1; page <= (each / 2 + 99) / 100; ++page) grown.cited[page] = grown.citing[page] = 100;
    grown.citingLimit = each / 2;
  }
  return state;
}

struct SessionOnDisk {
  std::string folder;
  std::string path;
  SessionOnDisk(int32_t articles, int32_t relations) {
    folder = (std::filesystem::temp_directory_path() / ("wendrel-bench-" + std::to_string(getpid()) + "-" +
                                                        std::to_string(articles)))
                 .string();
    std::filesystem::create_directories(folder);
    path = folder + "/session.wendrel";
    ScriptedHost host;
    NoHttp http;
    MASCitationChain chain(host, http, "http://127.0.0.1:1");
    chain.RestoreState(MakeState(articles, relations));
    SessionFile::Create(path, chain, "corpus file bench.sqlite");
  }
  ~SessionOnDisk() { std::filesystem::remove_all(folder); }
};

// A session file opened, restored into a chain that asks no service, and written as it changes.
struct OpenedSession {
  explicit OpenedSession(const std::string& path) : session(SessionFile::Open(path)) {
    session->Restore(chain);
    session->Attach(chain);
  }
  ScriptedHost host;
  NoHttp http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  std::unique_ptr<SessionFile> session;  // detached before the chain goes
};

void BM_OpenSession(benchmark::State& state) {
  SessionOnDisk disk(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  ScriptedHost host;
  NoHttp http;
  int64_t relations = 0;
  for (auto _ : state) {
    MASCitationChain chain(host, http, "http://127.0.0.1:1");
    auto session = SessionFile::Open(disk.path);
    session->Restore(chain);
    benchmark::DoNotOptimize(chain.Count());
    state.PauseTiming();
    relations = session->RelationCount();
    state.ResumeTiming();
  }
  state.counters["relations"] = static_cast<double>(relations);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(disk.path)) / 1e6;
}
BENCHMARK(BM_OpenSession)->Args({5000, 15000})->Args({20000, 60000})->Unit(benchmark::kMillisecond);

// One page of a new pearl's growth: 60 articles the session holds and 40 new ones, merged into the
// chain and written (articles, relations, the fetch's progress) in one transaction.
void BM_WritePage(benchmark::State& state) {
  SessionOnDisk disk(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(0)) * 3);
  OpenedSession opened(disk.path);
  MASCitationChain& chain = opened.chain;
  SessionFile* session = opened.session.get();
  std::mt19937 random(11);
  int64_t nextNew = chain.Count() + 1;
  int32_t pearl = 1;
  int32_t page = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<CCRecord> articles(1);
    for (int k = 0; k < 60; ++k) articles.push_back(chain.GetRecord(201 + static_cast<int32_t>(random() % 4000)));
    for (int k = 0; k < 40; ++k) articles.push_back(Article(nextNew++, random));
    // A new pearl every ten pages, so that relations keep being added.
    if (page % 10 == 0) {
      ++pearl;
      session->GrowthStarted({pearl, PearlRelation::Citing, 1000, 1000, 10, 0});
    }
    ++page;
    state.ResumeTiming();
    MergedPage merged{pearl, PearlRelation::Citing, page % 10 + 1, 100, 1000, 100, {}};
    merged.touched = chain.MergePage(articles, pearl, PearlRelation::Citing);
    session->PageMerged(merged);
  }
  if (!session->WriteError().empty()) state.SkipWithError(session->WriteError().c_str());
}
BENCHMARK(BM_WritePage)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// A thousand articles of a 5k session marked known, as an import of a library does: one
// transaction each, or all in one batch.
void BM_MarkKnown(benchmark::State& state) {
  SessionOnDisk disk(5000, 15000);
  OpenedSession opened(disk.path);
  MASCitationChain& chain = opened.chain;
  SessionFile* session = opened.session.get();
  bool known = true;
  for (auto _ : state) {
    std::optional<SessionFile::Batch> batch;
    if (state.range(0) != 0) batch.emplace(*session);
    for (int32_t i = 1; i <= 1000; ++i) chain.Screenings().SetKnown(i, known);
    known = !known;
  }
  if (!session->WriteError().empty()) state.SkipWithError(session->WriteError().c_str());
}
BENCHMARK(BM_MarkKnown)->ArgName("batch")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
