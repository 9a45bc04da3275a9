// Writes publications into a corpus file: the publication row, its venue and its full-text
// entry. Shared by the importer, which fills a fresh file, and the OpenAlex cache, which keeps
// adding to one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "service/publication.h"
#include "platform/sqlite_db.h"

namespace wendrel {

class CorpusWriter {
 public:
  // The file must hold the corpus tables (kCorpusTables).
  explicit CorpusWriter(SqliteDb& db);

  // Inserts the publication, or replaces the one with the same ID (its row stays), and returns
  // its row. The citation count is stored as given; venue IDs are the writer's own.
  int64_t Put(const Publication& publication);
  // The row of an ID, or 0 when the file does not hold it.
  int64_t RowOf(const std::string& id);

 private:
  int64_t VenueId(VenueKind kind, const std::string& name);
  void IndexText(int64_t row, const Publication& publication, bool remove);

  SqliteDb& m_db;
  SqliteStatement m_findRow;
  SqliteStatement m_insert;
  SqliteStatement m_update;
  SqliteStatement m_old;
  SqliteStatement m_text;
  SqliteStatement m_removeText;
  SqliteStatement m_findVenue;
  SqliteStatement m_insertVenue;
  std::map<std::pair<int, std::string>, int64_t> m_venues;
};

// The "format" and "publications" entries of corpus_info, written when a file is complete.
void WriteCorpusInfo(SqliteDb& db);

}  // namespace wendrel
