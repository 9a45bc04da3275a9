// The gateway's memory of OpenAlex: a corpus file (the corpus store's schema, so that the corpus
// service can serve it too) that also records when each work and each list page was fetched.
//
// cache_work   publication row -> when the work was last seen (seconds since 1970)
// cache_page   (query, page) -> the page's IDs in order, the list's total, when it was fetched
// cache_cursor (query, page) -> the cursor that fetches the page in the walk page 1 began
// cache_alias  an ID OpenAlex answered with another work's (merged works), or "doi:" and a DOI ->
//              that work's ID
// cache_mark   publication row -> whether the work is retracted, and its type of work
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "service/publication.h"
#include "platform/sqlite_db.h"

namespace wendrel {

class CorpusReader;
class CorpusWriter;

struct CachedPage {
  int64_t total = 0;
  std::vector<std::string> ids;
};

// Safe to use from several threads. An age limit of nothing takes whatever the cache holds.
class OpenAlexCache {
 public:
  // Opens the cache, creating it (and its folder) when `create` is set; throws ServiceError when the
  // file is missing (without `create`) or is no cache.
  OpenAlexCache(const std::string& path, bool create);
  ~OpenAlexCache();

  // An alias is followed: the work comes back under the ID it is held by.
  std::optional<Publication> Work(const std::string& id, std::optional<std::chrono::seconds> maxAge);
  // A page is as fresh as page 1 of its list (a list is one walk, kept and expired whole).
  std::optional<CachedPage> Page(const std::string& query, int64_t page, std::optional<std::chrono::seconds> maxAge);

  // Stores the works, and the page when `query` is not empty (page 1 begins the list anew: the
  // other pages and cursors kept for it are dropped); `citations` (citing, cited) join the
  // corpus's reference and citation lists where both works are held. One transaction.
  void Put(const std::vector<ImportedWork>& works, const std::string& query = {}, int64_t page = 0,
           const CachedPage& listed = {}, const std::vector<std::pair<std::string, std::string>>& citations = {});

  // `alias` is answered as `id` from now on.
  void PutAlias(const std::string& alias, const std::string& id);

  // Cursors stay valid across restarts, so a deep page once reached is one request away ever after.
  void PutCursor(const std::string& query, int64_t page, const std::string& cursor);
  // The kept cursor of the highest page up to `page` (page, cursor); nothing when none is kept.
  std::optional<std::pair<int64_t, std::string>> NearestCursor(const std::string& query, int64_t page);

 private:
  bool Fresh(std::optional<int64_t> fetchedAt, std::optional<std::chrono::seconds> maxAge) const;

  std::mutex m_mutex;
  SqliteDb m_db;
  std::unique_ptr<CorpusWriter> m_writer;
  std::unique_ptr<CorpusReader> m_reader;
};

// $XDG_CACHE_HOME/wendrel/openalex.sqlite, or ~/.cache/wendrel/openalex.sqlite.
std::string DefaultOpenAlexCachePath();

}  // namespace wendrel
