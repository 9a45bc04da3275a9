// Read-only queries over a corpus file: one publication, its references, the publications citing
// it, and searches by words and years. One reader is one SQLite connection: use it from one
// thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "service/publication.h"
#include "service/sqlite_db.h"

namespace wendrel {

enum class PublicationOrder {
  Rank,           // searches: relevance, then citation count; lists: as CitationCount
  CitationCount,  // most cited first, ties by ID
  Year,           // newest first, then most cited, then ID; unknown years (0) last
};

// The criteria of a search; they combine with AND. The texts are words separated by blanks; every
// word must occur (case-insensitive) in the field. A text of blanks only is no criterion.
struct SearchCriteria {
  std::string fullText;  // title or abstract
  std::string title;
  std::string author;  // any author's first or last name
  std::string journal;
  std::string conference;
  int yearStart = 0;  // 0: no bound; with a bound, publications of unknown year never match
  int yearEnd = 0;
};

class CorpusReader {
 public:
  // Opens the corpus read-only; throws ServiceError when the file is missing or not a corpus.
  explicit CorpusReader(const std::string& path);
  ~CorpusReader();

  std::optional<Publication> Load(int64_t id);

  // Pages skip `offset` publications of the whole answer and hold at most `limit` (at least 1).
  // The one publication, as a page of at most one.
  PublicationPage Retrieve(int64_t id, int64_t offset);
  // The publications of the corpus that `id` cites.
  PublicationPage References(int64_t id, PublicationOrder order, int64_t offset, int64_t limit);
  // The publications of the corpus that cite `id`.
  PublicationPage Citing(int64_t id, PublicationOrder order, int64_t offset, int64_t limit);
  // A search without any criterion finds nothing.
  PublicationPage Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset, int64_t limit);

 private:
  SqliteStatement& Statement(const std::string& sql);
  PublicationPage EdgePage(const char* table, const char* from, const char* to, int64_t id,
                           PublicationOrder order, int64_t offset, int64_t limit);
  void LoadInto(PublicationPage& page, SqliteStatement& ids);

  SqliteDb m_db;
  std::map<std::string, std::unique_ptr<SqliteStatement>> m_statements;
};

}  // namespace wendrel
