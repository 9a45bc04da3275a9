// Shared pieces of the chain tests: a corpus served in-process on 127.0.0.1, an HttpClient that
// records the addresses it is asked for, and small record and address helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "chain/citation_chain.h"
#include "platform/curl_http_client.h"
#include "service/corpus_import.h"
#include "service/search_service.h"

namespace wendrel::test {

// A folder of its own for each test process (ctest runs tests side by side), removed at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : m_path(std::filesystem::path(::testing::TempDir()) / (name + "_" + std::to_string(getpid()))) {
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// Delegates to libcurl and keeps every address it was asked for.
class RecordingHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpRequestHandle> Get(const std::string& address) override {
    m_addresses.push_back(address);
    return m_curl.Get(address);
  }
  const std::vector<std::string>& Addresses() const { return m_addresses; }
  void Forget() { m_addresses.clear(); }

 private:
  CurlHttpClient m_curl;
  std::vector<std::string> m_addresses;
};

// The query keys of an address with their values as sent.
inline std::map<std::string, std::string> QueryOf(const std::string& address) {
  std::map<std::string, std::string> keys;
  size_t at = address.find('?');
  while (at != std::string::npos) {
    size_t end = address.find('&', at + 1);
    std::string pair = address.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    size_t eq = pair.find('=');
    keys[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
    at = end;
  }
  return keys;
}

// The addresses of one kind of request: "Reference", "Citation", "Search" (TitleQuery or
// AuthorQuery present) or "Retrieve".
inline std::vector<std::map<std::string, std::string>> Requests(const std::vector<std::string>& addresses,
                                                                const std::string& kind) {
  std::vector<std::map<std::string, std::string>> found;
  for (const std::string& address : addresses) {
    auto q = QueryOf(address);
    std::string k = "Retrieve";
    if (q.count("ReferenceType")) {
      k = q["ReferenceType"];
    } else if (q.count("TitleQuery") || q.count("AuthorQuery")) {
      k = "Search";
    }
    if (k == kind) found.push_back(q);
  }
  return found;
}

// A corpus written as JSON Lines, imported and served on 127.0.0.1 for the life of the object.
class ServedCorpus {
 public:
  ServedCorpus(const ScratchFolder& folder, const std::vector<nlohmann::json>& publications) {
    std::string jsonl = folder.File("corpus.jsonl");
    {
      std::ofstream out(jsonl);
      for (const auto& p : publications) out << p.dump() << "\n";
    }
    ImportCorpus(jsonl, folder.File("corpus.sqlite"), [](int64_t line, const std::string& reason) {
      ADD_FAILURE() << "corpus line " << line << ": " << reason;
    });
    m_service = std::make_unique<SearchService>(folder.File("corpus.sqlite"));
    m_service->Start();
  }
  std::string BaseAddress() const { return m_service->BaseAddress(); }

 private:
  std::unique_ptr<SearchService> m_service;
};

inline nlohmann::json Publication(int64_t id, const std::string& title, std::vector<int64_t> references = {},
                                  const std::string& lastName = "Author", const std::string& firstName = "Ann") {
  return {{"id", id},
          {"title", title},
          {"year", 2000},
          {"authors", {{{"last", lastName}, {"first", firstName}}}},
          {"venue", {{"kind", "journal"}, {"name", "Journal of Tests"}}},
          {"references", references}};
}

// A page as ResultRecords gives it: slot 0 empty, the articles from slot 1.
inline std::vector<CCRecord> Page(std::vector<CCRecord> articles) {
  articles.insert(articles.begin(), CCRecord{});
  return articles;
}

inline CCRecord Article(const std::string& pk, const std::string& title) {
  CCRecord r;
  r.PK = pk;
  r.Title = title;
  return r;
}

}  // namespace wendrel::test
