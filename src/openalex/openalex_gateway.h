// The local service as a caching gateway to OpenAlex: the client's requests (retrieve, references,
// citing, searches) answered from OpenAlex's works, every work and list page kept in a cache that
// answers again later, or alone when offline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "platform/http_client.h"
#include "platform/service_defaults.h"
#include "openalex/openalex_cache.h"
#include "openalex/openalex_client.h"
#include "service/publication_source.h"
#include "service/served_source.h"

namespace wendrel {

struct OpenAlexGatewayOptions {
  OpenAlexOptions api;  // its `log` is set from `log` below
  std::string cachePath = DefaultOpenAlexCachePath();
  // Cached works and pages younger than this answer without asking OpenAlex.
  std::chrono::seconds maxAge = std::chrono::hours(24 * 30);
  // Answers from the cache alone; the cache file must exist.
  bool offline = false;
  // While a page of a reference or citing list is read, the next one is fetched in the background
  // (within the same rate), so that walking a list waits on OpenAlex little more than once.
  bool prefetch = true;
  // The service's log: failures, retries, what offline work lacked. Called from several threads
  // (one at a time).
  std::function<void(const std::string&)> log;
};

// OpenAlex lists pages of at most this many works.
constexpr int64_t kOpenAlexPageSize = 100;

// Lists and searches are read from OpenAlex in pages of kOpenAlexPageSize whatever the request's
// range, each by cursor, and a list's pages are kept and expire together. The reply's IDs are OpenAlex's short work IDs ("W2099326003"); other IDs are unknown.
// One background thread fetches the next page of the lists being read; a page is never fetched
// twice at once (a request for a page on its way waits for it).
class OpenAlexSource : public PublicationSource {
 public:
  // `http` empty: libcurl. Throws ServiceError when the cache cannot be opened.
  explicit OpenAlexSource(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http = nullptr);
  // Drops the pages still to prefetch and waits for the one on its way.
  ~OpenAlexSource() override;

  PublicationPage Retrieve(const std::string& id, int64_t offset) override;
  PublicationPage References(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override;
  PublicationPage Citing(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override;
  PublicationPage Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                         int64_t limit) override;

  // Ends the requests to OpenAlex in progress at once (they fail with SourceUnavailable, or are
  // answered from the cache) and fails later ones, until Resume. Any thread.
  void Interrupt() override { m_client.Stop(); }
  void Resume() override { m_client.Resume(); }
  // One line to the log given in the options; any thread.
  void Log(const std::string& line);

  // "OpenAlex's budget left today: $0.9731", as OpenAlex last said; empty before it said. Also
  // logged when a citing list has been read to its end, as a growth does last.
  std::string BudgetReport() const;

 private:
  // One list of works as OpenAlex pages it. The works listed belong to `owner`'s references
  // (ownerCites) or citing works, when an owner is named.
  struct Listing {
    std::string query;  // path and query without paging and fields
    std::string owner;
    bool ownerCites = false;
  };
  // One work by its key in the cache (a short ID, or "doi:" and a DOI) and its path at OpenAlex.
  std::optional<Publication> Single(const std::string& key, const std::string& path);
  PublicationPage List(const Listing& listing, int64_t offset, int64_t limit);
  // Throws SourceUnavailable when the page can be had neither from OpenAlex nor from the cache.
  CachedPage ListPage(const Listing& listing, int64_t page);
  CachedPage FetchPage(const Listing& listing, int64_t page);
  CachedPage StorePage(const Listing& listing, int64_t page, const nlohmann::json& reply);
  // The primary-location filter value for a journal or conference name: the one source whose name
  // is the name, else the one OpenAlex ranks first; empty when none.
  std::string SourceFilter(const std::string& name, const char* type);
  void Prefetch(const Listing& listing, int64_t page);
  void PrefetchLoop();
  std::unique_ptr<OpenAlexCache> OpenCache();
  void RemoveFallback();

  OpenAlexGatewayOptions m_options;
  std::mutex m_logMutex;
  OpenAlexClient m_client;
  // The cache the options name; when that cannot be read (damaged, a folder, another kind of file)
  // and the gateway is not offline, a fresh one in the temporary folder for this run alone, so the
  // gateway still answers from OpenAlex. The unreadable file is left as it is.
  std::string m_fallbackPath;
  std::unique_ptr<OpenAlexCache> m_cache;

  std::mutex m_fetchMutex;
  std::condition_variable m_fetchDone;
  std::set<std::pair<std::string, int64_t>> m_fetching;  // (query, page) on their way

  std::mutex m_prefetchMutex;
  std::condition_variable m_prefetchWake;
  std::deque<std::pair<Listing, int64_t>> m_prefetchQueue;
  bool m_stopping = false;
  std::thread m_prefetcher;
};

// The gateway as a server, as SearchService is for a corpus: for `wendrel serve --openalex` and
// the desktop program. Start and Stop are for the owning thread; the destructor stops the server.
class OpenAlexGateway {
 public:
  // Opens (or creates, unless offline) the cache. When the cache cannot be read it logs why and
  // answers from OpenAlex with a temporary cache, or, offline, throws ServiceError. Without an API
  // key (and not offline) it logs once what to do about it.
  explicit OpenAlexGateway(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http = nullptr);
  ~OpenAlexGateway();

  // Listens on address:port (port 0: any free port) and returns the port bound; throws
  // ServiceError when the address cannot be bound or the gateway already runs.
  int Start(const std::string& address = kDefaultServiceHost, int port = 0);
  // "http://address:port" while running; empty otherwise.
  std::string BaseAddress() const;
  // See OpenAlexSource::BudgetReport.
  std::string BudgetReport() const;
  // Stops listening and ends the requests in progress, cutting short what waits on OpenAlex, so
  // that it returns within moments whatever is in flight. Idempotent.
  void Stop();

 private:
  OpenAlexSource m_source;
  ServedSource m_served;
};

}  // namespace wendrel
