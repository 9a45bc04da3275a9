#include "service/corpus_import.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>
#include <vector>

#include "service/corpus_schema.h"
#include "service/service_error.h"
#include "service/sqlite_db.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

struct BadLine {
  std::string reason;
};

// A file beside the target, created empty, removed again unless it was renamed onto the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : m_path(target + ".XXXXXX") {
    int fd = mkstemp(m_path.data());
    if (fd < 0) throw ServiceError("cannot write " + target + ": " + std::strerror(errno));
    fchmod(fd, 0644);
    close(fd);
  }
  ~TemporaryFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return m_path; }

  void RenameTo(const std::string& target) {
    int fd = open(m_path.c_str(), O_RDONLY);
    if (fd >= 0) {
      fsync(fd);
      close(fd);
    }
    if (std::rename(m_path.c_str(), target.c_str()) != 0)
      throw ServiceError("cannot write " + target + ": " + std::strerror(errno));
    m_path.clear();
  }

 private:
  std::string m_path;
};

const Json* Member(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return nullptr;
  return &*it;
}

std::string Quoted(const char* key) { return std::string("\"") + key + "\""; }

std::string OptionalText(const Json& object, const char* key) {
  const Json* value = Member(object, key);
  if (!value) return {};
  if (!value->is_string()) throw BadLine{Quoted(key) + " must be a text"};
  return value->get<std::string>();
}

