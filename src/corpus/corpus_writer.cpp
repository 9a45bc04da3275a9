#include "corpus/corpus_writer.h"

#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "corpus/corpus_schema.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

std::string AuthorText(const Publication& p) {
  std::string text;
  for (const PublicationAuthor& a : p.authors) {
    if (!text.empty()) text += "; ";
    text += a.firstName + " " + a.lastName;
  }
  return text;
}

}  // namespace

CorpusWriter::CorpusWriter(SqliteDb& db)
    : m_db(db),
      m_findRow(db, "SELECT id FROM publication WHERE external_id = ?1"),
      m_insert(db,
               "INSERT INTO publication(external_id, title, abstract, year, venue_id, doi, authors, keywords, urls,"
               " citation_count, reference_count) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"),
      m_update(db,
               "UPDATE publication SET external_id = ?1, title = ?2, abstract = ?3, year = ?4, venue_id = ?5,"
               " doi = ?6, authors = ?7, keywords = ?8, urls = ?9, citation_count = ?10, reference_count = ?11"
               " WHERE id = ?12"),
      m_old(db,
            "SELECT p.title, p.abstract, p.authors, v.kind, v.name FROM publication p"
            " LEFT JOIN venue v ON v.id = p.venue_id WHERE p.id = ?1"),
      m_text(db,
             "INSERT INTO publication_text(rowid, title, abstract, authors, journal, conference)"
             " VALUES(?1, ?2, ?3, ?4, ?5, ?6)"),
      m_removeText(db,
                   "INSERT INTO publication_text(publication_text, rowid, title, abstract, authors, journal,"
                   " conference) VALUES('delete', ?1, ?2, ?3, ?4, ?5, ?6)"),
      m_findVenue(db, "SELECT id FROM venue WHERE kind = ?1 AND name = ?2"),
      m_insertVenue(db, "INSERT INTO venue(kind, name) VALUES(?1, ?2)") {}

int64_t CorpusWriter::RowOf(const std::string& id) {
  m_findRow.Bind(1, id);
  int64_t row = m_findRow.Step() ? m_findRow.Int(0) : 0;
  m_findRow.Reset();
  return row;
}

int64_t CorpusWriter::VenueId(VenueKind kind, const std::string& name) {
  auto key = std::make_pair(static_cast<int>(kind), name);
  if (auto it = m_venues.find(key); it != m_venues.end()) return it->second;
  m_findVenue.Bind(1, int64_t{key.first}).Bind(2, name);
  int64_t id = m_findVenue.Step() ? m_findVenue.Int(0) : 0;
  m_findVenue.Reset();
  if (id == 0) {
    m_insertVenue.Bind(1, int64_t{key.first}).Bind(2, name);
    m_insertVenue.Run();
    id = sqlite3_last_insert_rowid(m_db.Handle());
  }
  m_venues.emplace(std::move(key), id);
  return id;
}

// A contentless full-text index forgets what it indexed: removing an entry takes the values it
// was indexed with.
void CorpusWriter::IndexText(int64_t row, const Publication& p, bool remove) {
  SqliteStatement& s = remove ? m_removeText : m_text;
  s.Bind(1, row).Bind(2, p.title).Bind(3, p.abstract).Bind(4, AuthorText(p));
  if (p.venueKind == VenueKind::Journal) s.Bind(5, p.venueName);
  if (p.venueKind == VenueKind::Conference) s.Bind(6, p.venueName);
  s.Run();
}

int64_t CorpusWriter::Put(const Publication& p) {
  int64_t row = RowOf(p.id);
  if (row != 0) {
    Publication old;
    m_old.Bind(1, row);
    if (m_old.Step()) {
      old.title = m_old.Text(0);
      old.abstract = m_old.Text(1);
      for (const auto& a : Json::parse(m_old.Text(2), nullptr, false))
        if (a.is_array() && a.size() == 3) old.authors.push_back({0, a[1].get<std::string>(), a[2].get<std::string>()});
      if (!m_old.IsNull(3)) {
        old.venueKind = m_old.Int(3) == 2 ? VenueKind::Conference : VenueKind::Journal;
        old.venueName = m_old.Text(4);
      }
    }
    m_old.Reset();
    IndexText(row, old, true);
  }
  Json authors = Json::array();
  for (const PublicationAuthor& a : p.authors) authors.push_back(Json::array({a.id, a.firstName, a.lastName}));
  Json keywords = Json::array();
  for (const PublicationKeyword& k : p.keywords) keywords.push_back(Json::array({k.id, k.name}));
  SqliteStatement& s = row ? m_update : m_insert;
  s.Bind(1, p.id).Bind(2, p.title).Bind(3, p.abstract).Bind(4, int64_t{p.year}).Bind(6, p.doi);
  if (p.venueKind != VenueKind::None) s.Bind(5, VenueId(p.venueKind, p.venueName));
  s.Bind(7, authors.dump(-1, ' ', false, Json::error_handler_t::replace));
  s.Bind(8, keywords.dump(-1, ' ', false, Json::error_handler_t::replace));
  s.Bind(9, Json(p.urls).dump(-1, ' ', false, Json::error_handler_t::replace));
  s.Bind(10, p.citationCount).Bind(11, p.referenceCount);
  if (row) s.Bind(12, row);
  s.Run();
  if (!row) row = sqlite3_last_insert_rowid(m_db.Handle());
  IndexText(row, p, false);
  return row;
}

void WriteCorpusInfo(SqliteDb& db) {
  db.Execute(std::string("INSERT OR REPLACE INTO corpus_info(key, value) VALUES('format', '") + kCorpusFormat +
             "'), ('publications', (SELECT count(*) FROM publication))");
}

}  // namespace wendrel
