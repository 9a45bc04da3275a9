#include "service/openalex_gateway.h"

#include <nlohmann/json.hpp>

#include "service/openalex_work.h"
#include "service/search_request.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

// "w" and digits (see ShortOpenAlexId): the only IDs the gateway asks OpenAlex about.
bool IsWorkId(const std::string& id) {
  return id.size() >= 2 && id[0] == 'w' && NumericId(std::string_view(id).substr(1)).has_value();
}

// Commas and bars are OpenAlex's filter syntax: in a searched text they are only blanks.
std::string FilterText(const std::string& text) {
  std::string clean = text;
  for (char& c : clean)
    if (c == ',' || c == '|') c = ' ';
  size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return EncodeQueryValue(clean.substr(first, clean.find_last_not_of(' ') - first + 1));
}

std::string ListSort(PublicationOrder order) {
  return order == PublicationOrder::Year ? "publication_year:desc" : "cited_by_count:desc";
}

}  // namespace

// One list as OpenAlex pages it. The works listed belong to `owner`'s references (ownerCites) or
// citing works, when an owner is named; `works` is false for lists of other entities (sources).
struct OpenAlexSource::Listing {
  std::string query;  // path and query without paging
  std::string owner;
  bool ownerCites = false;
  bool works = true;
};

OpenAlexSource::OpenAlexSource(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http)
    : m_options(std::move(options)),
      m_client(
          [this] {
            OpenAlexOptions api = m_options.api;
            api.log = [this](const std::string& line) { Log(line); };
            return api;
          }(),
          std::move(http)),
      m_cache(m_options.cachePath, !m_options.offline) {
  if (m_options.offline)
    Log("offline: answering from " + m_options.cachePath + " alone");
  else if (m_options.api.apiKey.empty())
    Log("no OpenAlex API key: requests go without one and OpenAlex may limit or refuse them. Get a free key at "
        "https://openalex.org (your account's settings) and give it with --api-key KEY or in OPENALEX_API_KEY.");
}

OpenAlexSource::~OpenAlexSource() = default;

void OpenAlexSource::Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(m_logMutex);
  if (m_options.log) m_options.log(line);
}

PublicationPage OpenAlexSource::Retrieve(const std::string& id, int64_t offset) {
  PublicationPage page;
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return page;
  std::optional<Publication> work =
      m_cache.Work(key, m_options.offline ? std::nullopt : std::optional(m_options.maxAge));
  if (!work && m_options.offline) {
    Log("offline: the cache holds no work " + key);
    return page;
  }
  if (!work) {
    try {
      std::optional<Json> reply = m_client.Get("/works/" + ApiOpenAlexId(key));
      if (!reply) return page;
      ImportedWork fetched = ReadOpenAlexWork(*reply);
      m_cache.Put({fetched});
      // Read back, so that a fresh answer and a cached one are the same bytes.
      work = m_cache.Work(fetched.publication.id, std::nullopt);
      if (!work) return page;
    } catch (const OpenAlexFormatError& e) {
      Log(std::string("OpenAlex sent a malformed work for ") + key + ": " + e.what());
      throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
    } catch (const SourceUnavailable&) {
      work = m_cache.Work(key, std::nullopt);
      if (!work) throw;
      Log("answering " + key + " from the cache, older than the age limit");
    }
  }
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
    if (!listing.works) {
      std::string id = result.is_object() && result.contains("id") && result["id"].is_string()
                           ? ShortOpenAlexId(result["id"].get<std::string>())
                           : std::string();
      if (!id.empty()) listed.ids.push_back(id);
      continue;
    }
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
  m_cache.Put(works, listing.query, page, listed, citations);
  return listed;
}

