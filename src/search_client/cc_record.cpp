// The relation lists of a record, read.
#include "search_client/cc_record.h"

#include <charconv>

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

}  // namespace wendrel
