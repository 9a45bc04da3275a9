// An in-process stand-in for the OpenAlex API on 127.0.0.1, serving tests/data/openalex_works.jsonl:
// single works, filtered and sorted work lists by page or cursor, and source look-ups. It records
// every request and can be told to fail the next ones. Works replies keep to `select`; author names
// match as a quoted phrase of a byline only; merged works answer with a redirect.
#pragma once

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "test_http_server.h"
#include "test_paths.h"

namespace wendrel::test {

class FakeOpenAlex {
 public:
  using Json = nlohmann::json;
  struct Request {
    std::string path;
    std::multimap<std::string, std::string> params;
    std::string Param(const std::string& key) const {
      auto it = params.find(key);
      return it == params.end() ? std::string() : it->second;
    }
  };
  struct Failure {
    int status;
    std::string body;
    std::string retryAfter;  // empty: no Retry-After header
    std::multimap<std::string, std::string> headers = {};
  };

  FakeOpenAlex() : m_server([this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); }) {
    std::ifstream in(DataPath("openalex_works.jsonl"));
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) Add(Json::parse(line));
  }

  std::string BaseAddress() const { return m_server.BaseAddress(); }

  // `count` made-up works citing `cited`, the earlier ones more cited (all cited as often when
  // `tied`).
  void AddCiters(const std::string& cited, int count, bool tied = false) {
    for (int i = 0; i < count; ++i)
      Add({{"id", "W" + std::to_string(900000000 + i)},
           {"cited_by_count", tied ? 1 : count - i},
           {"referenced_works", {"https://openalex.org/" + cited}}});
  }

  // The next requests fail as given, in order, before the fake answers normally again.
  void FailNext(const std::vector<Failure>& failures) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures.insert(m_failures.end(), failures.begin(), failures.end());
  }

  void AddWork(const Json& work) { Add(work); }

  // Sources the source search ranks first, in the order added, before those of the works.
  void AddSource(const std::string& id, const std::string& name, const std::string& type) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sources.push_back({{"id", "https://openalex.org/" + id}, {"display_name", name}, {"type", type}});
  }

  // `old` was merged into `into`: asking for it redirects to it, as OpenAlex does.
  void Merge(const std::string& old, const std::string& into) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_merged[old] = into;
  }

  // When each request arrived, in order.
  std::vector<std::chrono::steady_clock::time_point> Arrivals() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrivals;
  }

  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
    m_authorizations.clear();
    m_arrivals.clear();
  }

 private:
  void Add(const Json& work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_works[Short(work["id"])] = work;
    m_lists.clear();
  }
  static std::string Short(const Json& id) {
    const std::string text = id.get<std::string>();
    return text.substr(text.rfind('/') + 1);
  }
  static int64_t Number(const Json& work, const char* key) {
    return work.contains(key) && work[key].is_number() ? work[key].get<int64_t>() : 0;
  }
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
  static bool HasWords(const std::string& text, const std::string& words) {
    std::istringstream in(Lower(words));
    for (std::string word; in >> word;)
      if (Lower(text).find(word) == std::string::npos) return false;
    return true;
  }
  static Json Source(const Json& work) {
    const Json location = work.value("primary_location", Json());
    return location.is_object() ? location.value("source", Json()) : Json();
  }
  static bool Cites(const Json& work, const std::string& id) {
    for (const Json& r : work.value("referenced_works", Json::array()))
      if (Short(r) == id) return true;
    return false;
  }

  // Lower-case words of letters and digits (bytes of other scripts count as letters).
  static std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> tokens(1);
    for (unsigned char c : text) {
      if (std::isalnum(c) || c >= 0x80)
        tokens.back() += static_cast<char>(std::tolower(c));
      else if (!tokens.back().empty())
        tokens.emplace_back();
    }
    if (tokens.back().empty()) tokens.pop_back();
    return tokens;
  }
  // `value` is "a phrase"~slop: its words in order, with at most `slop` other words between them.
  // An unquoted value matches nothing: the real search would match each word in any author.
  static bool PhraseMatches(const std::string& text, const std::string& value) {
    const size_t close = value.find('"', 1);
    if (value.size() < 2 || value[0] != '"' || close == std::string::npos) return false;
    if (close + 1 < value.size() && (value[close + 1] != '~' || close + 2 == value.size())) return false;
    const size_t slop = close + 1 < value.size() ? std::stoul(value.substr(close + 2)) : 0;
    const std::vector<std::string> words = Tokens(value.substr(1, close - 1)), have = Tokens(text);
    for (size_t start = 0; start < have.size() && !words.empty(); ++start) {
      if (have[start] != words[0]) continue;
      size_t at = start, skipped = 0, k = 1;
      for (; k < words.size(); ++k) {
        size_t next = at + 1;
        while (next < have.size() && have[next] != words[k]) ++next;
        if (next == have.size() || skipped + (next - at - 1) > slop) break;
        skipped += next - at - 1;
        at = next;
      }
      if (k == words.size()) return true;
    }
    return false;
  }
  // `value` is one phrase or several joined by " OR ".
  static bool BylineMatches(const Json& work, const std::string& value) {
    for (size_t at = 0;;) {
      const size_t or_ = value.find(" OR ", at);
      const std::string phrase = value.substr(at, or_ == std::string::npos ? std::string::npos : or_ - at);
      for (const Json& a : work.value("authorships", Json::array()))
        if (a.contains("raw_author_name") && a["raw_author_name"].is_string() &&
            PhraseMatches(a["raw_author_name"].get<std::string>(), phrase))
          return true;
      if (or_ == std::string::npos) return false;
      at = or_ + 4;
    }
  }
  // The work with only the root fields `select` names (all without one).
  static Json Selected(const Json& work, const std::string& select) {
    if (select.empty()) return work;
    Json kept = Json::object();
    std::istringstream fields(select);
    for (std::string field; std::getline(fields, field, ',');)
      if (work.contains(field)) kept[field] = work[field];
    return kept;
  }

  bool Matches(const Json& work, const std::string& filter, const std::string& search) const {
    if (!HasWords(work.value("title", ""), search)) return false;
    std::istringstream parts(filter);
    for (std::string part; std::getline(parts, part, ',');) {
      const std::string key = part.substr(0, part.find(':')), value = part.substr(part.find(':') + 1);
      const int64_t year = Number(work, "publication_year");
      const Json source = Source(work);
      if ((key == "cited_by" && !(m_works.count(value) && Cites(m_works.at(value), Short(work["id"])))) ||
          (key == "cites" && !Cites(work, value)) ||
          (key == "title.search" && !HasWords(work.value("title", ""), value)) ||
          (key == "raw_author_name.search" && !BylineMatches(work, value)) ||
          (key == "publication_year" && value[0] == '>' && year <= std::stoi(value.substr(1))) ||
          (key == "publication_year" && value[0] != '>' &&
           (year < std::stoi(value) || year > std::stoi(value.substr(value.find('-') + 1)))) ||
          (key == "primary_location.source.id" && !(source.is_object() && Short(source["id"]) == value)))
        return false;
    }
    return true;
  }

  void Handle(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [name, value] : m_replyHeaders) res.set_header(name, value);
    const Request request{req.path, {req.params.begin(), req.params.end()}};
    m_requests.push_back(request);
    m_authorizations.push_back(req.get_header_value("Authorization"));
    m_arrivals.push_back(std::chrono::steady_clock::now());
    auto reply = [&](int status, const Json& body) {
      res.status = status;
      res.set_content(body.dump(), "application/json");
    };
    if (!m_failures.empty()) {
      const Failure f = m_failures.front();
      m_failures.pop_front();
      if (!f.retryAfter.empty()) res.set_header("Retry-After", f.retryAfter);
      for (const auto& [name, value] : f.headers) res.set_header(name, value);
      res.status = f.status;
      return res.set_content(f.body, "application/json");
    }
    if (m_refusal) {
      for (const auto& [name, value] : m_refusal->headers) res.set_header(name, value);
      res.status = m_refusal->status;
      return res.set_content(m_refusal->body, "application/json");
    }
    if (req.path.rfind("/works/doi:", 0) == 0) {
      for (const auto& [id, work] : m_works)
        if (work.value("doi", Json()).is_string() && Lower(work["doi"].get<std::string>()) == "https://doi.org/" + Lower(req.path.substr(11)))
          return reply(200, Selected(work, request.Param("select")));
      return reply(404, {{"error", "Not found"}});
    }
    if (req.path.rfind("/works/", 0) == 0) {
      if (auto merged = m_merged.find(req.path.substr(7)); merged != m_merged.end()) {
        res.status = 301;
        return res.set_header("Location", "/works/" + merged->second + "?" + req.target.substr(req.target.find('?') + 1));
      }
      auto it = m_works.find(req.path.substr(7));
      return it == m_works.end() ? reply(404, {{"error", "Not found"}})
                                 : reply(200, Selected(it->second, request.Param("select")));
    }
    Json results = Json::array();
    if (req.path == "/sources") {
      for (const Json& source : m_sources)
        if (HasWords(source["display_name"].get<std::string>(), request.Param("search")) &&
            request.Param("filter") == "type:" + source.value("type", ""))
          results.push_back({{"id", source["id"]}, {"display_name", source["display_name"]}});
      for (const auto& [id, work] : m_works) {
        const Json source = Source(work);
        if (source.is_object() && HasWords(source.value("display_name", ""), request.Param("search")) &&
            request.Param("filter") == "type:" + source.value("type", ""))
          results.push_back({{"id", source["id"]}, {"display_name", source.value("display_name", "")}});
      }
      return reply(200, {{"meta", {{"count", results.size()}}}, {"results", results}});
    }
    // Paging walks one list many times: it is worked out once.
    const std::string sort = request.Param("sort");
    auto& found = m_lists[request.Param("filter") + "\n" + request.Param("search") + "\n" + sort];
    if (found.empty()) {
      for (const auto& [id, work] : m_works)
        if (Matches(work, request.Param("filter"), request.Param("search"))) found.push_back(&work);
      const std::string key = sort.substr(0, sort.find(':'));  // every sort the gateway asks for is descending
      std::stable_sort(found.begin(), found.end(), [&](const Json* a, const Json* b) {
        return Number(*a, key.c_str()) > Number(*b, key.c_str());
      });
    }
    const int64_t perPage = std::stoll(request.Param("per_page"));
    const bool cursor = request.params.count("cursor");
    const int64_t page = !cursor ? std::stoll(request.Param("page"))
                         : request.Param("cursor") == "*" ? 1
                                                          : std::stoll(request.Param("cursor").substr(1));
    if (!cursor && page * perPage > 10000)
      return reply(400, {{"error", "Maximum results size of 10,000 records is exceeded."}});
    // By page number works of equal rank come in no set order, as OpenAlex sorts them without a
    // tie-breaker: here each even page sees its runs of ties reversed. Cursors keep one order.
    std::vector<const Json*> order = found;
    const std::string key = sort.substr(0, sort.find(':'));
    for (size_t run = 0; !cursor && page % 2 == 0 && run < order.size();) {
      size_t end = run + 1;
      while (end < order.size() && Number(*order[end], key.c_str()) == Number(*order[run], key.c_str())) ++end;
      std::reverse(order.begin() + static_cast<std::ptrdiff_t>(run), order.begin() + static_cast<std::ptrdiff_t>(end));
      run = end;
    }
    for (int64_t i = (page - 1) * perPage; i < std::min<int64_t>(page * perPage, order.size()); ++i)
      results.push_back(Selected(*order[static_cast<size_t>(i)], request.Param("select")));
    const Json next = cursor && !results.empty() ? Json("c" + std::to_string(page + 1)) : Json();
    reply(200, {{"meta", {{"count", found.size()}, {"per_page", perPage}, {"next_cursor", next}}},
                {"results", results}});
  }

 public:
  // A lasting refusal, as when the day's budget is spent: every request after FailNext's gets it
  // until StopRefusing.
  struct Refusal {
    int status;
    std::string body;
    std::multimap<std::string, std::string> headers;
  };
  void RefuseAll(Refusal refusal) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusal = std::move(refusal);
  }
  void StopRefusing() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusal.reset();
  }
  // Headers sent with every reply from now on (OpenAlex's budget headers).
  void SetReplyHeaders(std::multimap<std::string, std::string> headers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replyHeaders = std::move(headers);
  }
  // The Authorization header of each request since the last ClearRequests ("" without one).
  std::vector<std::string> Authorizations() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_authorizations;
  }

 private:
  std::mutex m_mutex;
  std::map<std::string, Json> m_works;
  std::map<std::string, std::vector<const Json*>> m_lists;
  std::deque<Failure> m_failures;
  std::vector<Request> m_requests;
  std::optional<Refusal> m_refusal;
  std::multimap<std::string, std::string> m_replyHeaders;
  std::vector<std::string> m_authorizations;
  std::vector<Json> m_sources;
  std::map<std::string, std::string> m_merged;
  std::vector<std::chrono::steady_clock::time_point> m_arrivals;
  TestHttpServer m_server;
};

}  // namespace wendrel::test
