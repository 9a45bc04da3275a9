#include "openalex/openalex_gateway.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/text_encoding.h"
#include "openalex/openalex_work.h"
#include "service/search_request.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

// "w" and digits (see ShortOpenAlexId): the only IDs the gateway asks OpenAlex about.
bool IsWorkId(const std::string& id) {
  return id.size() >= 2 && id[0] == 'w' && NumericId(std::string_view(id).substr(1)).has_value();
}

// The searched text as plain words: OpenAlex's filter syntax (commas, bars), its phrase, group and
// wildcard signs (a wildcard on a stemmed search is refused outright) made blanks, its Boolean
// operators (upper-case AND, OR, NOT) made words, runs of blanks made one.
std::string PlainWords(const std::string& text) {
  std::string blanked;
  for (char c : text) blanked += std::string_view(",|\"()*?~\\\t\r\n").find(c) == std::string_view::npos ? c : ' ';
  std::string words;
  for (size_t at = 0; (at = blanked.find_first_not_of(' ', at)) != std::string::npos;) {
    const size_t end = std::min(blanked.find(' ', at), blanked.size());
    std::string word = blanked.substr(at, end - at);
    if (word == "AND" || word == "OR" || word == "NOT") word = LowerCaseText(word);
    words += (words.empty() ? "" : " ") + word;
    at = end;
  }
  return words;
}

std::string FilterText(const std::string& text) { return EncodeQueryValue(PlainWords(text)); }

// An author's name as a phrase of the byline: unquoted, each word would match in any author of the
// work. A slop of one lets "George Akerlof" find "George A. Akerlof"; bylines are printed in both
// orders ("Priem Jason"), so both are asked for; "Akerlof, George" is put in byline order first.
std::string AuthorPhrase(const std::string& name) {
  std::string ordered = name;
  if (size_t comma = name.find(','); comma != std::string::npos)
    ordered = name.substr(comma + 1) + " " + name.substr(0, comma);
  const std::string words = PlainWords(ordered);
  if (words.empty()) return {};
  const size_t lastBlank = words.rfind(' ');
  if (lastBlank == std::string::npos) return EncodeQueryValue("\"" + words + "\"");
  const std::string reversed = words.substr(lastBlank + 1) + " " + words.substr(0, lastBlank);
  return EncodeQueryValue("\"" + words + "\"~1 OR \"" + reversed + "\"~1");
}

// The part of a DOI as a path of the address: each piece between slashes encoded, the slashes kept.
std::string DoiPath(const std::string& doi) {
  std::string path;
  for (size_t at = 0;;) {
    const size_t slash = doi.find('/', at);
    path += EncodeQueryValue(doi.substr(at, slash == std::string::npos ? std::string::npos : slash - at));
    if (slash == std::string::npos) return path;
    path += '/';
    at = slash + 1;
  }
}

// OpenAlex leaves the works of its "expansion pack" out of lists unless asked: without them a
// work's references and citing works fall short of the counts it shows.
constexpr const char* kWithExpansionPack = "&include_xpac=true";

std::string ListSort(PublicationOrder order) {
  return order == PublicationOrder::Year ? "publication_year:desc" : "cited_by_count:desc";
}

}  // namespace

OpenAlexSource::OpenAlexSource(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http)
    : m_options(std::move(options)),
      m_client(
          [this] {
            OpenAlexOptions api = m_options.api;
            api.log = [this](const std::string& line) { Log(line); };
            return api;
          }(),
          std::move(http)),
      m_cache(OpenCache()) {
  if (m_options.offline)
    Log("offline: answering from " + m_options.cachePath + " alone");
  else if (m_options.api.apiKey.empty())
    Log("no OpenAlex API key: requests go without one and OpenAlex may limit or refuse them. Get a free key at "
        "https://openalex.org (your account's settings) and give it with --api-key KEY or in OPENALEX_API_KEY.");
  if (!m_options.api.mailto.empty())
    Log("the e-mail address given (--mailto) is not sent: OpenAlex no longer uses it, and it has no effect");
  if (m_options.prefetch && !m_options.offline) m_prefetcher = std::thread([this] { PrefetchLoop(); });
}

