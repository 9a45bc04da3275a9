#include "corpus/corpus_import.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/replacing_file.h"
#include "corpus/corpus_schema.h"
#include "corpus/corpus_writer.h"
#include "service/search_request.h"
#include "service/service_error.h"
#include "platform/sqlite_db.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

struct BadLine {
  std::string reason;
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

// A publication's ID: a whole number above 0, or a text of printable characters (not blanks only).
// A number and the text of its digits are the same ID.
std::string ReadId(const Json& value, const std::string& what) {
  if (value.is_number_unsigned()) {
    uint64_t v = value.get<uint64_t>();
    if (v > 0 && v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::to_string(v);
  } else if (value.is_number_integer() && value.get<int64_t>() > 0) {
    return std::to_string(value.get<int64_t>());
  } else if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    bool printable = std::none_of(text.begin(), text.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    if (printable && text.size() <= kMaxIdLength && text.find_first_not_of(' ') != std::string::npos) return text;
  }
  throw BadLine{what + " must be a whole number above 0 or a text of up to " + std::to_string(kMaxIdLength) +
                " printable bytes"};
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

ImportedWork ReadPublication(const Json& line) {
  if (!line.is_object()) throw BadLine{"not a JSON object"};
  ImportedWork work;
  Publication& p = work.publication;
  const Json* id = Member(line, "id");
  if (!id) throw BadLine{"\"id\" is missing"};
  p.id = ReadId(*id, "\"id\"");
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
      PublicationAuthor author{0, OptionalText(a, "first"), OptionalText(a, "last")};
      if (author.firstName.empty() && author.lastName.empty()) throw BadLine{"an author has no name"};
      p.authors.push_back(std::move(author));
    }
  }
  if (const Json* venue = Member(line, "venue")) {
    if (!venue->is_object()) throw BadLine{"\"venue\" must be an object or null"};
    std::string kind = OptionalText(*venue, "kind");
    if (kind == "journal")
      p.venueKind = VenueKind::Journal;
    else if (kind == "conference")
      p.venueKind = VenueKind::Conference;
    else
      throw BadLine{"the venue's \"kind\" must be \"journal\" or \"conference\""};
    p.venueName = OptionalText(*venue, "name");
    if (p.venueName.empty()) throw BadLine{"the venue has no \"name\""};
  }
  p.doi = OptionalText(line, "doi");
  p.urls = TextList(line, "urls");
  for (std::string& k : TextList(line, "keywords")) p.keywords.push_back({0, std::move(k)});
  if (const Json* references = Member(line, "references")) {
    if (!references->is_array()) throw BadLine{"\"references\" must be a list"};
    for (const Json& r : *references) work.references.push_back(ReadId(r, "each reference"));
  }
  return work;
}

// One line's text (without its line end) to a work; BadLine when it is malformed.
ImportedWork ParseLine(const std::string& line, const CorpusWorkReader& readWork) {
  Json json;
  try {
    json = Json::parse(line);
  } catch (const Json::parse_error& e) {
    throw BadLine{"not valid JSON (at byte " + std::to_string(e.byte) + ")"};
  } catch (const Json::out_of_range&) {
    // A number beyond double's range (1e400) is a bad line, not the end of the whole import.
    throw BadLine{"not valid JSON (a number out of range)"};
  }
  try {
    return readWork(json);
  } catch (const CorpusLineError& e) {
    throw BadLine{e.what()};
  }
}

// IDs meet without regard to ASCII case, as in the file's unique index.
std::string IdKey(std::string id) {
  for (char& c : id)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return id;
}

// Most IDs are a number, or a letter and a number (OpenAlex's "w2099326003"): those fit one 64-bit
// word, a fraction of what a text costs in a map of the tens of millions of IDs a snapshot cites.
std::optional<uint64_t> PackedKey(const std::string& key) {
  const size_t letters = !key.empty() && key[0] >= 'a' && key[0] <= 'z' ? 1 : 0;
  std::optional<int64_t> number = NumericId(std::string_view(key).substr(letters));
  if (!number || *number >= (int64_t{1} << 56)) return std::nullopt;
  const uint64_t tag = letters ? static_cast<uint64_t>(key[0]) : 0;
  return (tag << 56) | static_cast<uint64_t>(*number);
}

// Numbers distinct names in the order they first appear.
class Numbering {
 public:
  int64_t Number(const std::string& key) {
    return m_numbers.emplace(key, static_cast<int64_t>(m_numbers.size()) + 1).first->second;
  }

