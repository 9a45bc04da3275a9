#include "openalex/openalex_cache.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "corpus/corpus_check.h"
#include "corpus/corpus_reader.h"
#include "corpus/corpus_schema.h"
#include "corpus/corpus_writer.h"
#include "service/service_error.h"
#include "platform/user_folders.h"

namespace wendrel {

namespace {

constexpr const char* kCacheTables = R"sql(
CREATE TABLE IF NOT EXISTS cache_work(id INTEGER PRIMARY KEY, fetched_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS cache_page(query TEXT NOT NULL, page INTEGER NOT NULL, total INTEGER NOT NULL,
  fetched_at INTEGER NOT NULL, ids TEXT NOT NULL, PRIMARY KEY(query, page)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS cache_cursor(query TEXT NOT NULL, page INTEGER NOT NULL, cursor TEXT NOT NULL,
  PRIMARY KEY(query, page)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS cache_alias(alias TEXT PRIMARY KEY, id TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS cache_mark(id INTEGER PRIMARY KEY, retracted INTEGER NOT NULL, type TEXT NOT NULL);
)sql";

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Format(SqliteDb& db) {
  try {
    SqliteStatement check(db, "SELECT value FROM corpus_info WHERE key = 'format'");
    return check.Step() ? check.Text(0) : std::string();
  } catch (const SqliteError&) {
    return {};
  }
}

// A cache SQLite cannot read says so in its words ("vtable constructor failed: ..."); the user
// needs to hear which file it is and what to do about it.
[[noreturn]] void ThrowUnreadable(const std::string& path, const SqliteError& e) {
  const int code = e.Code() & 0xff;
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_ERROR)
    throw ServiceError("the OpenAlex cache " + path + " is damaged (" + e.SqliteText() +
                       "); move it aside to start a new one");
  throw ServiceError("cannot open the OpenAlex cache " + path + ": " + e.Reason());
}

SqliteDb OpenFile(const std::string& path, bool create) {
  if (std::filesystem::is_directory(path)) throw ServiceError(path + " is a folder, not an OpenAlex cache");
  if (!create && !std::filesystem::exists(path)) throw ServiceError("there is no cache at " + path);
  if (create) {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  }
  try {
    return SqliteDb(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0));
  } catch (const SqliteError& e) {
    ThrowUnreadable(path, e);
  }
}

}  // namespace

OpenAlexCache::OpenAlexCache(const std::string& path, bool create) : m_db(OpenFile(path, create)) {
  try {
    m_db.Execute("PRAGMA busy_timeout = 5000");
    bool empty = false;
    {
      SqliteStatement tables(m_db, "SELECT count(*) FROM sqlite_master");
      empty = tables.Step() && tables.Int(0) == 0;
    }
    if (empty) {
      m_db.Execute("PRAGMA journal_mode = WAL");
      m_db.Execute("BEGIN");
      m_db.Execute(kCorpusTables);
      m_db.Execute(kCorpusIndexes);
      WriteCorpusInfo(m_db);
      m_db.Execute("COMMIT");
    } else if (Format(m_db) != kCorpusFormat) {
      throw ServiceError(path + " is not an OpenAlex cache (nor a corpus with text IDs)");
    } else {
      // A cache too large to check at start is left to `wendrel corpus check`.
      CheckCorpusAtStart(path, "the OpenAlex cache", "move it aside to start a new one");
    }
    m_db.Execute("PRAGMA synchronous = NORMAL");
    m_db.Execute(kCacheTables);
    m_writer = std::make_unique<CorpusWriter>(m_db);
    m_reader = std::make_unique<CorpusReader>(path);
  } catch (const SqliteError& e) {
    ThrowUnreadable(path, e);
  }
}

OpenAlexCache::~OpenAlexCache() {
  try {
    std::lock_guard<std::mutex> lock(m_mutex);
    WriteCorpusInfo(m_db);
  } catch (const SqliteError&) {
    // The count is only informative; a read-only file keeps the old one.
  }
}

bool OpenAlexCache::Fresh(std::optional<int64_t> fetchedAt, std::optional<std::chrono::seconds> maxAge) const {
  if (!maxAge) return true;
  return fetchedAt && Now() - *fetchedAt < maxAge->count();
}

std::optional<Publication> OpenAlexCache::Work(const std::string& id, std::optional<std::chrono::seconds> maxAge) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::optional<int64_t> fetchedAt;
  bool retracted = false;
  std::string type;
  std::string held = id;
  {
    SqliteStatement alias(m_db, "SELECT id FROM cache_alias WHERE alias = ?1");
    alias.Bind(1, id);
    if (alias.Step()) held = alias.Text(0);
  }
  {
    SqliteStatement s(m_db,
                      "SELECT w.fetched_at, m.retracted, m.type FROM publication p"
                      " LEFT JOIN cache_work w ON w.id = p.id LEFT JOIN cache_mark m ON m.id = p.id"
                      " WHERE p.external_id = ?1");
    s.Bind(1, held);
    if (!s.Step()) return std::nullopt;
    if (!s.IsNull(0)) fetchedAt = s.Int(0);
    if (!s.IsNull(1)) {
      retracted = s.Int(1) != 0;
      type = s.Text(2);
    }
  }
  if (!Fresh(fetchedAt, maxAge)) return std::nullopt;
  std::optional<Publication> work = m_reader->Load(held);
  if (work) {
    work->retracted = retracted;
    work->workType = type;
  }
  return work;
}

std::optional<CachedPage> OpenAlexCache::Page(const std::string& query, int64_t page,
                                              std::optional<std::chrono::seconds> maxAge) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // A list's pages are as fresh as its first: they belong to the walk it began.
  SqliteStatement s(m_db,
                    "SELECT p.total, first.fetched_at, p.ids FROM cache_page p"
                    " LEFT JOIN cache_page first ON first.query = p.query AND first.page = 1"
                    " WHERE p.query = ?1 AND p.page = ?2");
  s.Bind(1, query).Bind(2, page);
  if (!s.Step() || !Fresh(s.IsNull(1) ? std::nullopt : std::optional(s.Int(1)), maxAge)) return std::nullopt;
  CachedPage cached;
  cached.total = s.Int(0);
  nlohmann::json ids = nlohmann::json::parse(s.Text(2), nullptr, false);
  if (!ids.is_array()) return std::nullopt;
  for (const auto& id : ids)
    if (id.is_string()) cached.ids.push_back(id.get<std::string>());
  return cached;
}