OpenAlexSource::~OpenAlexSource() {
  {
    std::lock_guard<std::mutex> lock(m_prefetchMutex);
    m_stopping = true;
    m_prefetchQueue.clear();
  }
  m_prefetchWake.notify_all();
  if (m_prefetcher.joinable()) m_prefetcher.join();
  m_cache.reset();
  RemoveFallback();
}

std::unique_ptr<OpenAlexCache> OpenAlexSource::OpenCache() {
  try {
    return std::make_unique<OpenAlexCache>(m_options.cachePath, !m_options.offline);
  } catch (const ServiceError& e) {
    // Offline the cache is the only source: nothing to fall back to.
    if (m_options.offline) throw;
    m_fallbackPath = (std::filesystem::temp_directory_path() /
                      ("wendrel-openalex-cache-" + std::to_string(getpid()) + "-" +
                       std::to_string(reinterpret_cast<uintptr_t>(this)) + ".sqlite"))
                         .string();
    RemoveFallback();
    auto fallback = std::make_unique<OpenAlexCache>(m_fallbackPath, true);
    Log(e.what());
    Log("answering from OpenAlex with a temporary cache for this run (" + m_fallbackPath +
        "), removed when the gateway stops");
    return fallback;
  }
}

void OpenAlexSource::RemoveFallback() {
  if (m_fallbackPath.empty()) return;
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(m_fallbackPath + suffix, ignored);
}

void OpenAlexSource::Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(m_logMutex);
  if (m_options.log) m_options.log(line);
}

std::optional<Publication> OpenAlexSource::Single(const std::string& key, const std::string& path) {
  std::optional<Publication> work =
      m_cache->Work(key, m_options.offline ? std::nullopt : std::optional(m_options.maxAge));
  if (work || m_options.offline) {
    if (!work) Log("offline: the cache holds no work " + key);
    return work;
  }
  try {
    std::optional<Json> reply = m_client.Get(path + "?select=" + kOpenAlexWorkFields);
    if (!reply) return std::nullopt;
    ImportedWork fetched = ReadOpenAlexWork(*reply);
    m_cache->Put({fetched});
    // A merged work's old ID is answered with the work it went into, a DOI with its work: keep
    // the key as an alias, or it would be asked for again every time, and never answered offline.
    if (fetched.publication.id != key) {
      m_cache->PutAlias(key, fetched.publication.id);
      if (IsWorkId(key)) Log(key + " is merged into " + fetched.publication.id + ": kept as an alias");
    }
    // Read back, so that a fresh answer and a cached one are the same bytes.
    return m_cache->Work(fetched.publication.id, std::nullopt);
  } catch (const OpenAlexFormatError& e) {
    Log(std::string("OpenAlex sent a malformed work for ") + key + ": " + e.what());
    throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
  } catch (const SourceUnavailable&) {
    work = m_cache->Work(key, std::nullopt);
    if (!work) throw;
    Log("answering " + key + " from the cache, older than the age limit");
    return work;
  }
}

PublicationPage OpenAlexSource::Retrieve(const std::string& id, int64_t offset) {
  PublicationPage page;
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return page;
  std::optional<Publication> work = Single(key, "/works/" + ApiOpenAlexId(key));
  if (!work) return page;
  page.total = 1;
  if (offset == 0) page.items.push_back(std::move(*work));
  return page;
}

CachedPage OpenAlexSource::StorePage(const Listing& listing, int64_t page, const Json& reply) {
  const Json& results = reply.contains("results") ? reply["results"] : Json();
  const Json& meta = reply.contains("meta") ? reply["meta"] : Json();
  if (!results.is_array() || !meta.is_object() || !meta.contains("count") || !meta["count"].is_number_integer()) {
    Log("OpenAlex sent a list without results or count for " + listing.query);
    throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
  }
  CachedPage listed;
  listed.total = meta["count"].get<int64_t>();
  std::vector<ImportedWork> works;
  std::vector<std::pair<std::string, std::string>> citations;
  for (const Json& result : results) {
    try {
      works.push_back(ReadOpenAlexWork(result));
    } catch (const OpenAlexFormatError& e) {
      Log(std::string("skipped a malformed work in ") + listing.query + ": " + e.what());
      continue;
    }
    const std::string& id = works.back().publication.id;
    listed.ids.push_back(id);
    if (!listing.owner.empty())
      citations.push_back(listing.ownerCites ? std::make_pair(listing.owner, id) : std::make_pair(id, listing.owner));
  }
  m_cache->Put(works, listing.query, page, listed, citations);
  return listed;
}

