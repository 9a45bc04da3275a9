// Growing one pearl through the OpenAlex gateway against a stand-in for OpenAlex that takes 150 ms
// per request: a work with 50 references and 2,000 citing works, from an empty cache, with the
// `wendrel grow` command as the client. "before" is the gateway as it was: each page fetched when
// asked for, and whole works in every reply (the stand-in ignores `select`); "after" reads the next
// page ahead and gets only the fields it reads. The stand-in pages by number or by cursor, as the
// gateway asks. Counters: upstream requests and bytes per growth.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/grow_command.h"
#include "openalex/openalex_gateway.h"

namespace wendrel {
namespace {

using Json = nlohmann::json;

constexpr int kReferences = 50;
constexpr int kCiting = 2000;
constexpr auto kLatency = std::chrono::milliseconds(150);

// A work about as heavy as a real one: a long abstract, several authors with affiliations, and
// the fields the gateway never reads (topics, concepts, counts by year) that `select` leaves out.
Json MadeUpWork(const std::string& id, int64_t citedBy, const std::vector<std::string>& references) {
  Json abstract = Json::object();
  for (int w = 0; w < 180; ++w) abstract["word" + std::to_string(w % 90)].push_back(w);
  Json authorships = Json::array();
  for (int a = 0; a < 5; ++a)
    authorships.push_back({{"raw_author_name", "Author " + std::to_string(a) + " of " + id},
                           {"author", {{"id", "https://openalex.org/A" + std::to_string(a + 1)},
                                       {"display_name", "Author " + std::to_string(a)}}},
                           {"institutions", {{{"id", "https://openalex.org/I1"}, {"display_name", "A University"}}}}});
  Json unread = Json::array();
  for (int t = 0; t < 25; ++t)
    unread.push_back({{"id", "https://openalex.org/T" + std::to_string(t)},
                      {"display_name", "A research topic named at some length " + std::to_string(t)},
                      {"score", 0.5}});
  Json referenced = Json::array();
  for (const std::string& r : references) referenced.push_back("https://openalex.org/" + r);
  return {{"id", "https://openalex.org/" + id},
          {"title", "On the growth of pearls in citation networks, part " + id},
          {"display_name", "On the growth of pearls in citation networks, part " + id},
          {"publication_year", 2000 + citedBy % 25},
          {"doi", "https://doi.org/10.1234/" + id},
          {"cited_by_count", citedBy},
          {"referenced_works_count", references.size()},
          {"referenced_works", referenced},
          {"abstract_inverted_index", abstract},
          {"authorships", authorships},
          {"primary_location",
           {{"landing_page_url", "https://example.org/" + id},
            {"source", {{"id", "https://openalex.org/S1"}, {"display_name", "A Journal"}, {"type", "journal"}}}}},
          {"locations", {{{"landing_page_url", "https://example.org/" + id}, {"pdf_url", nullptr}}}},
          {"keywords", {{{"display_name", "citation"}}, {{"display_name", "pearl growing"}}}},
          {"topics", unread},
          {"concepts", unread},
          {"counts_by_year", unread}};
}

class StandIn {
 public:
  explicit StandIn(bool honourSelect) : m_honourSelect(honourSelect) {
    std::vector<std::string> references, citing;
    for (int i = 0; i < kReferences; ++i) references.push_back("W2" + std::to_string(100000 + i));
    m_pearl = MadeUpWork("W1", kCiting, references);
    for (const std::string& r : references) m_references.push_back(MadeUpWork(r, 10, {}));
    for (int i = 0; i < kCiting; ++i)
      m_citing.push_back(MadeUpWork("W3" + std::to_string(100000 + i), kCiting - i, {"W1"}));
    m_server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~StandIn() {
    m_server.stop();
    m_thread.join();
  }
  std::string BaseAddress() const { return "http://127.0.0.1:" + std::to_string(m_port); }
  // Requests and reply bytes since the last call.
  std::pair<int64_t, int64_t> Take() { return {m_requests.exchange(0), m_bytes.exchange(0)}; }

 private:
  Json Selected(const Json& work, const std::string& select) const {
    if (!m_honourSelect || select.empty()) return work;
    Json kept = Json::object();
    std::istringstream fields(select);
    for (std::string field; std::getline(fields, field, ',');)
      if (work.contains(field)) kept[field] = work[field];
    return kept;
  }
  void Answer(const httplib::Request& req, httplib::Response& res) {
    std::this_thread::sleep_for(kLatency);
    ++m_requests;
    const std::string select = req.get_param_value("select");
    Json body;
    if (req.path == "/works/W1") {
      body = Selected(m_pearl, select);
    } else if (req.path == "/works") {
      const std::string filter = req.get_param_value("filter");
      const std::vector<Json>& list = filter == "cited_by:W1" ? m_references : m_citing;
      const size_t perPage = std::stoul(req.get_param_value("per_page"));
      // Pages by number or by cursor ("*", then "c2", "c3", ...), as the gateway asks.
      const std::string cursor = req.get_param_value("cursor");
      const size_t page = !req.has_param("cursor") ? std::stoul(req.get_param_value("page"))
                          : cursor == "*"          ? 1
                                                   : std::stoul(cursor.substr(1));
      Json results = Json::array();
      for (size_t i = (page - 1) * perPage; i < std::min(list.size(), page * perPage); ++i)
        results.push_back(Selected(list[i], select));
      const bool more = req.has_param("cursor") && page * perPage < list.size();
      body = {{"meta", {{"count", list.size()}, {"per_page", perPage}, {"next_cursor", more ? Json("c" + std::to_string(page + 1)) : Json()}}},
              {"results", results}};
    } else {
      res.status = 404;
      return;
    }
    const std::string text = body.dump();
    m_bytes += static_cast<int64_t>(text.size());
    // With a charset the reply goes uncompressed, as the service's own replies do: the HTTP
    // library's brotli at its highest quality takes the better part of a second per page, a cost
    // of the stand-in that no real server has.
    res.set_content(text, "application/json; charset=utf-8");
  }

  const bool m_honourSelect;
  Json m_pearl;
  std::vector<Json> m_references, m_citing;
  std::atomic<int64_t> m_requests{0}, m_bytes{0};
  httplib::Server m_server;
  int m_port = 0;
  std::thread m_thread;
};

void BM_GrowOnePearl(benchmark::State& state) {
  const bool after = state.range(0) == 1;
  StandIn standIn(after);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("wendrel-openalex-bench-" + std::to_string(getpid()));
  int64_t requests = 0, bytes = 0, growths = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);  // from an empty cache every time
    std::filesystem::create_directories(folder);
    OpenAlexGatewayOptions options;
    options.api.baseAddress = standIn.BaseAddress();
    options.cachePath = (folder / "cache.sqlite").string();
    options.prefetch = after;
    OpenAlexGateway gateway(options);
    gateway.Start();
    std::ostringstream out, err;
    state.ResumeTiming();
    const int code = RunGrow({"--service", gateway.BaseAddress(), "--pearl", "w1", "--max-citing",
                              std::to_string(kCiting), "--out", (folder / "grown").string()},
                             out, err);
    state.PauseTiming();
    if (code != 0) state.SkipWithError(("the growth failed: " + err.str()).c_str());
    const auto [asked, sent] = standIn.Take();
    requests += asked;
    bytes += sent;
    ++growths;
    gateway.Stop();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  state.counters["requests"] = static_cast<double>(requests) / static_cast<double>(growths);
  state.counters["MB"] = static_cast<double>(bytes) / static_cast<double>(growths) / 1e6;
}
BENCHMARK(BM_GrowOnePearl)->ArgName("after")->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wendrel
