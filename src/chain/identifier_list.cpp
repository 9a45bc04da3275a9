// The plain seed list reader.
#include "chain/identifier_list.h"

#include <cctype>
#include <optional>
#include <string>

#include "platform/web_text.h"

namespace wendrel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kMaxListedIdLength = 256;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

std::string_view WithoutPrefix(std::string_view token, std::initializer_list<std::string_view> prefixes) {
  for (std::string_view prefix : prefixes) {
    if (StartsWithNoCase(token, prefix)) return token.substr(prefix.size());
  }
  return token;
}

// "10." then a registrant of digits and dots, a slash and a suffix of printable characters.
bool IsDoi(std::string_view doi) {
  if (!doi.starts_with("10.")) return false;
  const size_t slash = doi.find('/');
  if (slash == std::string_view::npos || slash == 3 || slash + 1 == doi.size()) return false;
  for (size_t i = 3; i < slash; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(doi[i])) && doi[i] != '.') return false;
  }
  for (char c : doi.substr(slash + 1)) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return false;
  }
  return true;
}

bool IsListedId(std::string_view id) {
  if (id.empty() || id.size() > kMaxListedIdLength) return false;
  for (char c : id) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' && c != ':') return false;
  }
  return true;
}

// The entry one line names; nothing when the line is no DOI or ID.
std::optional<RisReference> Entry(std::string_view token) {
  RisReference entry;
  const std::string_view doi = WithoutDoiResolver(token);
  if (IsDoi(doi)) {
    entry.doi = std::string(doi);
    return entry;
  }
  const std::string_view id = WithoutPrefix(token, {"https://openalex.org/", "http://openalex.org/"});
  if (!IsListedId(id)) return std::nullopt;
  entry.listedId = std::string(id);
  return entry;
}

std::string_view Trim(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

}  // namespace

std::vector<RisReference> ReadIdentifierList(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::vector<RisReference> entries;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    std::optional<RisReference> entry;
    if (line.find_first_of(" \t") == std::string_view::npos) entry = Entry(line);
    if (!entry) return {};
    entries.push_back(std::move(*entry));
  }
  return entries;
}

bool IsIdentifierList(std::string_view text) { return !ReadIdentifierList(text).empty(); }

}  // namespace wendrel
