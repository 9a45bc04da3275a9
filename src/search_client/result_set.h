// The client of the academic search service: request addresses, the HTTP exchange with its
// wait-and-ask loop, and the reply text it keeps for conversion into records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/http_client.h"
#include "search_client/cc_record.h"

namespace wendrel {

// The key sent to the academic search service with every request unless the caller has another.
constexpr const char* kDefaultApplicationID = "7A1C3E5B9D2F4A6C8E0B1D3F5A7C9E1B3D5F7A9C";

// Base address of the local service on its default port.
std::string DefaultServiceAddress();

// Punctuation (codes 33-47 and 58-64) becomes a blank, every blank becomes "%20", ASCII letters
// are lower-cased; everything else passes unchanged.
std::string NormaliseQuery(const std::string& text);

// One ResultSet performs one request at a time and keeps the body of the last successful reply
// in Data. Every request address is the base address followed by "/json.svc/search?AppId=".
class ResultSet {
 public:
  ResultSet(Host& host, HttpClient& http, std::string baseAddress = DefaultServiceAddress());

  bool RequestMASRetrieve(const std::string& appId, const std::string& publicationId);
  // Index range StartIdx to StartIdx + NumResults - 1 (1-based); years above 0 only.
  bool RequestMASSearch(const std::string& appId, int32_t startIdx, int32_t numResults, const std::string& fullText,
                        const std::string& title, const std::string& author, const std::string& journal,
                        const std::string& conference, int16_t yearStart, int16_t yearEnd);
  bool RequestMASCitingArticles(const std::string& appId, const std::string& publicationId, int32_t startIdx,
                                int32_t numResults);
  // The first ten works bearing this DOI (bare or with a resolver address; the service compares
  // without regard to case). A service that knows no DOI query answers with no hits.
  bool RequestDOISearch(const std::string& appId, const std::string& doi);
  bool RequestMASCitedArticles(const std::string& appId, const std::string& publicationId, int32_t startIdx,
                               int32_t numResults);

  // GET of the address, waiting in periods of `wait` seconds and asking the user after each
  // unanswered one. True when the status was 200 and the body is not empty (then in Data).
  bool HttpRequest(const std::string& uri, int wait);

  const std::string& Data() const { return m_data; }
  void SetData(std::string data) { m_data = std::move(data); }

  // Nothing assigns it; it reads 0.
  int16_t CurrentResultType() const { return 0; }

  // Why the last request failed, in a few words ("Connection refused", "HTTP status 500",
  // "empty reply", "cancelled"), with the first line of a plain-text refusal after the status
  // ("HTTP status 503: OpenAlex's daily budget is spent; ..."); empty after a success.
  const std::string& LastError() const { return m_lastError; }

  // The reply in Data as records, slots 1 to n (slot 0 empty); a reply without publications
  // gives one record whose PK is "null".
  std::vector<CCRecord> ResultRecords() const;
  // How many publications the whole answer of the last reply holds; -1 when it does not say.
  int64_t TotalItems() const;

  // Address builder for a web search interface; performs no request and nothing calls it.
  std::string Build_YahooBOSS_URI(const std::string& vertical, const std::string& query, const std::string& appId,
                                  int16_t start, int16_t count, const std::string& rFormat,
                                  const std::string& rStyle, bool topTags, bool keyTerms) const;
  // Part of the interface: the XML declaration line and an opening "<"; the argument is unused.
  std::string JSON2XML(const std::string& cObjectName) const;

  const std::string& BaseAddress() const { return m_baseAddress; }

 private:
  std::string SearchPrefix(const std::string& appId) const;
  std::string ReferencePage(const std::string& appId, const std::string& publicationId, int32_t startIdx,
                            int32_t numResults, const char* referenceType);
  // Waits up to periodMs for the exchange to end, handing the event loop a turn in between.
  bool WaitPeriod(HttpRequestHandle& request, int periodMs);

  Host& m_host;
  HttpClient& m_http;
  std::string m_baseAddress;
  std::string m_data;
  std::string m_lastError;
};

}  // namespace wendrel