CachedPage OpenAlexSource::ListPage(const Listing& listing, int64_t page) {
  const std::pair<std::string, int64_t> key(listing.query, page);
  {
    std::unique_lock<std::mutex> lock(m_fetchMutex);
    for (;;) {
      if (auto cached = m_cache->Page(listing.query, page,
                                     m_options.offline ? std::nullopt : std::optional(m_options.maxAge)))
        return *cached;
      if (m_options.offline) {
        // Answered as an empty list it would read as a work that cites nothing, or is cited by
        // nothing: the request fails, and says why.
        Log("offline: the cache holds no page " + std::to_string(page) + " of " + listing.query);
        throw SourceUnavailable(503, "not in the cache, and the gateway is offline");
      }
      if (!m_fetching.count(key)) break;
      m_fetchDone.wait(lock);  // on its way (a prefetch): it is in the cache when done, unless it failed
    }
    m_fetching.insert(key);
  }
  struct Fetched {
    OpenAlexSource& source;
    const std::pair<std::string, int64_t>& key;
    ~Fetched() {
      {
        std::lock_guard<std::mutex> lock(source.m_fetchMutex);
        source.m_fetching.erase(key);
      }
      source.m_fetchDone.notify_all();
    }
  } fetched{*this, key};
  return FetchPage(listing, page);
}

// Every page goes by cursor: OpenAlex sorts a list by page number without breaking ties, so pages
// fetched that way can repeat or miss the works of equal rank; its cursors walk one order. A list
// is one snapshot: page 1 begins it (and forgets the pages and cursors of the last one), and later
// pages are walked from the nearest cursor kept, or from the start when the list has expired.
CachedPage OpenAlexSource::FetchPage(const Listing& listing, int64_t page) {
  const std::string query = listing.query + "&select=" + kOpenAlexWorkFields +
                            "&per_page=" + std::to_string(kOpenAlexPageSize);
  try {
    int64_t at = 1;
    std::string cursor = "*";
    if (page > 1 && m_cache->Page(listing.query, 1, m_options.maxAge))
      if (auto kept = m_cache->NearestCursor(listing.query, page)) std::tie(at, cursor) = *kept;
    for (;;) {
      std::optional<Json> reply = m_client.Get(query + "&cursor=" + EncodeQueryValue(cursor));
      if (!reply) return CachedPage{};
      CachedPage listed = StorePage(listing, at, *reply);
      const Json& next = (*reply)["meta"].contains("next_cursor") ? (*reply)["meta"]["next_cursor"] : Json();
      const bool more = next.is_string() && !next.get<std::string>().empty() && !listed.ids.empty();
      if (more) m_cache->PutCursor(listing.query, at + 1, next.get<std::string>());
      if (at == page) return listed;
      if (!more) return CachedPage{listed.total, {}};
      ++at;
      cursor = next.get<std::string>();
    }
  } catch (const SourceUnavailable&) {
    std::optional<CachedPage> stale = m_cache->Page(listing.query, page, std::nullopt);
    if (!stale) throw;
    Log("answering page " + std::to_string(page) + " of " + listing.query +
        " from the cache, older than the age limit");
    return *stale;
  }
}

void OpenAlexSource::Prefetch(const Listing& listing, int64_t page) {
  {
    std::lock_guard<std::mutex> lock(m_prefetchMutex);
    for (const auto& [queued, queuedPage] : m_prefetchQueue)
      if (queuedPage == page && queued.query == listing.query) return;
    m_prefetchQueue.emplace_back(listing, page);
    // Readers who moved on leave pages nobody waits for: only the latest few are worth a request.
    constexpr size_t kMaxQueued = 4;
    if (m_prefetchQueue.size() > kMaxQueued) m_prefetchQueue.pop_front();
  }
  m_prefetchWake.notify_one();
}

