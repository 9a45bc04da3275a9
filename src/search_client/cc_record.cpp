// The relation lists of a record, read.
#include "search_client/cc_record.h"

#include <charconv>

#include "platform/text_encoding.h"

namespace wendrel {

std::vector<int32_t> RelationPearls(std::string_view list) {
  std::vector<int32_t> pearls;
  // ";3;;7;": a number between each pair of semicolons.
  for (size_t at = list.find(';'); at != std::string_view::npos;) {
    const size_t close = list.find(';', at + 1);
    if (close == std::string_view::npos) break;
    const std::string_view number = list.substr(at + 1, close - at - 1);
    int32_t pearl = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), pearl);
    if (!number.empty() && error == std::errc() && end == number.data() + number.size() && pearl >= 0)
      pearls.push_back(pearl);
    at = list.find(';', close + 1);
  }
  return pearls;
}

std::vector<std::string> CoAuthorNames(const std::string& coAuthors) {
  std::vector<std::string> parts;
  for (size_t at = 0; at < coAuthors.size();) {
    const size_t comma = coAuthors.find(", ", at);
    parts.push_back(Trimmed(std::string_view(coAuthors).substr(at, comma == std::string::npos ? comma : comma - at)));
    at = comma == std::string::npos ? coAuthors.size() : comma + 2;
  }
  std::vector<std::string> names;
  for (size_t k = 0; k < parts.size(); k += 2) {
    const std::string given = k + 1 < parts.size() ? parts[k + 1] : "";
    if (parts[k].empty() && given.empty()) continue;
    names.push_back(given.empty() ? parts[k] : parts[k] + ", " + given);
  }
  return names;
}

}  // namespace wendrel
