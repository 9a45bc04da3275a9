// The tolerant RIS reader behind the pearl list import.
#include "chain/ris_reader.h"

#include <optional>

#include "platform/text_encoding.h"
#include "search_client/cc_record.h"

namespace wendrel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct TaggedLine {
  std::string_view tag;
  std::string value;
};

// "XX - value" or "XX  - value"; the value may be missing ("ER  -"). A line "ER" alone, or text
// that only happens to start with two letters and a blank, is no tagged line.
std::optional<TaggedLine> ReadTaggedLine(std::string_view line) {
  if (line.size() < 4 || line[2] != ' ') return std::nullopt;
  size_t hyphen = line[3] == '-' ? 3 : (line.size() >= 5 && line[3] == ' ' && line[4] == '-') ? 4 : 0;
  if (hyphen == 0) return std::nullopt;
  std::string_view rest = line.substr(hyphen + 1);
  if (!rest.empty() && rest[0] != ' ') return std::nullopt;
  return TaggedLine{line.substr(0, 2), Trimmed(rest)};
}

// The year of a RIS date: "2016", "2016/12//", "2016///" and "2016/03/01/" all give "2016"; a
// value that does not start with a year is kept as it is.
std::string RisYear(std::string value) {
  const size_t slash = value.find('/');
  if (slash != std::string::npos && slash > 0 && value.find_first_not_of("0123456789") == slash) value.resize(slash);
  return value;
}

}  // namespace

std::vector<RisReference> ReadRisReferences(std::string_view text, const std::function<void()>& onRecordLine) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  std::vector<RisReference> references;
  std::optional<RisReference> current;
  std::string* continued = nullptr;  // the field an untagged line continues
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string_view raw = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string line = DecodeLegacyText(raw);
    std::optional<TaggedLine> tagged = ReadTaggedLine(line);
    if (!current) {
      if (tagged && tagged->tag == "TY") current.emplace().type = std::move(tagged->value);
      continued = nullptr;
      continue;
    }
    if (onRecordLine) onRecordLine();
    if (!tagged) {
      // An untagged line continues the field above it, as other readers join a wrapped title
      // or abstract; a lone "ER" (an end tag without its hyphen) continues nothing.
      const std::string more = Trimmed(line);
      if (continued != nullptr && !more.empty() && more != "ER") *continued += (continued->empty() ? "" : " ") + more;
      continue;
    }
    continued = nullptr;
    const std::string_view tag = tagged->tag;
    // A record without its ER line ends where the next one starts, as other readers end it;
    // read on, the next record's title would replace its title under its first author.
    if (tag == "TY") {
      references.push_back(std::move(*current));
      current.emplace().type = std::move(tagged->value);
      continue;
    }
    RisReference& r = *current;
    if (tag == "ER") {
      references.push_back(std::move(r));
      current.reset();
    } else if (tag == "AN") {
      r.accession = std::move(tagged->value);
    } else if (tag == "AU" || tag == "A1") {
      if (r.firstAuthor.empty()) {
        r.firstAuthor = std::move(tagged->value);
        continued = &r.firstAuthor;
      } else if (!tagged->value.empty()) {
        r.coAuthors.push_back(std::move(tagged->value));
      }
    } else if (tag == "TI" || tag == "T1" || tag == "CT") {
      r.title = std::move(tagged->value);
      continued = &r.title;
    } else if (tag == "BT") {
      if (r.title.empty()) {
        r.title = std::move(tagged->value);
        continued = &r.title;
      }
    } else if (tag == "PY" || (tag == "Y1" && r.year.empty())) {
      r.year = RisYear(std::move(tagged->value));
    } else if (tag == "T2") {
      r.source = std::move(tagged->value);
      continued = &r.source;
    } else if (tag == "AB" || (tag == "N2" && r.abstract.empty())) {
      r.abstract = std::move(tagged->value);
      continued = &r.abstract;
    } else if (tag == "DO") {
      r.doi = std::move(tagged->value);
    } else if (tag == "UR") {
      r.url = std::move(tagged->value);
    } else if (tag == "N1") {
      r.notes.push_back(std::move(tagged->value));
      continued = &r.notes.back();
    } else if (tag == "KW") {
      if (!tagged->value.empty()) r.keywords.push_back(std::move(tagged->value));
    }
  }
  if (current) references.push_back(std::move(*current));
  return references;
}

std::string NoRisRecordsReason(std::string_view text) {
  if (!ReadRisReferences(text).empty()) return {};
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "it is empty";
  if (text[first] == '@') return "it is a BibTeX file, not RIS";
  if (text.substr(first, 3) == "FN " || text.substr(first, 3) == "PT ") return "it is a Web of Science file, not RIS";
  return "it has no RIS record (no \"TY  - \" line)";
}

std::string AccessionPublicationID(const std::string& accession) {
  constexpr std::string_view kPrefix = "MAS:";
  if (accession.compare(0, kPrefix.size(), kPrefix) != 0) return {};
  std::string id = Trimmed(std::string_view(accession).substr(kPrefix.size()));
  // Markers of a record that never had an ID are no ID.
  return IsUsableID(id) ? id : std::string();
}

}  // namespace wendrel