void OpenAlexCache::Put(const std::vector<ImportedWork>& works, const std::string& query, int64_t page,
                        const CachedPage& listed, const std::vector<std::pair<std::string, std::string>>& citations) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int64_t now = Now();
  m_db.Execute("BEGIN IMMEDIATE");
  try {
    SqliteStatement seen(m_db, "INSERT OR REPLACE INTO cache_work(id, fetched_at) VALUES(?1, ?2)");
    // The corpus tables have no room for what OpenAlex says of a work beyond the publication.
    SqliteStatement mark(m_db, "INSERT OR REPLACE INTO cache_mark(id, retracted, type) VALUES(?1, ?2, ?3)");
    for (const ImportedWork& work : works) {
      const int64_t row = m_writer->Put(work.publication);
      seen.Bind(1, row).Bind(2, now);
      seen.Run();
      mark.Bind(1, row).Bind(2, work.publication.retracted ? 1 : 0).Bind(3, work.publication.workType);
      mark.Run();
    }
    if (!query.empty() && page == 1) {
      // A new walk of the list: the pages and cursors of the last one belong to another order.
      for (const char* sql : {"DELETE FROM cache_page WHERE query = ?1 AND page > 1",
                              "DELETE FROM cache_cursor WHERE query = ?1"}) {
        SqliteStatement forget(m_db, sql);
        forget.Bind(1, query);
        forget.Run();
      }
    }
    if (!query.empty()) {
      SqliteStatement s(m_db,
                        "INSERT OR REPLACE INTO cache_page(query, page, total, fetched_at, ids)"
                        " VALUES(?1, ?2, ?3, ?4, ?5)");
      s.Bind(1, query).Bind(2, page).Bind(3, listed.total).Bind(4, now).Bind(5, nlohmann::json(listed.ids).dump());
      s.Run();
    }
    // The edge tables keep the other end's citation count in their key: a pair is replaced whole.
    SqliteStatement row(m_db, "SELECT id, citation_count FROM publication WHERE external_id = ?1");
    SqliteStatement forget(m_db,
                           "DELETE FROM reference_edge WHERE citing = ?1 AND cited = ?2");
    SqliteStatement forgetCiting(m_db, "DELETE FROM citation_edge WHERE cited = ?2 AND citing = ?1");
    SqliteStatement reference(m_db,
                              "INSERT INTO reference_edge(citing, cited_citations, cited) VALUES(?1, ?2, ?3)");
    SqliteStatement citation(m_db,
                             "INSERT INTO citation_edge(cited, citing_citations, citing) VALUES(?1, ?2, ?3)");
    auto look = [&row](const std::string& id) -> std::optional<std::pair<int64_t, int64_t>> {
      row.Bind(1, id);
      std::optional<std::pair<int64_t, int64_t>> found;
      if (row.Step()) found = std::make_pair(row.Int(0), row.Int(1));
      row.Reset();
      return found;
    };
    for (const auto& [citingId, citedId] : citations) {
      auto citing = look(citingId);
      auto cited = look(citedId);
      if (!citing || !cited || citing->first == cited->first) continue;
      forget.Bind(1, citing->first).Bind(2, cited->first);
      forget.Run();
      forgetCiting.Bind(1, citing->first).Bind(2, cited->first);
      forgetCiting.Run();
      reference.Bind(1, citing->first).Bind(2, cited->second).Bind(3, cited->first);
      reference.Run();
      citation.Bind(1, cited->first).Bind(2, citing->second).Bind(3, citing->first);
      citation.Run();
    }
    m_db.Execute("COMMIT");
  } catch (...) {
    m_db.Execute("ROLLBACK");
    throw;
  }
}

void OpenAlexCache::PutAlias(const std::string& alias, const std::string& id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteStatement s(m_db, "INSERT OR REPLACE INTO cache_alias(alias, id) VALUES(?1, ?2)");
  s.Bind(1, alias).Bind(2, id);
  s.Run();
}

void OpenAlexCache::PutCursor(const std::string& query, int64_t page, const std::string& cursor) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteStatement s(m_db, "INSERT OR REPLACE INTO cache_cursor(query, page, cursor) VALUES(?1, ?2, ?3)");
  s.Bind(1, query).Bind(2, page).Bind(3, cursor);
  s.Run();
}

std::optional<std::pair<int64_t, std::string>> OpenAlexCache::NearestCursor(const std::string& query, int64_t page) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteStatement s(m_db,
                    "SELECT page, cursor FROM cache_cursor WHERE query = ?1 AND page <= ?2 ORDER BY page DESC LIMIT 1");
  s.Bind(1, query).Bind(2, page);
  if (!s.Step()) return std::nullopt;
  return std::make_pair(s.Int(0), s.Text(1));
}

std::string DefaultOpenAlexCachePath() { return UserCacheFile("openalex.sqlite"); }

}  // namespace wendrel
