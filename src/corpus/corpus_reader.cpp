#include "corpus/corpus_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "corpus/corpus_schema.h"
#include "service/service_error.h"

namespace wendrel {

namespace {

// Blanks and control bytes separate words; a word without a letter or digit (say "-" or "*") is
// dropped, as the full-text index would find nothing for it.
std::vector<std::string> QueryWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool hasContent = false;
  auto flush = [&] {
    if (hasContent) words.push_back(word);
    word.clear();
    hasContent = false;
  };
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7f) {
      flush();
      continue;
    }
    word.push_back(static_cast<char>(c));
    if (c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) hasContent = true;
  }
  flush();
  return words;
}

// Each word becomes an FTS5 string, so that no user text is ever read as query syntax (AND,
// NEAR, column filters, prefixes); a word with inner punctuation becomes a phrase of its parts.
void AddColumnFilter(std::string& expression, const char* columns, const std::string& text) {
  std::vector<std::string> words = QueryWords(text);
  if (words.empty()) return;
  if (!expression.empty()) expression += " AND ";
  expression += columns;
  expression += " : (";
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) expression += ' ';
    expression += '"';
    for (char c : words[i]) {
      if (c == '"') expression += '"';
      expression += c;
    }
    expression += '"';
  }
  expression += ')';
}

std::string MatchExpression(const SearchCriteria& criteria) {
  std::string expression;
  AddColumnFilter(expression, "{title abstract}", criteria.fullText);
  AddColumnFilter(expression, "title", criteria.title);
  AddColumnFilter(expression, "authors", criteria.author);
  AddColumnFilter(expression, "journal", criteria.journal);
  AddColumnFilter(expression, "conference", criteria.conference);
  return expression;
}

// A corpus file cut short (a copy or download that stopped early) opens without complaint and
// fails only at the first request that reaches a missing page, so the file's own header is
// checked: its page size times its page count is the size the file must have. The count is only
// trusted when the header says it is current, and not while a write-ahead log holds later pages.
void CheckNotTruncated(const std::string& path) {
  static constexpr char kMagic[] = "SQLite format 3";
  SqliteHeader header{};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  auto got = static_cast<size_t>(in.gcount());
  if (got < sizeof(kMagic) || std::memcmp(header.data(), kMagic, sizeof(kMagic)) != 0) return;
  if (got < header.size()) throw ServiceError(path + " is truncated (" + std::to_string(got) + " bytes)");
  std::error_code ec;
  if (std::filesystem::exists(path + "-wal", ec)) return;
  const std::optional<uint64_t> counted = SqliteCountedSize(header);
  if (!counted) return;
  const uint64_t expected = *counted;
  uint64_t size = std::filesystem::file_size(path, ec);
  if (!ec && size < expected)
    throw ServiceError(path + " is truncated: " + std::to_string(size) + " of its " + std::to_string(expected) +
                       " bytes are there");
}

// A folder or a missing file would otherwise surface as SQLite's "disk I/O error" or "unable to
// open database file" at the first query.
SqliteDb OpenCorpus(const std::string& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) throw ServiceError(path + " is a folder, not a corpus file");
  if (!std::filesystem::exists(status)) throw ServiceError("there is no corpus file at " + path);
  try {
    return SqliteDb(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
  } catch (const SqliteError& e) {
    throw ServiceError("cannot open " + path + ": " + e.Reason());
  }
}

// A row listed by an index or an edge but not there is a damaged file, never a shorter list.
[[noreturn]] void ThrowMissing(const std::string& path, int64_t row) {
  throw ServiceError(path + " is damaged: publication " + std::to_string(row) + " is missing");
}

// Without words to rank by, Rank orders as CitationCount.
const char* OrderClause(PublicationOrder order) {
  return order == PublicationOrder::Year ? " ORDER BY p.year DESC, p.citation_count DESC, p.id"
                                         : " ORDER BY p.citation_count DESC, p.id";
}

}  // namespace

CorpusReader::CorpusReader(const std::string& path) : m_db(OpenCorpus(path)) {
  CheckNotTruncated(path);
  std::string format;
  try {
    SqliteStatement check(m_db, "SELECT value FROM corpus_info WHERE key = 'format'");
    if (check.Step()) format = check.Text(0);
  } catch (const SqliteError& e) {
    if ((e.Code() & 0xff) == SQLITE_CORRUPT) throw ServiceError(path + " is damaged (" + e.SqliteText() + ")");
    if ((e.Code() & 0xff) == SQLITE_IOERR) throw ServiceError("cannot read " + path + ": " + e.Reason());
    throw ServiceError(path + " is not a corpus file");
  }
  if (format != kCorpusFormat && format != kNumericCorpusFormat) throw ServiceError(path + " is not a corpus file");
  m_numericIds = format == kNumericCorpusFormat;
  // A mapped file lets every connection of the server share one copy of the pages.
  try {
    m_db.Execute("PRAGMA mmap_size = 268435456");
  } catch (const SqliteError& e) {
    throw ServiceError("cannot read " + path + ": " + e.Reason());
  }
}