void OpenAlexSource::PrefetchLoop() {
  for (;;) {
    std::pair<Listing, int64_t> next;
    {
      std::unique_lock<std::mutex> lock(m_prefetchMutex);
      m_prefetchWake.wait(lock, [this] { return m_stopping || !m_prefetchQueue.empty(); });
      if (m_stopping) return;
      next = std::move(m_prefetchQueue.front());
      m_prefetchQueue.pop_front();
    }
    try {
      ListPage(next.first, next.second);
    } catch (const std::exception& e) {
      // The reader asks again when it gets there, and is told then.
      Log("fetching page " + std::to_string(next.second) + " of " + next.first.query + " ahead failed: " + e.what());
    }
  }
}

PublicationPage OpenAlexSource::List(const Listing& listing, int64_t offset, int64_t limit) {
  PublicationPage result;
  const int64_t firstPage = offset / kOpenAlexPageSize + 1;
  const int64_t lastPage = (offset + limit - 1) / kOpenAlexPageSize + 1;
  for (int64_t page = firstPage; page <= lastPage; ++page) {
    const CachedPage listed = ListPage(listing, page);
    result.total = listed.total;
    // Asked for before this page's works are read back: the reader's next request finds the next
    // page on its way or in the cache.
    if (page == lastPage && m_prefetcher.joinable() && !listing.owner.empty() &&
        listed.total > lastPage * kOpenAlexPageSize)
      Prefetch(listing, lastPage + 1);
    const int64_t pageStart = (page - 1) * kOpenAlexPageSize;
    for (size_t i = 0; i < listed.ids.size(); ++i) {
      const int64_t position = pageStart + static_cast<int64_t>(i);
      if (position < offset || position >= offset + limit) continue;
      if (std::optional<Publication> work = m_cache->Work(listed.ids[i], std::nullopt))
        result.items.push_back(std::move(*work));
    }
    if (static_cast<int64_t>(listed.ids.size()) < kOpenAlexPageSize) break;
  }
  return result;
}

PublicationPage OpenAlexSource::References(const std::string& id, PublicationOrder order, int64_t offset,
                                           int64_t limit) {
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return {};
  return List({"/works?filter=cited_by:" + ApiOpenAlexId(key) + "&sort=" + ListSort(order) + kWithExpansionPack, key,
               true},
              offset, limit);
}

PublicationPage OpenAlexSource::Citing(const std::string& id, PublicationOrder order, int64_t offset,
                                       int64_t limit) {
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return {};
  PublicationPage page =
      List({"/works?filter=cites:" + ApiOpenAlexId(key) + "&sort=" + ListSort(order) + kWithExpansionPack, key, false},
           offset, limit);
  // A growth reads a pearl's citing works last: at their end, say what it left of the budget.
  if (offset + limit >= page.total)
    if (std::string left = BudgetReport(); !left.empty()) Log(left);
  return page;
}

std::string OpenAlexSource::BudgetReport() const {
  const std::optional<double> left = m_client.BudgetLeft();
  if (!left) return {};
  char text[64];
  std::snprintf(text, sizeof text, "OpenAlex's budget left today: $%.4f", *left);
  return text;
}

std::string OpenAlexSource::SourceFilter(const std::string& name, const char* type) {
  const std::string text = PlainWords(name);
  if (text.empty()) return {};
  // The choice is kept as a page of two entries, the source's ID and its name, so that a search
  // asked again (or offline) uses the same source and says which.
  const std::string query = "/sources?search=" + EncodeQueryValue(text) + "&filter=type:" + type;
  std::optional<CachedPage> chosen =
      m_cache->Page(query, 1, m_options.offline ? std::nullopt : std::optional(m_options.maxAge));
  if (!chosen && m_options.offline) {
    Log("offline: the cache holds no " + std::string(type) + " found for \"" + text + "\"");
    throw SourceUnavailable(503, "not in the cache, and the gateway is offline");
  }
  if (!chosen) {
    std::optional<Json> reply;
    try {
      reply = m_client.Get(query + "&select=id,display_name&per_page=25");
    } catch (const SourceUnavailable&) {
      chosen = m_cache->Page(query, 1, std::nullopt);
      if (!chosen) throw;
    }
    if (reply) {
      const Json& results = reply->contains("results") ? (*reply)["results"] : Json();
      if (!results.is_array()) {
        Log("OpenAlex sent a source list without results for " + query);
        throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
      }
      // Many sources share words with a famous one ("Nature"): the one of that very name, else
      // the best ranked, never all of them.
      const Json* best = nullptr;
      for (const Json& source : results) {
        if (!source.is_object() || !source.contains("id") || !source["id"].is_string()) continue;
        const std::string sourceName = source.value("display_name", Json()).is_string()
                                           ? source["display_name"].get<std::string>()
                                           : std::string();
        if (!best) best = &source;
        if (LowerCaseText(PlainWords(sourceName)) == LowerCaseText(text)) {
          best = &source;
          break;
        }
      }
      CachedPage found;
      if (best) {
        found.total = 1;
        found.ids = {ShortOpenAlexId((*best)["id"].get<std::string>()),
                     best->value("display_name", Json()).is_string() ? (*best)["display_name"].get<std::string>()
                                                                     : std::string()};
      }
      m_cache->Put({}, query, 1, found);
      chosen = found;
    } else if (!chosen) {
      chosen = CachedPage{};
    }
  }
  if (chosen->ids.empty()) {
    Log(std::string("no ") + type + " found for \"" + text + "\"");
    return {};
  }
  const std::string id = ApiOpenAlexId(chosen->ids[0]);
  Log(std::string(type) + " \"" + text + "\": searching " + id +
      (chosen->ids.size() > 1 && !chosen->ids[1].empty() ? " (" + chosen->ids[1] + ")" : ""));
  return id;
}