int64_t PositiveId(const Json& value, const std::string& what) {
  if (value.is_number_unsigned()) {
    uint64_t v = value.get<uint64_t>();
    if (v > 0 && v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return static_cast<int64_t>(v);
  } else if (value.is_number_integer() && value.get<int64_t>() > 0) {
    return value.get<int64_t>();
  }
  throw BadLine{what + " must be a positive whole number"};
}

std::vector<std::string> TextList(const Json& object, const char* key) {
  std::vector<std::string> list;
  const Json* value = Member(object, key);
  if (!value) return list;
  if (!value->is_array()) throw BadLine{Quoted(key) + " must be a list"};
  for (const Json& item : *value) {
    if (!item.is_string()) throw BadLine{Quoted(key) + " must hold texts"};
    list.push_back(item.get<std::string>());
  }
  return list;
}

struct LineAuthor {
  std::string first;
  std::string last;
};

// One publication as read from its line, checked but not yet numbered against the corpus.
struct LinePublication {
  int64_t id = 0;
  std::string title;
  std::string abstract;
  int year = 0;
  std::vector<LineAuthor> authors;
  int venueKind = 0;  // 0 none, 1 journal, 2 conference
  std::string venueName;
  std::string doi;
  std::vector<std::string> urls;
  std::vector<std::string> keywords;
  std::vector<int64_t> references;  // distinct, without the publication itself
};

LinePublication ReadPublication(const Json& line) {
  if (!line.is_object()) throw BadLine{"not a JSON object"};
  LinePublication p;
  const Json* id = Member(line, "id");
  if (!id) throw BadLine{"\"id\" is missing"};
  p.id = PositiveId(*id, "\"id\"");
  const Json* title = Member(line, "title");
  if (!title || !title->is_string()) throw BadLine{"\"title\" must be a text"};
  p.title = title->get<std::string>();
  p.abstract = OptionalText(line, "abstract");
  if (const Json* year = Member(line, "year")) {
    if (!year->is_number_integer() || year->get<int64_t>() < 0 || year->get<int64_t>() > 9999)
      throw BadLine{"\"year\" must be a whole number from 0 to 9999"};
    p.year = static_cast<int>(year->get<int64_t>());
  }
  if (const Json* authors = Member(line, "authors")) {
    if (!authors->is_array()) throw BadLine{"\"authors\" must be a list"};
    for (const Json& a : *authors) {
      if (!a.is_object()) throw BadLine{"each author must be an object with \"last\" and \"first\""};
      LineAuthor author{OptionalText(a, "first"), OptionalText(a, "last")};
      if (author.first.empty() && author.last.empty()) throw BadLine{"an author has no name"};
      p.authors.push_back(std::move(author));
    }
  }
  if (const Json* venue = Member(line, "venue")) {
    if (!venue->is_object()) throw BadLine{"\"venue\" must be an object or null"};
    std::string kind = OptionalText(*venue, "kind");
    if (kind == "journal")
      p.venueKind = 1;
    else if (kind == "conference")
      p.venueKind = 2;
    else
      throw BadLine{"the venue's \"kind\" must be \"journal\" or \"conference\""};
    p.venueName = OptionalText(*venue, "name");
    if (p.venueName.empty()) throw BadLine{"the venue has no \"name\""};
  }
  p.doi = OptionalText(line, "doi");
  p.urls = TextList(line, "urls");
  p.keywords = TextList(line, "keywords");
  if (const Json* references = Member(line, "references")) {
    if (!references->is_array()) throw BadLine{"\"references\" must be a list"};
    for (const Json& r : *references) {
      int64_t cited = PositiveId(r, "each reference");
      if (cited != p.id) p.references.push_back(cited);
    }
    std::sort(p.references.begin(), p.references.end());
    p.references.erase(std::unique(p.references.begin(), p.references.end()), p.references.end());
  }
  return p;
}

// Numbers distinct names in the order they first appear.
class Numbering {
 public:
  // second: true when the name is new.
  std::pair<int64_t, bool> Number(const std::string& key) {
    auto [it, added] = m_numbers.emplace(key, static_cast<int64_t>(m_numbers.size()) + 1);
    return {it->second, added};
  }

 private:
  std::unordered_map<std::string, int64_t> m_numbers;
};

std::string LengthPrefixed(const std::string& a, const std::string& b) {
  return std::to_string(a.size()) + ':' + a + b;
}

class Importer {
 public:
  Importer(SqliteDb& db, const ImportProblemHandler& onProblem)
      : m_db(db),
        m_onProblem(onProblem),
        m_insertPublication(db,
                            "INSERT INTO publication(id, title, abstract, year, venue_id, doi, authors, keywords, urls,"
                            " citation_count, reference_count) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, 0, ?10)"),
        m_insertText(db,
                     "INSERT INTO publication_text(rowid, title, abstract, authors, journal, conference)"
                     " VALUES(?1, ?2, ?3, ?4, ?5, ?6)"),
        m_insertVenue(db, "INSERT INTO venue(id, kind, name) VALUES(?1, ?2, ?3)") {}

  void ReadLines(std::istream& in, const std::string& path) {
    std::string line;
    int64_t number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      try {
        Json json;
        try {
          json = Json::parse(line);
        } catch (const Json::parse_error& e) {
          throw BadLine{"not valid JSON (at byte " + std::to_string(e.byte) + ")"};
        }
        Add(ReadPublication(json));
      } catch (const BadLine& bad) {
        ++m_summary.skippedLines;
        if (m_onProblem) m_onProblem(number, bad.reason);
      }
    }
    if (in.bad()) throw ServiceError("cannot read " + path);
  }

  // Derives the counts and the citing lists, then builds the indexes.
  ImportSummary Finish() {
    const size_t n = m_ids.size();
    std::vector<std::pair<uint32_t, uint32_t>> edges;  // (citing, cited) as row numbers
    edges.reserve(m_rawEdges.size());
    for (const RawEdge& e : m_rawEdges) {
      auto it = m_rowOf.find(e.cited);
      if (it == m_rowOf.end())
        ++m_summary.outsideReferences;
      else
        edges.emplace_back(e.citingRow, it->second);
    }
    m_summary.references = static_cast<int64_t>(m_rawEdges.size());
    std::vector<RawEdge>().swap(m_rawEdges);

    std::vector<int64_t> citations(n, 0);
    for (const auto& e : edges) ++citations[e.second];
    SqliteStatement setCitations(m_db, "UPDATE publication SET citation_count = ?2 WHERE id = ?1");
    for (size_t row = 0; row < n; ++row)
      if (citations[row] > 0) {
        setCitations.Bind(1, m_ids[row]).Bind(2, citations[row]);
        setCitations.Run();
      }

    // Inserting in key order appends to the clustered tables instead of scattering pages.
    auto byKey = [&](uint32_t ownerA, uint32_t otherA, uint32_t ownerB, uint32_t otherB) {
      if (ownerA != ownerB) return m_ids[ownerA] < m_ids[ownerB];
      if (citations[otherA] != citations[otherB]) return citations[otherA] > citations[otherB];
      return m_ids[otherA] < m_ids[otherB];
    };
    std::sort(edges.begin(), edges.end(),
              [&](const auto& a, const auto& b) { return byKey(a.first, a.second, b.first, b.second); });
    SqliteStatement insertReference(m_db,
                                    "INSERT INTO reference_edge(citing, cited_citations, cited) VALUES(?1, ?2, ?3)");
    for (const auto& [citing, cited] : edges) {
      insertReference.Bind(1, m_ids[citing]).Bind(2, citations[cited]).Bind(3, m_ids[cited]);
      insertReference.Run();
    }
    std::sort(edges.begin(), edges.end(),
              [&](const auto& a, const auto& b) { return byKey(a.second, a.first, b.second, b.first); });
    SqliteStatement insertCitation(m_db,
                                   "INSERT INTO citation_edge(cited, citing_citations, citing) VALUES(?1, ?2, ?3)");
    for (const auto& [citing, cited] : edges) {
      insertCitation.Bind(1, m_ids[cited]).Bind(2, citations[citing]).Bind(3, m_ids[citing]);
      insertCitation.Run();
    }

    m_db.Execute(kCorpusIndexes);
    m_db.Execute("INSERT INTO publication_text(publication_text) VALUES('optimize')");
    SqliteStatement info(m_db, "INSERT INTO corpus_info(key, value) VALUES(?1, ?2)");
    info.Bind(1, std::string_view("format")).Bind(2, std::string_view(kCorpusFormat));
    info.Run();
    info.Bind(1, std::string_view("publications")).Bind(2, std::to_string(n));
    info.Run();
    m_summary.publications = static_cast<int64_t>(n);
    return m_summary;
  }

 private:
  struct RawEdge {
    uint32_t citingRow;
    int64_t cited;
  };

  void Add(const LinePublication& p) {
    if (m_rowOf.count(p.id)) throw BadLine{"duplicate id " + std::to_string(p.id)};
    if (m_ids.size() >= std::numeric_limits<uint32_t>::max()) throw BadLine{"too many publications"};
    auto row = static_cast<uint32_t>(m_ids.size());

    Json authors = Json::array();
    std::string authorText;
    for (const LineAuthor& a : p.authors) {
      authors.push_back(Json::array({m_authors.Number(LengthPrefixed(a.last, a.first)).first, a.first, a.last}));
      if (!authorText.empty()) authorText += "; ";
      authorText += a.first + " " + a.last;
    }
    Json keywords = Json::array();
    for (const std::string& k : p.keywords) keywords.push_back(Json::array({m_keywords.Number(k).first, k}));
    std::optional<int64_t> venueId;
    if (p.venueKind) {
      auto [id, added] = m_venues.Number(LengthPrefixed(std::to_string(p.venueKind), p.venueName));
      if (added) {
        m_insertVenue.Bind(1, id).Bind(2, int64_t{p.venueKind}).Bind(3, p.venueName);
        m_insertVenue.Run();
      }
      venueId = id;
    }

    SqliteStatement& s = m_insertPublication;
    s.Bind(1, p.id).Bind(2, p.title).Bind(3, p.abstract).Bind(4, int64_t{p.year}).Bind(6, p.doi);
    if (venueId) s.Bind(5, *venueId);
    s.Bind(7, authors.dump()).Bind(8, keywords.dump()).Bind(9, Json(p.urls).dump());
    s.Bind(10, static_cast<int64_t>(p.references.size()));
    s.Run();

    SqliteStatement& t = m_insertText;
    t.Bind(1, p.id).Bind(2, p.title).Bind(3, p.abstract).Bind(4, authorText);
    if (p.venueKind == 1) t.Bind(5, p.venueName);
    if (p.venueKind == 2) t.Bind(6, p.venueName);
    t.Run();

    m_rowOf.emplace(p.id, row);
    m_ids.push_back(p.id);
    for (int64_t cited : p.references) m_rawEdges.push_back({row, cited});
  }

  SqliteDb& m_db;
  const ImportProblemHandler& m_onProblem;
  SqliteStatement m_insertPublication;
  SqliteStatement m_insertText;
  SqliteStatement m_insertVenue;
  Numbering m_authors;
  Numbering m_keywords;
  Numbering m_venues;
  std::unordered_map<int64_t, uint32_t> m_rowOf;
  std::vector<int64_t> m_ids;  // by row
  std::vector<RawEdge> m_rawEdges;
  ImportSummary m_summary;
};

}  // namespace

ImportSummary ImportCorpus(const std::string& jsonlPath, const std::string& corpusPath,
                           const ImportProblemHandler& onProblem) {
  std::ifstream in(jsonlPath, std::ios::binary);
  if (!in) throw ServiceError("cannot read " + jsonlPath);
  TemporaryFile temporary(corpusPath);
  ImportSummary summary;
  {
    SqliteDb db(temporary.Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    // Nothing here needs to survive a crash: the temporary file is thrown away then.
    db.Execute(
        "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE;"
        " PRAGMA cache_size = -131072; PRAGMA temp_store = FILE;");
    db.Execute(kCorpusTables);
    db.Execute("BEGIN");
    Importer importer(db, onProblem);
    importer.ReadLines(in, jsonlPath);
    summary = importer.Finish();
    db.Execute("COMMIT");
    db.Execute("ANALYZE");
  }
  temporary.RenameTo(corpusPath);
  return summary;
}

}  // namespace wendrel