 private:
  std::unordered_map<std::string, int64_t> m_numbers;
};

std::string LengthPrefixed(const std::string& a, const std::string& b) {
  return std::to_string(a.size()) + ':' + a + b;
}

// Lines of a file, plain or gzip-compressed, read in large blocks; a line may be of any length.
class LineSource {
 public:
  explicit LineSource(const std::string& path) : m_path(path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) throw ServiceError("cannot read " + path);
    m_size = info.st_size;
    m_file = gzopen(path.c_str(), "rb");
    if (!m_file) throw ServiceError("cannot read " + path);
    gzbuffer(m_file, 1 << 18);
  }
  ~LineSource() {
    if (m_file) gzclose(m_file);
  }
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      if (m_at < m_buffer.size()) {
        size_t end = m_buffer.find('\n', m_at);
        if (end != std::string::npos) {
          line.append(m_buffer, m_at, end - m_at);
          m_at = end + 1;
          return true;
        }
        line.append(m_buffer, m_at, std::string::npos);
      }
      m_buffer.resize(1 << 20);
      int n = gzread(m_file, m_buffer.data(), static_cast<unsigned>(m_buffer.size()));
      // A stream cut short gives what it holds and then only the error (Z_BUF_ERROR).
      int code = Z_OK;
      const char* reason = gzerror(m_file, &code);
      if (n < 0 || code != Z_OK) throw ServiceError("cannot read " + m_path + ": " + reason);
      m_buffer.resize(static_cast<size_t>(n));
      m_at = 0;
      if (n == 0) return !line.empty();
    }
  }

  // Bytes of the file read so far (compressed bytes for a compressed file), and its size. A
  // truncated compressed file is an error of the whole import, not a shorter corpus.
  int64_t Position() const { return static_cast<int64_t>(gzoffset(m_file)); }
  int64_t Size() const { return m_size; }

 private:
  std::string m_path;
  gzFile m_file = nullptr;
  int64_t m_size = 0;
  std::string m_buffer;
  size_t m_at = 0;
};

class Importer {
 public:
  Importer(SqliteDb& db, const ImportProblemHandler& onProblem, const CorpusWorkReader& readWork)
      : m_db(db), m_onProblem(onProblem), m_readWork(readWork), m_writer(db) {}

  void ReadLines(LineSource& in, const ImportProgressHandler& onProgress) {
    std::string line;
    int64_t number = 0;
    while (in.Next(line)) {
      ++number;
      if (onProgress && number % 4096 == 0) onProgress(in.Position(), in.Size());
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      try {
        Add(ParseLine(line, m_readWork));
      } catch (const BadLine& bad) {
        ++m_summary.skippedLines;
        if (m_onProblem) m_onProblem(number, bad.reason);
      }
    }
    if (onProgress) onProgress(in.Size(), in.Size());
  }

  // Derives the counts and the citing lists, then builds the indexes.
  ImportSummary Finish() {
    std::vector<std::pair<uint32_t, uint32_t>> edges;  // (citing, cited) as rows from 0
    edges.reserve(m_rawEdges.size());
    for (const RawEdge& e : m_rawEdges) {
      const uint32_t cited = m_rowOfKey[e.citedKey];
      if (cited == kNoRow)
        ++m_summary.outsideReferences;
      else
        edges.emplace_back(e.citingRow, cited);
    }
    m_summary.references = static_cast<int64_t>(m_rawEdges.size());
    std::vector<RawEdge>().swap(m_rawEdges);

    std::vector<int64_t> citations(m_rows, 0);
    for (const auto& e : edges) ++citations[e.second];
    SqliteStatement setCitations(m_db, "UPDATE publication SET citation_count = ?2 WHERE id = ?1");
    for (size_t row = 0; row < m_rows; ++row)
      if (citations[row] > 0) {
        setCitations.Bind(1, static_cast<int64_t>(row) + 1).Bind(2, citations[row]);
        setCitations.Run();
      }

    // Inserting in key order appends to the clustered tables instead of scattering pages.
    auto byKey = [&](uint32_t ownerA, uint32_t otherA, uint32_t ownerB, uint32_t otherB) {
      if (ownerA != ownerB) return ownerA < ownerB;
      if (citations[otherA] != citations[otherB]) return citations[otherA] > citations[otherB];
      return otherA < otherB;
    };
    std::sort(edges.begin(), edges.end(),
              [&](const auto& a, const auto& b) { return byKey(a.first, a.second, b.first, b.second); });
    SqliteStatement insertReference(m_db,
                                    "INSERT INTO reference_edge(citing, cited_citations, cited) VALUES(?1, ?2, ?3)");
    for (const auto& [citing, cited] : edges) {
      insertReference.Bind(1, int64_t{citing} + 1).Bind(2, citations[cited]).Bind(3, int64_t{cited} + 1);
      insertReference.Run();
    }
    std::sort(edges.begin(), edges.end(),
              [&](const auto& a, const auto& b) { return byKey(a.second, a.first, b.second, b.first); });
    SqliteStatement insertCitation(m_db,
                                   "INSERT INTO citation_edge(cited, citing_citations, citing) VALUES(?1, ?2, ?3)");
    for (const auto& [citing, cited] : edges) {
      insertCitation.Bind(1, int64_t{cited} + 1).Bind(2, citations[citing]).Bind(3, int64_t{citing} + 1);
      insertCitation.Run();
    }

    m_db.Execute(kCorpusIndexes);
    m_db.Execute("INSERT INTO publication_text(publication_text) VALUES('optimize')");
    WriteCorpusInfo(m_db);
    m_summary.publications = static_cast<int64_t>(m_rows);
    return m_summary;
  }