std::optional<CachedPage> OpenAlexSource::ListPage(const Listing& listing, int64_t page) {
  if (auto cached = m_cache.Page(listing.query, page,
                                 m_options.offline ? std::nullopt : std::optional(m_options.maxAge)))
    return cached;
  if (m_options.offline) {
    Log("offline: the cache holds no page " + std::to_string(page) + " of " + listing.query);
    return std::nullopt;
  }
  const std::string perPage = "&per_page=" + std::to_string(kOpenAlexPageSize);
  try {
    if (page * kOpenAlexPageSize <= kOpenAlexPagedLimit) {
      std::optional<Json> reply = m_client.Get(listing.query + perPage + "&page=" + std::to_string(page));
      return reply ? StorePage(listing, page, *reply) : CachedPage{};
    }
    // Past plain paging's reach: walk with cursors from the nearest page whose cursor is known.
    int64_t at = 1;
    std::string cursor = "*";
    {
      std::lock_guard<std::mutex> lock(m_cursorMutex);
      const auto& known = m_cursors[listing.query];
      if (auto it = known.upper_bound(page); it != known.begin()) {
        --it;
        at = it->first;
        cursor = it->second;
      }
    }
    for (;;) {
      std::optional<Json> reply = m_client.Get(listing.query + perPage + "&cursor=" + EncodeQueryValue(cursor));
      if (!reply) return CachedPage{};
      CachedPage listed = StorePage(listing, at, *reply);
      const Json& next = (*reply)["meta"].contains("next_cursor") ? (*reply)["meta"]["next_cursor"] : Json();
      const bool more = next.is_string() && !next.get<std::string>().empty() && !listed.ids.empty();
      if (more) {
        std::lock_guard<std::mutex> lock(m_cursorMutex);
        m_cursors[listing.query][at + 1] = next.get<std::string>();
      }
      if (at == page) return listed;
      if (!more) return CachedPage{listed.total, {}};
      ++at;
      cursor = next.get<std::string>();
    }
  } catch (const SourceUnavailable&) {
    std::optional<CachedPage> stale = m_cache.Page(listing.query, page, std::nullopt);
    if (!stale) throw;
    Log("answering page " + std::to_string(page) + " of " + listing.query +
        " from the cache, older than the age limit");
    return stale;
  }
}

PublicationPage OpenAlexSource::List(const Listing& listing, int64_t offset, int64_t limit) {
  PublicationPage result;
  const int64_t firstPage = offset / kOpenAlexPageSize + 1;
  const int64_t lastPage = (offset + limit - 1) / kOpenAlexPageSize + 1;
  for (int64_t page = firstPage; page <= lastPage; ++page) {
    std::optional<CachedPage> listed = ListPage(listing, page);
    if (!listed) break;
    result.total = listed->total;
    const int64_t pageStart = (page - 1) * kOpenAlexPageSize;
    for (size_t i = 0; i < listed->ids.size(); ++i) {
      const int64_t position = pageStart + static_cast<int64_t>(i);
      if (position < offset || position >= offset + limit) continue;
      if (std::optional<Publication> work = m_cache.Work(listed->ids[i], std::nullopt))
        result.items.push_back(std::move(*work));
    }
    if (static_cast<int64_t>(listed->ids.size()) < kOpenAlexPageSize) break;
  }
  return result;
}

PublicationPage OpenAlexSource::References(const std::string& id, PublicationOrder order, int64_t offset,
                                           int64_t limit) {
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return {};
  return List({"/works?filter=cited_by:" + ApiOpenAlexId(key) + "&sort=" + ListSort(order), key, true}, offset,
              limit);
}

PublicationPage OpenAlexSource::Citing(const std::string& id, PublicationOrder order, int64_t offset,
                                       int64_t limit) {
  const std::string key = ShortOpenAlexId(id);
  if (!IsWorkId(key)) return {};
  return List({"/works?filter=cites:" + ApiOpenAlexId(key) + "&sort=" + ListSort(order), key, false}, offset,
              limit);
}

std::string OpenAlexSource::SourceFilter(const std::string& name, const char* type) {
  std::string text = FilterText(name);
  if (text.empty()) return {};
  Listing sources{"/sources?search=" + text + "&filter=type:" + type + "&select=id", "", false, false};
  std::optional<CachedPage> found = ListPage(sources, 1);
  std::string ids;
  if (found)
    for (const std::string& id : found->ids) ids += (ids.empty() ? "" : "%7C") + ApiOpenAlexId(id);
  return ids;
}

PublicationPage OpenAlexSource::Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                                       int64_t limit) {
  if (!criteria.doi.empty()) return List({"/works?filter=doi:" + EncodeQueryValue(criteria.doi), "", false, true}, offset, limit);
  std::vector<std::string> filters;
  auto add = [&filters](const char* field, const std::string& text) {
    if (std::string value = FilterText(text); !value.empty()) filters.push_back(field + value);
  };
  add("title.search:", criteria.title);
  add("raw_author_name.search:", criteria.author);
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
  return List({query, "", false, true}, offset, limit);
}

OpenAlexGateway::OpenAlexGateway(OpenAlexGatewayOptions options, std::unique_ptr<HttpClient> http)
    : m_source(std::move(options), std::move(http)) {}

OpenAlexGateway::~OpenAlexGateway() { Stop(); }

int OpenAlexGateway::Start(const std::string& address, int port) {
  return m_server.Start(
      address, port,
      [this](const QueryParameters& parameters) { return AnswerSearchRequest(m_source, parameters); },
      "the OpenAlex gateway");
}

std::string OpenAlexGateway::BaseAddress() const { return m_server.BaseAddress(); }

void OpenAlexGateway::Stop() {
  m_source.Stop();
  m_server.Stop();
  // Every request has ended: a later Start serves again.
  m_source.Resume();
}

}  // namespace wendrel
