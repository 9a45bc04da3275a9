#include "service/reply_writer.h"

namespace wendrel {

namespace {

constexpr const char* kTypeSuffix = ":http:\\/\\/research.microsoft.com\"";

void AppendType(std::string& out, const char* type) {
  out += "\"__type\":\"";
  out += type;
  out += kTypeSuffix;
}

void AppendKey(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void AppendNumber(std::string& out, const char* key, int64_t value) {
  AppendKey(out, key);
  out += std::to_string(value);
}

void AppendText(std::string& out, const char* key, std::string_view value) {
  AppendKey(out, key);
  AppendJsonString(out, value);
}

void AppendNull(std::string& out, const char* key) {
  AppendKey(out, key);
  out += "null";
}

void AppendAuthor(std::string& out, const PublicationAuthor& author) {
  out += '{';
  AppendType(out, "Author");
  AppendNull(out, "Affiliation");
  AppendNumber(out, "CitationCount", 0);
  AppendNull(out, "DisplayPhotoURL");
  AppendText(out, "FirstName", author.firstName);
  AppendNumber(out, "GIndex", 0);
  AppendNumber(out, "HIndex", 0);
  AppendNull(out, "HomepageURL");
  AppendNumber(out, "ID", author.id);
  AppendText(out, "LastName", author.lastName);
  AppendText(out, "MiddleName", "");
  AppendNull(out, "NativeName");
  AppendNumber(out, "PublicationCount", 0);
  AppendNull(out, "ResearchInterestDomain");
  out += '}';
}

void AppendConference(std::string& out, const Publication& p) {
  out += '{';
  AppendType(out, "Conference");
  AppendNull(out, "CFP");
  AppendNumber(out, "CitationCount", 0);
  AppendNumber(out, "EndYear", 0);
  AppendText(out, "FullName", p.venueName);
  AppendNull(out, "HomepageURL");
  AppendNumber(out, "ID", p.venueId);
  AppendNumber(out, "PublicationCount", 0);
  AppendNull(out, "ResearchInterestDomain");
  AppendText(out, "ShortName", "");
  AppendNumber(out, "StartYear", 0);
  out += '}';
}

void AppendJournal(std::string& out, const Publication& p) {
  out += '{';
  AppendType(out, "Journal");
  AppendNumber(out, "CitationCount", 0);
  AppendNumber(out, "EndYear", 0);
  AppendText(out, "FullName", p.venueName);
  AppendNull(out, "HomepageURL");
  AppendNumber(out, "ID", p.venueId);
  AppendNull(out, "ISSN");
  AppendNumber(out, "PublicationCount", 0);
  AppendNull(out, "ResearchInterestDomain");
  AppendText(out, "ShortName", "");
  AppendNumber(out, "StartYear", 0);
  out += '}';
}

void AppendKeyword(std::string& out, const PublicationKeyword& keyword) {
  out += '{';
  AppendType(out, "Keyword");
  AppendNumber(out, "CitationCount", 0);
  AppendNumber(out, "ID", keyword.id);
  AppendText(out, "Name", keyword.name);
  AppendNumber(out, "PublicationCount", 0);
  out += '}';
}

void AppendPublication(std::string& out, const Publication& p) {
  out += '{';
  AppendType(out, "Publication");
  AppendText(out, "Abstract", p.abstract);
  AppendKey(out, "Author");
  out += '[';
  for (size_t i = 0; i < p.authors.size(); ++i) {
    if (i) out += ',';
    AppendAuthor(out, p.authors[i]);
  }
  out += ']';
  AppendKey(out, "CitationContext");
  out += "[]";
  AppendNumber(out, "CitationCount", p.citationCount);
  AppendKey(out, "Conference");
  if (p.venueKind == VenueKind::Conference)
    AppendConference(out, p);
  else
    out += "null";
  AppendText(out, "DOI", p.doi);
  AppendKey(out, "FullVersionURL");
  out += '[';
  for (size_t i = 0; i < p.urls.size(); ++i) {
    if (i) out += ',';
    AppendJsonString(out, p.urls[i]);
  }
  out += ']';
  // Numeric IDs stay numbers, as the original wrote them; other IDs (OpenAlex's W...) are texts.
  if (std::optional<int64_t> number = NumericId(p.id))
    AppendNumber(out, "ID", *number);
  else
    AppendText(out, "ID", p.id);
  // Beside the original's fields, and only where known, so that a corpus's replies stay as they were.
  if (p.retracted) {
    AppendKey(out, "IsRetracted");
    out += "true";
  }
  AppendKey(out, "Journal");
  if (p.venueKind == VenueKind::Journal)
    AppendJournal(out, p);
  else
    out += "null";
  AppendKey(out, "Keyword");
  out += '[';
  for (size_t i = 0; i < p.keywords.size(); ++i) {
    if (i) out += ',';
    AppendKeyword(out, p.keywords[i]);
  }
  out += ']';
  AppendNumber(out, "ReferenceCount", p.referenceCount);
  AppendText(out, "Title", p.title);
  // The original wrote the publication type as a number; every paper was 1.
  AppendNumber(out, "Type", 1);
  if (!p.workType.empty()) AppendText(out, "WorkType", p.workType);
  AppendNumber(out, "Year", p.year);
  out += '}';
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || c == '/') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xf];
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string WritePublicationReply(const PublicationPage& page, int64_t startIdx) {
  std::string out;
  out.reserve(512 + page.items.size() * 2048);
  out += "{\"d\":{";
  AppendType(out, "Response");
  for (const char* kind : {"Author", "Conference", "Domain", "Journal", "Keyword", "Organization"})
    AppendNull(out, kind);
  AppendKey(out, "Publication");
  out += '{';
  AppendType(out, "PublicationResponse");
  bool empty = page.items.empty();
  AppendNumber(out, "EndIdx", empty ? 0 : startIdx + static_cast<int64_t>(page.items.size()) - 1);
  AppendNumber(out, "StartIdx", empty ? 0 : startIdx);
  AppendNumber(out, "TotalItem", page.total);
  AppendKey(out, "Result");
  if (empty) {
    out += "null";
  } else {
    out += '[';
    for (size_t i = 0; i < page.items.size(); ++i) {
      if (i) out += ',';
      AppendPublication(out, page.items[i]);
    }
    out += ']';
  }
  out += '}';
  AppendNumber(out, "ResultCode", 0);
  AppendNull(out, "Trend");
  AppendText(out, "Version", "1.1");
  out += "}}";
  return out;
}

}  // namespace wendrel
