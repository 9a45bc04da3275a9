#include "openalex/openalex_work.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <nlohmann/json.hpp>

#include "platform/web_text.h"

namespace wendrel {

namespace {

using Json = nlohmann::json;

// Inverted indexes name word positions; one past this many words is taken for damage.
constexpr int64_t kMaxAbstractWords = 100000;

const Json& Member(const Json& object, const char* key) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  auto it = object.find(key);
  return it == object.end() ? kNull : *it;
}

std::string Text(const Json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

int64_t Number(const Json& value) {
  if (value.is_number_unsigned()) return static_cast<int64_t>(std::min<uint64_t>(value.get<uint64_t>(), INT64_MAX));
  return value.is_number_integer() ? value.get<int64_t>() : 0;
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// The number of an OpenAlex entity ID ("https://openalex.org/A5081873388" -> 5081873388), 0 when none.
int64_t EntityNumber(const std::string& id) {
  std::string shortId = ShortOpenAlexId(id);
  if (shortId.size() < 2) return 0;
  return NumericId(std::string_view(shortId).substr(1)).value_or(0);
}

std::string Abstract(const Json& index) {
  if (!index.is_object()) return {};
  std::vector<const std::string*> words;
  for (const auto& [word, positions] : index.items()) {
    if (!positions.is_array()) continue;
    for (const Json& at : positions) {
      int64_t position = Number(at);
      if (!at.is_number_integer() || position < 0 || position >= kMaxAbstractWords) continue;
      if (static_cast<size_t>(position) >= words.size()) words.resize(static_cast<size_t>(position) + 1, nullptr);
      words[static_cast<size_t>(position)] = &word;
    }
  }
  std::string text;
  for (const std::string* word : words) {
    if (!word) continue;
    if (!text.empty()) text += ' ';
    text += *word;
  }
  return text;
}

void AddUrl(std::vector<std::string>& urls, const Json& value) {
  std::string url = Text(value);
  if (!url.empty() && std::find(urls.begin(), urls.end(), url) == urls.end()) urls.push_back(url);
}

}  // namespace

const char* const kOpenAlexWorkFields =
    "id,title,display_name,publication_year,abstract_inverted_index,authorships,primary_location,"
    "best_oa_location,locations,doi,keywords,cited_by_count,referenced_works,referenced_works_count,is_retracted,type";

std::string ShortOpenAlexId(const std::string& id) {
  std::string shortId = id;
  for (const char* prefix : {"https://openalex.org/", "http://openalex.org/"})
    if (StartsWithNoCase(shortId, prefix)) shortId = shortId.substr(std::string(prefix).size());
  bool entity = shortId.size() >= 2 && std::string("wasiptfck").find(static_cast<char>(
                                           std::tolower(static_cast<unsigned char>(shortId[0])))) != std::string::npos;
  if (entity && NumericId(std::string_view(shortId).substr(1)))
    shortId[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(shortId[0])));
  return shortId;
}

std::string ApiOpenAlexId(const std::string& id) {
  std::string apiId = id;
  if (!apiId.empty()) apiId[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(apiId[0])));
  return apiId;
}

namespace {

// Lower-case words that belong to the family name that follows them ("Marc de Perrot", "Ludwig van
// der Waals"). Capitalised forms are left alone: "Van" and "Le" also start Vietnamese and other names.
bool IsParticle(const std::string& word) {
  static const char* const kParticles[] = {"al", "d'", "da", "das", "de", "del", "della", "den", "der", "di",
                                           "do", "dos", "du", "el", "la", "le", "st.", "te", "ten", "ter",
                                           "van", "von", "zu"};
  return std::any_of(std::begin(kParticles), std::end(kParticles), [&](const char* p) { return word == p; });
}

// "Jr.", "Sr.", "II", "III", "IV" (with or without the full stop).
bool IsSuffix(const std::string& word) {
  static const char* const kSuffixes[] = {"jr", "jr.", "sr", "sr.", "ii", "iii", "iv"};
  std::string lower = word;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::any_of(std::begin(kSuffixes), std::end(kSuffixes), [&](const char* s) { return lower == s; });
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
    size_t end = text.find(' ', at);
    words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return words;
}

std::string Joined(std::vector<std::string>::const_iterator first, std::vector<std::string>::const_iterator last) {
  std::string text;
  for (auto it = first; it != last; ++it) text += (text.empty() ? "" : " ") + *it;
  return text;
}

}  // namespace