 private:
  struct RawEdge {
    uint32_t citingRow;  // from 0
    uint32_t citedKey;
  };

  // Every ID met, in the corpus or only referred to, gets a key; kNoRow marks one not (yet) in the
  // corpus.
  uint32_t KeyOf(const std::string& id) {
    const auto next = static_cast<uint32_t>(m_rowOfKey.size());
    std::string key = IdKey(id);
    std::pair<uint32_t, bool> found;
    if (std::optional<uint64_t> packed = PackedKey(key)) {
      auto [it, added] = m_packedKeys.emplace(*packed, next);
      found = {it->second, added};
    } else {
      auto [it, added] = m_keys.emplace(std::move(key), next);
      found = {it->second, added};
    }
    if (found.second) {
      if (next >= kNoRow - 1) throw BadLine{"too many IDs"};
      m_rowOfKey.push_back(kNoRow);
    }
    return found.first;
  }

  void Add(ImportedWork work) {
    Publication& p = work.publication;
    uint32_t key = KeyOf(p.id);
    if (m_rowOfKey[key] != kNoRow) throw BadLine{"duplicate id " + p.id};
    std::vector<uint32_t> cited;
    for (const std::string& r : work.references) {
      uint32_t k = KeyOf(r);
      if (k != key) cited.push_back(k);
    }
    std::sort(cited.begin(), cited.end());
    cited.erase(std::unique(cited.begin(), cited.end()), cited.end());

    for (PublicationAuthor& a : p.authors)
      if (a.id == 0) a.id = m_authors.Number(LengthPrefixed(a.lastName, a.firstName));
    for (PublicationKeyword& k : p.keywords)
      if (k.id == 0) k.id = m_keywords.Number(k.name);
    p.citationCount = 0;
    p.referenceCount = static_cast<int64_t>(cited.size());
    m_writer.Put(p);

    auto row = static_cast<uint32_t>(m_rows++);
    m_rowOfKey[key] = row;
    for (uint32_t k : cited) m_rawEdges.push_back({row, k});
  }

  SqliteDb& m_db;
  const ImportProblemHandler& m_onProblem;
  const CorpusWorkReader& m_readWork;
  CorpusWriter m_writer;
  Numbering m_authors;
  Numbering m_keywords;
  static constexpr uint32_t kNoRow = std::numeric_limits<uint32_t>::max();
  std::unordered_map<uint64_t, uint32_t> m_packedKeys;
  std::unordered_map<std::string, uint32_t> m_keys;
  std::vector<uint32_t> m_rowOfKey;
  size_t m_rows = 0;
  std::vector<RawEdge> m_rawEdges;
  ImportSummary m_summary;
};

ImportSummary Import(const std::string& inputPath, const std::string& corpusPath,
                     const ImportProblemHandler& onProblem, const ImportProgressHandler& onProgress,
                     const CorpusWorkReader& readWork) {
  LineSource in(inputPath);
  std::optional<ReplacingFile> temporary;
  try {
    temporary.emplace(corpusPath);
  } catch (const ReplaceError& e) {
    throw ServiceError(e.what());
  }
  ImportSummary summary;
  try {
    SqliteDb db(temporary->Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    // Nothing here needs to survive a crash: the temporary file is thrown away then.
    db.Execute(
        "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE;"
        " PRAGMA cache_size = -131072; PRAGMA temp_store = FILE;");
    db.Execute(kCorpusTables);
    db.Execute("BEGIN");
    Importer importer(db, onProblem, readWork);
    importer.ReadLines(in, onProgress);
    summary = importer.Finish();
    db.Execute("COMMIT");
    db.Execute("ANALYZE");
  } catch (const SqliteError& e) {
    throw ServiceError("cannot write " + corpusPath + ": " + e.Reason());
  }
  try {
    temporary->Commit();
  } catch (const ReplaceError& e) {
    throw ServiceError(e.what());
  }
  return summary;
}

}  // namespace

ImportedWork ReadCorpusLine(const std::string& line) {
  try {
    return ParseLine(line, CorpusWorkReader(ReadPublication));
  } catch (const BadLine& bad) {
    throw CorpusLineError(bad.reason);
  }
}

ImportSummary ImportCorpus(const std::string& jsonlPath, const std::string& corpusPath,
                           const ImportProblemHandler& onProblem) {
  return Import(jsonlPath, corpusPath, onProblem, nullptr, CorpusWorkReader(ReadPublication));
}

ImportSummary ImportWorks(const std::string& inputPath, const std::string& corpusPath,
                          const ImportProblemHandler& onProblem, const ImportProgressHandler& onProgress,
                          const CorpusWorkReader& readWork) {
  return Import(inputPath, corpusPath, onProblem, onProgress, readWork);
}

}  // namespace wendrel
