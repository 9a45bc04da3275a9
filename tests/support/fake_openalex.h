// An in-process stand-in for the OpenAlex API on 127.0.0.1: works from JSON Lines (or made up in
// bulk), single works, cited_by/cites lists with sorting, plain and cursor paging, searches and
// source look-ups; it records every request and can be told to fail the next ones.
#pragma once

#include <httplib.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
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
    std::map<std::string, std::string> params;
    std::string Param(const std::string& key) const {
      auto it = params.find(key);
      return it == params.end() ? std::string() : it->second;
    }
  };
  struct Failure {
    int status;
    std::string body;
    std::string retryAfter;  // empty: no Retry-After header
  };

  explicit FakeOpenAlex(const std::string& worksPath = DataPath("openalex_works.jsonl"))
      : m_server([this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); }) {
    std::ifstream in(worksPath);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) Add(Json::parse(line));
  }

  std::string BaseAddress() const { return m_server.BaseAddress(); }

  void Add(const Json& work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string id = Short(work["id"]);
    if (!m_works.count(id)) m_order.push_back(id);
    m_works[id] = work;
    m_lists.clear();
  }

  // `count` made-up works citing `cited`, the earlier ones more cited.
  void AddCiters(const std::string& cited, int count) {
    for (int i = 0; i < count; ++i) {
      std::string id = "W" + std::to_string(900000000 + i);
      Add({{"id", "https://openalex.org/" + id},
           {"title", "Citer " + std::to_string(i)},
           {"publication_year", 2000 + i % 20},
           {"cited_by_count", count - i},
           {"referenced_works", {"https://openalex.org/" + cited}}});
    }
  }

  // The next requests fail as given, in order, before the fake answers normally again.
  void FailNext(std::vector<Failure> failures) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures.insert(m_failures.end(), failures.begin(), failures.end());
  }

  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
  }

 private:
  static std::string Short(const Json& id) {
    std::string text = id.is_string() ? id.get<std::string>() : "";
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
  }
  static std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  }
  static bool HasWords(const std::string& text, const std::string& words) {
    std::string haystack = Lower(text);
    size_t at = 0;
    std::string lowered = Lower(words);
    while (at < lowered.size()) {
      size_t end = lowered.find(' ', at);
      if (end == std::string::npos) end = lowered.size();
      if (end > at && haystack.find(lowered.substr(at, end - at)) == std::string::npos) return false;
      at = end + 1;
    }
    return true;
  }
  static const Json& Source(const Json& work) {
    static const Json kNull;
    if (!work.contains("primary_location") || !work["primary_location"].is_object()) return kNull;
    const Json& location = work["primary_location"];
    return location.contains("source") ? location["source"] : kNull;
  }

  bool Matches(const Json& work, const std::string& filter, const std::string& search) const {
    const std::string id = Short(work["id"]);
    if (!search.empty() && !HasWords(work.value("title", ""), search)) return false;
    size_t at = 0;
    while (at < filter.size()) {
      size_t end = filter.find(',', at);
      if (end == std::string::npos) end = filter.size();
      std::string part = filter.substr(at, end - at);
      at = end + 1;
      std::string key = part.substr(0, part.find(':'));
      std::string value = part.substr(part.find(':') + 1);
      auto refs = [&](const Json& w) {
        std::set<std::string> ids;
        if (w.contains("referenced_works"))
          for (const Json& r : w["referenced_works"]) ids.insert(Short(r));
        return ids;
      };
      if (key == "cited_by") {
        auto owner = m_works.find(value);
        if (owner == m_works.end() || !refs(owner->second).count(id)) return false;
      } else if (key == "cites") {
        if (!refs(work).count(value)) return false;
      } else if (key == "title.search") {
        if (!HasWords(work.value("title", ""), value)) return false;
      } else if (key == "raw_author_name.search") {
        bool any = false;
        for (const Json& a : work.value("authorships", Json::array()))
          any = any || HasWords(a.dump(), value);
        if (!any) return false;
      } else if (key == "publication_year") {
        int year = work.contains("publication_year") && work["publication_year"].is_number()
                       ? work["publication_year"].get<int>()
                       : 0;
        int from = 0, to = 99999;
        if (value[0] == '>') from = std::stoi(value.substr(1)) + 1;
        else if (value[0] == '<') to = std::stoi(value.substr(1)) - 1;
        else from = std::stoi(value), to = std::stoi(value.substr(value.find('-') + 1));
        if (year < from || year > to) return false;
      } else if (key == "primary_location.source.id") {
        std::string source = Source(work).is_object() ? Short(Source(work).value("id", Json(""))) : "";
        if (("|" + value + "|").find("|" + source + "|") == std::string::npos) return false;
      } else {
        throw std::runtime_error("unknown filter " + key);
      }
    }
    return true;
  }

  void Handle(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Request recorded{req.path, {}};
    for (const auto& [k, v] : req.params) recorded.params[k] = v;
    m_requests.push_back(recorded);
    if (!m_failures.empty()) {
      Failure f = m_failures.front();
      m_failures.pop_front();
      res.status = f.status;
      if (!f.retryAfter.empty()) res.set_header("Retry-After", f.retryAfter);
      res.set_content(f.body, "application/json");
      return;
    }
    auto reply = [&](int status, const Json& body) {
      res.status = status;
      res.set_content(body.dump(), "application/json");
    };
    if (req.path.rfind("/works/", 0) == 0) {
      auto it = m_works.find(req.path.substr(7));
      if (it == m_works.end()) return reply(404, {{"error", "Not found"}});
      return reply(200, it->second);
    }
    const int perPage = recorded.params.count("per_page") ? std::stoi(recorded.Param("per_page")) : 25;
    if (req.path == "/sources") {
      std::map<std::string, Json> sources;
      for (const auto& [id, work] : m_works) {
        const Json& source = Source(work);
        if (!source.is_object()) continue;
        if (HasWords(source.value("display_name", ""), recorded.Param("search")) &&
            recorded.Param("filter") == "type:" + source.value("type", ""))
          sources[Short(source["id"])] = {{"id", source["id"]}};
      }
      Json results = Json::array();
      for (const auto& [id, s] : sources) results.push_back(s);
      return reply(200, {{"meta", {{"count", results.size()}}}, {"results", results}});
    }
    if (req.path != "/works") return reply(404, {{"error", "Not found"}});
    // Paging walks one list many times: it is worked out once.
    const std::string sort = recorded.Param("sort");
    const std::string listKey = recorded.Param("filter") + "\n" + recorded.Param("search") + "\n" + sort;
    auto& found = m_lists[listKey];
    if (found.empty()) {
      try {
        for (const std::string& id : m_order)
          if (Matches(m_works[id], recorded.Param("filter"), recorded.Param("search")))
            found.push_back(&m_works[id]);
      } catch (const std::exception& e) {
        return reply(400, {{"error", e.what()}});
      }
      auto number = [](const Json& w, const char* key) {
        return w.contains(key) && w[key].is_number() ? w[key].get<int64_t>() : 0;
      };
      if (sort == "cited_by_count:desc" || sort == "publication_year:desc") {
        const char* key = sort == "cited_by_count:desc" ? "cited_by_count" : "publication_year";
        std::stable_sort(found.begin(), found.end(),
                         [&](const Json* a, const Json* b) { return number(*a, key) > number(*b, key); });
      }
    }
    int64_t page = 1;
    Json nextCursor;
    if (recorded.params.count("cursor")) {
      std::string cursor = recorded.Param("cursor");
      page = cursor == "*" ? 1 : std::stoll(cursor.substr(1));
    } else {
      page = recorded.params.count("page") ? std::stoll(recorded.Param("page")) : 1;
      if (page * perPage > 10000)
        return reply(400, {{"error", "Maximum results size of 10,000 records is exceeded."}});
    }
    Json results = Json::array();
    for (int64_t i = (page - 1) * perPage; i < std::min<int64_t>(page * perPage, found.size()); ++i)
      results.push_back(*found[static_cast<size_t>(i)]);
    if (recorded.params.count("cursor") && !results.empty()) nextCursor = "c" + std::to_string(page + 1);
    reply(200, {{"meta", {{"count", found.size()}, {"per_page", perPage}, {"next_cursor", nextCursor}}},
                {"results", results}});
  }

  std::mutex m_mutex;
  std::map<std::string, Json> m_works;
  std::vector<std::string> m_order;
  std::map<std::string, std::vector<const Json*>> m_lists;
  std::deque<Failure> m_failures;
  std::vector<Request> m_requests;
  TestHttpServer m_server;
};

}  // namespace wendrel::test