PublicationAuthor SplitAuthorName(const std::string& name) {
  PublicationAuthor author;
  std::string whole = name;
  for (char& c : whole)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  std::vector<std::string> parts;  // the name's parts between commas, trimmed
  for (size_t at = 0;;) {
    size_t comma = whole.find(',', at);
    if (std::string part = Trimmed(whole.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        !part.empty())
      parts.push_back(part);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  std::string suffix;
  for (auto it = parts.begin(); it != parts.end();)
    if (it != parts.begin() && IsSuffix(*it)) {
      suffix = *it;  // "Martin Luther King, Jr." or "King, Martin Luther, Jr."
      it = parts.erase(it);
    } else {
      ++it;
    }
  if (parts.size() >= 2) {
    // "Last, First": the order is given. Particles written after the given names ("Perrot, Marc
    // de") go with the family name all the same.
    std::vector<std::string> last = Words(parts[0]);
    std::vector<std::string> first;
    for (size_t i = 1; i < parts.size(); ++i)
      for (std::string& word : Words(parts[i])) first.push_back(std::move(word));
    while (first.size() > 1 && IsParticle(first.back())) {
      last.insert(last.begin(), first.back());
      first.pop_back();
    }
    author.lastName = Joined(last.begin(), last.end());
    author.firstName = Joined(first.begin(), first.end());
  } else if (!parts.empty()) {
    std::vector<std::string> words = Words(parts[0]);
    if (suffix.empty() && words.size() > 1 && IsSuffix(words.back())) {
      suffix = words.back();
      words.pop_back();
    }
    // The family name is the last word and the particles before it; the first word is always a
    // given name. A name written without blanks (as Chinese names often are) is a family name whole.
    size_t last = words.size() - 1;
    while (last > 1 && IsParticle(words[last - 1])) --last;
    author.lastName = Joined(words.begin() + static_cast<std::ptrdiff_t>(last), words.end());
    author.firstName = Joined(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(last));
  }
  // The record writes "Last, First"; a suffix follows the given names the way reference lists write
  // it ("King, Martin Luther, Jr."), so the family name stays the one that sorts and matches.
  if (!suffix.empty()) author.firstName += (author.firstName.empty() ? "" : ", ") + suffix;
  return author;
}

ImportedWork ReadOpenAlexWork(const Json& work) {
  if (!work.is_object()) throw OpenAlexFormatError("an OpenAlex work must be a JSON object");
  ImportedWork imported;
  Publication& p = imported.publication;
  p.id = ShortOpenAlexId(Text(Member(work, "id")));
  if (p.id.empty()) throw OpenAlexFormatError("the work has no \"id\"");
  p.title = Text(Member(work, "title"));
  if (p.title.empty()) p.title = Text(Member(work, "display_name"));
  p.year = static_cast<int>(std::clamp<int64_t>(Number(Member(work, "publication_year")), 0, 9999));
  p.abstract = Abstract(Member(work, "abstract_inverted_index"));

  const Json& authorships = Member(work, "authorships");
  if (authorships.is_array())
    for (const Json& authorship : authorships) {
      const Json& author = Member(authorship, "author");
      // The byline as printed comes first: the profile's name belongs to whomever the work was
      // attributed to, and that attribution is sometimes wrong ("Matthieu Perrot" as "Marc de Perrot").
      std::string name = Text(Member(authorship, "raw_author_name"));
      if (Trimmed(name).empty()) name = Text(Member(author, "display_name"));
      if (Trimmed(name).empty()) continue;
      PublicationAuthor split = SplitAuthorName(name);
      split.id = EntityNumber(Text(Member(author, "id")));
      p.authors.push_back(std::move(split));
    }

  const Json& source = Member(Member(work, "primary_location"), "source");
  std::string sourceType = Text(Member(source, "type"));
  std::string sourceName = Text(Member(source, "display_name"));
  // Repositories, book platforms and the like are no venue the client knows.
  if (!sourceName.empty() && (sourceType == "journal" || sourceType == "conference")) {
    p.venueKind = sourceType == "journal" ? VenueKind::Journal : VenueKind::Conference;
    p.venueName = sourceName;
    p.venueId = EntityNumber(Text(Member(source, "id")));
  }

  p.doi = std::string(WithoutDoiResolver(Text(Member(work, "doi"))));
  const Json& locations = Member(work, "locations");
  std::vector<const Json*> places;
  if (locations.is_array())
    for (const Json& location : locations) places.push_back(&location);
  else
    places = {&Member(work, "primary_location"), &Member(work, "best_oa_location")};
  for (const Json* place : places) AddUrl(p.urls, Member(*place, "pdf_url"));
  for (const Json* place : places) AddUrl(p.urls, Member(*place, "landing_page_url"));

  const Json& keywords = Member(work, "keywords");
  if (keywords.is_array())
    for (const Json& keyword : keywords) {
      std::string name = Text(Member(keyword, "display_name"));
      if (name.empty()) name = Text(Member(keyword, "keyword"));
      if (!name.empty()) p.keywords.push_back({0, name});
    }

  p.retracted = Member(work, "is_retracted").is_boolean() && Member(work, "is_retracted").get<bool>();
  p.workType = Text(Member(work, "type"));
  p.citationCount = std::max<int64_t>(0, Number(Member(work, "cited_by_count")));
  const Json& referenced = Member(work, "referenced_works");
  if (referenced.is_array())
    for (const Json& r : referenced)
      if (std::string id = ShortOpenAlexId(Text(r)); !id.empty()) imported.references.push_back(id);
  const Json& referenceCount = Member(work, "referenced_works_count");
  p.referenceCount = referenceCount.is_number() ? std::max<int64_t>(0, Number(referenceCount))
                                                : static_cast<int64_t>(imported.references.size());
  return imported;
}

}  // namespace wendrel
