// Read-only queries over a corpus file: one publication, its references, the publications citing
// it, and searches by words and years. One reader is one SQLite connection: use it from one
// thread at a time. Ties of an order go by the publications' rows (the order of the imported file).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "service/publication.h"
#include "service/publication_source.h"
#include "platform/sqlite_db.h"

namespace wendrel {

class CorpusReader : public PublicationSource {
 public:
  // Opens the corpus read-only; throws ServiceError when the file is missing or not a corpus.
  explicit CorpusReader(const std::string& path);
  ~CorpusReader() override;

  // IDs match without regard to ASCII case.
  std::optional<Publication> Load(const std::string& id);

  PublicationPage Retrieve(const std::string& id, int64_t offset) override;
  // Only the publications of the corpus are listed.
  PublicationPage References(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override;
  PublicationPage Citing(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override;
  PublicationPage Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                         int64_t limit) override;

 private:
  SqliteStatement& Statement(const std::string& sql);
  // The publication's row, or nothing when the corpus does not hold it.
  std::optional<int64_t> Row(const std::string& id);
  std::optional<Publication> LoadRow(int64_t row);
  PublicationPage EdgePage(const char* table, const char* from, const char* to, const std::string& id,
                           PublicationOrder order, int64_t offset, int64_t limit);
  void LoadInto(PublicationPage& page, SqliteStatement& rows);

  SqliteDb m_db;
  // Files of the first format have no external IDs: the row is the ID.
  bool m_numericIds = false;
  std::map<std::string, std::unique_ptr<SqliteStatement>> m_statements;
};

}  // namespace wendrel