PublicationPage OpenAlexSource::Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                                       int64_t limit) {
  if (!criteria.doi.empty()) {
    // A single work by its DOI costs nothing; the same as a filtered list is charged.
    PublicationPage page;
    std::optional<Publication> work = Single("doi:" + criteria.doi, "/works/doi:" + DoiPath(criteria.doi));
    if (!work) return page;
    page.total = 1;
    if (offset == 0 && limit > 0) page.items.push_back(std::move(*work));
    return page;
  }
  std::vector<std::string> filters;
  auto add = [&filters](const char* field, const std::string& text) {
    if (std::string value = FilterText(text); !value.empty()) filters.push_back(field + value);
  };
  add("title.search:", criteria.title);
  if (std::string phrase = AuthorPhrase(criteria.author); !phrase.empty())
    filters.push_back("raw_author_name.search:" + phrase);
  for (const auto& [name, type] : {std::make_pair(criteria.journal, "journal"),
                                   std::make_pair(criteria.conference, "conference")}) {
    if (FilterText(name).empty()) continue;
    std::string sources = SourceFilter(name, type);
    if (sources.empty()) return {};  // no such venue: nothing can match
    filters.push_back("primary_location.source.id:" + sources);
  }
  if (criteria.yearStart > 0 && criteria.yearEnd > 0)
    filters.push_back("publication_year:" + std::to_string(criteria.yearStart) + "-" +
                      std::to_string(criteria.yearEnd));
  else if (criteria.yearStart > 0)
    filters.push_back("publication_year:%3E" + std::to_string(criteria.yearStart - 1));
  else if (criteria.yearEnd > 0)
    filters.push_back("publication_year:%3C" + std::to_string(criteria.yearEnd + 1));
  const std::string search = FilterText(criteria.fullText);
  if (filters.empty() && search.empty()) return {};

  std::string query = "/works?";
  if (!search.empty()) query += "search=" + search;
  if (!filters.empty()) {
    query += search.empty() ? "filter=" : "&filter=";
    for (size_t i = 0; i < filters.size(); ++i) query += (i ? "," : "") + filters[i];
  }
  if (order != PublicationOrder::Rank) query += "&sort=" + ListSort(order);
  return List({query, "", false}, offset, limit);
}

OpenAlexGateway::OpenAlexGateway(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http)
    : m_source(std::move(options), std::move(http)),
      m_served(
          m_source, "the OpenAlex gateway",
          [](const std::exception& e) { return std::string("answering a request failed: ") + e.what(); },
          [this](const std::string& line) { m_source.Log(line); }) {}

OpenAlexGateway::~OpenAlexGateway() { Stop(); }

int OpenAlexGateway::Start(const std::string& address, int port) { return m_served.Start(address, port); }

std::string OpenAlexGateway::BaseAddress() const { return m_served.BaseAddress(); }

std::string OpenAlexGateway::BudgetReport() const { return m_source.BudgetReport(); }

void OpenAlexGateway::Stop() { m_served.Stop(); }

}  // namespace wendrel