CorpusReader::~CorpusReader() = default;

SqliteStatement& CorpusReader::Statement(const std::string& sql) {
  auto& slot = m_statements[sql];
  if (!slot) slot = std::make_unique<SqliteStatement>(m_db, sql);
  return *slot;
}

std::optional<int64_t> CorpusReader::Row(const std::string& id) {
  std::optional<int64_t> row;
  if (m_numericIds) {
    row = NumericId(id);
    if (!row) return std::nullopt;
  }
  SqliteStatement& s = Statement(m_numericIds ? "SELECT id FROM publication WHERE id = ?1"
                                              : "SELECT id FROM publication WHERE external_id = ?1");
  if (row)
    s.Bind(1, *row);
  else
    s.Bind(1, id);
  row.reset();
  if (s.Step()) row = s.Int(0);
  s.Reset();
  return row;
}

std::optional<Publication> CorpusReader::Load(const std::string& id) {
  std::optional<int64_t> row = Row(id);
  return row ? LoadRow(*row) : std::nullopt;
}

std::optional<Publication> CorpusReader::LoadRow(int64_t row) {
  SqliteStatement& s = Statement(
      std::string("SELECT ") + (m_numericIds ? "p.id" : "p.external_id") +
      ", p.title, p.abstract, p.year, p.doi, p.authors, p.keywords, p.urls, p.citation_count,"
      " p.reference_count, v.id, v.kind, v.name"
      " FROM publication p LEFT JOIN venue v ON v.id = p.venue_id WHERE p.id = ?1");
  s.Bind(1, row);
  if (!s.Step()) {
    s.Reset();
    return std::nullopt;
  }
  Publication p;
  try {
    p.id = s.Text(0);
    p.title = s.Text(1);
    p.abstract = s.Text(2);
    p.year = static_cast<int>(s.Int(3));
    p.doi = s.Text(4);
    for (const auto& a : nlohmann::json::parse(s.Text(5)))
      p.authors.push_back({a.at(0).get<int64_t>(), a.at(1).get<std::string>(), a.at(2).get<std::string>()});
    for (const auto& k : nlohmann::json::parse(s.Text(6)))
      p.keywords.push_back({k.at(0).get<int64_t>(), k.at(1).get<std::string>()});
    for (const auto& u : nlohmann::json::parse(s.Text(7))) p.urls.push_back(u.get<std::string>());
    p.citationCount = s.Int(8);
    p.referenceCount = s.Int(9);
    if (!s.IsNull(10)) {
      p.venueId = s.Int(10);
      p.venueKind = s.Int(11) == 2 ? VenueKind::Conference : VenueKind::Journal;
      p.venueName = s.Text(12);
    }
  } catch (const nlohmann::json::exception&) {
    s.Reset();
    throw ServiceError(m_db.Path() + ": damaged row " + std::to_string(row));
  }
  s.Reset();
  return p;
}

void CorpusReader::LoadInto(PublicationPage& page, SqliteStatement& rows) {
  std::vector<int64_t> found;
  while (rows.Step()) found.push_back(rows.Int(0));
  rows.Reset();
  for (int64_t row : found) {
    std::optional<Publication> p = LoadRow(row);
    if (!p) ThrowMissing(m_db.Path(), row);
    page.items.push_back(std::move(*p));
  }
}

PublicationPage CorpusReader::Retrieve(const std::string& id, int64_t offset) {
  PublicationPage page;
  std::optional<Publication> p = Load(id);
  if (!p) return page;
  page.total = 1;
  if (offset == 0) page.items.push_back(std::move(*p));
  return page;
}

PublicationPage CorpusReader::EdgePage(const char* table, const char* from, const char* to, const std::string& id,
                                       PublicationOrder order, int64_t offset, int64_t limit) {
  PublicationPage page;
  std::optional<int64_t> row = Row(id);
  if (!row) return page;
  SqliteStatement& count =
      Statement(std::string("SELECT count(*) FROM ") + table + " WHERE " + from + " = ?1");
  count.Bind(1, *row);
  if (count.Step()) page.total = count.Int(0);
  count.Reset();
  if (page.total <= offset) return page;

  // The edge tables keep the other end's citation count in their key, so the usual order is a
  // walk along the key; ordering by year needs the publications themselves.
  std::string sql;
  if (order == PublicationOrder::Year) {
    sql = std::string("SELECT e.") + to + " FROM " + table + " e JOIN publication p ON p.id = e." + to +
          " WHERE e." + from + " = ?1" + OrderClause(order) + " LIMIT ?2 OFFSET ?3";
  } else {
    sql = std::string("SELECT ") + to + " FROM " + table + " WHERE " + from + " = ?1 ORDER BY " + to +
          "_citations DESC, " + to + " LIMIT ?2 OFFSET ?3";
  }
  SqliteStatement& rows = Statement(sql);
  rows.Bind(1, *row).Bind(2, limit).Bind(3, offset);
  LoadInto(page, rows);
  return page;
}

