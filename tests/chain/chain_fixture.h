// Shared pieces of the chain tests: a corpus served in-process on 127.0.0.1, an HttpClient that
// records the addresses it is asked for, and small record, address and growing helpers.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "chain/citation_chain.h"
#include "platform/curl_http_client.h"
#include "platform/scripted_host.h"
#include "corpus/corpus_import.h"
#include "corpus/search_service.h"
#include "temp_dir.h"

namespace wendrel::test {

// Delegates to libcurl and keeps every address it was asked for.
class RecordingHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpRequestHandle> Get(const std::string& address,
                                         const std::vector<std::string>& headers = {}) override {
    m_addresses.push_back(address);
    return m_curl.Get(address, headers);
  }
  void AbortAll() override { m_curl.AbortAll(); }
  const std::vector<std::string>& Addresses() const { return m_addresses; }

 private:
  CurlHttpClient m_curl;
  std::vector<std::string> m_addresses;
};

// The query keys, as sent, of the addresses of one kind of request: "Reference", "Citation",
// "Search" (TitleQuery or AuthorQuery present) or "Retrieve".
inline std::vector<std::map<std::string, std::string>> Requests(const std::vector<std::string>& addresses,
                                                                const std::string& kind) {
  std::vector<std::map<std::string, std::string>> found;
  for (const std::string& address : addresses) {
    std::map<std::string, std::string> q;
    for (size_t at = address.find('?'); at != std::string::npos; at = address.find('&', at + 1)) {
      std::string pair = address.substr(at + 1, address.find('&', at + 1) - at - 1);
      q[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
    }
    std::string k = q.count("ReferenceType")                          ? q["ReferenceType"]
                    : q.count("TitleQuery") || q.count("AuthorQuery") ? "Search"
                                                                      : "Retrieve";
    if (k == kind) found.push_back(q);
  }
  return found;
}

// A corpus written as JSON Lines, imported and served on 127.0.0.1 for the life of the object.
class ServedCorpus {
 public:
  explicit ServedCorpus(const std::vector<nlohmann::json>& publications) {
    std::ofstream out(m_folder.Path("corpus.jsonl"));
    for (const auto& p : publications) out << p.dump() << "\n";
    out.close();
    ImportCorpus(m_folder.Path("corpus.jsonl"), m_folder.Path("corpus.sqlite"),
                 [](int64_t line, const std::string& reason) { ADD_FAILURE() << "line " << line << ": " << reason; });
    m_service = std::make_unique<SearchService>(m_folder.Path("corpus.sqlite"));
    m_service->Start();
  }
  std::string BaseAddress() const { return m_service->BaseAddress(); }

 private:
  TempDir m_folder;
  std::unique_ptr<SearchService> m_service;
};

inline nlohmann::json Publication(int64_t id, const std::string& title, std::vector<int64_t> references = {},
                                  const std::string& lastName = "Author", const std::string& firstName = "Ann",
                                  int year = 2000) {
  return {{"id", id},
          {"title", title},
          {"year", year},
          {"authors", {{{"last", lastName}, {"first", firstName}}}},
          {"venue", {{"kind", "journal"}, {"name", "Journal of Tests"}}},
          {"references", references}};
}

// A page as ResultRecords gives it: slot 0 empty, the articles from slot 1.
inline std::vector<CCRecord> Page(std::vector<CCRecord> articles) {
  articles.insert(articles.begin(), CCRecord{});
  return articles;
}

inline CCRecord Article(const std::string& pk, const std::string& title, const std::string& year = "",
                        const std::string& firstAuthor = "") {
  CCRecord r;
  r.PK = pk;
  r.Title = title;
  r.Year = year;
  r.FirstAuthor = firstAuthor;
  return r;
}

// Grows the pearl with this ID: its index, or 0 when AddPearl refused it.
inline int32_t AddPearl(MASCitationChain& chain, const std::string& pk, int32_t* citingAsked = nullptr,
                        Caption* caption = nullptr) {
  ScriptedCaption unused;
  int32_t index = 0, max = 0;
  bool added = chain.AddPearl(index, pk, "", max, caption ? *caption : unused);
  if (citingAsked) *citingAsked = max;
  return added ? index : 0;
}

}  // namespace wendrel::test
