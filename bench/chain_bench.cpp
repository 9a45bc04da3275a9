// Merging a page of 100 service records into citation chains of 1k, 10k and 100k records: the time
// per page must stay flat as the chain grows (look-ups go through hash indexes, not scans).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "chain/citation_chain.h"
#include "platform/scripted_host.h"

namespace {

using wendrel::CCRecord;
using wendrel::MASCitationChain;
using wendrel::PearlRelation;

// Merging never speaks HTTP; the chain only needs a client to hold.
class NoHttp : public wendrel::HttpClient {
 public:
  std::unique_ptr<wendrel::HttpRequestHandle> Get(const std::string&, const std::vector<std::string>& = {}) override {
    return nullptr;
  }
  void AbortAll() override {}
};

CCRecord Article(int64_t id) {
  CCRecord r;
  r.PK = std::to_string(id);
  r.Title = "Towards robust article number " + std::to_string(id) + " in Citation Chaining";
  r.FirstAuthor = "Kowalski, Anna";
  r.Year = "2004";
  r.Abstract = "An abstract of a few words.";
  return r;
}

// A page as a reply gives it (slot 0 empty): 60 articles the chain holds, found by ID; 20 it holds
// under another ID, found by title; 20 new ones.
std::vector<CCRecord> MixedPage(std::mt19937& random, int64_t chainSize, int64_t& nextNew) {
  std::vector<CCRecord> page(1);
  for (int k = 0; k < 60; ++k) page.push_back(Article(1 + static_cast<int64_t>(random() % chainSize)));
  for (int k = 0; k < 20; ++k) {
    CCRecord r = Article(1 + static_cast<int64_t>(random() % chainSize));
    r.PK = "other-" + r.PK;
    page.push_back(r);
  }
  for (int k = 0; k < 20; ++k) page.push_back(Article(nextNew++));
  return page;
}

void BM_MergePage(benchmark::State& state) {
  const int64_t size = state.range(0);
  wendrel::ScriptedHost host;
  NoHttp http;
  MASCitationChain chain(host, http, "http://127.0.0.1:1");
  int32_t pearl = 0;
  for (int64_t id = 1; id <= size; id += 100) {
    std::vector<CCRecord> page(1);
    for (int64_t k = id; k < id + 100 && k <= size; ++k) page.push_back(Article(k));
    chain.MergePage(page, ++pearl, PearlRelation::Cited);
  }
  // Pages are made ahead so that only the merge is timed; their new articles are new only on the
  // first pass through them, which keeps the chain within a few percent of its size.
  std::mt19937 random(2013);
  int64_t nextNew = size + 1;
  std::vector<std::vector<CCRecord>> pages;
  for (int k = 0; k < 32; ++k) pages.push_back(MixedPage(random, size, nextNew));
  size_t next = 0;
  for (auto _ : state) {
    chain.MergePage(pages[next], ++pearl, next % 2 ? PearlRelation::Citing : PearlRelation::Cited);
    next = (next + 1) % pages.size();
  }
  state.counters["records"] = static_cast<double>(chain.Count());
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MergePage)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Ageing runs once per pearl over the whole table (linear by nature).
void BM_AgeRelations(benchmark::State& state) {
  wendrel::ScriptedHost host;
  NoHttp http;
  MASCitationChain chain(host, http, "http://127.0.0.1:1");
  std::vector<CCRecord> page(1);
  for (int64_t id = 1; id <= state.range(0); ++id) page.push_back(Article(id));
  chain.MergePage(page, 1, PearlRelation::Cited);
  for (auto _ : state) chain.AgeRelations();
}
BENCHMARK(BM_AgeRelations)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