PublicationPage CorpusReader::References(const std::string& id, PublicationOrder order, int64_t offset,
                                         int64_t limit) {
  return EdgePage("reference_edge", "citing", "cited", id, order, offset, limit);
}

PublicationPage CorpusReader::Citing(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) {
  return EdgePage("citation_edge", "cited", "citing", id, order, offset, limit);
}

PublicationPage CorpusReader::Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                                     int64_t limit) {
  PublicationPage page;
  if (!criteria.doi.empty()) {
    // DOIs are ASCII, so lower() folds their case whole.
    SqliteStatement& ids =
        Statement("SELECT p.id FROM publication p WHERE lower(p.doi) = ?1" + std::string(OrderClause(order)));
    ids.Bind(1, criteria.doi);
    PublicationPage all;
    LoadInto(all, ids);
    page.total = static_cast<int64_t>(all.items.size());
    for (int64_t i = offset; i < page.total && i < offset + limit; ++i)
      page.items.push_back(std::move(all.items[static_cast<size_t>(i)]));
    return page;
  }
  std::string match = MatchExpression(criteria);
  bool years = criteria.yearStart > 0 || criteria.yearEnd > 0;
  if (match.empty() && !years) return page;
  // Year bounds as one range that leaves out the unknown year 0.
  int64_t yearLow = criteria.yearStart > 1 ? criteria.yearStart : 1;
  int64_t yearHigh = criteria.yearEnd > 0 ? criteria.yearEnd : 32767;

  if (match.empty()) {
    SqliteStatement& count = Statement("SELECT count(*) FROM publication p WHERE p.year BETWEEN ?1 AND ?2");
    count.Bind(1, yearLow).Bind(2, yearHigh);
    if (count.Step()) page.total = count.Int(0);
    count.Reset();
    if (page.total <= offset) return page;
    SqliteStatement& ids = Statement(std::string("SELECT p.id FROM publication p WHERE p.year BETWEEN ?1 AND ?2") +
                                     OrderClause(order) + " LIMIT ?3 OFFSET ?4");
    ids.Bind(1, yearLow).Bind(2, yearHigh).Bind(3, limit).Bind(4, offset);
    LoadInto(page, ids);
    return page;
  }

  // Ranking needs every match anyway; sorting them here also gives the total in the same pass.
  // Titles weigh most, then author names; abstracts, journal and conference names least.
  std::string sql =
      "SELECT p.id, bm25(publication_text, 4.0, 1.0, 2.0, 1.0, 1.0), p.citation_count, p.year"
      " FROM publication_text JOIN publication p ON p.id = publication_text.rowid"
      " WHERE publication_text MATCH ?1";
  if (years) sql += " AND p.year BETWEEN ?2 AND ?3";
  SqliteStatement& matches = Statement(sql);
  matches.Bind(1, match);
  if (years) matches.Bind(2, yearLow).Bind(3, yearHigh);
  struct Match {
    int64_t row;
    double score;  // lower is more relevant
    int64_t citations;
    int64_t year;
  };
  std::vector<Match> found;
  while (matches.Step())
    found.push_back({matches.Int(0), matches.Real(1), matches.Int(2), matches.Int(3)});
  matches.Reset();
  page.total = static_cast<int64_t>(found.size());
  if (page.total <= offset) return page;

  auto before = [order](const Match& a, const Match& b) {
    if (order == PublicationOrder::Year && a.year != b.year) return a.year > b.year;
    if (order == PublicationOrder::Rank && a.score != b.score) return a.score < b.score;
    if (a.citations != b.citations) return a.citations > b.citations;
    return a.row < b.row;
  };
  auto end = found.begin() + std::min<int64_t>(offset + limit, page.total);
  std::partial_sort(found.begin(), end, found.end(), before);
  for (auto it = found.begin() + offset; it != end; ++it) {
    std::optional<Publication> p = LoadRow(it->row);
    if (!p) ThrowMissing(m_db.Path(), it->row);
    page.items.push_back(std::move(*p));
  }
  return page;
}

}  // namespace wendrel
