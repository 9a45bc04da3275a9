// CSL-JSON items read into references with nlohmann_json.
#include "review/csl_json_reader.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/text_encoding.h"
#include "review/review_error.h"

namespace wendrel {

namespace {

std::string Text(const nlohmann::json& item, const char* key) {
  auto it = item.find(key);
  if (it == item.end()) return {};
  if (it->is_string()) return Trimmed(it->get<std::string>());
  if (it->is_number_integer()) return std::to_string(it->get<int64_t>());
  return {};
}

std::string Person(const nlohmann::json& person) {
  if (!person.is_object()) return {};
  const std::string family = Text(person, "family"), given = Text(person, "given");
  if (family.empty()) return Text(person, "literal");
  return given.empty() ? family : family + ", " + given;
}

// The year of a CSL date: its first date-part, else four digits in a row of raw or literal.
std::string Year(const nlohmann::json& item) {
  auto issued = item.find("issued");
  if (issued == item.end() || !issued->is_object()) return {};
  auto parts = issued->find("date-parts");
  if (parts != issued->end() && parts->is_array() && !parts->empty() && (*parts)[0].is_array() && !(*parts)[0].empty()) {
    const nlohmann::json& year = (*parts)[0][0];
    if (year.is_number_integer()) return std::to_string(year.get<int64_t>());
    if (year.is_string()) return Trimmed(year.get<std::string>());
  }
  for (const char* key : {"raw", "literal"}) {
    const std::string text = Text(*issued, key);
    for (size_t k = 0; k + 4 <= text.size(); ++k) {
      if (text.substr(k, 4).find_first_not_of("0123456789") == std::string::npos) return text.substr(k, 4);
    }
  }
  return {};
}

RisReference Reference(const nlohmann::json& item) {
  RisReference r;
  r.type = Text(item, "type");
  r.title = Text(item, "title");
  r.year = Year(item);
  r.doi = Text(item, "DOI");
  r.url = Text(item, "URL");
  r.source = Text(item, "container-title");
  r.abstract = Text(item, "abstract");
  if (auto authors = item.find("author"); authors != item.end() && authors->is_array()) {
    for (const nlohmann::json& person : *authors) {
      std::string name = Person(person);
      if (name.empty()) continue;
      if (r.firstAuthor.empty()) {
        r.firstAuthor = std::move(name);
      } else {
        r.coAuthors.push_back(std::move(name));
      }
    }
  }
  const std::string keywords = Text(item, "keyword");
  for (size_t at = 0; at < keywords.size();) {
    const size_t comma = std::min(keywords.find(',', at), keywords.size());
    std::string keyword = Trimmed(std::string_view(keywords).substr(at, comma - at));
    if (!keyword.empty()) r.keywords.push_back(std::move(keyword));
    at = comma + 1;
  }
  if (std::string note = Text(item, "note"); !note.empty()) r.notes.push_back(std::move(note));
  return r;
}

}  // namespace

std::vector<RisReference> ReadCslJson(std::string_view text) {
  const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) throw ReviewError("it is not JSON");
  const nlohmann::json* items = &document;
  if (document.is_object()) {
    auto inner = document.find("items");
    if (inner != document.end() && inner->is_array()) {
      items = &*inner;
    } else if (!document.contains("title") && !document.contains("type")) {
      throw ReviewError("it is JSON, but holds no CSL-JSON item");
    } else {
      return {Reference(document)};
    }
  }
  if (!items->is_array()) throw ReviewError("it is JSON, but holds no CSL-JSON item");
  std::vector<RisReference> references;
  for (const nlohmann::json& item : *items) {
    if (item.is_object()) references.push_back(Reference(item));
  }
  return references;
}

}  // namespace wendrel
